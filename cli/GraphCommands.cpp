// Commands on data files: plot (the desktop graph's picture, headless) and
// stats (the statistics panel's numbers).
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <sstream>
#include <vector>

#include "CliCommand.h"
#include "CliSupport.h"
#include "Json.h"
#include "analysis/Statistics.h"
#include "files/DatFile.h"
#include "files/HexFile.h"
#include "presentation/GraphCommands.h"
#include "presentation/GraphView.h"
#include "shell/AppState.h"

#ifdef TMV_HAVE_PLOT_MODULE
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "PlotModule.h"
#endif

namespace tmv::cli {
namespace {

#ifdef TMV_HAVE_PLOT_MODULE
// The painter module: beside the tool (as built), then where the package
// installs it relative to the tool, then in the build tree.
paint::PlotToFileFunction LoadPlotModule(std::string& why) {
  std::vector<std::string> places;
  if (const char* given = std::getenv("TMV_PLOT_MODULE"); given != nullptr && *given != '\0') places.emplace_back(given);
  char self[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n > 0) {
    std::string dir(self, static_cast<size_t>(n));
    dir.erase(dir.find_last_of('/') + 1);
    places.push_back(dir + paint::kPlotModuleName);
    places.push_back(dir + TMV_PLOT_MODULE_INSTALLED);
  }
  places.emplace_back(TMV_PLOT_MODULE_BUILT);
  for (const std::string& place : places) {
    if (::access(place.c_str(), R_OK) != 0) continue;
    void* module = ::dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
      const char* error = ::dlerror();
      why = error != nullptr ? error : place;
      continue;
    }
    if (auto* f = reinterpret_cast<paint::PlotToFileFunction>(::dlsym(module, paint::kPlotToFileSymbol))) return f;
    why = place + " is not the plot module";
  }
  if (why.empty()) why = std::string("the painter ") + paint::kPlotModuleName + " was not found";
  return nullptr;
}
#endif

// Reads a .hex or .dat file with readings into the state; kParsed when
// read, else the exit status after reporting.
int ReadReadings(CliContext& ctx, const std::string& path) {
  if (int rc = ReadDataFileInto(ctx, path); rc != kParsed) return rc;
  if (ctx.state.retrieval.data.sampleCount <= 0) return ReportFailure(ctx, path + " holds no readings");
  return kParsed;
}

bool ParseChannelList(const std::string& text, std::vector<int>& out) {
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    char* end = nullptr;
    const long v = std::strtol(item.c_str(), &end, 10);
    if (end == item.c_str() || *end != '\0' || v < 1 || v > kMaxColumns) return false;
    out.push_back(static_cast<int>(v));
  }
  return !out.empty();
}

