#include "files/DataFileIo.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

bool WriteFileReplacing(const std::string& path, std::string_view bytes, int* error) {
  ReplacingFile f(path);
  f.Write(bytes);
  const bool committed = f.Commit();
  if (error != nullptr) *error = f.Error();
  return committed;
}

ReplacingFile::ReplacingFile(const std::string& path)
    : path_(path), temporary_(path + ".tmp." + std::to_string(::getpid())) {
  file_ = std::fopen(temporary_.c_str(), "wb");
  if (file_ == nullptr) Fail(errno);
}

ReplacingFile::~ReplacingFile() {
  if (file_ != nullptr) {
    std::fclose(file_);
    std::remove(temporary_.c_str());
  }
}

void ReplacingFile::Fail(int error) {
  if (error_ == 0) error_ = error != 0 ? error : EIO;
}

bool ReplacingFile::Write(std::string_view bytes) {
  if (error_ != 0) return false;
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) Fail(errno);
  return error_ == 0;
}

bool ReplacingFile::Commit() {
  if (file_ == nullptr) return false;
  // A full device may only say so when the buffers go out, or when the
  // device takes them: either failure leaves the final name alone.
  errno = 0;
  if (error_ == 0 && std::fflush(file_) != 0) Fail(errno);
  if (error_ == 0 && ::fsync(::fileno(file_)) != 0 && errno != EINVAL && errno != EROFS) Fail(errno);
  errno = 0;
  if (std::fclose(file_) != 0) Fail(errno);
  file_ = nullptr;
  if (error_ == 0 && std::rename(temporary_.c_str(), path_.c_str()) != 0) Fail(errno);
  if (error_ != 0) {
    std::remove(temporary_.c_str());
    return false;
  }
  return true;
}

namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The cause of a failed write, naming the folder where that is the cause.
std::string WriteFailureCause(const std::string& folder, int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT: return "No space left on the device that holds the folder " + folder + ".";
    case EFBIG: return "The file is larger than the device or this user may write.";
    case EACCES:
    case EPERM: return "Permission denied: the folder " + folder + " cannot be written.";
    case EROFS: return "Permission denied: the folder " + folder + " cannot be written (the device is read-only).";
    case ENOENT: return "The folder " + folder + " does not exist.";
    case ENOTDIR: return "The folder " + folder + " is not a folder: a part of its path is a file.";
    // The name is held by something else: the case of a file kept open.
    case EBUSY:
    case ETXTBSY:
    case EISDIR: return "This file may be open in another application";
    default: return std::string(std::strerror(error)) + ".";
  }
}

}  // namespace

std::string WriteFailureText(const std::string& path, int error) {
  const std::string cause = WriteFailureCause(FolderOf(path), error);
  // The words of old for the case they fit.
  if (error == EBUSY || error == ETXTBSY || error == EISDIR) return "Unable to open the file " + path + ".\n" + cause;
  return "Unable to write the file " + path + ".\n" + cause;
}

std::string CheckFolderWritable(const std::string& folder) {
  // A folder still to be made is made in the nearest one that exists.
  std::string existing = folder.empty() ? std::string(".") : folder;
  struct stat st {};
  while (::stat(existing.c_str(), &st) != 0) {
    if (errno != ENOENT) return WriteFailureCause(existing, errno);
    const std::string up = FolderOf(existing);
    if (up == existing) return WriteFailureCause(existing, ENOENT);
    existing = up;
  }
  if (!S_ISDIR(st.st_mode)) return WriteFailureCause(existing, ENOTDIR);
  // Only a file made and written there tells: root passes any permission
  // test, a read-only mount or a full device fails only the write.
  std::string probe = existing + "/.tmv-write-check-XXXXXX";
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return WriteFailureCause(existing, errno);
  const char byte = 0;
  int error = 0;
  if (::write(fd, &byte, 1) != 1) error = errno != 0 ? errno : EIO;
  else if (::fsync(fd) != 0 && errno != EINVAL) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  ::unlink(probe.c_str());
  return error == 0 ? std::string() : WriteFailureCause(existing, error);
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
