#pragma once
// The graph on the program state: a new DataSet on screen, the repaint with
// the statistics panel's part in it, the graph's buttons, and the screen
// capture's file name.
#include <functional>
#include <string>

#include "analysis/Statistics.h"
#include "presentation/GraphView.h"

namespace tmv {

struct AppState;

// Graph buttons and scroll-bar commands.
namespace graphcmd {
constexpr int kZoomOut = 136;
constexpr int kReset = 137;
constexpr int kZoomInVertical = 138;
constexpr int kZoomOutVertical = 139;
constexpr int kResetVertical = 140;
constexpr int kShowAll = 144;
constexpr int kDepthPlot = 145;
constexpr int kZoomIn = 2135;  // the same number ends real-time collection while one runs
}  // namespace graphcmd

// The current DataSet goes on screen: summaries built, both axes reset.
void AttachCurrentData(AppState& state);
// Decodes the held memory image again (raw fractions or engineering units)
// and sets the graph up again keeping its shown channels and selected
// channel. false when no image is held.
bool RedecodeForView(AppState& state, bool raw);
// One repaint: the drawing data, and the statistics while the panel is shown.
GraphDrawing RepaintGraph(AppState& state, const StatisticsHooks& hooks);
// 136..140, 144, 145 and 2135 (zoom in when no real-time collection runs). 1 done.
int RunGraphCommand(AppState& state, int command);
// "%06d.bmp" (the serial number) in the DAT directory.
std::string ScreenCaptureName(const AppState& state);
// Asks for the capture's file, and about overwriting; `write` writes the
// window's image. 1 written.
int ScreenCapture(AppState& state, const std::function<bool(const std::string&)>& write);

}  // namespace tmv
