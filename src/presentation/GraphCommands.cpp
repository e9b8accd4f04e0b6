#include "presentation/GraphCommands.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "retrieval/SampleDecoder.h"
#include "shell/AppState.h"
#include "shell/StatusLine.h"

namespace tmv {

void AttachCurrentData(AppState& state) {
  state.graph.view.showRangeChanges = state.shell.showRangeChanges;
  state.graph.view.realTime = false;
  AttachData(state.graph, state.retrieval.data);
}

bool RedecodeForView(AppState& state, bool raw) {
  if (state.retrieval.image.imageLength <= 0 || state.retrieval.data.fromDatFile) return false;
  const GraphView kept = state.graph.view;
  state.retrieval.data.rawMode = raw;
  DecodeSampleStream(state, true);
  AttachCurrentData(state);
  GraphView& v = state.graph.view;
  const uint32_t all = state.graph.columns >= 32 ? 0xFFFFFFFFu : (1u << state.graph.columns) - 1u;
  v.shownMask = kept.shownMask & all;
  if (v.shownMask == 0) v.shownMask = all;
  if (kept.currentChannel < state.graph.columns) {
    v.currentChannel = kept.currentChannel;
    v.currentKind = ColumnKind(state.retrieval.data, kept.currentChannel);
    ResetVertical(state.graph);
  }
  v.cursorActive = kept.cursorActive;
  v.cursorIndex = kept.cursorIndex;
  return true;
}

int DerivedUnitChoice(const AppState& state) {
  switch (state.settings.derived.oxygenUnit) {
    case OxygenUnit::MgPerLitre: return 1;
    case OxygenUnit::MlPerLitre: return 2;
    default: return 0;
  }
}

GraphDrawing RepaintGraph(AppState& state, const StatisticsHooks& hooks, const PictureRequest& picture) {
  GraphState& g = state.graph;
  StatisticsPanelState& p = state.statistics;
  g.view.fineScale = p.statisticsShown;
  g.view.showRangeChanges = state.shell.showRangeChanges;
  if (p.statisticsShown) {
    StatisticsPanel panel(state, hooks);
    // The panel may change the count: the highlight follows it.
    panel.UpdateStatistics(g.view.currentChannel, g.view.cursorActive ? g.view.cursorIndex : -1);
  }
  g.view.highlightCount = p.statisticsShown ? p.highlightCount : 0;
  const DrawContext context{state.retrieval.data, state.logger, DerivedUnitChoice(state), picture.metrics};
  if (picture.width > 0 && picture.height > 0) LayOutPicture(g, context, picture.width, picture.height, picture.options);
  return BuildDrawing(g, context);
}

int RunGraphCommand(AppState& state, int command) {
  GraphState& g = state.graph;
  if (!g.hasData) return 0;
  // A zoom button's step is one step back in the history.
  if (command != graphcmd::kShowAll && command != graphcmd::kDepthPlot && !(command == graphcmd::kZoomIn && state.shell.realTimeActive))
    RecordView(g, ViewGesture::Buttons, 0);
  switch (command) {
    case graphcmd::kZoomOut: ZoomOutHorizontal(g); return 1;
    case graphcmd::kReset: ResetHorizontal(g); return 1;
    case graphcmd::kZoomInVertical: ZoomInVertical(g); return 1;
    case graphcmd::kZoomOutVertical: ZoomOutVertical(g); return 1;
    case graphcmd::kResetVertical: ResetVertical(g); return 1;
    case graphcmd::kShowAll: ShowAll(g, state.retrieval.data); return 1;
    case graphcmd::kDepthPlot: ToggleDepthPlot(g, state.retrieval.data); return 1;
    case graphcmd::kZoomIn:
      if (state.shell.realTimeActive) return 0;
      ZoomInHorizontal(g);
      return 1;
    default: return 0;
  }
}

std::string ScreenCaptureName(const AppState& state) {
  char name[32];
  std::snprintf(name, sizeof name, "%06d.bmp", state.logger.serialNumber);
  const std::string& dir = state.directories.dat;
  if (dir.empty()) return name;
  return (std::filesystem::path(dir) / name).string();
}

int ScreenCapture(AppState& state, const std::function<bool(const std::string&)>& write) {
  FileDialogRequest request;
  request.save = true;
  request.title = "Screen Capture";
  request.directory = state.directories.dat;
  request.pattern = std::filesystem::path(ScreenCaptureName(state)).filename().string();
  request.filter = "Bitmap Files (*.bmp)";
  std::optional<std::string> chosen = state.ui.ChooseFile(request);
  if (!chosen) return 0;
  std::string path = *chosen;
  if (std::filesystem::path(path).extension().empty()) path += ".bmp";
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) {
    char text[1200];
    std::snprintf(text, sizeof text, "%s already exists.\nContinue to overwrite this file?", path.c_str());
    if (state.ui.MessageBox(text, "Screen Capture", MessageButtons::YesNo, MessageIcon::Exclamation,
                            MessageAnswer::No) != MessageAnswer::Yes)
      return 0;
  }
  if (!write || !write(path)) {
    ShowStatus(state, "Unable to write the screen capture " + path);
    return 0;
  }
  ShowStatus(state, "Screen captured to " + path);
  return 1;
}

}  // namespace tmv

