#include "Utf8Output.h"

namespace tmv::cli {

namespace {

// Length of a well-formed UTF-8 sequence of two or more bytes at text[i], or 0.
size_t Utf8SequenceLength(std::string_view text, size_t i) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char c = b(i);
  size_t n = 0;
  if (c >= 0xC2 && c <= 0xDF) n = 2;
  else if (c >= 0xE0 && c <= 0xEF) n = 3;
  else if (c >= 0xF0 && c <= 0xF4) n = 4;
  else return 0;
  if (i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((b(i + k) & 0xC0) != 0x80) return 0;
  // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8.
  if (c == 0xE0 && b(i + 1) < 0xA0) return 0;
  if (c == 0xED && b(i + 1) >= 0xA0) return 0;
  if (c == 0xF0 && b(i + 1) < 0x90) return 0;
  if (c == 0xF4 && b(i + 1) >= 0x90) return 0;
  return n;
}

}  // namespace

std::string AsUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (const size_t n = Utf8SequenceLength(text, i)) {
      out.append(text.substr(i, n));
      i += n - 1;
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

namespace {

// Where the text's end may be a UTF-8 sequence still to be completed by the
// next write: the position of its lead byte, else the text's size.
size_t IncompleteTail(const std::string& text) {
  const size_t size = text.size();
  for (size_t back = 1; back <= 3 && back <= size; ++back) {
    const unsigned char c = static_cast<unsigned char>(text[size - back]);
    if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    const size_t need = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
    return need > back ? size - back : size;
  }
  return size;
}

}  // namespace

void Utf8OutputBuffer::Emit(size_t count) {
  if (count == 0) return;
  const std::string text = AsUtf8(std::string_view(pending_).substr(0, count));
  target_->sputn(text.data(), static_cast<std::streamsize>(text.size()));
  pending_.erase(0, count);
}

Utf8OutputBuffer::int_type Utf8OutputBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char ch = traits_type::to_char_type(c);
  xsputn(&ch, 1);
  return c;
}

std::streamsize Utf8OutputBuffer::xsputn(const char* s, std::streamsize n) {
  pending_.append(s, static_cast<size_t>(n));
  const size_t line = pending_.rfind('\n');
  if (line != std::string::npos) Emit(line + 1);
  return n;
}

int Utf8OutputBuffer::sync() {
  Emit(IncompleteTail(pending_));
  return target_->pubsync();
}

void PrintAsUtf8(std::ostream& stream) {
  stream.flush();
  stream.rdbuf(new Utf8OutputBuffer(stream.rdbuf()));
}

}  // namespace tmv::cli
