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

// Reads the header whose first line is `firstLine`; the reader stands on
// the line after it and is left after the header (after the column-title
// line for multi-channel files). Messages go to the user; false when the
// header cannot be used. `header.logger` starts as a copy of `current`.
bool ParseFileHeader(AppState& state, std::string_view firstLine, LineReader& reader, int mode, FileHeader& header);
// Puts a parsed header into the program state (logger, calibration, DataSet
// deployment, comment).
void ApplyFileHeader(AppState& state, const FileHeader& header);
// When the header has damaged lines: marks the file damaged and tells the
// user which lines were left out.
void ReportHeaderDamage(AppState& state, const FileHeader& header);

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
// (Append). 1 read, 0 not.
int ReadHexFile(AppState& state, int mode, const std::string& path = std::string());
// The same on the file's bytes already read (path is only shown and remembered).
int ReadHexText(AppState& state, int mode, const std::string& path, std::string_view text);

// "Append to file": 0 nothing done, 1 a download was started, 2 the file
// could not be read. The download starts through state.retrieval.beginDownload.
int AppendToFile(AppState& state);

}  // namespace tmv
