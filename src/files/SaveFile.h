#pragma once
// Saving retrieved data: the HEX file (lossless, the memory image) and the
// DAT file (converted values), named and placed as the user chooses.
#include <optional>
#include <string>

#include "model/LoggerTime.h"
#include "platform/Outcome.h"

namespace tmv {

struct AppState;

constexpr int kSaveHexAndDat = 0;  // after a download, and "&Save file" while unsaved
constexpr int kSaveDatOnly = 1;    // "&Save file" otherwise

// What a save is told instead of asking: the DAT file, the comment stored
// with the data, and whether a HEX file holding another record is replaced
// (otherwise the HEX file goes under a free name beside it).
struct SaveTarget {
  std::string datPath;
  std::string comment;
  bool replaceOtherRecord = false;
};
// How a save went: Done with both files written (Partial: the DAT file only),
// Failed with what is wrong (no space, no permission); the files written.
struct SaveResult {
  Outcome outcome;
  std::string datPath;
  std::string hexPath;  // empty when no HEX file was written
  bool hexRenamed = false;  // the HEX file went under a free name: the other record was kept
};
// Writes the files as told, asking nothing: the HEX file (kSaveHexAndDat) and
// the DAT file, the caption companion and the tide and wave files. The
// state's saved marks and current file follow.
SaveResult WriteDataFiles(AppState& state, int mode, const SaveTarget& target);
// Asks the questions, writes the files; 1 when the DAT file was written.
// The HEX file written (its name may differ from the DAT file's, see below)
// is state.retrieval.savedHexFile, empty when none was.
int SaveFile(AppState& state, int mode);
// The name proposed for new data: the logger's serial number and the host's
// date and time, "000123_20100607_153000.dat" (with `extension`).
std::string ProposedDataFileName(const AppState& state, const char* extension = ".dat");
// "name.dat" -> "<hexOutput>/name.hex".
std::string HexPathFor(const AppState& state, const std::string& datPath);
// Before a retrieval: whether the DAT file `datPath` (empty: one in the DAT
// directory) and its HEX file can be written where they go. Empty when they
// can, else what is wrong (CheckFolderWritable), so that a folder that
// cannot take them is found before the memory is read, not after.
std::string CheckSaveFolders(const AppState& state, const std::string& datPath);

// A HEX file that holds another record than data of this logger (serial
// number) and deployment (start of logging) would write: another logger's,
// or another deployment's. Its description ("logger 012345, logging
// start 24/03/15 12:00:00"), or nothing when the file is absent, unreadable
// as a HEX file's head, or the same record (a save again, an append).
std::optional<std::string> OtherRecordIn(const std::string& hexPath, int serialNumber, const LoggerTime& startOfLogging);
// "name.ext" when no such file exists, else the first free "name_N.ext".
std::string FreeFileName(const std::string& path);

}  // namespace tmv
