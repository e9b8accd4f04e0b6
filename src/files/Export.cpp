#include "files/Export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>

#include "analysis/DerivedChannels.h"
#include "analysis/TideRecording.h"
#include "analysis/SeawaterFormulas.h"
#include "analysis/WaveAnalysis.h"
#include "files/HexFile.h"
#include "files/NetCdfLibrary.h"
#include "files/WorkFiles.h"
#include "model/ChannelTypes.h"
#include "retrieval/GpsPosition.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"

namespace tmv {

namespace {

constexpr int kMaxOffsetHours = 14;  // the widest offset any zone uses

bool Finite(float v) { return std::isfinite(v) && IsValidValue(v); }

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The files' 8-bit µ (0xB5) as UTF-8, for attributes and CSV headings.
std::string ToUtf8(const char* text) {
  std::string out;
  for (const char* p = text; p != nullptr && *p != 0; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c < 0x80) {
      out += *p;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string IsoText(const LoggerTime& t, bool milliseconds) {
  std::string text = Format("%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  if (milliseconds) text += Format(".%03d", t.milliseconds);
  return text;
}

// A logger clock time as the file states it: with the clock's zone when
// the offset from UTC is known, so that it names the same instant as the
// UTC time axis.
std::string ClockText(const LoggerTime& t, bool milliseconds, const std::optional<int>& utcOffsetMinutes) {
  return IsoText(t, milliseconds) + (utcOffsetMinutes ? UtcOffsetText(*utcOffsetMinutes) : std::string());
}

// The reference time of "seconds since", as UDUNITS and cftime read it.
std::string ReferenceText(const LoggerTime& t) {
  std::string text = IsoText(t, t.milliseconds != 0);
  text[10] = ' ';
  return text;
}

// Shortest text that reads back as the same float; "." whatever the locale.
void AppendFloat(std::string& out, float v) {
  char text[32];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, v);
  if (ec == std::errc()) out.append(text, end);
}

struct Description {
  const char* name;
  const char* longName;
  const char* units;         // nullptr: the conductivity unit, or set by the settings
  const char* standardName;  // nullptr: none
};

// What each type code is called in CF terms. Units are UDUNITS texts.
Description Describe(uint8_t code, const DerivedSettings& derived) {
  switch (code) {
    case 'T': return {"temperature", "Sea water temperature (ITS-90)", "degree_C", "sea_water_temperature"};
    case 'P': return {"pressure", "Pressure (sea water and atmosphere)", "dbar", "sea_water_pressure"};
    case 'L': return {"pressure_paroscientific", "Pressure, Paroscientific sensor (sea water and atmosphere)", "dbar", "sea_water_pressure"};
    case 'C': return {"conductivity", "Sea water electrical conductivity", nullptr, "sea_water_electrical_conductivity"};
    case 'D': return {"oxygen_saturation", "Dissolved oxygen saturation", "percent", "fractional_saturation_of_oxygen_in_sea_water"};
    case 'K': return {"optode_saturation", "Dissolved oxygen saturation, optode", "percent", "fractional_saturation_of_oxygen_in_sea_water"};
    case 'J': return {"optode_concentration", "Dissolved oxygen concentration, optode", "umol L-1", "mole_concentration_of_dissolved_molecular_oxygen_in_sea_water"};
    case 'N': return {"transmittance", "Transmissometer", "1", nullptr};
    case 'M': case 'V': return {"voltage", "Voltage", "V", nullptr};
    case 'Y': case 'y': return {"turbidity", "Turbidity", "1", "sea_water_turbidity"};
    case 'R': return {"par", "Photosynthetically active radiation", "umol m-2 s-1", "downwelling_photosynthetic_photon_flux_in_sea_water"};
    case 'H': return {"ph", "pH", "1", nullptr};
    case 'F': case 'f': return {"fluorescence_chlorophyll", "Fluorometry, chlorophyll", "ug L-1", "mass_concentration_of_chlorophyll_in_sea_water"};
    case 'G': case 'g': return {"fluorescence_rhodamine", "Fluorometry, rhodamine", "ug L-1", nullptr};
    case 'Z': case 'z': return {"fluorescence_phycoerythrin", "Fluorometry, phycoerythrin", "ug L-1", nullptr};
    case 'I': case 'i': return {"fluorescence_uv", "Fluorometry, ultraviolet", "ug L-1", nullptr};
    case 'E': return {"echo_range", "Echo sounder range", "m", nullptr};
    case 'A': return {"depth", "Depth", "m", "depth"};
    case 'B': return {"generic", "Generic sensor", "1", nullptr};
    case kDepthCode: return {"depth", "Depth below the sea surface (derived from pressure)", "m", "depth"};
    case kSalinityCode: return {"salinity", "Practical salinity (PSS-78)", "1", "sea_water_practical_salinity"};
    case kCorrectedConductivityCode: return {"conductivity_corrected", "Sea water electrical conductivity, corrected", nullptr, "sea_water_electrical_conductivity"};
    case kSpecificConductivityCode: return {"specific_conductivity", "Specific conductivity (at 25 degC)", nullptr, nullptr};
    case kOxygenConcentrationCode:
      switch (derived.oxygenUnit) {
        case OxygenUnit::MgPerLitre: return {"oxygen_concentration", "Dissolved oxygen concentration (Weiss)", "mg L-1", "mass_concentration_of_oxygen_in_sea_water"};
        case OxygenUnit::MlPerLitre: return {"oxygen_concentration", "Dissolved oxygen concentration (Weiss)", "mL L-1", nullptr};
        default: return {"oxygen_concentration", "Dissolved oxygen concentration (Weiss)", "umol L-1", "mole_concentration_of_dissolved_molecular_oxygen_in_sea_water"};
      }
    case kSoundSpeedUnescoCode: return {"sound_speed", "Speed of sound (UNESCO)", "m s-1", "speed_of_sound_in_sea_water"};
    case kSoundSpeedDelGrossoCode: return {"sound_speed", "Speed of sound (Del Grosso)", "m s-1", "speed_of_sound_in_sea_water"};
    case kSoundSpeedWilsonCode: return {"sound_speed", "Speed of sound (Wilson)", "m s-1", "speed_of_sound_in_sea_water"};
    // In-situ density less 1000 kg/m3 (EOS-80 at the sea pressure).
    // CF has a name only for the anomaly at the surface (sigma-t); see ExportColumns.
    case kDensityAnomalyCode: return {"density_anomaly", "In-situ density anomaly (density - 1000 kg m-3, EOS-80)", "kg m-3", nullptr};
    case kWaveHeightCode: return {"significant_wave_height", "Significant wave height of the latest burst", "m", "sea_surface_wave_significant_height"};
    case kTidalSlopeCode: return {"tidal_slope", "Tidal slope", "m h-1", nullptr};
    case kOptodeConcentrationCode:
      return derived.optodeUnit == OptodeUnit::MlPerLitre
                 ? Description{"optode_oxygen", "Dissolved oxygen concentration from the optode", "mL L-1", nullptr}
                 : Description{"optode_oxygen", "Dissolved oxygen concentration from the optode", "mg L-1", "mass_concentration_of_oxygen_in_sea_water"};
    case kOptodeSaturationCode: return {"optode_oxygen_saturation", "Dissolved oxygen saturation (Garcia and Gordon)", "percent", "fractional_saturation_of_oxygen_in_sea_water"};
    default: return {"channel", "Unknown channel type", "1", nullptr};
  }
}

// A temporary file beside the target, renamed over it once whole.
class StagedFile {
 public:
  explicit StagedFile(const std::string& target) : target_(target) {
    std::filesystem::path p(target);
    const std::string dir = p.parent_path().empty() ? std::string(".") : p.parent_path().string();
    std::string pattern = dir + "/." + p.filename().string() + ".part-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd < 0) {
      error_ = std::strerror(errno);
      return;
    }
    close(fd);
    path_ = buffer.data();
  }
  ~StagedFile() {
    if (!path_.empty()) unlink(path_.c_str());
  }
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;
  bool Ready() const { return !path_.empty(); }
  const std::string& Path() const { return path_; }
  const std::string& Error() const { return error_; }
  // Renames it to the target; false with Error() set when that fails.
  bool Commit() {
    // mkstemp makes the file readable by the owner only; give it the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    chmod(path_.c_str(), 0666 & ~mask);
    if (std::rename(path_.c_str(), target_.c_str()) != 0) {
      error_ = std::strerror(errno);
      return false;
    }
    path_.clear();
    return true;
  }

 private:
  std::string target_, path_, error_;
};

// Each derived column carries a quality flag: its formulas have published
// ranges, and a value computed outside them is kept but flagged.
bool HasQualityFlag(const DataSet& data, int column) { return column >= data.channelCount; }

std::string QualityName(const ExportColumn& c) { return c.name + "_quality"; }

std::string CannotWrite(const std::string& path, const std::string& why) {
  return "Unable to write " + path + (why.empty() ? std::string() : ": " + why);
}

// Seconds from `first` to each tick, for a double time coordinate.
double SecondsFrom(uint64_t first, uint64_t ticks) {
  return static_cast<double>(static_cast<int64_t>(ticks - first)) / static_cast<double>(kTicksPerSecond);
}

// The first failing netCDF call's message.
class NcCalls {
 public:
  explicit NcCalls(const NetCdfLibrary& library) : lib(library) {}
  bool Ok() const { return status_ == NC_NOERR; }
  const char* Error() const { return lib.nc_strerror(status_); }
  void operator()(int status) {
    if (status_ == NC_NOERR && status != NC_NOERR) status_ = status;
  }
  const NetCdfLibrary& lib;

 private:
  int status_ = NC_NOERR;
};

void PutText(NcCalls& nc, int file, int var, const char* name, const std::string& value) {
  nc(nc.lib.nc_put_att_text(file, var, name, value.size(), value.c_str()));
}
void PutDouble(NcCalls& nc, int file, int var, const char* name, double value) {
  nc(nc.lib.nc_put_att_double(file, var, name, NC_DOUBLE, 1, &value));
}
void PutInt(NcCalls& nc, int file, int var, const char* name, int value) {
  nc(nc.lib.nc_put_att_int(file, var, name, NC_INT, 1, &value));
}
void PutFloat(NcCalls& nc, int file, int var, const char* name, float value) {
  nc(nc.lib.nc_put_att_float(file, var, name, NC_FLOAT, 1, &value));
}

struct TimeAxis {
  uint64_t firstTicks = 0;   // the first row on the logger clock
  int64_t shiftTicks = 0;    // added to give the time the file states (UTC with an offset)
  std::string units;
  std::string comment;
};

TimeAxis TimeAxisFor(const std::vector<uint64_t>& ticks, const ExportOptions& options) {
  TimeAxis axis;
  axis.firstTicks = ticks.front();
  if (options.utcOffsetMinutes) {
    axis.shiftTicks = -static_cast<int64_t>(*options.utcOffsetMinutes) * 60 * static_cast<int64_t>(kTicksPerSecond);
    const LoggerTime utc = FromTicks(static_cast<uint64_t>(static_cast<int64_t>(axis.firstTicks) + axis.shiftTicks));
    axis.units = "seconds since " + ReferenceText(utc) + " +00:00";
    axis.comment = "UTC: the logger clock ran at UTC" + UtcOffsetText(*options.utcOffsetMinutes) +
                   " and the offset was taken off at export";
  } else {
    const LoggerTime first = FromTicks(axis.firstTicks);
    axis.units = "seconds since " + ReferenceText(first);
    axis.comment = "Logger clock time: the logger clock has no time zone, and none was given at export";
  }
  return axis;
}

struct ColumnRange {
  bool any = false;
  float low = 0, high = 0;
};

ColumnRange RangeOf(const DataSet& data, int column) {
  ColumnRange r;
  const float* v = data.Column(column);
  for (int row = 0; row < data.sampleCount; ++row) {
    if (!Finite(v[row])) continue;
    if (!r.any) {
      r.low = r.high = v[row];
      r.any = true;
    } else {
      r.low = std::min(r.low, v[row]);
      r.high = std::max(r.high, v[row]);
    }
  }
  return r;
}

void PutDeploymentAttributes(NcCalls& nc, int file, const AppState& state, const std::optional<int>& zone) {
  const DataSet& data = state.retrieval.data;
  const DeploymentSettings& d = data.deployment;
  const LoggerInfo& l = state.logger;
  PutText(nc, file, NC_GLOBAL, "Conventions", "CF-1.8");
  PutText(nc, file, NC_GLOBAL, "title", "TMV logger data: " + IdentityText(l));
  PutText(nc, file, NC_GLOBAL, "source", "moored self-contained data logger");
  PutText(nc, file, NC_GLOBAL, "instrument_model", l.model);
  char firmware[32];
  const auto written = std::to_chars(firmware, firmware + sizeof firmware, static_cast<double>(l.firmwareVersion),
                                     std::chars_format::fixed, 2);
  PutText(nc, file, NC_GLOBAL, "instrument_firmware_version", std::string(firmware, written.ptr));
  PutInt(nc, file, NC_GLOBAL, "instrument_serial_number", l.serialNumber);
  PutText(nc, file, NC_GLOBAL, "program_name", "tmv");
  PutText(nc, file, NC_GLOBAL, "program_version", TMV_VERSION_TEXT);
  if (!state.retrieval.comment.empty()) PutText(nc, file, NC_GLOBAL, "comment", state.retrieval.comment);
  if (!state.retrieval.currentFile.empty()) PutText(nc, file, NC_GLOBAL, "source_file", state.retrieval.currentFile);
  PutText(nc, file, NC_GLOBAL, "deployment_start", ClockText(d.startTime, false, zone));
  PutText(nc, file, NC_GLOBAL, "deployment_end", ClockText(d.endTime, false, zone));
  if (data.sixHzProfiling)
    PutText(nc, file, NC_GLOBAL, "deployment_sampling_period", "6 Hz profiling");
  else
    PutInt(nc, file, NC_GLOBAL, "deployment_sampling_period_seconds", static_cast<int>(ClockSeconds(d.samplingPeriod)));
  PutText(nc, file, NC_GLOBAL, "deployment_averaging", d.averagingEnabled ? "on" : "off");
  if (d.averagingEnabled) {
    PutInt(nc, file, NC_GLOBAL, "deployment_averaging_period_seconds", d.averagingPeriod);
    PutInt(nc, file, NC_GLOBAL, "deployment_averaging_readings", d.averagingLength);
  }
  const bool thresholding = d.startMode == kStartAbove || d.startMode == kStartBelow;
  PutText(nc, file, NC_GLOBAL, "deployment_thresholding",
          !thresholding ? "off" : d.startMode == kStartAbove ? "log above the threshold" : "log below the threshold");
  if (thresholding) {
    PutInt(nc, file, NC_GLOBAL, "deployment_threshold_channel", static_cast<int>(d.thresholdChannel) + 1);
    PutDouble(nc, file, NC_GLOBAL, "deployment_threshold_value", d.thresholdValue);
    PutInt(nc, file, NC_GLOBAL, "deployment_threshold_test_period_seconds", static_cast<int>(ClockSeconds(d.thresholdTestPeriod)));
    if (d.hysteresisEnabled) PutInt(nc, file, NC_GLOBAL, "deployment_hysteresis_seconds", static_cast<int>(d.hysteresisSeconds));
  }
  PutText(nc, file, NC_GLOBAL, "deployment_bursts", d.waveEnabled ? "on" : "off");
  if (d.waveEnabled) {
    PutInt(nc, file, NC_GLOBAL, "deployment_burst_rate_hz", d.burstRate);
    PutInt(nc, file, NC_GLOBAL, "deployment_burst_samples", d.burstSamples);
    PutInt(nc, file, NC_GLOBAL, "deployment_burst_period_seconds", static_cast<int>(ClockSeconds(d.burstPeriod)));
    PutDouble(nc, file, NC_GLOBAL, "deployment_mean_water_depth_m", d.meanWaterDepth);
    PutDouble(nc, file, NC_GLOBAL, "deployment_logger_height_m", d.loggerHeight);
  }
  PutText(nc, file, NC_GLOBAL, "host_clock_at_retrieval", ClockText(data.hostTime, false, zone));
  PutText(nc, file, NC_GLOBAL, "logger_clock_at_retrieval", ClockText(data.loggerTime, false, zone));
  const ConductivityCorrection& cc = state.calibration.conductivityCorrection;
  const double correction[4] = {cc.a, cc.b, cc.tc, cc.c};
  nc(nc.lib.nc_put_att_double(file, NC_GLOBAL, "conductivity_correction_a_b_tc_c", NC_DOUBLE, 4, correction));
}

// The quality flag of a derived column: one byte per value, CF flag_values
// and flag_meanings, tied to the column by its ancillary_variables.
void PutQualityFlag(NcCalls& nc, int file, int timeDim, const ExportColumn& c, const DataSet& data,
                    const std::string& coordinates, std::vector<std::function<void()>>& writes) {
  int var = -1;
  nc(nc.lib.nc_def_var(file, QualityName(c).c_str(), NC_BYTE, 1, &timeDim, &var));
  PutText(nc, file, var, "long_name", "Quality of " + c.name);
  if (!c.standardName.empty()) PutText(nc, file, var, "standard_name", c.standardName + " status_flag");
  const int values[3] = {kQualityGood, kQualityOutsideRange, kQualityMissing};
  nc(nc.lib.nc_put_att_int(file, var, "flag_values", NC_BYTE, 3, values));
  PutText(nc, file, var, "flag_meanings", kQualityMeanings);
  PutText(nc, file, var, "comment",
          "outside_formula_validity_range: computed from inputs outside the published range of its formula; "
          "the value is kept");
  PutText(nc, file, var, "coordinates", coordinates);
  const int column = c.column;
  writes.push_back([&nc, file, var, column, &data]() {
    // Converted to bytes by the library on the way to the file.
    std::vector<int> flags(static_cast<size_t>(data.sampleCount));
    for (int r = 0; r < data.sampleCount; ++r) flags[static_cast<size_t>(r)] = ValueQuality(data, column, r);
    nc(nc.lib.nc_put_var_int(file, var, flags.data()));
  });
}

// Scalar latitude and longitude coordinates where known, and with both a
// station that makes the file one CF time series. Returns what the data
// variables list in their "coordinates".
std::string PutPosition(NcCalls& nc, int file, const AppState& state, const ExportPosition& where,
                        std::vector<std::function<void()>>& writes) {
  std::string coordinates = "time";
  const struct {
    const std::optional<double>& value;
    const char* name;
    const char* units;
    const char* axis;
  } axes[] = {{where.latitude, "latitude", "degrees_north", "Y"}, {where.longitude, "longitude", "degrees_east", "X"}};
  for (const auto& a : axes) {
    if (!a.value) continue;
    int var = -1;
    nc(nc.lib.nc_def_var(file, a.name, NC_DOUBLE, 0, nullptr, &var));
    PutText(nc, file, var, "standard_name", a.name);
    PutText(nc, file, var, "long_name", std::string("Position of the logger: ") + a.name);
    PutText(nc, file, var, "units", a.units);
    PutText(nc, file, var, "axis", a.axis);
    PutText(nc, file, var, "comment", where.source);
    const double value = *a.value;
    writes.push_back([&nc, file, var, value]() { nc(nc.lib.nc_put_var_double(file, var, &value)); });
    coordinates += std::string(" ") + a.name;
  }
  if (!where.latitude || !where.longitude) return coordinates;
  PutText(nc, file, NC_GLOBAL, "featureType", "timeSeries");
  int station = -1;
  nc(nc.lib.nc_def_var(file, "station", NC_STRING, 0, nullptr, &station));
  PutText(nc, file, station, "long_name", "Logger model and serial number");
  PutText(nc, file, station, "cf_role", "timeseries_id");
  const std::string id = Format("%s %06d", state.logger.model.c_str(), state.logger.serialNumber);
  writes.push_back([&nc, file, station, id]() {
    const char* text[1] = {id.c_str()};
    nc(nc.lib.nc_put_var_string(file, station, text));
  });
  return coordinates + " station";
}

// Wave bursts and their results on a burst dimension.
void PutBursts(NcCalls& nc, int file, const AppState& state, const TimeAxis& axis, std::vector<std::function<void()>>& writes) {
  const DataSet& data = state.retrieval.data;
  const WaveStore* waves = WaveResults(state);
  const int resultCount = waves != nullptr ? waves->Count() : 0;
  const int burstCount = data.burstLength > 0 ? data.burstCount + 1 : 0;
  const int n = std::max(burstCount, resultCount);
  if (n <= 0) return;
  int burstDim = -1;
  nc(nc.lib.nc_def_dim(file, "burst", static_cast<size_t>(n), &burstDim));
  int timeVar = -1;
  nc(nc.lib.nc_def_var(file, "burst_time", NC_DOUBLE, 1, &burstDim, &timeVar));
  PutText(nc, file, timeVar, "standard_name", "time");
  PutText(nc, file, timeVar, "long_name", "Start of the burst");
  PutText(nc, file, timeVar, "units", axis.units);
  PutText(nc, file, timeVar, "calendar", "standard");
  const double timeFill = std::numeric_limits<double>::quiet_NaN();
  nc(nc.lib.nc_put_att_double(file, timeVar, "_FillValue", NC_DOUBLE, 1, &timeFill));
  auto burstStart = [&data, waves, resultCount](int b, LoggerTime& t) {
    if (b < static_cast<int>(data.burstStartTimes.size())) return t = data.burstStartTimes[static_cast<size_t>(b)], true;
    if (b < resultCount) return t = waves->results[static_cast<size_t>(b)].startTime, true;
    return false;
  };
  writes.push_back([&nc, file, timeVar, n, burstStart, &axis]() {
    std::vector<double> t(static_cast<size_t>(n), std::numeric_limits<double>::quiet_NaN());
    for (int b = 0; b < n; ++b) {
      LoggerTime start;
      if (burstStart(b, start))
        t[static_cast<size_t>(b)] = SecondsFrom(axis.firstTicks, ToTicks(start));
    }
    nc(nc.lib.nc_put_var_double(file, timeVar, t.data()));
  });

  if (burstCount > 0) {
    int sampleDim = -1;
    nc(nc.lib.nc_def_dim(file, "burst_sample", static_cast<size_t>(data.burstLength), &sampleDim));
    const int dims[2] = {burstDim, sampleDim};
    int var = -1;
    const bool depth = WaveParametersFor(state, data).readingsAreDepth;
    nc(nc.lib.nc_def_var(file, depth ? "burst_depth" : "burst_pressure", NC_FLOAT, 2, dims, &var));
    PutText(nc, file, var, "long_name", depth ? "Depth readings of the burst" : "Pressure readings of the burst");
    PutText(nc, file, var, "units", depth ? "m" : "dbar");
    PutText(nc, file, var, "standard_name", depth ? "depth" : "sea_water_pressure");
    PutFloat(nc, file, var, "_FillValue", kInvalidValue);
    PutText(nc, file, var, "coordinates", "burst_time");
    writes.push_back([&nc, file, var, n, burstCount, &data]() {
      const size_t len = static_cast<size_t>(data.burstLength);
      std::vector<float> values(static_cast<size_t>(n) * len, kInvalidValue);
      for (int b = 0; b < burstCount; ++b) {
        const float* src = data.Burst(b);
        for (size_t i = 0; i < len; ++i) values[static_cast<size_t>(b) * len + i] = Finite(src[i]) ? src[i] : kInvalidValue;
      }
      nc(nc.lib.nc_put_var_float(file, var, values.data()));
    });
  }
  if (resultCount <= 0) return;
  struct Field {
    const char* name;
    const char* longName;
    const char* units;
    const char* standardName;
    float WaveResult::*member;
  };
  static const Field kFields[] = {
      {"wave_mean_depth", "Mean depth of the logger below the surface", "m", nullptr, &WaveResult::meanDepth},
      {"wave_crest_max", "Highest surface elevation", "m", nullptr, &WaveResult::crestMax},
      {"wave_trough_min", "Lowest surface elevation", "m", nullptr, &WaveResult::troughMin},
      {"wave_peak_frequency", "Frequency of the spectral peak", "Hz", nullptr, &WaveResult::peakFrequency},
      {"wave_cutoff_frequency", "Upper frequency limit of the analysis", "Hz", nullptr, &WaveResult::cutoffFrequency},
      {"wave_variance", "Variance of the sea surface elevation", "m2", nullptr, &WaveResult::variance},
      {"wave_energy", "Wave energy", "J m-2", nullptr, &WaveResult::energy},
      {"wave_h_third", "Spectral significant wave height Hm0 (4 times the square root of the variance)", "m", "sea_surface_wave_significant_height", &WaveResult::hThird},
      {"wave_t_third", "Mean period of the highest third of the waves", "s", nullptr, &WaveResult::tThird},
      {"wave_h_tenth", "Mean height of the highest tenth of the waves", "m", nullptr, &WaveResult::hTenth},
      {"wave_t_tenth", "Mean period of the highest tenth of the waves", "s", nullptr, &WaveResult::tTenth},
      {"wave_h_mean", "Mean wave height", "m", "sea_surface_wave_mean_height", &WaveResult::hAvg},
      {"wave_t_mean", "Mean wave period (zero up-crossing)", "s", "sea_surface_wave_zero_upcrossing_period", &WaveResult::tAvg},
      {"wave_h_max", "Height of the highest wave", "m", "sea_surface_wave_maximum_height", &WaveResult::hMax},
      {"wave_t_max", "Period of the highest wave", "s", "sea_surface_wave_period_of_highest_wave", &WaveResult::tMax},
  };
  for (const Field& f : kFields) {
    int var = -1;
    nc(nc.lib.nc_def_var(file, f.name, NC_FLOAT, 1, &burstDim, &var));
    PutText(nc, file, var, "long_name", f.longName);
    PutText(nc, file, var, "units", f.units);
    if (f.standardName != nullptr) PutText(nc, file, var, "standard_name", f.standardName);
    PutFloat(nc, file, var, "_FillValue", kInvalidValue);
    PutText(nc, file, var, "coordinates", "burst_time");
    const auto member = f.member;
    writes.push_back([&nc, file, var, n, waves, resultCount, member]() {
      std::vector<float> values(static_cast<size_t>(n), kInvalidValue);
      for (int b = 0; b < resultCount; ++b) values[static_cast<size_t>(b)] = waves->results[static_cast<size_t>(b)].*member;
      nc(nc.lib.nc_put_var_float(file, var, values.data()));
    });
  }
  int statusVar = -1;
  nc(nc.lib.nc_def_var(file, "wave_status", NC_INT, 1, &burstDim, &statusVar));
  PutText(nc, file, statusVar, "long_name", "Wave analysis status");
  const int flags[4] = {kWaveGood, kWaveDepthError, kWaveHeightWarning, kWaveUnusable};
  nc(nc.lib.nc_put_att_int(file, statusVar, "flag_values", NC_INT, 4, flags));
  PutText(nc, file, statusVar, "flag_meanings", "good depth_error height_warning unusable");
  PutInt(nc, file, statusVar, "_FillValue", -1);
  writes.push_back([&nc, file, statusVar, n, waves, resultCount]() {
    std::vector<int> values(static_cast<size_t>(n), -1);
    for (int b = 0; b < resultCount; ++b) values[static_cast<size_t>(b)] = waves->results[static_cast<size_t>(b)].status;
    nc(nc.lib.nc_put_var_int(file, statusVar, values.data()));
  });
}

// The tide analysis run on this DataSet, when there is one: its constituents
// on a "constituent" dimension, and the predicted tide and the residual
// along time.
void PutTideAnalysis(NcCalls& nc, int file, const AppState& state, int timeDim,
                     std::vector<std::function<void()>>& writes) {
  const DataSet& data = state.retrieval.data;
  if (!state.analysis.tide || !state.analysis.tide->Matches(data)) return;
  const TideRun& run = *state.analysis.tide;
  const TideAnalysis& a = run.analysis;
  const std::string unit = a.unit == "dbar" ? "dbar" : "m";
  PutText(nc, file, NC_GLOBAL, "tide_analysis",
          "Harmonic analysis (ordinary least squares, nodal corrections at the central time, Greenwich phases) of " +
              run.columnName);
  PutText(nc, file, NC_GLOBAL, "tide_analysis_central_time", TideTimeText(a.centre));
  PutDouble(nc, file, NC_GLOBAL, "tide_analysis_mean", a.mean);
  PutDouble(nc, file, NC_GLOBAL, "tide_analysis_latitude", a.latitude);
  PutDouble(nc, file, NC_GLOBAL, "tide_analysis_rayleigh_factor", a.rayleigh);
  if (a.hasTrend) PutDouble(nc, file, NC_GLOBAL, "tide_analysis_trend_per_day", a.trendPerDay);
  const size_t n = a.constituents.size();
  if (n > 0) {
    int dim = -1, name = -1;
    nc(nc.lib.nc_def_dim(file, "constituent", n, &dim));
    nc(nc.lib.nc_def_var(file, "constituent_name", NC_STRING, 1, &dim, &name));
    PutText(nc, file, name, "long_name", "Name of the tidal constituent");
    struct Field {
      const char* name;
      const char* longName;
      const char* units;
      double TideConstituentFit::*member;
    };
    const std::string amplitudeUnit = unit;
    const Field fields[] = {
        {"constituent_frequency", "Frequency of the constituent", "hour-1", &TideConstituentFit::frequency},
        {"tide_amplitude", "Amplitude of the constituent", amplitudeUnit.c_str(), &TideConstituentFit::amplitude},
        {"tide_amplitude_ci95", "Half-width of the 95 % confidence interval of the amplitude", amplitudeUnit.c_str(),
         &TideConstituentFit::amplitudeCi},
        {"tide_phase", "Greenwich phase lag of the constituent", "degree", &TideConstituentFit::phase},
        {"tide_phase_ci95", "Half-width of the 95 % confidence interval of the phase", "degree",
         &TideConstituentFit::phaseCi},
        {"tide_snr", "Signal-to-noise ratio: squared amplitude over its error variance", "1", &TideConstituentFit::snr},
    };
    for (const Field& f : fields) {
      int var = -1;
      nc(nc.lib.nc_def_var(file, f.name, NC_DOUBLE, 1, &dim, &var));
      PutText(nc, file, var, "long_name", f.longName);
      PutText(nc, file, var, "units", f.units);
      PutText(nc, file, var, "coordinates", "constituent_name");
      const auto member = f.member;
      writes.push_back([&nc, file, var, member, &a]() {
        std::vector<double> values;
        // An infinite SNR (a record without noise) is written as the largest double.
        for (const TideConstituentFit& c : a.constituents)
          values.push_back(std::isfinite(c.*member) ? c.*member : std::numeric_limits<double>::max());
        nc(nc.lib.nc_put_var_double(file, var, values.data()));
      });
    }
    writes.push_back([&nc, file, name, &a]() {
      std::vector<const char*> names;
      for (const TideConstituentFit& c : a.constituents) names.push_back(c.name.c_str());
      nc(nc.lib.nc_put_var_string(file, name, names.data()));
    });
  }
  int predicted = -1, residual = -1;
  nc(nc.lib.nc_def_var(file, "tide_predicted", NC_FLOAT, 1, &timeDim, &predicted));
  PutText(nc, file, predicted, "long_name", "Tide predicted by the harmonic analysis of " + run.columnName);
  PutText(nc, file, predicted, "units", unit);
  PutText(nc, file, predicted, "coordinates", "time");
  PutFloat(nc, file, predicted, "_FillValue", kInvalidValue);
  nc(nc.lib.nc_def_var(file, "tide_residual", NC_FLOAT, 1, &timeDim, &residual));
  PutText(nc, file, residual, "long_name", run.columnName + " less the predicted tide");
  PutText(nc, file, residual, "units", unit);
  PutText(nc, file, residual, "coordinates", "time");
  PutFloat(nc, file, residual, "_FillValue", kInvalidValue);
  writes.push_back([&nc, file, predicted, residual, &run]() {
    std::vector<float> p(run.predicted.size()), r(run.predicted.size());
    for (size_t i = 0; i < p.size(); ++i) {
      p[i] = static_cast<float>(run.predicted[i]);
      const double obs = i < run.series.levels.size() ? run.series.levels[i] : std::nan("");
      r[i] = std::isfinite(obs) ? static_cast<float>(obs - run.predicted[i]) : kInvalidValue;
    }
    nc(nc.lib.nc_put_var_float(file, predicted, p.data()));
    nc(nc.lib.nc_put_var_float(file, residual, r.data()));
  });
}

std::string WriteNetCdf(const AppState& state, const std::string& path, const ExportOptions& options,
                        const std::vector<ExportColumn>& columns, const std::vector<uint64_t>& ticks) {
  const DataSet& data = state.retrieval.data;
  NetCdfLibrary lib;
  std::string loadError;
  if (!LoadNetCdf(lib, loadError)) return loadError;
  NcCalls nc(lib);
  int file = -1;
  nc(nc.lib.nc_create(path.c_str(), NC_CLOBBER | NC_NETCDF4, &file));
  if (!nc.Ok()) return nc.Error();
  const TimeAxis axis = TimeAxisFor(ticks, options);
  std::vector<std::function<void()>> writes;

  int timeDim = -1, timeVar = -1;
  nc(nc.lib.nc_def_dim(file, "time", static_cast<size_t>(data.sampleCount), &timeDim));
  nc(nc.lib.nc_def_var(file, "time", NC_DOUBLE, 1, &timeDim, &timeVar));
  PutText(nc, file, timeVar, "standard_name", "time");
  PutText(nc, file, timeVar, "long_name", "Time of the sample");
  PutText(nc, file, timeVar, "units", axis.units);
  PutText(nc, file, timeVar, "calendar", "standard");
  PutText(nc, file, timeVar, "axis", "T");
  PutText(nc, file, timeVar, "comment", axis.comment);
  if (options.utcOffsetMinutes) PutText(nc, file, timeVar, "logger_clock_utc_offset", UtcOffsetText(*options.utcOffsetMinutes));
  writes.push_back([&]() {
    std::vector<double> t(ticks.size());
    for (size_t r = 0; r < ticks.size(); ++r) t[r] = SecondsFrom(axis.firstTicks, ticks[r]);
    nc(nc.lib.nc_put_var_double(file, timeVar, t.data()));
  });

  const std::string coordinates = PutPosition(nc, file, state, ExportPositionFor(state, options), writes);
  for (const ExportColumn& c : columns) {
    int var = -1;
    nc(nc.lib.nc_def_var(file, c.name.c_str(), NC_FLOAT, 1, &timeDim, &var));
    PutText(nc, file, var, "long_name", c.longName);
    PutText(nc, file, var, "units", c.units);
    if (!c.standardName.empty()) PutText(nc, file, var, "standard_name", c.standardName);
    if (c.code == 'A' || c.code == kDepthCode) PutText(nc, file, var, "positive", "down");
    PutFloat(nc, file, var, "_FillValue", kInvalidValue);
    const ColumnRange range = RangeOf(data, c.column);
    if (range.any) {
      PutFloat(nc, file, var, "valid_min", range.low);
      PutFloat(nc, file, var, "valid_max", range.high);
    } else {
      PutText(nc, file, var, "comment", "No valid reading in this data set: every value is the fill value");
    }
    PutText(nc, file, var, "coordinates", coordinates);
    if (HasQualityFlag(data, c.column)) {
      PutText(nc, file, var, "ancillary_variables", QualityName(c));
      PutQualityFlag(nc, file, timeDim, c, data, coordinates, writes);
    }
    if (!c.loggerUnit.empty()) PutText(nc, file, var, "logger_units", c.loggerUnit);
    if (c.column < data.channelCount && c.column < kMaxChannels) {
      PutInt(nc, file, var, "logger_channel", c.column + 1);
      const auto& k = state.calibration.coefficients[static_cast<size_t>(c.column)];
      nc(nc.lib.nc_put_att_double(file, var, "calibration_coefficients", NC_DOUBLE, 4, k.data()));
    } else {
      PutText(nc, file, var, "source", "derived by tmv from the measured channels");
    }
    const int column = c.column;
    writes.push_back([&nc, file, var, column, &data]() {
      const float* v = data.Column(column);
      std::vector<float> out(v, v + data.sampleCount);
      for (float& x : out)
        if (!Finite(x)) x = kInvalidValue;
      nc(nc.lib.nc_put_var_float(file, var, out.data()));
    });
  }

  if (data.StampCount() > 0) {
    int stampDim = -1, stampTime = -1, stampType = -1, stampCode = -1, stampRow = -1;
    nc(nc.lib.nc_def_dim(file, "stamp", static_cast<size_t>(data.StampCount()), &stampDim));
    nc(nc.lib.nc_def_var(file, "stamp_time", NC_DOUBLE, 1, &stampDim, &stampTime));
    PutText(nc, file, stampTime, "standard_name", "time");
    PutText(nc, file, stampTime, "long_name", "Time of the stamp the logger wrote");
    PutText(nc, file, stampTime, "units", axis.units);
    PutText(nc, file, stampTime, "calendar", "standard");
    nc(nc.lib.nc_def_var(file, "stamp_type", NC_STRING, 1, &stampDim, &stampType));
    PutText(nc, file, stampType, "long_name", "Type of the stamp");
    nc(nc.lib.nc_def_var(file, "stamp_code", NC_STRING, 1, &stampDim, &stampCode));
    PutText(nc, file, stampCode, "long_name", "Three-letter code of the stamp type");
    nc(nc.lib.nc_def_var(file, "stamp_row", NC_INT, 1, &stampDim, &stampRow));
    PutText(nc, file, stampRow, "long_name", "Index along time of the first sample after the stamp");
    writes.push_back([&nc, file, stampTime, stampType, stampCode, stampRow, &data, &axis]() {
      std::vector<double> t;
      std::vector<const char*> names, codes;
      std::vector<int> rows;
      for (const StampRecord& s : data.stamps) {
        t.push_back(SecondsFrom(axis.firstTicks, ToTicks(s.time)));
        names.push_back(StampName(s.type));
        codes.push_back(StampCode(s.type));
        rows.push_back(s.sampleIndex);
      }
      nc(nc.lib.nc_put_var_double(file, stampTime, t.data()));
      nc(nc.lib.nc_put_var_string(file, stampType, names.data()));
      nc(nc.lib.nc_put_var_string(file, stampCode, codes.data()));
      nc(nc.lib.nc_put_var_int(file, stampRow, rows.data()));
    });
  }

  PutBursts(nc, file, state, axis, writes);
  PutTideAnalysis(nc, file, state, timeDim, writes);
  PutDeploymentAttributes(nc, file, state, options.utcOffsetMinutes);
  if (data.sampleCount > 0) {
    // On the time axis: UTC ("Z") when the offset is known, else the logger clock.
    auto coverage = [&](uint64_t t) {
      const LoggerTime at = FromTicks(static_cast<uint64_t>(static_cast<int64_t>(t) + axis.shiftTicks));
      return IsoText(at, data.sixHzProfiling) + (options.utcOffsetMinutes ? "Z" : "");
    };
    PutText(nc, file, NC_GLOBAL, "time_coverage_start", coverage(ticks.front()));
    PutText(nc, file, NC_GLOBAL, "time_coverage_end", coverage(ticks.back()));
  }
  nc(nc.lib.nc_enddef(file));
  // The shift to UTC moves the reference, not the offsets from it.
  for (auto& write : writes) {
    if (!nc.Ok()) break;
    write();
  }
  const bool defined = nc.Ok();
  const std::string error = defined ? std::string() : nc.Error();
  const int closed = lib.nc_close(file);
  if (!defined) return error;
  if (closed != NC_NOERR) return lib.nc_strerror(closed);
  return {};
}

}  // namespace

std::optional<int> ParseUtcOffset(std::string_view text) {
  if (text.size() != 6 || (text[0] != '+' && text[0] != '-') || text[3] != ':') return std::nullopt;
  auto two = [&](size_t at) -> int {
    if (!std::isdigit(static_cast<unsigned char>(text[at])) || !std::isdigit(static_cast<unsigned char>(text[at + 1])))
      return -1;
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
  };
  const int hours = two(1), minutes = two(4);
  if (hours < 0 || minutes < 0 || minutes > 59) return std::nullopt;
  if (hours > kMaxOffsetHours || (hours == kMaxOffsetHours && minutes != 0)) return std::nullopt;
  const int total = hours * 60 + minutes;
  return text[0] == '-' ? -total : total;
}

std::string UtcOffsetText(int minutes) {
  const int a = std::abs(minutes);
  return Format("%c%02d:%02d", minutes < 0 ? '-' : '+', a / 60, a % 60);
}

std::string PositionError(std::optional<double> latitude, std::optional<double> longitude) {
  if (latitude && !(*latitude >= -90.0 && *latitude <= 90.0))
    return "the latitude must be a number of degrees from -90 to 90 (north positive)";
  if (longitude && !(*longitude >= -180.0 && *longitude <= 180.0))
    return "the longitude must be a number of degrees from -180 to 180 (east positive)";
  return {};
}

ExportPosition ExportPositionFor(const AppState& state, const ExportOptions& options) {
  ExportPosition where;
  if (options.latitude || options.longitude) {
    where.latitude = options.latitude;
    where.longitude = options.longitude;
    where.source = "given at export";
    return where;
  }
  // The GPS file of a real-time collection: "time<TAB>position" lines.
  const std::string& data = state.retrieval.currentFile;
  if (!data.empty()) {
    std::filesystem::path gps(data);
    gps.replace_extension(".gps");
    for (const std::filesystem::path& candidate : {gps, std::filesystem::path(DatDirectory(state)) / gps.filename()}) {
      std::ifstream in(candidate);
      for (std::string line; std::getline(in, line);) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos) continue;
        if (const std::optional<GeoPosition> p = PositionFromText(std::string_view(line).substr(tab + 1))) {
          where.latitude = p->latitude;
          where.longitude = p->longitude;
          where.source = "first position of the GPS file " + candidate.filename().string();
          return where;
        }
      }
    }
  }
  const DerivedSettings& d = state.settings.derived;
  if (d.depthEnabled && d.depthSeawater) {
    where.latitude = SettingsLatitude(d);
    where.source = "latitude set for depth from pressure, where only its size matters: check the hemisphere";
  }
  return where;
}

