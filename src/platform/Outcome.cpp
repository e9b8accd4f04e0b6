#include "platform/Outcome.h"

#include <cstring>

namespace tmv {

std::string OutcomeText(const Outcome& outcome, const std::string& text) {
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    // Flags, width, precision and length, then the conversion letter.
    size_t j = i + 1;
    while (j < text.size() && std::strchr("-+ #0123456789.lhzjt", text[j]) != nullptr) ++j;
    if (j >= text.size()) {
      out += text.substr(i);
      break;
    }
    if (next < outcome.args.size()) out += outcome.args[next++];
    i = j;
  }
  return out;
}

}  // namespace tmv
