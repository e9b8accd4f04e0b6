// Fuzz target: the bytes are a DAT file: header, stamp lines and rows.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FileFuzzState.h"
#include "files/DatFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tmv::fuzz::FileFuzzState rig;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tmv::ReadDatText(rig.state, "/nonexistent/fuzz.dat", text);
  return 0;
}
