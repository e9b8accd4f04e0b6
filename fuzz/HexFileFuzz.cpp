// Fuzz target: the bytes are a HEX file. Every header line, count and dump
// digit may lie; the reader must refuse or keep what it could read, and
// never touch memory outside its buffers.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FileFuzzState.h"
#include "files/HexFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tmv::fuzz::FileFuzzState rig;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tmv::ReadHexText(rig.state, 0, "/nonexistent/fuzz.hex", text);
  return 0;
}