std::optional<ExportFormat> ExportFormatForPath(std::string_view path) {
  const std::string ext = Lower(std::filesystem::path(std::string(path)).extension().string());
  if (ext == ".nc") return ExportFormat::NetCdf;
  if (ext == ".csv") return ExportFormat::Csv;
  return std::nullopt;
}

std::vector<ExportColumn> ExportColumns(const AppState& state) {
  const DataSet& data = state.retrieval.data;
  std::vector<ExportColumn> out;
  for (int c = 0; c < data.totalChannelCount && c < kMaxColumns; ++c) {
    ExportColumn col;
    col.column = c;
    col.code = ColumnCode(data, c);
    const Description d = Describe(col.code, state.settings.derived);
    col.name = d.name;
    col.longName = d.longName;
    const char* conductivity = state.logger.conductivityMilliSiemens ? "mS cm-1" : "uS cm-1";
    col.units = d.units != nullptr ? d.units : conductivity;
    col.standardName = d.standardName != nullptr ? d.standardName : "";
    if (c < data.channelCount) {
      const int row = ChannelTypeRowForCode(col.code);
      const char* unit = row == kUnknownChannelTypeRow ? nullptr : ChannelTypeTable()[static_cast<size_t>(row)].unit;
      col.loggerUnit = ToUtf8(unit != nullptr ? unit : ConductivityUnit(state.logger));
      if (row == kUnknownChannelTypeRow) col.loggerUnit.clear();
    }
    // Without a pressure channel and with no hydrostatic pressure given the
    // anomaly is taken at the surface: that is sigma-t.
    if (col.code == kDensityAnomalyCode && FindDerivedRoles(data).pressure < 0 &&
        state.settings.derived.hydrostaticPressure == 0.0f) {
      col.longName = "Density anomaly at the surface, sigma-t (EOS-80)";
      col.standardName = "sea_water_sigma_t";
    }
    out.push_back(col);
  }
  // Names stay unique: a second channel of a type gets "_2", and so on.
  std::vector<std::string> bases;
  for (ExportColumn& c : out) {
    const int same = static_cast<int>(std::count(bases.begin(), bases.end(), c.name));
    bases.push_back(c.name);
    if (same > 0) c.name += "_" + std::to_string(same + 1);
  }
  return out;
}

