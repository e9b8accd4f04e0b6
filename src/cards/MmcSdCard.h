#pragma once
// "&MMC/SD memory": the directory of a logger's memory card (size, type,
// first and last file of its numbered sequence) and the contents of one
// file. The card answers slowly, so each query is followed by a wait driven
// by the dialog's own one-second timer: the face (or a command-line loop)
// calls Tick every kTickMs while timerRunning is set.
#include <string>
#include <string_view>
#include <vector>

#include "platform/Outcome.h"
namespace tmv {

struct AppState;

enum class CardStep { Size, Type, FirstFile, LastFile };

struct CardState {
  unsigned sizeKb = 0;
  std::string typeText = "None found";  // up to kNameLength characters
  std::string firstFile = "Unknown";
  std::string lastFile = "Unknown";
  std::string cardReply;  // what the timer has read since the last query
  bool replyComplete = false;
  int ticksLeft = 0;
  CardStep nextStep = CardStep::Size;
};

// The size reply: up to eight hexadecimal digits followed by 'x' at its
// start ("000000FFx MMS" is 255 KB). False when it does not begin so.
bool ParseCardSize(std::string_view reply, unsigned& sizeKb);
// The text in front of a reply tag ("MMD", "MMF", "MML"), without line ends
// or surrounding blanks and cut to kNameLength; false when the tag is absent.
bool CardTextBefore(std::string_view reply, std::string_view tag, std::string& text);

class MmcSdProc {
 public:
  static constexpr const char* kTitle = "MMC/SD Memory";
  static constexpr const char* kCaption = "MMC/SD Card Access";
  static constexpr int kTickMs = 1000;
  static constexpr int kTicksPerQuery = 30;
  static constexpr size_t kReadBytes = 50;      // one timer read
  static constexpr size_t kReplyLimit = 256;    // what is kept of a reply across reads
  static constexpr size_t kNameLength = 24;
  static constexpr size_t kContentsBytes = 300;
  static constexpr long kLargestFileNumber = 99999999;  // eight digits in "!GCC%08d"

  // The dialog's texts and controls.
  std::string title;
  std::vector<std::string> list;   // list 1176
  std::string memoryType;          // 1030
  std::string size;                // 1031
  std::string first;               // 1032
  std::string last;                // 1033
  std::string fileNumberField;     // 1182
  bool refreshEnabled = true;      // "Refresh" (3)
  bool timerRunning = false;
  bool open = false;

  CardState card;

  // Why Open did not open: the logger did not answer or tell what is
  // needed, or it is logging (Refused). The shell or the tool shows it.
  Outcome result;

  // Reads what is needed of the logger and its status. False (with the
  // reason in result) when the dialog does not open. On opening
  // a refresh starts unless startRefresh is false (a caller that only wants
  // one file's contents).
  bool Open(AppState& state, bool startRefresh = true);
  // "Refresh": asks for the size, then (through Tick) type, first and last file.
  void Refresh(AppState& state);
  // One tick of the dialog's timer while a reply is awaited.
  void Tick(AppState& state);
  // "Get contents of:" the file numbered in fileNumberField.
  void GetContents(AppState& state);
  // "Clear Box".
  void ClearBox() { list.clear(); }
  // "Close".
  void Close();

  // True while a refresh waits for the card.
  bool Busy() const { return timerRunning; }

 private:
  void StartWait();
  void Query(AppState& state, const char* command, CardStep step);
  void Unreachable();
  void EndRefresh();
  void RunStep(AppState& state);
};

}  // namespace tmv