int Plot(CliContext& ctx) {
  std::string file, output, channels, xy, formatName;
  int from = -1, to = -1, width = 1600, height = 900, right = 0, cursor = -1, cursor2 = -1;
  bool stacked = false, depth = false;
  auto parser = CommandParser("plot", "Usage: tmv-cli plot FILE -o OUT.png [--format png|svg|pdf] [--width 1600 --height 900] "
                                      "[--channels 1,3] [--from ROW --to ROW] [--stacked] [--right N] [--xy X,Y | --depth] "
                                      "[--cursor ROW [--second-cursor ROW]] [--derived ...]");
  parser->add_option("file", file, "a .hex or .dat file")->required();
  parser->add_option("-o,--output", output, "the picture to write (.png, .svg or .pdf)")->required();
  parser->add_option("--format", formatName, "png, svg or pdf (default: from the output's name, else png)");
  parser->add_option("--width", width, "picture width in pixels")->check(CLI::Range(100, 20000));
  parser->add_option("--height", height, "picture height in pixels")->check(CLI::Range(100, 20000));
  parser->add_option("--channels", channels, "the channels to draw, from 1 (default all); the first is on the left axis");
  parser->add_option("--from", from, "first row shown (from 0)");
  parser->add_option("--to", to, "last row shown");
  parser->add_flag("--stacked", stacked, "one panel per channel over a shared time axis");
  parser->add_option("--right", right, "a second value axis on the right for this channel")->check(CLI::Range(1, kMaxColumns));
  auto* xyOption = parser->add_option("--xy", xy, "x-y plot of channel Y against channel X");
  parser->add_flag("--depth", depth, "depth plot: the first of --channels across, depth (else pressure) downward")->excludes(xyOption);
  parser->add_option("--cursor", cursor, "the cursor on this row: the read-out under the plot");
  parser->add_option("--second-cursor", cursor2, "a second cursor: differences in time and value");
  DerivedOptions derived;
  derived.AddTo(*parser);
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;
  if (std::string e = derived.Apply(ctx.state.settings.derived); !e.empty()) return UsageError(ctx, e);
#ifndef TMV_HAVE_PLOT_MODULE
  return ReportFailure(ctx, "plot is not available: this tmv-cli was built without Qt");
#else
  std::vector<int> shown, pair;
  if (!channels.empty() && !ParseChannelList(channels, shown)) return UsageError(ctx, "--channels wants numbers like 1,3");
  if (!xy.empty() && (!ParseChannelList(xy, pair) || pair.size() != 2)) return UsageError(ctx, "--xy wants two channels X,Y");
  std::optional<PictureFormat> format = formatName.empty() ? PictureFormatOfPath(output) : PictureFormatNamed(formatName);
  if (!formatName.empty() && !format) return UsageError(ctx, "--format wants png, svg or pdf");
  if (!format) format = PictureFormat::Png;
  if (cursor2 >= 0 && cursor < 0) return UsageError(ctx, "--second-cursor needs --cursor");
  if (int rc = ReadReadings(ctx, file); rc != kParsed) return rc;
  AppState& state = ctx.state;
  GraphState& g = state.graph;
  AttachCurrentData(state);
  const DataSet& data = state.retrieval.data;
  const std::string columns = "The data has " + std::to_string(g.columns) + " channels.";
  for (int c : shown)
    if (c > g.columns) return ReportFailure(ctx, columns);
  if (right > g.columns || (!pair.empty() && (pair[0] > g.columns || pair[1] > g.columns))) return ReportFailure(ctx, columns);
  if (!shown.empty()) {
    ShowChannel(g, data, shown.front() - 1);
    for (int c : shown) g.view.shownMask |= 1u << (c - 1);
    if (shown.size() > 1) ResetHorizontal(g);
  }
  SetStacked(g, stacked);
  if (right > 0) SetRightAxis(g, data, right - 1);
  if (!pair.empty()) {
    ShowChannel(g, data, pair[1] - 1);
    ResetVertical(g);
    SetXyMode(g, true, pair[0] - 1, pair[1] - 1);
  }
  if (depth) {
    ToggleDepthPlot(g, data);
    if (!g.view.depthPlot) return ReportFailure(ctx, "The data has no depth or pressure channel for a depth plot.");
  }
  if (cursor >= 0) {
    g.view.cursorActive = true;
    g.view.cursorIndex = std::clamp(cursor, 0, g.readingCount - 1);
  }
  if (cursor2 >= 0) {
    g.view.cursor2Active = true;
    g.view.cursor2Index = std::clamp(cursor2, 0, g.readingCount - 1);
  }
  paint::PlotJob job;
  job.path = output;
  job.format = *format;
  job.build = [&](const TextMetrics& metrics) {
    const DrawContext context{data, state.logger, DerivedUnitChoice(state), &metrics};
    LayOutPicture(g, context, width, height);
    if (from >= 0 || to >= 0) {
      // The rows asked for across the plot as laid out.
      const int first = std::clamp(from < 0 ? 0 : from, 0, g.readingCount - 1);
      const int last = std::clamp(to < 0 ? g.readingCount - 1 : to, first, g.readingCount - 1);
      g.view.firstIndex = first;
      const float r = std::max(1.0f, static_cast<float>((last - first) / (g.view.width / 10.0)));
      g.view.readingsPerDivision = r;
      g.view.pixelsPerReading = 10.0f / r;
    }
    return BuildDrawing(g, context);
  };
  std::string why;
  const paint::PlotToFileFunction plotToFile = LoadPlotModule(why);
  if (plotToFile == nullptr) return ReportFailure(ctx, "plot is not available: " + why);
  if (plotToFile(&job) != 1) return ReportFailure(ctx, "Unable to write " + output + (job.error.empty() ? "" : ": " + job.error));
  ctx.out << "Plotted " << g.readingCount << " readings of " << g.columns << " channels to " << output << "\n";
  return DamagedFileStatus(ctx, file);
#endif
}