std::vector<uint64_t> RowTicks(const DataSet& data) {
  std::vector<uint64_t> ticks(static_cast<size_t>(std::max(data.sampleCount, 0)));
  uint64_t base = ToTicks(data.startTime);
  int baseRow = 0;
  size_t next = 0;
  for (int row = 0; row < data.sampleCount; ++row) {
    while (next < data.stamps.size() && data.stamps[next].sampleIndex <= row) {
      base = ToTicks(data.stamps[next].time);
      baseRow = data.stamps[next].sampleIndex;
      ++next;
    }
    const uint64_t steps = static_cast<uint64_t>(row - baseRow);
    ticks[static_cast<size_t>(row)] =
        data.sixHzProfiling ? base + steps / 6 * kTicksPerSecond + steps % 6 * 167 * kTicksPerMillisecond
                            : base + steps * static_cast<uint64_t>(data.samplePeriodSeconds) * kTicksPerSecond;
  }
  return ticks;
}

std::string CsvExportText(const AppState& state, const ExportOptions& options) {
  const DataSet& data = state.retrieval.data;
  const std::vector<ExportColumn> columns = ExportColumns(state);
  const std::vector<uint64_t> ticks = RowTicks(data);
  const std::string zone = options.utcOffsetMinutes ? UtcOffsetText(*options.utcOffsetMinutes) : std::string();
  std::string out = "time";
  for (const ExportColumn& c : columns) {
    out += "," + c.name + " [" + c.units + "]";
    if (HasQualityFlag(data, c.column)) out += "," + QualityName(c) + " [1 good; 3 outside formula range; 9 missing]";
  }
  out += "\r\n";
  out.reserve(out.size() + static_cast<size_t>(data.sampleCount) * (columns.size() * 10 + 24));
  for (int r = 0; r < data.sampleCount; ++r) {
    out += IsoText(FromTicks(ticks[static_cast<size_t>(r)]), data.sixHzProfiling);
    out += zone;
    for (const ExportColumn& c : columns) {
      out += ',';
      const float v = data.Value(c.column, r);
      if (Finite(v)) AppendFloat(out, v);
      if (HasQualityFlag(data, c.column)) {
        out += ',';
        out += static_cast<char>('0' + ValueQuality(data, c.column, r));
      }
    }
    out += "\r\n";
  }
  return out;
}

