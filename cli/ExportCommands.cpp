// The export command: a HEX or DAT file to netCDF-CF or CSV.
#include <CLI/CLI.hpp>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ostream>

#include "analysis/DerivedOption.h"
#include "CliCommand.h"
#include "CliSupport.h"
#include "files/DatFile.h"
#include "files/Export.h"
#include "files/HexFile.h"
#include "shell/AppState.h"
#include "shell/CommandIds.h"

namespace tmv::cli {

namespace {

int Export(CliContext& ctx) {
  std::string input, output, offset;
  std::optional<double> longitude;
  DerivedOptions derived;
  auto parser = CommandParser(
      "export",
      "Usage: tmv-cli export FILE.hex|FILE.dat -o OUT.nc|OUT.csv [--derived LIST] [--utc-offset +HH:MM]\n"
      "                      [--latitude DEG --longitude DEG]\n\n"
      "Writes the data of a HEX or DAT file, with the derived channels asked for, as\n"
      "netCDF-4 following the CF conventions 1.8 (OUT.nc) or as CSV (OUT.csv): one row\n"
      "per sample, ISO 8601 times, '.' as the decimal separator, an empty field where a\n"
      "reading is missing. The logger clock has no time zone: --utc-offset gives its\n"
      "offset from UTC; the netCDF time is then in UTC, and the CSV times and the\n"
      "netCDF clock attributes carry the offset. The netCDF file holds the logger's\n"
      "position when it is known: --latitude/--longitude (decimal degrees, north and\n"
      "east positive), else the data file's GPS file, else the latitude set for depth;\n"
      "with both coordinates it is a CF time series with a station.\n"
      "The file appears under its name only once it is whole.\n\n"
      "Exit status: 0 written; 1 failed (nothing written); 2 usage error; 3 the file was\n"
      "damaged (cut short, junk in it): what could be read was written.");
  parser->add_option("input", input, "the HEX or DAT file")->required();
  parser->add_option("-o,--output", output, "the file to write (.nc or .csv)")->required();
  parser->add_option("--utc-offset", offset, "the logger clock's offset from UTC, +HH:MM or -HH:MM");
  parser->add_option("--longitude", longitude, "the logger's longitude, decimal degrees east (--latitude: north)");
  derived.AddTo(*parser);
  if (int rc = ParseCommand(ctx, *parser); rc != kParsed) return rc;
  if (std::string e = derived.Apply(ctx.state.settings.derived); !e.empty()) return UsageError(ctx, e);
  if (!ExportFormatForPath(output)) return UsageError(ctx, "-o names a .nc (netCDF) or a .csv file");
  ExportOptions options;
  if (!offset.empty()) {
    options.utcOffsetMinutes = ParseUtcOffset(offset);
    if (!options.utcOffsetMinutes)
      return UsageError(ctx, "--utc-offset '" + offset + "' is not an offset from UTC: give +HH:MM or -HH:MM (at most 14 hours)");
  }
  // --latitude serves depth from pressure (which keeps only its size) and,
  // given here, the position too, with its sign (checked by Apply above).
  if (!derived.latitude.empty()) options.latitude = std::strtod(derived.latitude.c_str(), nullptr);
  options.longitude = longitude;
  if (std::string e = PositionError(options.latitude, longitude); !e.empty())
    return UsageError(ctx, "--latitude/--longitude: " + e);
  if (int rc = PassGate(ctx, cmd::kExportData)) return rc;

  AppState& state = ctx.state;
  if (int rc = ReadDataFileInto(ctx, input); rc != kParsed) return rc;

  const ExportOutcome outcome = ExportDataSet(state, output, options);
  for (const std::string& note : outcome.notes) ctx.err << note << "\n";
  if (!outcome.written) return ReportFailure(ctx, outcome.error);
  const DataSet& d = state.retrieval.data;
  ctx.out << "Wrote " << output << " (" << d.sampleCount << " samples, " << d.totalChannelCount << " channel"
          << (d.totalChannelCount == 1 ? "" : "s") << ")\n";
  return DamagedFileStatus(ctx, input);
}

const bool registered = [] {
  RegisterCliCommand({"export", "Write a HEX or DAT file's data as netCDF-CF (.nc) or CSV (.csv)", "", Export});
  return true;
}();

}  // namespace

}  // namespace tmv::cli
