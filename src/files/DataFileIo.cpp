#include "files/DataFileIo.h"

#include <unistd.h>

#include <cstdio>

namespace tmv {

std::optional<std::string> ReadDataFile(const std::string& path, size_t maxBytes, bool* tooLarge) {
  if (tooLarge != nullptr) *tooLarge = false;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return std::nullopt;
  std::string out;
  // Read at once where the size is known; a large file is then one allocation.
  if (std::fseek(f, 0, SEEK_END) == 0) {
    const long size = std::ftell(f);
    if (size > 0 && static_cast<unsigned long>(size) <= maxBytes) out.reserve(static_cast<size_t>(size));
    std::rewind(f);
  }
  char buffer[1 << 16];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    if (out.size() + n > maxBytes) {
      std::fclose(f);
      if (tooLarge != nullptr) *tooLarge = true;
      return std::nullopt;
    }
    out.append(buffer, n);
  }
  std::fclose(f);
  return out;
}

bool WriteFileReplacing(const std::string& path, std::string_view bytes) {
  ReplacingFile f(path);
  f.Write(bytes);
  return f.Commit();
}

ReplacingFile::ReplacingFile(const std::string& path)
    : path_(path), temporary_(path + ".tmp." + std::to_string(::getpid())) {
  file_ = std::fopen(temporary_.c_str(), "wb");
  failed_ = file_ == nullptr;
}

ReplacingFile::~ReplacingFile() {
  if (file_ != nullptr) {
    std::fclose(file_);
    std::remove(temporary_.c_str());
  }
}

bool ReplacingFile::Write(std::string_view bytes) {
  if (failed_) return false;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
  return !failed_;
}

bool ReplacingFile::Commit() {
  if (file_ == nullptr) return false;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (failed_ || !closed || std::rename(temporary_.c_str(), path_.c_str()) != 0) {
    std::remove(temporary_.c_str());
    return false;
  }
  return true;
}

bool LineReader::Next(std::string_view& line, size_t maxLength) {
  if (pos_ >= text_.size()) return false;
  const size_t start = pos_;
  size_t end = start;
  const size_t limit = text_.size() - start < maxLength ? text_.size() : start + maxLength;
  while (end < limit && text_[end] != '\n') ++end;
  if (end < text_.size() && text_[end] == '\n') {
    pos_ = end + 1;
  } else {
    pos_ = end;  // cut at the limit: the rest comes with the next call
  }
  size_t stop = end;
  if (stop > start && text_[stop - 1] == '\r') --stop;
  line = text_.substr(start, stop - start);
  return true;
}

std::string FromColumn(std::string_view line, size_t col) {
  if (col >= line.size()) return std::string();
  return std::string(line.substr(col));
}

std::optional<std::string> AfterKey(std::string_view line, std::string_view key, size_t offset) {
  const size_t at = line.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  return FromColumn(line, at + offset);
}

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

}  // namespace tmv
