#pragma once
// Download: copies a logger's data memory into the MemoryImage block by
// block, paced by the timer (or a loop), then decodes it into the DataSet.
//
// The "Data Retrieval" dialog is a model here (DownloadProc); the desktop
// program binds its texts and buttons to widgets, and tmv-cli drives it from
// a loop. The step functions take the dialog so that what they show lands in
// one place and no global is needed.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "model/LoggerInfo.h"
#include "platform/Outcome.h"
#include "retrieval/MemoryImage.h"

namespace tmv {

struct AppState;

// Data start address and end-of-data cap of the logger's memory.
uint32_t DataStartAddress(const LoggerInfo& logger);
uint32_t EndPointerCap(const LoggerInfo& logger);
// Data bytes per request at a baud rate.
int DownloadBlockSize(int baud);
// The logger appends a sum byte to each memory read (all but KM firmware 1.0).
bool BlockHasChecksum(const LoggerInfo& logger);
// Memory holds no data by the end-of-data pointer alone.
bool MemoryHoldsNoData(const LoggerInfo& logger, uint32_t endPointer);
// "I" + end + start, lower-case hex, least significant byte first.
std::string BlockRequestText(uint32_t start, uint32_t end);

// One block as the page rules and the last-block rule shape it.
struct BlockPlan {
  uint32_t start = 0;
  uint32_t end = 0;   // exclusive
  int count = 0;      // bytes the logger sends, the sum byte included
  bool checksum = true;
  bool send = true;   // false: too little left for a request
};
// Works out the next block from download.currentAddress; may shorten
// download.endPointer on the last block (so that the image ends on a word).
BlockPlan PlanBlock(const LoggerInfo& logger, DownloadState& download, int imageLength);

// The "Download" query (DownloadQueryProc): what to do with a logger that
// is still logging.
struct DownloadQuery {
  enum class Kind { None, Ask, Refuse };
  Kind kind = Kind::None;
  std::string text;         // control 221, or the refusal's message box text
  std::string button6;      // empty: hidden
  std::string button7;
  // What buttons 6 and 7 do.
  enum class Action { Download, Stop, Suspend };
  Action on6 = Action::Download;
  Action on7 = Action::Stop;
};
constexpr int kQueryButton6 = 6;
constexpr int kQueryButton7 = 7;
constexpr int kQueryCancel = 2;
// The query for status S and retrieval mode C.
DownloadQuery DownloadQueryFor(int status, int retrievalMode);

// How a retrieval ended.
enum class DownloadOutcome {
  NotStarted,  // abandoned before the first block, or nothing to do
  Running,
  Complete,    // every byte up to the end-of-data pointer is in the image
  Partial,     // ended early (10 failed attempts, lost link, cancel): what came is decoded
};

// The dialog "TMV Logger - Data Retrieval" as the program drives it.
struct DownloadView {
  std::string memoryUsage;   // 220
  std::string message;       // 223
  int progress = 0;          // 234, 0..100
  std::string button1 = "Retrieve Data";  // 1
  bool button1Visible = true;
  bool retrieveFullVisible = true;  // 573 "Retrieve 100%"
  bool appendVisible = true;        // 574 "Append to file"
  bool infoIcon = false;            // 1113
  bool warningIcon = false;         // 1114
  std::vector<std::string> summary;  // 558..569: the deployment as the logger holds it
  bool fieldsHidden = false;        // an active QN-760 before 6.415: nothing more was read
};

class DownloadProc {
 public:
  // Opening the dialog: status, memory usage, deployment summary. False
  // when the logger did not answer.
  bool Open(AppState& state);
  // "Retrieve Data" (full: "Retrieve 100%"). `ask` answers the Download
  // query with kQueryButton6, kQueryButton7 or kQueryCancel. True when a
  // download started or ended at once (see outcome); false when abandoned.
  bool Retrieve(AppState& state, const std::function<int(const DownloadQuery&)>& ask, bool full = false);
  // "Append to file" with the DAT file `datPath` the person chose (see
  // AppendFileRequest): AppendToFile checks its HEX file against the logger,
  // and the download starts at the file's data length. Done when it
  // started; otherwise why not (also in `result`).
  Outcome Append(AppState& state, const std::string& datPath);
  // One timer tick: blocks for up to budgetMs (at least one block), then
  // EndDownload when the download is over.
  void Tick(AppState& state, int budgetMs);
  // Cancel during a download: the download ends and what came is decoded.
  void Cancel(AppState& state);
  // Period of the timer while downloading (one block's line time), ms.
  int TimerPeriodMs() const { return timerPeriodMs; }

