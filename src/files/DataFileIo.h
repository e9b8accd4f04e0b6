#pragma once
// Reading and writing the data files: whole-file reads, line reads with the
// readers' length limits, and writes that never leave a half-written file.
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace tmv {

// The data files are read whole; anything larger than these is not one. A
// HEX file holds at most the 8 MiB memory as text (about 18 MB); a DAT file
// of a full logger with its derived columns and the date on every row runs
// to hundreds of megabytes.
constexpr size_t kMaxDataFileBytes = size_t{64} << 20;
constexpr size_t kMaxDatFileBytes = size_t{1} << 30;

// The file's bytes, or nothing when it cannot be opened or is larger than
// maxBytes (then *tooLarge is set, when given, so that the refusal can say so).
std::optional<std::string> ReadDataFile(const std::string& path, size_t maxBytes = kMaxDataFileBytes,
                                        bool* tooLarge = nullptr);
// Writes bytes (line ends as given) to a temporary file beside path and
// renames it over path: a write that fails keeps the earlier file whole.
// On failure *error (when given) is the errno of the first step that failed.
bool WriteFileReplacing(const std::string& path, std::string_view bytes, int* error = nullptr);

// The same for a file written in pieces, so that a large file never has to
// be held whole in memory: Commit renames it over path only when every
// write, the flush to the device and the close succeeded; a file never
// committed (or any failed piece) leaves path as it was, and no temporary
// file behind.
class ReplacingFile {
 public:
  explicit ReplacingFile(const std::string& path);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  bool Write(std::string_view bytes);
  bool Commit();
  // The errno of the first step that failed; 0 while none has.
  int Error() const { return error_; }

 private:
  void Fail(int error);

  std::string path_, temporary_;
  std::FILE* file_ = nullptr;
  int error_ = 0;
};

// What the user is told when `path` could not be written, from the errno
// of the failure: "Unable to write the file PATH." and the cause (no space
// left on the device, the folder not writable, not there, ...).
std::string WriteFailureText(const std::string& path, int error);
// Whether a file can be created and written in `folder` (or, while it does
// not exist yet, in the nearest folder above it that does, where it would
// be made): empty when it can, else what is wrong, naming the folder.
// Nothing is left in the folder. Called before a long retrieval, so that a
// folder that cannot take its files is found before the data are read.
std::string CheckFolderWritable(const std::string& folder);

// Line-by-line reading as the text readers have always read: at most
// maxLength characters a call, a longer line coming back in pieces; the
// line end (LF, CR LF) is not part of the line.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}
  bool Next(std::string_view& line, size_t maxLength = 299);
  bool AtEnd() const { return pos_ >= text_.size(); }
  size_t Position() const { return pos_; }
  std::string_view Rest() const { return text_.substr(pos_); }
  void Seek(size_t position) { pos_ = position < text_.size() ? position : text_.size(); }
  void Skip(size_t n) { pos_ = n > text_.size() - pos_ ? text_.size() : pos_ + n; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

// The text from column col on (empty when the line is shorter), as a
// NUL-terminated string for the sscanf readers.
std::string FromColumn(std::string_view line, size_t col);
// The text after the first occurrence of key plus offset characters; nullopt
// when key is absent.
std::optional<std::string> AfterKey(std::string_view line, std::string_view key, size_t offset);
bool Contains(std::string_view text, std::string_view part);

}  // namespace tmv
