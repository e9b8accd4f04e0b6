#include "files/WorkFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "files/DataFileIo.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/CommandIds.h"

namespace tmv {

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxRecentPathLength = 4096;

// Creates a directory; an existing directory is fine, anything else at that
// path (or any other failure) is not.
bool MakeDirectory(const std::string& path) {
  std::error_code ec;
  fs::create_directory(path, ec);
  std::error_code ec2;
  return fs::is_directory(path, ec2);
}

// Position of the last case-insensitive occurrence of needle, or npos.
size_t FindLastNoCase(std::string_view text, std::string_view needle) {
  if (needle.empty() || needle.size() > text.size()) return std::string_view::npos;
  for (size_t i = text.size() - needle.size() + 1; i-- > 0;) {
    bool match = true;
    for (size_t j = 0; j < needle.size(); ++j) {
      if (std::tolower(static_cast<unsigned char>(text[i + j])) !=
          std::tolower(static_cast<unsigned char>(needle[j]))) {
        match = false;
        break;
      }
    }
    if (match) return i;
  }
  return std::string_view::npos;
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  if (suffix.size() > text.size()) return false;
  return FindLastNoCase(text.substr(text.size() - suffix.size()), suffix) == 0;
}

// A directory value from tmvdir.ini: non-empty, within the path limit, plain text.
bool UsableDirectory(std::string_view value) {
  return !value.empty() && value.size() <= kMaxDirectoryLength && FitsOnOneLine(value);
}

void ShowStartupError(AppState& state, const std::string& text) {
  state.ui.MessageBox(text, "Startup", MessageButtons::Ok, MessageIcon::Stop, MessageAnswer::Ok);
}

}  // namespace

std::string WorkDirectory(const AppState& state) {
  if (!state.directories.work.empty()) return state.directories.work;
  std::error_code ec;
  const fs::path current = fs::current_path(ec);
  return ec ? std::string(".") : current.string();
}

std::string DatDirectory(const AppState& state) {
  return state.directories.dat.empty() ? WorkPath(state, "dat") : state.directories.dat;
}

std::string WorkPath(const AppState& state, std::string_view name) {
  std::string path = WorkDirectory(state);
  if (path.empty() || path.back() != '/') path += '/';
  path += name;
  return path;
}

