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
// Writes the settings file and tmv_copies.ini; 1 when both were written.
int SaveSettings(AppState& state);

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
