// Fuzz target: the bytes are the list of recent files (tmvpath.fil) and,
// after the first 0xFF byte, a path the user reads or saves, which goes to
// the top of the list. Whatever the list then holds must be written in a
// form that reads back the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FileFuzzState.h"
#include "RoundTrip.h"
#include "files/WorkFiles.h"

namespace {

std::string ListText(const tmv::AppState& state) {
  std::string text;
  for (const auto& path : state.shell.recentFiles) text += path + "\n";
  return tmv::WithCrLf(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string_view added;
  if (const size_t cut = text.find('\xFF'); cut != std::string_view::npos) {
    added = text.substr(cut + 1);
    text = text.substr(0, cut);
  }
  tmv::fuzz::FileFuzzState first;
  tmv::ParseRecentFilesText(first.state, text);
  if (!added.empty()) tmv::AddRecentFile(first.state, std::string(added));
  (void)tmv::RecentFileMenuTexts(first.state);
  const std::string written = ListText(first.state);

  tmv::fuzz::FileFuzzState second;
  tmv::ParseRecentFilesText(second.state, written);
  tmv::fuzz::RequireSameText(written, ListText(second.state), "tmvpath.fil");
  return 0;
}
