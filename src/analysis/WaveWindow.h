#pragma once
// The modeless "Wave measurements" window: the burst at the graph's cursor
// (or the latest one in real time) as a title, a text of its statistics, its
// rebuilt surface and its spectrum. The face only paints what this gives.
#include <string>
#include <vector>

namespace tmv {

struct AppState;
struct WaveStore;

constexpr int kWaveWindowData = 1;      // mode: data display
constexpr int kWaveWindowRealTime = 0;  // any other mode: real time

struct WavePoint {
  int x = 0;
  int y = 0;
};

struct WaveWindowView {
  bool shown = false;   // a burst was picked
  int burst = -1;
  std::string title;    // "Wave measurements at ... - Wave %d of %d"
  std::string text = "Move cursor to see waves.";
  std::vector<float> surface;     // [m], one per reading
  float crestMax = 0, troughMin = 0;
  std::vector<double> frequency;  // [Hz], lines 0..N/2 of the surface
  std::vector<double> amplitude;  // [m], the surface's amplitude at each line
  bool realTimePen = false;
};

// Picks the burst for `row` and fills the view; an empty view ("Move cursor
// to see waves.") without wave sampling, bursts or results.
WaveWindowView ShowWaveWindow(const AppState& state, const WaveStore& store, int row, int mode);

// The polyline of a surface in a drawing field of width x height pixels:
// centred on zero when the surface has crests and troughs, else scaled
// between its extremes.
std::vector<WavePoint> WaveTrace(const std::vector<float>& surface, float crestMax, float troughMin, int width,
                                 int height);

}  // namespace tmv
