#pragma once
// Export of the current DataSet to open formats for people who never run
// this program: netCDF-4 following the CF conventions (1.8), and CSV. The
// values are those of the DataSet, float for float; the file appears under
// its name only once it is whole.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "retrieval/DataSet.h"

namespace tmv {

struct AppState;

// "+HH:MM" or "-HH:MM" (hours 0..14, minutes 0..59) as minutes east of UTC;
// nothing for any other text ("+25:00", "0530", "abc").
std::optional<int> ParseUtcOffset(std::string_view text);
// Minutes east of UTC as "+05:30".
std::string UtcOffsetText(int minutes);

enum class ExportFormat { NetCdf, Csv };
// By the file name's extension (".nc" or ".csv", any case).
std::optional<ExportFormat> ExportFormatForPath(std::string_view path);

struct ExportOptions {
  // The logger clock's offset from UTC in minutes; none: the clock's zone is unknown.
  std::optional<int> utcOffsetMinutes;
  // The logger's position [degrees north, degrees east] as given at export;
  // it stands before any other source (ExportPositionFor).
  std::optional<double> latitude, longitude;
};

// Where the logger was, as far as it is known: the position given at export,
// else the first position of the GPS file of the data (the data file's name
// with ".gps", beside it or in the DAT directory), else the latitude set for
// depth from pressure (no longitude). featureType "timeSeries" and its
// station are written only with both coordinates.
struct ExportPosition {
  std::optional<double> latitude, longitude;
  std::string source;  // for the file's comment: "given at export", ...
};
ExportPosition ExportPositionFor(const AppState& state, const ExportOptions& options);

// "--latitude"/"--longitude" or a typed position: empty when in range
// (-90..90, -180..180, finite), else what is wrong.
std::string PositionError(std::optional<double> latitude, std::optional<double> longitude);

struct ExportOutcome {
  bool written = false;
  std::string error;               // why nothing was written
  std::vector<std::string> notes;  // written, with something worth telling (a channel with no reading)
};

// How a column is named and described in the exported files.
struct ExportColumn {
  int column = 0;            // in the DataSet
  uint8_t code = 0;          // its type code
  std::string name;          // netCDF variable name and CSV heading, unique in the file
  std::string longName;
  std::string units;         // UDUNITS
  std::string standardName;  // CF standard name; empty when CF has none that fits
  std::string loggerUnit;    // the unit text the logger's own files use (UTF-8)
};
std::vector<ExportColumn> ExportColumns(const AppState& state);

// The time of every row of `data` in 100 ns ticks of the logger clock, by the
// same rule as SampleTime but in one pass.
std::vector<uint64_t> RowTicks(const DataSet& data);

// The CSV text of the current DataSet (CR LF line ends).
std::string CsvExportText(const AppState& state, const ExportOptions& options);

// Writes the current DataSet (state.retrieval.data, derived columns
// included) to `path` in the format its extension names. Nothing is left
// under `path` unless the whole file was written.
ExportOutcome ExportDataSet(const AppState& state, const std::string& path, const ExportOptions& options);

}  // namespace tmv
