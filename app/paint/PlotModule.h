#pragma once
// The plot renderer that tmv-cli loads only when it draws a picture, so that
// the tool starts without the Qt libraries: loading them takes longer than
// most of its exchanges with a logger.
#include <functional>
#include <string>

#include "presentation/GraphView.h"

namespace tmv::paint {

// A picture to draw: the core builds the drawing once the module tells it
// how wide the graph's texts are, and the module saves it.
struct PlotJob {
  std::function<GraphDrawing(const TextMetrics&)> build;
  std::string path;
  PictureFormat format = PictureFormat::Png;
  std::string error;  // why it was not saved
};

// Draws and saves the job's picture; 1 saved, 0 not (error set).
using PlotToFileFunction = int (*)(PlotJob* job);
constexpr const char* kPlotToFileSymbol = "tmv_plot_job_to_file";
constexpr const char* kPlotModuleName = "tmv-plot.so";

}  // namespace tmv::paint
