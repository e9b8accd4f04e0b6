#pragma once
// What the tool prints goes to terminals and pipes that read UTF-8, but the
// program's own texts are Latin-1 (the micro and degree signs of units and
// limits). A byte that is not part of a UTF-8 sequence is taken as Latin-1
// and written as its UTF-8 sequence; text that is UTF-8 already (file
// names, for one) passes unchanged.
#include <cstddef>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace tmv::cli {

std::string AsUtf8(std::string_view text);

// Passes what is written on to `target` as AsUtf8 gives it, a line at a time
// and on every flush, holding back only a sequence cut off by the flush.
class Utf8OutputBuffer : public std::streambuf {
 public:
  explicit Utf8OutputBuffer(std::streambuf* target) : target_(target) {}

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  void Emit(size_t count);

  std::streambuf* target_;
  std::string pending_;
};

// From here on `stream` prints through a Utf8OutputBuffer (kept for the
// program's lifetime, since the standard streams are flushed at its exit).
void PrintAsUtf8(std::ostream& stream);

}  // namespace tmv::cli
