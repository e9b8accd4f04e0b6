#pragma once
// The text files of tide-and-wave data: the ".wave" file (one line of wave
// statistics per burst) and the ".tide" file (every row with its time)
// written into the kzm directory after a save, and the KZM comma-separated
// file of the bursts and their rebuilt surfaces.
#include <string>

namespace tmv {

struct AppState;
struct WaveStore;

constexpr int kKzmCsvBlockBursts = 125;  // bursts side by side in one block of the csv file

// The ".wave" and ".tide" paths in kzmDirectory for a saved DAT path; empty
// when the path holds no ".dat".
std::string WaveFilePath(const std::string& kzmDirectory, const std::string& savedPath);
std::string TideFilePath(const std::string& wavePath);

// The files' texts (CR LF line ends).
std::string WaveFileText(const AppState& state, const WaveStore& store);
std::string TideFileText(const AppState& state);
std::string KzmCsvText(const AppState& state, const WaveStore& store);

// After a save of tide-and-wave data to savedPath: both files in "kzm"
// under the program's directory. 1 written, 0 not (no ".dat" in the path,
// or the directory could not be made: status line message).
int WriteWaveAndTideFiles(AppState& state, const std::string& savedPath);

// "Save a KZM &csv file": asks for the file (and before overwriting one)
// and writes it. 1 written, 0 not.
int ExportKzmCsv(AppState& state);
// The same to a chosen path without the dialogs.
bool WriteKzmCsv(const AppState& state, const WaveStore& store, const std::string& path);

}  // namespace tmv
