#pragma once
// The work directory and the small files the program keeps in it: the data
// directories (tmvdir.ini) and the list of recent files (tmvpath.fil).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tmv {

struct AppState;

constexpr int kMaxRecentFiles = 20;
constexpr size_t kMaxDirectoryLength = 259;

// The work directory, or the current directory when none was set.
std::string WorkDirectory(const AppState& state);
// work + "/" + name.
std::string WorkPath(const AppState& state, std::string_view name);
// The DAT directory set, else "<work>/dat".
std::string DatDirectory(const AppState& state);

// Creates the data directories (defaults "<work>/dat", "<work>/hex",
// "<work>/mat" and the HEX output directory "<work>/hex"), then reads and
// rewrites tmvdir.ini. 1: go on; 0: a directory could not be made, the
// "Startup" message was shown and the program must end.
int PrepareDirectories(AppState& state);
// The same default directories for those still unset, without making them
// (a run that only reads the work directory; LoadWorkDirectories then reads
// the remembered ones).
void DefaultDirectories(AppState& state);
// Lines holding "DAT directory=", "MAT directory=" or "HEX directory=" set
// that directory; 1 when the file could be read.
int LoadWorkDirectories(AppState& state);
// Writes tmvdir.ini; 0 without writing when the work files are not to be written.
int SaveWorkDirectories(const AppState& state);
// Pure forms for tests and callers that hold the text.
void ParseWorkDirectoriesText(AppState& state, std::string_view text);
std::string WorkDirectoriesText(const AppState& state);

// kind 1 HEX, 2 DAT: the directory part of path (everything before the last
// "/" ahead of ".hex" / ".dat"), or defaultDirectory when the path has no
// such extension or no directory part, or a directory tmvdir.ini cannot hold
// (longer than kMaxDirectoryLength or not one line).
std::string DirectoryOfCurrentFile(std::string_view path, int kind, std::string_view defaultDirectory);
// The path with ext (".dat" by default) appended when it does not already end with it.
std::string EnsureExtension(std::string_view path, std::string_view ext = ".dat");

// Recent files: tmvpath.fil in the work directory, one path a line, newest
// first, at most 20 (tmv.fil, its older name, is renamed to it when absent).
// 1 when a list was read; 0 leaves recentFiles empty.
int LoadRecentFiles(AppState& state);
int SaveRecentFiles(const AppState& state);
void ParseRecentFilesText(AppState& state, std::string_view text);
// Puts path first (removing its earlier entry), keeps 20, writes the file.
// A path that cannot be one line of the list is not listed.
void AddRecentFile(AppState& state, const std::string& path);
// Removes the entry of a file that no longer exists and writes the file.
void RemoveRecentFile(AppState& state, const std::string& path);
// The "&Read a recent file" submenu entries: "%2d - %s", numbered from 1.
std::vector<std::string> RecentFileMenuTexts(const AppState& state);
// Rebuilds the submenu: commands cmd::kReadRecentFile + i before "Read a &DAT file".
void BuildRecentFileMenu(AppState& state);

// File helpers shared by the work files.
// The whole file, or nothing when it cannot be opened or is not a regular
// file (a FIFO, a device, a directory); at most maxBytes are read. Never waits.
std::optional<std::string> ReadTextFile(const std::string& path, size_t maxBytes = 1 << 20);
// Writes through a temporary file and a rename, so that a failed write never
// leaves a half-written file in place of the old one. Line ends become CR LF,
// as in the files the loggers' users already have.
bool WriteTextFile(const std::string& path, std::string_view text);
// LF line ends as CR LF (CR LF stays as it is).
std::string WithCrLf(std::string_view text);
bool FileExists(const std::string& path);
// Something that is not a regular file (a FIFO, a device, a directory) is at path.
bool IsUnusableFile(const std::string& path);
// For such a path: "Unable to open file: %s" in a message box; true when shown.
bool ReportUnusableFile(AppState& state, const std::string& path);
// True when text can be stored as one line of a work file and read back the
// same: no line feed, no carriage return (a trailing one is taken as part of
// a CR LF line end) and no NUL.
bool FitsOnOneLine(std::string_view text);
// Splits text into lines without their line ends (LF or CR LF).
std::vector<std::string_view> SplitLines(std::string_view text);

}  // namespace tmv
