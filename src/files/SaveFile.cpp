#include "files/SaveFile.h"

#include <algorithm>
#include <cstdio>

#include "files/DatFile.h"
#include "files/DataFileIo.h"
#include "files/HexFile.h"
#include "files/WorkFiles.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/StatusLine.h"

namespace tmv {

namespace {

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A generic serial card that takes its readings as text: the DAT file is
// that text. The memory itself is binary whatever the card, so the HEX file
// (the lossless record) is written for every logger.
bool StoresAsciiText(const LoggerInfo& l) { return (l.rsAdvanced & 0x0Au) == 0x0Au && l.cardProtocolLevel >= 1; }

}  // namespace

std::string HexPathFor(const AppState& state, const std::string& datPath) {
  std::string name = BaseName(datPath);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  const std::string dir = state.directories.hexOutput.empty() ? WorkPath(state, "hex") : state.directories.hexOutput;
  return dir + "/" + name + ".hex";
}

std::string CheckSaveFolders(const AppState& state, const std::string& datPath) {
  std::string datFolder = state.directories.dat.empty() ? WorkPath(state, "dat") : state.directories.dat;
  if (!datPath.empty()) {
    const size_t slash = datPath.find_last_of('/');
    datFolder = slash == std::string::npos ? "." : slash == 0 ? "/" : datPath.substr(0, slash);
  }
  if (std::string why = CheckFolderWritable(datFolder); !why.empty()) return why;
  const std::string hexPath = HexPathFor(state, datPath.empty() ? "x.dat" : datPath);
  return CheckFolderWritable(hexPath.substr(0, hexPath.find_last_of('/')));
}

std::optional<std::string> OtherRecordIn(const std::string& hexPath, int serialNumber, const LoggerTime& startOfLogging) {
  std::FILE* f = std::fopen(hexPath.c_str(), "rb");
  if (f == nullptr) return std::nullopt;
  // The first four lines: identity, host time, logger time, start of logging.
  std::string head(1024, '\0');
  head.resize(std::fread(head.data(), 1, head.size(), f));
  std::fclose(f);
  LineReader reader(head);
  std::string_view identity, line, start;
  if (!reader.Next(identity) || !Contains(identity, "TMV")) return std::nullopt;
  if (!reader.Next(line) || !reader.Next(line) || !reader.Next(start)) return std::nullopt;
  char maker[64] = {}, model[64] = {};
  float version = 0.0f;
  int serial = -1;
  if (std::sscanf(std::string(identity).c_str(), "%63s %63s %f %d", maker, model, &version, &serial) != 4) return std::nullopt;
  const std::string ours = "Logging start " + TimeToShortText(startOfLogging);
  const bool same = serial == serialNumber && start.substr(0, ours.size()) == ours;
  if (same) return std::nullopt;
  std::string described = Format("logger %06d", serial);
  if (start.size() > 14) described += ", logging start " + std::string(start.substr(14));
  return described;
}

std::string FreeFileName(const std::string& path) {
  if (!FileExists(path)) return path;
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  const std::string stem = hasExtension ? path.substr(0, dot) : path;
  const std::string extension = hasExtension ? path.substr(dot) : std::string();
  for (int n = 1;; ++n) {
    const std::string candidate = stem + "_" + std::to_string(n) + extension;
    if (!FileExists(candidate)) return candidate;
  }
}

std::string ProposedDataFileName(const AppState& state, const char* extension) {
  const LoggerTime t = state.clock.LocalTime();
  return Format("%06d_%04d%02d%02d_%02d%02d%02d%s", state.logger.serialNumber, t.year, t.month, t.day, t.hour,
                t.minute, t.second, extension);
}

int SaveFile(AppState& state, int mode) {
  RetrievalState& r = state.retrieval;
  DataSet& d = r.data;
  UserInterface& ui = state.ui;
  // 1, 2. Anything to save?
  if (mode == kSaveHexAndDat && !d.unsaved) return 0;
  if (d.sampleCount == 0 &&
      ui.MessageBox(Tr(state, "There are no data to store.\nAll the reported readings were imbedded timestamps.\n\nSaving data to file will write the hex file\nwhich is an image of the logger memory.\nThis may be a useful debugging tool.\n\nDo you still want to write a file?"),
                    Tr(state, "Save data to a file"), MessageButtons::YesNo, MessageIcon::Question,
                    MessageAnswer::No) != MessageAnswer::Yes)
    return 0;
  // 3. The name.
  FileDialogRequest request;
  request.save = true;
  request.title = Tr(state, "Select a 'dat' file for storing the data");
  request.directory = state.directories.dat;
  const int serial = state.logger.serialNumber;
  if (r.download.appendMode && !r.download.appendedFile.empty()) {
    std::string name = BaseName(r.download.appendedFile);
    const size_t ext = name.rfind(".hex");
    if (ext != std::string::npos) name.replace(ext, 4, ".dat");
    request.pattern = name;
    request.filter = Format(Tr(state, "All %06d Data Files (%06d*.dat)").c_str(), serial, serial);
  } else {
    request.pattern = Format("%06d*.dat", serial);
    request.filter = Tr(state, "All Data Files (*.dat)");
    // Saved again, the data keeps its name; new data gets one built for it.
    const bool again = r.saved || r.dataFromFile;
    if (again && !r.currentFile.empty()) {
      request.name = BaseName(r.currentFile);
      const size_t dot = request.name.rfind('.');
      request.name = request.name.substr(0, dot) + ".dat";
    } else {
      request.name = ProposedDataFileName(state);
    }
  }
  const auto chosen = ui.ChooseFile(request);
  if (!chosen) return 0;
  const std::string datPath = EnsureExtension(*chosen);
  // 4. Remember the directory; ask before overwriting.
  state.directories.dat = DirectoryOfCurrentFile(datPath, 2, state.directories.dat);
  SaveWorkDirectories(state);
  if (FileExists(datPath) &&
      ui.MessageBox(Format(Tr(state, "%s already exists.\nContinue to overwrite this file?").c_str(), datPath.c_str()),
                    Tr(state, "Write File"), MessageButtons::YesNo, MessageIcon::Question,
                    MessageAnswer::No) != MessageAnswer::Yes)
    return 0;
  // 5. The comment; saved again, the data's own comment is offered.
  const bool again = mode == kSaveDatOnly || r.saved || r.dataFromFile;
  r.comment = ui.AskText(Tr(state, "Comment"), Tr(state, "Comment to store with the data"), again ? r.comment : std::string())
                  .value_or(std::string());
  // One line: a line end would end the header line early.
  std::replace(r.comment.begin(), r.comment.end(), '\r', ' ');
  std::replace(r.comment.begin(), r.comment.end(), '\n', ' ');
  // 6, 7. A HEX file that holds another logger's record (the same DAT name
  // in another directory) is that record's only lossless copy: asked about.
  SaveTarget target{datPath, r.comment, true};
  if (mode == kSaveHexAndDat)
    if (const auto other = OtherRecordIn(HexPathFor(state, datPath), state.logger.serialNumber, d.startTime))
      target.replaceOtherRecord =
          ui.MessageBox(Format(Tr(state, "%s already exists.\nIt holds the data of %s.\nContinue to overwrite this file?").c_str(),
                               HexPathFor(state, datPath).c_str(), other->c_str()),
                        Tr(state, "Write File"), MessageButtons::YesNo, MessageIcon::Question,
                        MessageAnswer::No) == MessageAnswer::Yes;
  ui.SetWaitCursor(true);
  const SaveResult saved = WriteDataFiles(state, mode, target);
  ui.SetWaitCursor(false);
  if (saved.hexRenamed)
    ui.MessageBox(Format(Tr(state, "The HEX file is written as %s.").c_str(), saved.hexPath.c_str()), Tr(state, "Write File"),
                  MessageButtons::Ok, MessageIcon::Information, MessageAnswer::Ok);
  if (!saved.outcome.Ok())
    ui.MessageBox(OutcomeText(saved.outcome), Tr(state, "Write File"), MessageButtons::Ok, MessageIcon::Exclamation,
                  MessageAnswer::Ok);
  return saved.outcome.kind == OutcomeKind::Done || saved.outcome.kind == OutcomeKind::Partial ? 1 : 0;
}

SaveResult WriteDataFiles(AppState& state, int mode, const SaveTarget& target) {
  RetrievalState& r = state.retrieval;
  DataSet& d = r.data;
  SaveResult result;
  const std::string& datPath = target.datPath;
  r.comment = target.comment;
  // One line: a line end would end the header line early.
  std::replace(r.comment.begin(), r.comment.end(), '\r', ' ');
  std::replace(r.comment.begin(), r.comment.end(), '\n', ' ');
  // The HEX file, always in the HEX output directory.
  std::string hexPath = HexPathFor(state, datPath);
  r.savedHexFile.clear();
  std::string hexFailure;
  if (mode == kSaveHexAndDat) {
    if (!target.replaceOtherRecord && OtherRecordIn(hexPath, state.logger.serialNumber, d.startTime)) {
      hexPath = FreeFileName(hexPath);
      result.hexRenamed = true;
    }
    int error = 0;
    if (WriteHexFile(state, hexPath, &error)) {
      r.savedHexFile = hexPath;
      result.hexPath = hexPath;
    } else {
      hexFailure = WriteFailureText(hexPath, error);
    }
  }
  // The DAT file.
  AddRecentFile(state, datPath);
  bool datWritten;
  int datError = 0;
  if (StoresAsciiText(state.logger) && state.logger.cardProtocolLevel >= 1) {
    // The logger stored text: the DAT file is the header and that text.
    const int length = std::clamp(r.image.imageLength, 0, kMemoryImageSize);
    const int start = std::clamp(d.headerLength, 0, length);
    std::string_view body;
    if (r.image.Bytes() != nullptr)
      body = std::string_view(reinterpret_cast<const char*>(r.image.Bytes()) + start, static_cast<size_t>(length - start));
    HeaderOverrides overrides;
    overrides.sampleCount = static_cast<int>(std::count(body.begin(), body.end(), '\n'));
    std::string datText = FileHeaderText(state, kHeaderModeDat, overrides);
    datText.append(body);
    datWritten = WriteFileReplacing(datPath, datText, &datError);
  } else {
    datWritten = WriteDatFile(state, datPath, &datError);
  }
  if (!datWritten) {
    result.outcome = Outcome::Of(OutcomeKind::Failed, "%s", {WriteFailureText(datPath, datError)});
    return result;
  }
  result.datPath = datPath;
  // Saved; the caption companion for the second language.
  d.unsaved = false;
  r.saved = true;
  r.download.appendMode = false;
  r.currentFile = datPath;
  if (state.settings.languageSupport)
    WriteFileReplacing(CaptionFilePath(datPath), CaptionFileBytes(FileHeaderText(state, kHeaderModeDat)));
  // Where the file went; a download that ended early still says so.
  const bool incomplete = state.statusText.rfind("Download incomplete", 0) == 0;
  ShowStatus(state, Tr(state, "Saved") + " " + datPath + (incomplete ? " - " + state.statusText : std::string()));
  if (state.logger.waves && r.writeTideAndWaveFiles) r.writeTideAndWaveFiles(datPath);
  // Without the HEX file only the converted values are kept: said, as a part.
  if (!hexFailure.empty()) result.outcome = Outcome::Of(OutcomeKind::Partial, "%s", {hexFailure});
  return result;
}

}  // namespace tmv
