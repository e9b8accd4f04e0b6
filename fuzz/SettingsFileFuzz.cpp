// Fuzz target: the bytes are a settings file (tmv.ini) or, after the first
// 0xFF byte, the multiple-copy switch (tmv_copies.ini). Every value may lie;
// what was read must be written back in a form that reads the same.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FileFuzzState.h"
#include "RoundTrip.h"
#include "files/SettingsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string_view copies;
  if (const size_t cut = text.find('\xFF'); cut != std::string_view::npos) {
    copies = text.substr(cut + 1);
    text = text.substr(0, cut);
  }

  tmv::fuzz::FileFuzzState first;
  tmv::ResetSettings(first.state);
  tmv::ParseSettingsText(first.state, text);
  first.state.shell.allowMultipleCopies = tmv::CopiesTextAllowsCopies(copies);
  const std::string written = tmv::SettingsText(first.state);
  const std::string copiesWritten = tmv::CopiesText(first.state);

  tmv::fuzz::FileFuzzState second;
  tmv::ResetSettings(second.state);
  tmv::ParseSettingsText(second.state, written);
  second.state.shell.allowMultipleCopies = tmv::CopiesTextAllowsCopies(copiesWritten);
  tmv::fuzz::RequireSameText(written, tmv::SettingsText(second.state), "tmv.ini");
  tmv::fuzz::RequireSameText(copiesWritten, tmv::CopiesText(second.state), "tmv_copies.ini");
  return 0;
}