int Stats(CliContext& ctx) {
  std::string file;
  int channel = 0, from = -1, to = -1, last = -1, at = -1;
  bool raw = false, json = false;
  auto parser = CommandParser("stats", "Usage: tmv-cli stats FILE --channel N [--from ROW --to ROW | --last N --at ROW] [--raw] [--json]");
  parser->add_option("file", file, "a .hex or .dat file")->required();
  parser->add_option("--channel", channel, "the channel, from 1")->required()->check(CLI::Range(1, kMaxColumns));
  auto* fromOption = parser->add_option("--from", from, "first row (from 0)");
  auto* toOption = parser->add_option("--to", to, "last row");
  auto* lastOption = parser->add_option("--last", last, "number of rows ending at --at");
  auto* atOption = parser->add_option("--at", at, "the cursor row");
  lastOption->excludes(fromOption)->excludes(toOption);
  atOption->excludes(fromOption)->excludes(toOption);
  parser->add_flag("--raw", raw, "raw fractions (raw / 2^24) instead of engineering units (HEX files)");
  parser->add_flag("--json", json, "print one JSON object");
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;
  if (int rc = ReadReadings(ctx, file); rc != kParsed) return rc;
  AppState& state = ctx.state;
  if (raw) {
    AttachCurrentData(state);
    if (!RedecodeForView(state, true)) return ReportFailure(ctx, "No raw data is available for this operation: read a 'hex' file.");
  }
  const DataSet& data = state.retrieval.data;
  if (channel > data.totalChannelCount)
    return ReportFailure(ctx, "The data has " + std::to_string(data.totalChannelCount) + " channels.");
  int cursor, count;
  if (at >= 0 || last >= 0) {
    cursor = at >= 0 ? at : data.sampleCount - 1;
    count = last >= 0 ? last : 100;
  } else {
    const int first = from >= 0 ? from : 0;
    cursor = to >= 0 ? to : data.sampleCount - 1;
    count = cursor - first + 1;
  }
  const RowStatistics s = HighlightStatistics(data, channel - 1, cursor, count);
  if (json) {
    JsonWriter w;
    w.BeginObject();
    w.Key("channel").Integer(channel);
    w.Key("raw").Bool(raw);
    w.Key("first_row");
    if (s.rows > 0) w.Integer(s.first);
    else w.Null();
    w.Key("last_row");
    if (s.rows > 0) w.Integer(s.last);
    else w.Null();
    w.Key("rows").Integer(s.rows);
    w.Key("count").Integer(s.count);
    w.Key("invalid_left_out").Integer(s.invalid);
    w.Key("outside_formula_range").Integer(s.outsideRange);
    w.Key("mean");
    if (s.count > 0) w.Number(s.mean);
    else w.Null();
    w.Key("standard_deviation");
    if (s.count > 0 && s.deviationAvailable) w.Number(s.standardDeviation);
    else w.Null();
    w.EndObject();
    ctx.out << w.Text() << "\n";
    return DamagedFileStatus(ctx, file);
  }
  char line[160];
  if (s.rows == 0) {
    ctx.out << "Rows: none\nMean: Not available\nStandard deviation: Not available\n";
    return DamagedFileStatus(ctx, file);
  }
  std::snprintf(line, sizeof line, "Rows: %d..%d\nNumber of readings: %d\n", s.first, s.last, s.count);
  ctx.out << line;
  if (const std::string note = StatisticsNote(s); !note.empty()) ctx.out << "Note: " << note << "\n";
  if (s.count == 0) {
    ctx.out << "Mean: Not available\nStandard deviation: Not available\n";
    return DamagedFileStatus(ctx, file);
  }
  if (raw && s.count == 1)
    std::snprintf(line, sizeof line, "Mean: %.7f (%06X)\n", s.mean, static_cast<unsigned>(static_cast<long long>(s.mean * 16777216.0)) & 0xFFFFFFu);
  else
    std::snprintf(line, sizeof line, "Mean: %.7f\n", s.mean);
  ctx.out << line;
  if (s.deviationAvailable)
    std::snprintf(line, sizeof line, "Standard deviation: %.7f\n", s.standardDeviation);
  else
    std::snprintf(line, sizeof line, "Standard deviation: Not available\n");
  ctx.out << line;
  return DamagedFileStatus(ctx, file);
}

const bool registered = [] {
  RegisterCliCommand({"plot", "Draw a data file's graph to a PNG, SVG or PDF picture",
                      "Usage: tmv-cli plot FILE -o OUT.png [--format png|svg|pdf] [--width 1600 --height 900]\n"
                      "                    [--channels 1,3] [--from ROW --to ROW] [--stacked] [--right N]\n"
                      "                    [--xy X,Y | --depth] [--cursor ROW [--second-cursor ROW]]\n\n"
                      "Reads a .hex or .dat file and draws the graph the desktop program saves\n"
                      "for it: all channels (or those of --channels) over all rows (or --from\n"
                      "..--to), with the legend, the value and time axes and the read-out of\n"
                      "the cursors. --stacked gives each channel a panel of its own; --right\n"
                      "labels a second channel's axis on the right; --xy draws channel Y\n"
                      "against X, --depth the first channel against depth. The format follows\n"
                      "the output's name unless --format names it.\n",
                      Plot});
  RegisterCliCommand({"stats", "Mean and standard deviation of rows of one channel",
                      "Usage: tmv-cli stats FILE --channel N [--from ROW --to ROW | --last N --at ROW] [--raw]\n\n"
                      "The statistics panel's numbers: the number of readings, the mean and\n"
                      "the sample standard deviation of rows --from..--to (default all), or of\n"
                      "the --last N rows ending at row --at. Invalid readings (-1000, not a\n"
                      "number) are left out of the figures and counted. --raw works on raw\n"
                      "fractions of a HEX file's memory image.\n",
                      Stats});
  return true;
}();

}  // namespace
}  // namespace tmv::cli
