#include "presentation/GraphCommands.h"

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

GraphDrawing RepaintGraph(AppState& state, const StatisticsHooks& hooks) {
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
  DrawContext context{state.retrieval.data, state.logger, 0};
  return BuildDrawing(g, context);
}

int RunGraphCommand(AppState& state, int command) {
  GraphState& g = state.graph;
  if (!g.hasData) return 0;
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
