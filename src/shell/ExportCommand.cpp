#include "shell/ExportCommand.h"

#include <cstdio>
#include <filesystem>

#include "files/Export.h"
#include "shell/AppState.h"
#include "shell/StatusLine.h"

namespace tmv {

namespace {

constexpr const char* kCaption = "Export";

void Tell(AppState& state, const std::string& text) {
  state.ui.MessageBox(text, kCaption, MessageButtons::Ok, MessageIcon::Exclamation, MessageAnswer::Ok);
}

}  // namespace

int ExportDataCommand(AppState& state) {
  const DataSet& data = state.retrieval.data;
  if (data.sampleCount < 1) {
    Tell(state, "There are no data to export.");
    return 0;
  }
  FileDialogRequest request;
  request.save = true;
  request.title = "Export data (netCDF .nc or CSV .csv)";
  if (!state.retrieval.currentFile.empty()) {
    std::filesystem::path proposed(state.retrieval.currentFile);
    request.directory = proposed.parent_path().string();
    request.pattern = proposed.replace_extension(".nc").filename().string();
  }
  request.filter = "netCDF or CSV files (*.nc *.csv)";
  std::optional<std::string> path = state.ui.ChooseFile(request);
  if (!path || path->empty()) return 0;
  // A name typed without an extension gets the netCDF one.
  if (std::filesystem::path(*path).extension().empty()) *path += ".nc";
  if (!ExportFormatForPath(*path)) {
    Tell(state, "Export files end in .nc (netCDF) or .csv:\n" + *path);
    return 0;
  }

  ExportOptions options;
  for (;;) {
    const std::optional<std::string> offset = state.ui.AskText(
        kCaption, "Offset of the logger clock from UTC (+HH:MM), or empty when not known:");
    if (!offset) return 0;
    if (offset->empty()) break;
    options.utcOffsetMinutes = ParseUtcOffset(*offset);
    if (options.utcOffsetMinutes) break;
    Tell(state, "\"" + *offset + "\" is not an offset from UTC.\nGive it as +HH:MM or -HH:MM, for example +05:30.");
  }

  // The position makes the netCDF file a CF time series; a GPS file or the
  // latitude set for depth stands in when none is typed. A CSV file has no
  // place for it.
  while (ExportFormatForPath(*path) == ExportFormat::NetCdf) {
    const std::optional<std::string> typed = state.ui.AskText(
        kCaption, "Position of the logger in decimal degrees (latitude, longitude; north and east positive),\n"
                  "or empty when not known:");
    if (!typed) return 0;
    if (typed->find_first_not_of(" ") == std::string::npos) break;
    double latitude = 0, longitude = 0;
    char end = 0;
    const bool two = std::sscanf(typed->c_str(), " %lf , %lf %c", &latitude, &longitude, &end) == 2;
    const std::string error = two ? PositionError(latitude, longitude) : std::string("give it as latitude, longitude");
    if (error.empty()) {
      options.latitude = latitude;
      options.longitude = longitude;
      break;
    }
    Tell(state, "\"" + *typed + "\" is not a position: " + error + ",\nfor example 43.5, -8.25.");
  }

  state.ui.SetWaitCursor(true);
  const ExportOutcome outcome = ExportDataSet(state, *path, options);
  state.ui.SetWaitCursor(false);
  if (!outcome.written) {
    Tell(state, outcome.error);
    return 0;
  }
  std::string notes;
  for (const std::string& n : outcome.notes) notes += n + "\n";
  if (!notes.empty()) Tell(state, notes + "The file was written: " + *path);
  ShowStatus(state, "Exported to " + *path);
  return 1;
}

}  // namespace tmv
