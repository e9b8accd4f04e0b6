#pragma once
// The graph on the program state: a new DataSet on screen, the repaint with
// the statistics panel's part in it, the graph's buttons, and the screen
// capture's file name.
#include <functional>
#include <optional>
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
// The picture a face asks for: its size, how wide its texts are, and the
// room for its own controls.
struct PictureRequest {
  int width = 0, height = 0;
  const TextMetrics* metrics = nullptr;
  PictureOptions options;
};
// The derived-unit choice that names the oxygen units (0 µMol/l, 1 mg/l, 2 ml/l).
int DerivedUnitChoice(const AppState& state);
// One repaint of the picture: laid out for its size, with the statistics
// while their panel is shown.
GraphDrawing RepaintGraph(AppState& state, const StatisticsHooks& hooks, const PictureRequest& picture);

// 136..140, 144, 145 and 2135 (zoom in when no real-time collection runs). 1 done.
int RunGraphCommand(AppState& state, int command);
// "%06d.bmp" (the serial number) in the DAT directory.
std::string ScreenCaptureName(const AppState& state);
// Asks for the capture's file, and about overwriting; `write` writes the
// window's image. 1 written.
int ScreenCapture(AppState& state, const std::function<bool(const std::string&)>& write);

// The graph alone as a picture file.
// The format a file's extension names (".png", ".svg", ".pdf", any case).
std::optional<PictureFormat> PictureFormatOfPath(const std::string& path);
std::optional<PictureFormat> PictureFormatNamed(const std::string& name);  // "png", "svg", "pdf"
const char* PictureExtension(PictureFormat format);
// "1920x1080", "1920 x 1080", "1920*1080"; each side 100 to 20000 pixels.
std::optional<std::pair<int, int>> ParsePictureSize(const std::string& text);
using PictureWriter = std::function<bool(const std::string& path, PictureFormat format, int width, int height)>;
// "Save graph as": asks for the file (PNG, SVG or PDF by its name) and its
// size in pixels (empty: as shown, shownWidth x shownHeight), about
// overwriting, then `write` draws the graph alone into it. 1 written.
int SaveGraphPicture(AppState& state, int shownWidth, int shownHeight, const PictureWriter& write);

}  // namespace tmv