ExportOutcome ExportDataSet(const AppState& state, const std::string& path, const ExportOptions& options) {
  ExportOutcome outcome;
  const DataSet& data = state.retrieval.data;
  const std::optional<ExportFormat> format = ExportFormatForPath(path);
  if (!format) {
    outcome.error = "The export file must end in .nc (netCDF) or .csv: " + path;
    return outcome;
  }
  if (data.sampleCount <= 0) {
    outcome.error = "There are no samples to export.";
    return outcome;
  }
  if (std::filesystem::is_directory(path)) {
    outcome.error = CannotWrite(path, "it is a directory");
    return outcome;
  }
  const std::vector<ExportColumn> columns = ExportColumns(state);
  for (const ExportColumn& c : columns)
    if (!RangeOf(data, c.column).any)
      outcome.notes.push_back("Channel " + c.name + " has no valid reading: exported as missing values.");

  StagedFile staged(path);
  if (!staged.Ready()) {
    outcome.error = CannotWrite(path, staged.Error());
    return outcome;
  }
  if (*format == ExportFormat::NetCdf) {
    const std::string error = WriteNetCdf(state, staged.Path(), options, columns, RowTicks(data));
    if (!error.empty()) {
      outcome.error = CannotWrite(path, error);
      return outcome;
    }
  } else {
    const std::string text = CsvExportText(state, options);
    FILE* f = std::fopen(staged.Path().c_str(), "wb");
    bool ok = f != nullptr && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const int writeErrno = errno;
    if (f != nullptr && std::fclose(f) != 0) ok = false;
    if (!ok) {
      outcome.error = CannotWrite(path, std::strerror(writeErrno));
      return outcome;
    }
  }
  if (!staged.Commit()) {
    outcome.error = CannotWrite(path, staged.Error());
    return outcome;
  }
  outcome.written = true;
  return outcome;
}

}  // namespace tmv