namespace tmv {

std::optional<PictureFormat> PictureFormatNamed(const std::string& name) {
  std::string lower;
  for (char c : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "png") return PictureFormat::Png;
  if (lower == "svg") return PictureFormat::Svg;
  if (lower == "pdf") return PictureFormat::Pdf;
  return std::nullopt;
}

std::optional<PictureFormat> PictureFormatOfPath(const std::string& path) {
  const std::string extension = std::filesystem::path(path).extension().string();
  if (extension.size() < 2) return std::nullopt;
  return PictureFormatNamed(extension.substr(1));
}

const char* PictureExtension(PictureFormat format) {
  switch (format) {
    case PictureFormat::Svg: return ".svg";
    case PictureFormat::Pdf: return ".pdf";
    default: return ".png";
  }
}

std::optional<std::pair<int, int>> ParsePictureSize(const std::string& text) {
  int width = 0, height = 0;
  char separator = 0;
  char rest = 0;
  if (std::sscanf(text.c_str(), " %d %c %d %c", &width, &separator, &height, &rest) != 3) return std::nullopt;
  if (separator != 'x' && separator != 'X' && separator != '*') return std::nullopt;
  if (width < 100 || height < 100 || width > 20000 || height > 20000) return std::nullopt;
  return std::pair{width, height};
}

int SaveGraphPicture(AppState& state, int shownWidth, int shownHeight, const PictureWriter& write) {
  if (!state.graph.hasData) {
    ShowStatus(state, "There is no graph to save");
    return 0;
  }
  FileDialogRequest request;
  request.save = true;
  request.title = "Save Graph";
  request.directory = state.directories.dat;
  char name[40];
  std::snprintf(name, sizeof name, "%06d-graph.png", state.logger.serialNumber);
  request.pattern = name;
  request.filter = "Pictures (*.png *.svg *.pdf)";
  std::optional<std::string> chosen = state.ui.ChooseFile(request);
  if (!chosen) return 0;
  std::string path = *chosen;
  std::optional<PictureFormat> format = PictureFormatOfPath(path);
  if (!format) {
    if (!std::filesystem::path(path).extension().empty()) {
      state.ui.MessageBox("A graph is saved as a PNG picture, an SVG drawing or a PDF document: end the name with .png, .svg or .pdf.",
                          "Save Graph", MessageButtons::Ok, MessageIcon::Exclamation, MessageAnswer::Ok);
      return 0;
    }
    format = PictureFormat::Png;
    path += ".png";
  }
  int width = std::max(shownWidth, 100), height = std::max(shownHeight, 100);
  char prompt[200];
  std::snprintf(prompt, sizeof prompt, "Size of the picture in pixels, width x height\n(leave empty for %d x %d, as on the screen):",
                width, height);
  const std::optional<std::string> size = state.ui.AskText("Save Graph", prompt);
  if (!size) return 0;
  if (size->find_first_not_of(" \t") != std::string::npos) {
    const auto parsed = ParsePictureSize(*size);
    if (!parsed) {
      state.ui.MessageBox("\"" + *size + "\" is not a size: give the width and the height in pixels, for example 1920 x 1080.",
                          "Save Graph", MessageButtons::Ok, MessageIcon::Exclamation, MessageAnswer::Ok);
      return 0;
    }
    width = parsed->first;
    height = parsed->second;
  }
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) {
    char text[1200];
    std::snprintf(text, sizeof text, "%s already exists.\nContinue to overwrite this file?", path.c_str());
    if (state.ui.MessageBox(text, "Save Graph", MessageButtons::YesNo, MessageIcon::Exclamation, MessageAnswer::No) !=
        MessageAnswer::Yes)
      return 0;
  }
  if (!write || !write(path, *format, width, height)) {
    ShowStatus(state, "Unable to write the graph to " + path);
    return 0;
  }
  ShowStatus(state, "Graph saved to " + path);
  return 1;
}

}  // namespace tmv
