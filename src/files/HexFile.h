#pragma once
// The HEX file: a text header describing the logger, the deployment, the
// calibration and the stamps, then a hex dump of the memory image. The same
// header, in its DAT mode, heads the DAT file, and one parser reads both.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "deployment/DeploymentSettings.h"
#include "files/DataFileIo.h"
#include "model/CalibrationSet.h"
#include "model/LoggerInfo.h"
#include "platform/Outcome.h"
#include "platform/UserInterface.h"
#include "retrieval/DataSet.h"

namespace tmv {

struct AppState;

constexpr int kHeaderModeHex = 1;
constexpr int kHeaderModeDat = 2;

// "TMV %s %5.2f %06d": model, firmware version, serial number.
std::string IdentityText(const LoggerInfo& logger);

// What the header writer may be told to write instead of the DataSet's own
// values (a screen segment has its own start and row count).
struct HeaderOverrides {
  std::optional<LoggerTime> startTime;
  std::optional<int> sampleCount;
};

// The header lines (CR LF line ends) as WriteFileHeader writes them: mode 1
// HEX, 2 DAT, any other mode the first fourteen lines and a line end.
std::string FileHeaderText(const AppState& state, int mode, const HeaderOverrides& overrides = {});

// What a file header says; nothing of it reaches the program state until
// the whole header was read.
struct FileHeader {
  LoggerInfo logger;
  CalibrationSet calibration;
  DeploymentSettings deployment;
  LoggerTime hostTime, loggerTime;
  int loggerStatus = 0;
  int channelCount = 1;
  int sampleCount = 0;
  int timeFormat = 0;
  int valueColumn = 0;
  bool microSiemens = false;
  std::string comment;
  int memoryType = 0;
  int headerLength = 30;
  int waveSampleRate = 0;
  bool depthSuspended = false;  // a generic serial card holding ASCII data
  std::vector<StampRecord> stamps;
  // Header lines whose value cannot be what the line says (not a number,
  // out of range), each quoted with what was wrong; their values were not
  // taken. A file with any is damaged.
  std::vector<std::string> damage;
};

// What a reader found wrong in a file it read all the same, in the person's
// language, in the order found: a read with any is partial.
struct ReadNotes {
  std::vector<std::string> texts;
  void Add(std::string text);
  // Done without notes, else Partial with them all as its reason.
  Outcome Result() const;
};

// Reads the header whose first line is `firstLine`; the reader stands on
// the line after it and is left after the header (after the column-title
// line for multi-channel files). Not Ok when the header cannot be used, with
// the reason. `header.logger` starts as a copy of `current`.
Outcome ParseFileHeader(AppState& state, std::string_view firstLine, LineReader& reader, int mode, FileHeader& header);
// Puts a parsed header into the program state (logger, calibration, DataSet
// deployment, comment).
void ApplyFileHeader(AppState& state, const FileHeader& header);
// When the header has damaged lines: marks the file damaged and notes which
// lines were left out.
void NoteHeaderDamage(AppState& state, const FileHeader& header, ReadNotes& notes);

// The dump: "%02X" per byte, 24 bytes a line, CR LF after each full line,
// none after the last.
void AppendHexDump(std::string& out, const uint8_t* bytes, size_t count);
// Where a dump stopped before the byte count it was to give.
struct DumpDamage {
  size_t line = 0;    // the dump line (from 1) that could not be read; 0 none
  size_t offset = 0;  // where it starts in the text
  size_t digits = 0;  // the hex digits it holds
  bool junk = false;  // it holds something else than hex digits
};
// Reads up to `count` byte values from the dump, line by line, blank lines
// passed over. A line that is not whole bytes of a dump line (an odd number
// of digits, more than 48: a digit lost or added shifts every value after
// it) or holds anything but hex digits ends the dump before that line, and
// is told in *damage; a last line cut short keeps its whole bytes. Returns
// the bytes read.
size_t ReadHexDump(std::string_view text, uint8_t* out, size_t count, DumpDamage* damage = nullptr);

// The whole HEX file of the current image and DataSet.
std::string HexFileText(const AppState& state);
// Writes it (through a temporary file); false when it cannot be written,
// with *error (when given) the errno of the failure.
bool WriteHexFile(AppState& state, const std::string& path, int* error = nullptr);

// Enables the commands that work on data read from a file or retrieved:
// save, format, segment, screen capture (and the KZM csv file).
void EnableDataCommands(AppState& state);

// mode 1 asks for the file, mode 0 reads `path`, mode 6 fills the image only
// (Append). Done: read. Partial: read, with what was wrong in the file (what
// could be read is the data). Cancelled: no file chosen. Otherwise not read,
// with the reason. A tide-and-wave file without depth is refused and its
// reading left pending (state.analysis.pendingKzmAction) for when depth is on.
Outcome ReadHexFile(AppState& state, int mode, const std::string& path = std::string());
// The same on the file's bytes already read (path is only shown and remembered).
Outcome ReadHexText(AppState& state, int mode, const std::string& path, std::string_view text);
// The file was read, whole or in part.
inline bool WasRead(const Outcome& read) { return read.kind == OutcomeKind::Done || read.kind == OutcomeKind::Partial; }

// "Append to file": the file dialog that asks which DAT file the data go on.
FileDialogRequest AppendFileRequest(const AppState& state);
// Checks the HEX file of the DAT file `datPath` against the connected logger
// and fills the image with its data, for the download to go on after them.
// Done or Partial (a file damaged part way holds its whole bytes up to the
// damage) when filled; otherwise why not.
Outcome AppendToFile(AppState& state, const std::string& datPath);

}  // namespace tmv
