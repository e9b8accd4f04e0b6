#pragma once
// The plot renderer that tmv-cli loads only when it draws a picture, so that
// the tool starts without the Qt libraries: loading them takes longer than
// most of its exchanges with a logger.
#include "presentation/GraphView.h"

namespace tmv::paint {

// Renders the drawing as the desktop graph paints it and saves it (the
// format from the name's extension); 1 saved, 0 not.
using PlotToFileFunction = int (*)(const GraphDrawing* drawing, const char* path);
constexpr const char* kPlotToFileSymbol = "tmv_plot_to_file";
constexpr const char* kPlotModuleName = "tmv-plot.so";

}  // namespace tmv::paint
