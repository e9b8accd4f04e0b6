#pragma once
// The settings file tmv.ini (tmv.002.ini ... for later copies) and the
// multiple-copy switch tmv_copies.ini.
//
// The settings file holds state.ports (logger port, GPS port and baud rate,
// radio modem), state.settings, and the "show range changes" choice, which
// the file stores as "Gain not required for auto-ranging", and the language
// choice, stored as "Language Support: Chinese". SaveSettings takes both from
// state.shell (showRangeChanges, language) and brings state.settings'
// gainRequired and languageSupport in step with them.
#include <string>
#include <string_view>

namespace tmv {

struct AppState;

// Lines longer than this are not settings and are skipped.
constexpr size_t kMaxSettingsLine = 94;

// "tmv.ini" for the first copy, "tmv.%03d.ini" of the copy number from the
// second on (state.shell.copyNumber: 0 or 1 is the first copy).
std::string SettingsFileName(const AppState& state);

// Resets the settings to their defaults, then reads the settings file (the
// defaults are written when there is none) and tmv_copies.ini. A file that
// cannot be parsed is not rewritten: unreadable values keep their defaults.
// 1 when a settings file was read, 0 when the defaults were written instead.
int LoadSettings(AppState& state);
// Writes the settings file and tmv_copies.ini; 1 when both were written
// (0 without writing when the work files are not to be written).
int SaveSettings(AppState& state);

// How a run takes its work directory.
enum class WorkFilesUse {
  // The desktop program's start: a missing settings file gets the defaults
  // written, the data directories are made and tmvdir.ini is rewritten.
  Start,
  // The command-line tool: reads what is there and writes nothing.
  ReadOnly,
  // The command-line tool's --no-settings: nothing is read, the defaults
  // stand, and no work file is written over.
  Defaults,
};

// The one loader of the work files, for both faces: the settings file
// (after the copy check has settled which one is this copy's), the data
// directories of tmvdir.ini and the real-time limits of tmv.lim. 1: go on;
// 0: a data directory could not be made (Start only; the "Startup" message
// was shown and the program must end).
int LoadWorkFiles(AppState& state, WorkFilesUse use);

// The pure forms.
void ResetSettings(AppState& state);
std::string SettingsText(const AppState& state);
// Applies every recognised line of text on top of the current values.
void ParseSettingsText(AppState& state, std::string_view text);
std::string CopiesText(const AppState& state);
// True when the first line (up to 39 characters) says "Allow multiple copies".
bool CopiesTextAllowsCopies(std::string_view text);
bool ReadAllowMultipleCopies(const AppState& state);

}  // namespace tmv
