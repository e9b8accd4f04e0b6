#include "shell/Manual.h"

#include <vector>

namespace tmv {
namespace {

// The section that starts with `heading` ("## ..."), up to the next heading of its level.
std::string_view Section(std::string_view text, std::string_view heading) {
  size_t at = 0;
  while ((at = text.find(heading, at)) != std::string_view::npos) {
    const bool lineStart = at == 0 || text[at - 1] == '\n';
    const size_t end = at + heading.size();
    if (lineStart && (end == text.size() || text[end] == '\n' || text[end] == '\r')) break;
    at = end;
  }
  if (at == std::string_view::npos) return {};
  size_t next = text.find("\n## ", at + heading.size());
  return text.substr(at, next == std::string_view::npos ? std::string_view::npos : next + 1 - at);
}

}  // namespace

std::string UserManual(std::string_view readme) {
  std::string manual;
  for (std::string_view heading : {std::string_view("## The desktop program"), std::string_view("## Serial ports")}) {
    const std::string_view section = Section(readme, heading);
    if (section.empty()) continue;
    manual.append(section);
    if (manual.back() != '\n') manual += '\n';
    manual += '\n';
  }
  if (manual.empty()) return manual;
  return "# TMV Data Loggers - Manual\n\n" + manual;
}

std::string FirstStepsText(bool connected) {
  std::string text =
      "Nothing to show yet. Next steps:\n\n"
      "\u2022 Retrieve data: read the logger's memory and show it here\n"
      "\u2022 Setup: program the logger for a deployment\n"
      "\u2022 File > Open a data file (Ctrl+O), or drop a .hex or .dat file here: look at saved data";
  if (!connected)
    text += "\n\nNo logger is connected: Logger functions > Connect to logger, or Configuration > COM settings "
            "to choose its port.";
  text += "\n\nF1 opens the manual.";
  return text;
}

}  // namespace tmv
