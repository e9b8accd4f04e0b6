#pragma once
// The message catalogue: every user message has an English text and a
// second-language text; Tr picks the one of the current language.
#include <string>
#include <string_view>

namespace tmv {

struct AppState;

// The text of a catalogue message in the current language; texts that are
// not in the catalogue come back unchanged.
std::string Tr(const AppState& state, std::string_view english);
std::string Tr(int language, std::string_view english);
// printf-style formatting of a catalogue text.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tmv
