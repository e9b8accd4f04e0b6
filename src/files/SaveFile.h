#pragma once
// Saving retrieved data: the HEX file (lossless, the memory image) and the
// DAT file (converted values), named and placed as the user chooses.
#include <string>

namespace tmv {

struct AppState;

constexpr int kSaveHexAndDat = 0;  // after a download, and "&Save file" while unsaved
constexpr int kSaveDatOnly = 1;    // "&Save file" otherwise

// Asks the questions, writes the files; 1 when the DAT file was written.
int SaveFile(AppState& state, int mode);
// The name proposed for new data: the logger's serial number and the host's
// date and time, "000123_20100607_153000.dat" (with `extension`).
std::string ProposedDataFileName(const AppState& state, const char* extension = ".dat");
// "name.dat" -> "<hexOutput>/name.hex".
std::string HexPathFor(const AppState& state, const std::string& datPath);

}  // namespace tmv
