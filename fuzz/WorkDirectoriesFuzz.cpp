// Fuzz target: the bytes are the remembered data directories (tmvdir.ini)
// and, after the first 0xFF byte, the path of a DAT file the user chose,
// whose directory is remembered. Whatever is remembered must be written in a
// form that reads back the same.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FileFuzzState.h"
#include "RoundTrip.h"
#include "files/WorkFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string_view chosen;
  if (const size_t cut = text.find('\xFF'); cut != std::string_view::npos) {
    chosen = text.substr(cut + 1);
    text = text.substr(0, cut);
  }
  tmv::fuzz::FileFuzzState first;
  first.state.directories.dat = "/work/dat";
  first.state.directories.hex = "/work/hex";
  first.state.directories.mat = "/work/mat";
  tmv::ParseWorkDirectoriesText(first.state, text);
  first.state.directories.dat = tmv::DirectoryOfCurrentFile(chosen, 2, first.state.directories.dat);
  (void)tmv::EnsureExtension(chosen);
  const std::string written = tmv::WithCrLf(tmv::WorkDirectoriesText(first.state));

  tmv::fuzz::FileFuzzState second;
  tmv::ParseWorkDirectoriesText(second.state, written);
  tmv::fuzz::RequireSameText(written, tmv::WithCrLf(tmv::WorkDirectoriesText(second.state)), "tmvdir.ini");
  return 0;
}