  bool Downloading(const AppState& state) const;
  bool Finished() const { return outcome == DownloadOutcome::Complete || outcome == DownloadOutcome::Partial || ended; }

  // Whether "Retrieve Data" stops the logger first ("STOP logger"): an
  // active older QN-760 tells nothing more, and a logging one without data.
  bool OffersStop() const { return stopOffered; }

  DownloadView view;
  DownloadOutcome outcome = DownloadOutcome::NotStarted;
  // What happened, with the reason: set by Open and Retrieve when they do
  // not go on, and by EndDownload when the download ends (Done: complete and
  // saved; Partial: ended early, what came decoded; a logger left suspended
  // is Refused). The faces show it; nothing in here guesses past a failure.
  Outcome result;
  bool stopOffered = false;
  bool ended = false;         // EndDownload ran (the dialog is closed)
  bool endPosted = false;     // command 272 is due
  bool failed = false;        // the 10 attempts of a block failed, or the link was lost
  bool openDerivedUnits = false;  // a KZM logger without depth: "&Derived units" (124) is to open, then retrieval resumes
  bool reopen = false;        // "STOP logger" stopped it: the retrieval command runs again
  bool retrieveFull = false;  // "Retrieve 100%"
  bool offerSave = true;      // EndDownload offers SaveFile at once
  // When set, EndDownload runs this instead of SaveFile (before the log entry).
  std::function<void(AppState&)> save;
  int status = 0;             // logger status as last read
  int timerPeriodMs = 1000;
  int blockBaud = 0;          // link speed the blocks went at
  uint32_t dataStart = 0;     // address the download began at
  uint32_t firstEndPointer = 0;  // end-of-data pointer as first planned
  int64_t startMs = 0, lastCheckMs = 0;  // process clock at the start and the last link check
  bool raisedSpeed = false;   // the logger was told a faster rate for this download
  bool cancelled = false;     // Cancel ended the download
  bool resumeFailed = false;  // the logger suspended for the download did not resume
  // The logger the data came from, as it was when the download began.
  LoggerInfo loggerAtStart;
  bool identityKept = false;
  std::string dialogTitle = "TMV Logger - Data Retrieval";
};

// Control 220's text from the memory status reply; sets the download's
// endPointer. `retrievalDialog`: the button reads "Retrieve Data" when data is there.
std::string ReadMemoryStatus(AppState& state, DownloadProc& dialog, std::string_view replyText);
// The optional speed-up; 1 link ready, 0 no link.
int SpeedUpLink(AppState& state, DownloadProc& dialog);
// Tells the logger to change speed and reconnects at that speed; 1 connected.
int SetLoggerBaud(AppState& state, int baud);
void RestoreLinkBaud(AppState& state, DownloadProc& dialog);
int BeginDownload(AppState& state, DownloadProc& dialog, uint32_t startAddress);
void DownloadNextBlock(AppState& state, DownloadProc& dialog);
int CheckLinkBeforeBlock(AppState& state, DownloadProc& dialog);
void EndDownload(AppState& state, DownloadProc& dialog);

// Runs a started download to its end (the tool's loop): ticks with
// `budgetMs`, calling `progress` after each tick. When `cancelled` says so
// (an interrupt), the download ends as Cancel ends it.
void RunDownloadToEnd(AppState& state, DownloadProc& dialog, int budgetMs,
                      const std::function<void(const DownloadProc&)>& progress = {},
                      const std::function<bool()>& cancelled = {});

}  // namespace tmv