bool FitsOnOneLine(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::optional<std::string> ReadTextFile(const std::string& path, size_t maxBytes) {
  // Opened without waiting and checked before reading: a FIFO or a device
  // under a work file's name would otherwise block the program for ever.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  std::string text(maxBytes, '\0');
  size_t got = 0;
  while (got < maxBytes) {
    const ssize_t n = ::read(fd, text.data() + got, maxBytes - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  text.resize(got);
  return text;
}

bool IsUnusableFile(const std::string& path) {
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  return !ec && fs::exists(st) && !fs::is_regular_file(st);
}

bool ReportUnusableFile(AppState& state, const std::string& path) {
  if (!IsUnusableFile(path)) return false;
  state.ui.MessageBox(Format(Tr(state, "Unable to open file: %s").c_str(), path.c_str()), Tr(state, "Error"),
                      MessageButtons::Ok, MessageIcon::Exclamation, MessageAnswer::Ok);
  return true;
}

std::string WithCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

bool WriteTextFile(const std::string& path, std::string_view plain) { return WriteFileReplacing(path, WithCrLf(plain)); }

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

int PrepareDirectories(AppState& state) {
  WorkDirectories& d = state.directories;
  if (d.work.empty()) d.work = WorkDirectory(state);
  const std::string work = d.work;
  const std::string datError =
      Tr(state, "Error: Unable to create the '%s/dat' directory\nCheck that your TMV directory is not write protected.");
  const std::string hexError =
      Tr(state, "Error: Unable to create the '%s/hex' directory\nCheck that your TMV directory is not write protected.");
  struct Step {
    std::string* directory;
    const char* name;
    std::string message;
  };
  const Step steps[] = {
      {&d.dat, "dat", Format(datError.c_str(), work.c_str())},
      {&d.mat, "mat", Tr(state, "Error: Unable to create mat directory")},
      {&d.hex, "hex", Format(hexError.c_str(), work.c_str())},
      {&d.hexOutput, "hex", Format(hexError.c_str(), work.c_str())},
  };
  for (const Step& step : steps) {
    if (!step.directory->empty()) continue;
    *step.directory = WorkPath(state, step.name);
    if (!MakeDirectory(*step.directory)) {
      ShowStartupError(state, step.message);
      return 0;
    }
  }
  LoadWorkDirectories(state);
  SaveWorkDirectories(state);
  return 1;
}

void DefaultDirectories(AppState& state) {
  WorkDirectories& d = state.directories;
  if (d.work.empty()) d.work = WorkDirectory(state);
  for (auto [directory, name] : {std::pair{&d.dat, "dat"}, {&d.mat, "mat"}, {&d.hex, "hex"}, {&d.hexOutput, "hex"}})
    if (directory->empty()) *directory = WorkPath(state, name);
}

void ParseWorkDirectoriesText(AppState& state, std::string_view text) {
  struct Key {
    const char* key;
    std::string* directory;
  };
  const Key keys[] = {{"DAT directory=", &state.directories.dat},
                      {"MAT directory=", &state.directories.mat},
                      {"HEX directory=", &state.directories.hex}};
  for (std::string_view line : SplitLines(text)) {
    for (const Key& k : keys) {
      if (line.find(k.key) == std::string_view::npos) continue;
      const std::string_view value = line.substr(line.find('=') + 1);
      if (UsableDirectory(value)) *k.directory = std::string(value);
      break;
    }
  }
}

std::string WorkDirectoriesText(const AppState& state) {
  return "DAT directory=" + state.directories.dat + "\nHEX directory=" + state.directories.hex +
         "\nMAT directory=" + state.directories.mat + "\n";
}

int LoadWorkDirectories(AppState& state) {
  if (ReportUnusableFile(state, WorkPath(state, "tmvdir.ini"))) return 0;
  const auto text = ReadTextFile(WorkPath(state, "tmvdir.ini"));
  if (!text) return 0;
  ParseWorkDirectoriesText(state, *text);
  return 1;
}

int SaveWorkDirectories(const AppState& state) {
  if (!state.directories.filesWritable) return 0;
  return WriteTextFile(WorkPath(state, "tmvdir.ini"), WorkDirectoriesText(state)) ? 1 : 0;
}

std::string DirectoryOfCurrentFile(std::string_view path, int kind, std::string_view defaultDirectory) {
  const char* ext = kind == 1 ? ".hex" : (kind == 2 ? ".dat" : nullptr);
  if (ext == nullptr) return std::string(defaultDirectory);
  const size_t at = FindLastNoCase(path, ext);
  if (at == std::string_view::npos) return std::string(defaultDirectory);
  const size_t slash = path.substr(0, at).rfind('/');
  if (slash == std::string_view::npos) return std::string(defaultDirectory);
  // Remembering a directory that tmvdir.ini would refuse at the next start
  // would make the program forget it silently then.
  if (!UsableDirectory(path.substr(0, slash == 0 ? 1 : slash))) return std::string(defaultDirectory);
  // A file in the root directory keeps its "/".
  return std::string(path.substr(0, slash == 0 ? 1 : slash));
}

std::string EnsureExtension(std::string_view path, std::string_view ext) {
  std::string result(path);
  if (path.empty() || EndsWithNoCase(path, ext)) return result;
  result += ext;
  return result;
}

void ParseRecentFilesText(AppState& state, std::string_view text) {
  auto& list = state.shell.recentFiles;
  list.clear();
  for (std::string_view line : SplitLines(text)) {
    if (static_cast<int>(list.size()) >= kMaxRecentFiles) break;
    if (line.empty() || line.size() > kMaxRecentPathLength) continue;
    if (!FitsOnOneLine(line)) continue;
    const std::string path(line);
    if (std::find(list.begin(), list.end(), path) == list.end()) list.push_back(path);
  }
}

int LoadRecentFiles(AppState& state) {
  const std::string current = WorkPath(state, "tmvpath.fil");
  if (!FileExists(current)) {
    const std::string older = WorkPath(state, "tmv.fil");
    if (FileExists(older)) std::rename(older.c_str(), current.c_str());
  }
  ReportUnusableFile(state, current);
  const auto text = ReadTextFile(current);
  if (!text) {
    state.shell.recentFiles.clear();
    return 0;
  }
  ParseRecentFilesText(state, *text);
  return 1;
}

int SaveRecentFiles(const AppState& state) {
  if (!state.directories.filesWritable) return 0;
  std::string text;
  for (const auto& path : state.shell.recentFiles) text += path + "\n";
  return WriteTextFile(WorkPath(state, "tmvpath.fil"), text) ? 1 : 0;
}

void AddRecentFile(AppState& state, const std::string& path) {
  if (path.empty() || !FitsOnOneLine(path)) return;
  auto& list = state.shell.recentFiles;
  // Only the same path is the same entry: a path that merely contains
  // another (data.dat and a.dat) is a different file.
  list.erase(std::remove(list.begin(), list.end(), path), list.end());
  list.insert(list.begin(), path);
  if (static_cast<int>(list.size()) > kMaxRecentFiles) list.resize(kMaxRecentFiles);
  SaveRecentFiles(state);
  BuildRecentFileMenu(state);
}

void RemoveRecentFile(AppState& state, const std::string& path) {
  auto& list = state.shell.recentFiles;
  const auto it = std::find(list.begin(), list.end(), path);
  if (it == list.end()) return;
  list.erase(it);
  SaveRecentFiles(state);
  BuildRecentFileMenu(state);
}

std::vector<std::string> RecentFileMenuTexts(const AppState& state) {
  std::vector<std::string> texts;
  int number = 1;
  for (const auto& path : state.shell.recentFiles) {
    if (number > kMaxRecentFiles) break;
    texts.push_back(Format("%2d - %s", number++, path.c_str()));
  }
  return texts;
}

void BuildRecentFileMenu(AppState& state) {
  for (int i = 0; i < kMaxRecentFiles; ++i) state.ui.RemoveCommand(cmd::kReadRecentFile + i);
  const auto texts = RecentFileMenuTexts(state);
  for (size_t i = 0; i < texts.size(); ++i)
    state.ui.InsertCommand(cmd::kReadRecentFile + static_cast<int>(i), texts[i], cmd::kReadDatFile);
}

}  // namespace tmv
