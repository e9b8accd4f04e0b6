#pragma once
// The message catalogue: every user message has an English text and a
// second-language text; Tr picks the one of the current language.
#include <string>
#include <string_view>
#include <vector>

namespace tmv {

struct AppState;

// The text of a catalogue message in the current language; texts that are
// not in the catalogue come back unchanged.
std::string Tr(const AppState& state, std::string_view english);
std::string Tr(int language, std::string_view english);
// printf-style formatting of a catalogue text.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The English texts of the catalogue, in table order.
const std::vector<std::string>& CatalogueTexts();
bool InCatalogue(std::string_view english);
// The second language's text of a message: only its format skeleton, that is
// the conversions, digits, punctuation and line breaks with the words taken
// out (": %s" for "Unable to open file: %s").
std::string FormatSkeleton(std::string_view english);

// The refusal shown while a logger is logging or enabled, for an operation
// such as "set the latency".
std::string LoggingRefusalText(std::string_view operation);

}  // namespace tmv
