// Export to netCDF-CF and CSV: the files are read back (netCDF with its own C
// library) and every value must be the DataSet's, float for float; a failed
// export leaves nothing under the target name.
#include <gtest/gtest.h>
#include <netcdf.h>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <filesystem>
#include <iostream>
#include <locale>
#include <string>
#include <vector>

#include "analysis/DerivedChannels.h"
#include "files/Export.h"
#include "files/HexFile.h"
#include "files/NetCdfLibrary.h"
#include "retrieval/SampleDecoder.h"
#include "shell/CommandIds.h"
#include "shell/CommandTable.h"
#include "shell/ExportCommand.h"
#include "support/ImageBuilder.h"
#include "support/PythonReference.h"
#include "support/WorkDirectoryTest.h"

namespace tmv::test {
namespace {

class ExportTest : public WorkDirectoryTest {
 protected:
  ExportTest() { MakeThreeChannelLogger(state); }
  DataSet& Data() { return state.retrieval.data; }
  // Six rows of temperature, pressure and conductivity, a time stamp before
  // row 4, and the salinity derived from them.
  void SixRowsWithSalinity() {
    ImageBuilder b(48);
    for (int r = 0; r < 6; ++r) {
      if (r == 4) b.Stamp("TIM", 24, 3, 15, 13, 0, 0);
      b.Word(0x400000 + 0x1234 * static_cast<uint32_t>(r)).Word(0x480000 + 0x777 * static_cast<uint32_t>(r)).Word(0x500000 + 0x99 * static_cast<uint32_t>(r));
    }
    b.Into(state.retrieval.image);
    DecodeSampleStream(state, true);
    ASSERT_EQ(Data().sampleCount, 6);
    Data().Column(0)[2] = kInvalidValue;  // a reading that is not there
    state.settings.derived.salinityEnabled = true;
    state.settings.derived.anyDerived = true;
    AddDerivedChannels(state, Data());
    ComputeDerivedValues(state, Data());
    ASSERT_EQ(Data().totalChannelCount, 4);
  }
  std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) lines.push_back(text.substr(at, end - at));
    return lines;
  }
  bool LeftoversIn(const std::string& directory) {
    for (const auto& e : std::filesystem::directory_iterator(directory))
      if (e.path().filename().string().find(".part-") != std::string::npos) return true;
    return false;
  }
};

// Reads netCDF attributes and variables back with the C library.
class NcReader {
 public:
  explicit NcReader(const std::string& path) { ok_ = nc_open(path.c_str(), NC_NOWRITE, &id_) == NC_NOERR; }
  ~NcReader() {
    if (ok_) nc_close(id_);
  }
  bool Ok() const { return ok_; }
  int Var(const char* name) const {
    int v = -1;
    return nc_inq_varid(id_, name, &v) == NC_NOERR ? v : -2;
  }
  std::string Text(int var, const char* name) const {
    size_t len = 0;
    if (nc_inq_attlen(id_, var, name, &len) != NC_NOERR) return "<none>";
    std::string s(len, '\0');
    nc_get_att_text(id_, var, name, s.data());
    return s;
  }
  float FloatAtt(int var, const char* name) const {
    float f = 0;
    return nc_get_att_float(id_, var, name, &f) == NC_NOERR ? f : -12345.0f;
  }
  std::vector<float> Floats(int var, size_t n) const {
    std::vector<float> v(n);
    nc_get_var_float(id_, var, v.data());
    return v;
  }
  std::vector<double> Doubles(int var, size_t n) const {
    std::vector<double> v(n);
    nc_get_var_double(id_, var, v.data());
    return v;
  }
  size_t Dim(const char* name) const {
    int d = -1;
    size_t len = 0;
    if (nc_inq_dimid(id_, name, &d) != NC_NOERR) return 0;
    nc_inq_dimlen(id_, d, &len);
    return len;
  }
  int id() const { return id_; }

 private:
  int id_ = -1;
  bool ok_ = false;
};

TEST_F(ExportTest, NetCdfHoldsEveryValueOfTheDataSetWithItsCfAttributes) {
  SixRowsWithSalinity();
  const ExportOutcome out = ExportDataSet(state, Path("sea.nc"), {});
  ASSERT_TRUE(out.written) << out.error;
  NcReader nc(Path("sea.nc"));
  ASSERT_TRUE(nc.Ok());
  EXPECT_EQ(nc.Text(NC_GLOBAL, "Conventions"), "CF-1.8");
  EXPECT_EQ(nc.Text(NC_GLOBAL, "instrument_model"), "QN-760");
  EXPECT_EQ(nc.Text(NC_GLOBAL, "instrument_firmware_version"), "6.50");
  EXPECT_EQ(nc.Text(NC_GLOBAL, "deployment_start"), "2024-03-15T12:00:00");
  ASSERT_EQ(nc.Dim("time"), 6u);

  const int time = nc.Var("time");
  EXPECT_EQ(nc.Text(time, "units"), "seconds since 2024-03-15 12:00:00");
  EXPECT_EQ(nc.Text(time, "calendar"), "standard");
  EXPECT_NE(nc.Text(time, "comment").find("no time zone"), std::string::npos);
  // Rows 0..3 every 30 s, then the stamp's 13:00:00 and 30 s on.
  const std::vector<double> expected = {0, 30, 60, 90, 3600, 3630};
  EXPECT_EQ(nc.Doubles(time, 6), expected);

  const char* names[] = {"temperature", "pressure", "conductivity", "salinity"};
  const char* standard[] = {"sea_water_temperature", "sea_water_pressure", "sea_water_electrical_conductivity",
                            "sea_water_practical_salinity"};
  const char* units[] = {"degree_C", "dbar", "uS cm-1", "1"};
  for (int c = 0; c < 4; ++c) {
    SCOPED_TRACE(names[c]);
    const int v = nc.Var(names[c]);
    ASSERT_GE(v, 0);
    EXPECT_EQ(nc.Text(v, "standard_name"), standard[c]);
    EXPECT_EQ(nc.Text(v, "units"), units[c]);
    EXPECT_EQ(nc.FloatAtt(v, "_FillValue"), kInvalidValue);
    const std::vector<float> values = nc.Floats(v, 6);
    float low = 1e30f, high = -1e30f;
    for (int r = 0; r < 6; ++r) {
      EXPECT_EQ(values[static_cast<size_t>(r)], Data().Value(c, r)) << "row " << r;
      if (IsValidValue(Data().Value(c, r))) low = std::min(low, Data().Value(c, r)), high = std::max(high, Data().Value(c, r));
    }
    EXPECT_EQ(nc.FloatAtt(v, "valid_min"), low);
    EXPECT_EQ(nc.FloatAtt(v, "valid_max"), high);
  }
  // The minimum ignores the missing reading rather than reporting the marker.
  EXPECT_GT(nc.FloatAtt(nc.Var("temperature"), "valid_min"), kInvalidValue);

  ASSERT_EQ(nc.Dim("stamp"), static_cast<size_t>(Data().StampCount()));
  const int stampType = nc.Var("stamp_type");
  ASSERT_GE(stampType, 0);
  std::vector<char*> types(static_cast<size_t>(Data().StampCount()));
  ASSERT_EQ(nc_get_var_string(nc.id(), stampType, types.data()), NC_NOERR);
  EXPECT_STREQ(types.back(), "TIME STAMP");
  nc_free_string(types.size(), types.data());
  EXPECT_EQ(nc.Doubles(nc.Var("stamp_time"), types.size()).back(), 3600.0);
}

// The library is loaded only when an export needs it: one that is missing
// must be named in the message, not crash or leave a half-loaded table.
TEST_F(ExportTest, MissingNetCdfLibraryIsNamedAndTheCallsStayUnset) {
  NetCdfLibrary library;
  std::string error;
  EXPECT_FALSE(LoadNetCdfFrom("libnetcdf-not-installed.so.0", library, error));
  EXPECT_NE(error.find("netCDF library libnetcdf-not-installed.so.0"), std::string::npos) << error;
  EXPECT_EQ(library.nc_create, nullptr);
  // A library without the netCDF calls (the C library) is refused with the missing call named.
  error.clear();
  EXPECT_FALSE(LoadNetCdfFrom("libc.so.6", library, error));
  EXPECT_NE(error.find("nc_create"), std::string::npos) << error;
  EXPECT_EQ(library.nc_close, nullptr);
  // The library the program was built against has every call.
  ASSERT_TRUE(LoadNetCdf(library, error)) << error;
  EXPECT_NE(library.nc_put_var_string, nullptr);
}

TEST_F(ExportTest, UtcOffsetMovesTheReferenceToUtcAndSaysSo) {
  SixRowsWithSalinity();
  ExportOptions options;
  options.utcOffsetMinutes = 5 * 60 + 30;
  ASSERT_TRUE(ExportDataSet(state, Path("utc.nc"), options).written);
  NcReader nc(Path("utc.nc"));
  const int time = nc.Var("time");
  EXPECT_EQ(nc.Text(time, "units"), "seconds since 2024-03-15 06:30:00 +00:00");
  EXPECT_EQ(nc.Text(time, "logger_clock_utc_offset"), "+05:30");
  EXPECT_EQ(nc.Doubles(time, 6)[4], 3600.0);

  const std::vector<std::string> rows = Lines(CsvExportText(state, options));
  EXPECT_EQ(rows[1].substr(0, 25), "2024-03-15T12:00:00+05:30");
}

TEST_F(ExportTest, UtcOffsetTextsThatAreNoOffsetAreRefused) {
  EXPECT_EQ(ParseUtcOffset("+05:30"), 330);
  EXPECT_EQ(ParseUtcOffset("-03:00"), -180);
  EXPECT_EQ(ParseUtcOffset("+14:00"), 840);
  for (const char* bad : {"+25:00", "0530", "abc", "+05:60", "+14:30", "05:30", "+5:30", "+05:3", "", "+05:30 "})
    EXPECT_FALSE(ParseUtcOffset(bad).has_value()) << bad;
  EXPECT_EQ(UtcOffsetText(-90), "-01:30");
}

// A user whose locale writes "3,14" must still get "3.14": a comma would split the field.
TEST_F(ExportTest, CsvKeepsTheDecimalPointUnderADecimalCommaLocale) {
  SixRowsWithSalinity();
  struct Comma : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
  };
  const std::locale before = std::locale::global(std::locale(std::locale::classic(), new Comma));
  const std::string cBefore = std::setlocale(LC_NUMERIC, nullptr);
  const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  const ExportOutcome out = ExportDataSet(state, Path("sea.csv"), {});
  std::locale::global(before);
  std::setlocale(LC_NUMERIC, cBefore.c_str());
  ASSERT_TRUE(out.written) << out.error;
  if (!german) std::cout << "[ note ] de_DE.UTF-8 is not installed: only the C++ locale had a decimal comma\n";

  const std::vector<std::string> rows = Lines(Read("sea.csv"));
  ASSERT_EQ(rows.size(), 7u);
  EXPECT_EQ(rows[0],
            "time,temperature [degree_C],pressure [dbar],conductivity [uS cm-1],salinity [1],"
            "salinity_quality [1 good; 3 outside formula range; 9 missing]");
  EXPECT_EQ(rows[5].substr(0, 20), "2024-03-15T13:00:00,");
  for (int r = 0; r < 6; ++r) {
    const std::string& line = rows[static_cast<size_t>(r) + 1];
    std::vector<std::string> fields;
    size_t at = 0;
    for (size_t comma; (comma = line.find(',', at)) != std::string::npos; at = comma + 1) fields.push_back(line.substr(at, comma - at));
    fields.push_back(line.substr(at));
    ASSERT_EQ(fields.size(), 6u) << line;
    EXPECT_EQ(fields[5], std::to_string(ValueQuality(Data(), 3, r))) << line;
    for (int c = 0; c < 4; ++c) {
      const std::string& f = fields[static_cast<size_t>(c) + 1];
      const float v = Data().Value(c, r);
      if (!IsValidValue(v)) {
        EXPECT_TRUE(f.empty()) << "row " << r << ": " << f;
        continue;
      }
      float back = 0;
      const auto [end, ec] = std::from_chars(f.data(), f.data() + f.size(), back);
      EXPECT_TRUE(ec == std::errc() && end == f.data() + f.size()) << f;
      EXPECT_EQ(back, v) << "row " << r << " column " << c;
    }
  }
}

TEST_F(ExportTest, DerivedValuesCarryAQualityFlagInBothFormats) {
  // A salinity computed from 300 mS/cm (hundreds, no salinity at all) stays
  // in the file as a value and is flagged 3; one whose temperature is
  // missing is flagged 9.
  SixRowsWithSalinity();
  for (int r = 0; r < 6; ++r) {  // sea water: 10 degC, 20 dBar, 40 mS/cm
    if (r != 2) Data().Column(0)[r] = 10.0f;
    Data().Column(1)[r] = 30.0f;
    Data().Column(2)[r] = 40000.0f;  // uS/cm
  }
  Data().Column(2)[1] = 300000.0f;
  ComputeDerivedValues(state, Data());
  ASSERT_NEAR(Data().Value(3, 0), 36.0f, 3.0f);
  ASSERT_GT(Data().Value(3, 1), 42.0f);
  const std::vector<int> expected = {kQualityGood, kQualityOutsideRange, kQualityMissing,
                                     kQualityGood, kQualityGood,         kQualityGood};
  ASSERT_TRUE(ExportDataSet(state, Path("flags.nc"), {}).written);
  NcReader nc(Path("flags.nc"));
  const int flag = nc.Var("salinity_quality");
  ASSERT_GE(flag, 0);
  nc_type type = NC_NAT;
  ASSERT_EQ(nc_inq_vartype(nc.id(), flag, &type), NC_NOERR);
  EXPECT_EQ(type, NC_BYTE);  // one byte per value
  signed char values[3] = {0, 0, 0};
  ASSERT_EQ(nc_get_att_schar(nc.id(), flag, "flag_values", values), NC_NOERR);
  EXPECT_EQ(std::vector<int>(values, values + 3), (std::vector<int>{1, 3, 9}));
  EXPECT_EQ(nc.Text(flag, "flag_meanings"), "good outside_formula_validity_range missing");
  EXPECT_EQ(nc.Text(flag, "standard_name"), "sea_water_practical_salinity status_flag");
  EXPECT_EQ(nc.Text(nc.Var("salinity"), "ancillary_variables"), "salinity_quality");
  std::vector<signed char> flags(6);
  ASSERT_EQ(nc_get_var_schar(nc.id(), flag, flags.data()), NC_NOERR);
  EXPECT_EQ(std::vector<int>(flags.begin(), flags.end()), expected);
  EXPECT_EQ(nc.Floats(nc.Var("salinity"), 6)[1], Data().Value(3, 1));  // kept, not the fill value
  EXPECT_EQ(nc.Var("temperature_quality"), -2);  // measured channels have no formula

  const std::vector<std::string> rows = Lines(CsvExportText(state, {}));
  for (int r = 0; r < 6; ++r) {
    const std::string& line = rows[static_cast<size_t>(r) + 1];
    EXPECT_EQ(line.substr(line.rfind(',') + 1), std::to_string(expected[static_cast<size_t>(r)])) << line;
  }
  char kept[32];
  const auto written = std::to_chars(kept, kept + sizeof kept, Data().Value(3, 1));
  EXPECT_NE(rows[2].find("," + std::string(kept, written.ptr) + ",3"), std::string::npos) << rows[2];
}

TEST_F(ExportTest, NetCdfIsATimeSeriesOnlyWhereThePositionIsKnown) {
  // featureType "timeSeries" was declared with no latitude, longitude or
  // station, which a CF checker flags.
  SixRowsWithSalinity();
  ASSERT_TRUE(ExportDataSet(state, Path("nowhere.nc"), {}).written);
  {
    NcReader nc(Path("nowhere.nc"));
    EXPECT_EQ(nc.Text(NC_GLOBAL, "featureType"), "<none>");
    EXPECT_EQ(nc.Var("latitude"), -2);
    EXPECT_EQ(nc.Var("station"), -2);
    EXPECT_EQ(nc.Text(nc.Var("salinity"), "coordinates"), "time");
  }
  // The GPS file of a real-time collection beside the data gives it.
  state.retrieval.currentFile = Path("sea.hex");
  Write("sea.gps", "15/03/2024 12:00:00\t 4330.0000,N,00815.0000,W\r\n15/03/2024 12:00:30\t 4331.0000,N,00815.0000,W\r\n");
  ASSERT_TRUE(ExportDataSet(state, Path("gps.nc"), {}).written);
  {
    NcReader nc(Path("gps.nc"));
    EXPECT_EQ(nc.Text(NC_GLOBAL, "featureType"), "timeSeries");
    EXPECT_EQ(nc.Doubles(nc.Var("latitude"), 1)[0], 43.5);
    EXPECT_EQ(nc.Doubles(nc.Var("longitude"), 1)[0], -8.25);
    EXPECT_EQ(nc.Text(nc.Var("latitude"), "units"), "degrees_north");
    EXPECT_EQ(nc.Text(nc.Var("longitude"), "standard_name"), "longitude");
    EXPECT_EQ(nc.Text(nc.Var("station"), "cf_role"), "timeseries_id");
    EXPECT_EQ(nc.Text(nc.Var("salinity"), "coordinates"), "time latitude longitude station");
    EXPECT_EQ(nc.Text(nc.Var("salinity_quality"), "coordinates"), "time latitude longitude station");
  }
  // The latitude set for depth alone: a coordinate, but no time series.
  std::filesystem::remove(Path("sea.gps"));
  state.settings.derived.depthEnabled = state.settings.derived.depthSeawater = true;
  state.settings.derived.latitudeDegrees = 45;
  state.settings.derived.latitudeMinutes = 30.0f;
  ASSERT_TRUE(ExportDataSet(state, Path("latitude.nc"), {}).written);
  {
    NcReader nc(Path("latitude.nc"));
    EXPECT_EQ(nc.Doubles(nc.Var("latitude"), 1)[0], 45.5);
    EXPECT_EQ(nc.Var("longitude"), -2);
    EXPECT_EQ(nc.Text(NC_GLOBAL, "featureType"), "<none>");
    EXPECT_EQ(nc.Text(nc.Var("salinity"), "coordinates"), "time latitude");
  }
  EXPECT_TRUE(PositionError(90.0, -180.0).empty());
  EXPECT_FALSE(PositionError(90.5, 0.0).empty());
  EXPECT_FALSE(PositionError(0.0, std::nan("")).empty());
}

TEST_F(ExportTest, ClockAttributesCarryTheZoneAndTheCoverageIsOnTheUtcAxis) {
  // With --utc-offset the time axis was UTC but time_coverage_start/end and
  // the deployment and clock attributes were logger clock times with no
  // zone: five and a half hours off the axis for a reader.
  SixRowsWithSalinity();
  Data().deployment.startTime = LoggerTime{2024, 3, 0, 15, 11, 59, 0, 0};
  Data().loggerTime = LoggerTime{2024, 3, 0, 16, 9, 0, 0, 0};
  ExportOptions options;
  options.utcOffsetMinutes = 5 * 60 + 30;
  ASSERT_TRUE(ExportDataSet(state, Path("zoned.nc"), options).written);
  NcReader nc(Path("zoned.nc"));
  EXPECT_EQ(nc.Text(NC_GLOBAL, "time_coverage_start"), "2024-03-15T06:30:00Z");
  EXPECT_EQ(nc.Text(NC_GLOBAL, "time_coverage_end"), "2024-03-15T07:30:30Z");
  EXPECT_EQ(nc.Text(NC_GLOBAL, "deployment_start"), "2024-03-15T11:59:00+05:30");
  EXPECT_EQ(nc.Text(NC_GLOBAL, "logger_clock_at_retrieval"), "2024-03-16T09:00:00+05:30");
  for (const char* name : {"deployment_end", "host_clock_at_retrieval"}) {
    const std::string text = nc.Text(NC_GLOBAL, name);
    EXPECT_EQ(text.substr(text.size() - 6), "+05:30") << name;
  }
  // Without an offset the clock's zone is unknown, and none is claimed.
  ASSERT_TRUE(ExportDataSet(state, Path("clock.nc"), {}).written);
  NcReader plain(Path("clock.nc"));
  EXPECT_EQ(plain.Text(NC_GLOBAL, "time_coverage_start"), "2024-03-15T12:00:00");
  EXPECT_EQ(plain.Text(NC_GLOBAL, "deployment_start"), "2024-03-15T11:59:00");
}

TEST_F(ExportTest, NetCdfReadsBackInPythonWithItsFlagsCoordinatesAndTimes) {
  // Read by python3-netCDF4 and cftime, not by the library calls that wrote it.
  const std::string python = PythonWith("netCDF4");
  if (python.empty()) GTEST_SKIP() << "no python3 with netCDF4";
  SixRowsWithSalinity();
  for (int r = 0; r < 6; ++r) {
    if (r != 2) Data().Column(0)[r] = 10.0f;
    Data().Column(1)[r] = 30.0f;
    Data().Column(2)[r] = r == 1 ? 300000.0f : 40000.0f;
  }
  ComputeDerivedValues(state, Data());
  ExportOptions options;
  options.utcOffsetMinutes = -(2 * 60);
  options.latitude = -33.875;
  options.longitude = 151.25;
  ASSERT_TRUE(ExportDataSet(state, Path("read.nc"), options).written);
  const CommandOutput dump = RunCommand(python + " " + TMV_SOURCE_DIR + "/tests/support/netcdf_dump.py " + Path("read.nc") +
                                        " time latitude longitude station salinity salinity_quality 2>&1");
  ASSERT_EQ(dump.status, 0) << dump.text;
  const std::string& t = dump.text;
  for (const char* line :
       {"global featureType timeSeries\n", "global time_coverage_start 2024-03-15T14:00:00Z\n",
        "value latitude -33.875\n", "value longitude 151.25\n", "attr latitude units degrees_north\n",
        "shape latitude float64 scalar\n", "attr station cf_role timeseries_id\n", "value station QN-760 ",
        "shape salinity_quality int8 time\n", "attr salinity_quality flag_values 1,3,9\n",
        "attr salinity_quality flag_meanings good outside_formula_validity_range missing\n",
        "value salinity_quality 1,3,9,1,1,1\n", "attr salinity ancillary_variables salinity_quality\n",
        "attr salinity coordinates time latitude longitude station\n",
        "time time 2024-03-15T14:00:00\n", "time time 2024-03-15T15:00:30\n"})
    EXPECT_NE(t.find(line), std::string::npos) << line << "\n" << t;
  // The missing salinity is masked by its _FillValue, the kept one is there.
  const size_t values = t.find("value salinity ");
  ASSERT_NE(values, std::string::npos) << t;
  const std::string row = t.substr(values, t.find('\n', values) - values);
  EXPECT_NE(row.find(",--,"), std::string::npos) << row;
}

TEST_F(ExportTest, FileWithNoRowsIsRefusedAndNothingIsWritten) {
  Data().LayOut(3, 0);
  Data().sampleCount = 0;
  for (const char* name : {"empty.nc", "empty.csv"}) {
    const ExportOutcome out = ExportDataSet(state, Path(name), {});
    EXPECT_FALSE(out.written);
    EXPECT_EQ(out.error, "There are no samples to export.");
    EXPECT_FALSE(std::filesystem::exists(Path(name)));
  }
}

// A dead sensor is a fact a data centre wants recorded, not a reason to
// withhold the other channels: the variable is all fill values and says why.
TEST_F(ExportTest, ChannelWithNoValidReadingIsAllFillValuesWithANote) {
  SixRowsWithSalinity();
  for (int r = 0; r < 6; ++r) Data().Column(2)[r] = kInvalidValue;
  const ExportOutcome out = ExportDataSet(state, Path("dead.nc"), {});
  ASSERT_TRUE(out.written) << out.error;
  ASSERT_FALSE(out.notes.empty());
  EXPECT_NE(out.notes.front().find("conductivity"), std::string::npos);
  NcReader nc(Path("dead.nc"));
  const int v = nc.Var("conductivity");
  for (float x : nc.Floats(v, 6)) EXPECT_EQ(x, kInvalidValue);
  EXPECT_NE(nc.Text(v, "comment").find("No valid reading"), std::string::npos);
  EXPECT_EQ(nc.Text(v, "valid_min"), "<none>");
}

TEST_F(ExportTest, UnwritablePathLeavesNothingBehindAndKeepsAnOldFile) {
  SixRowsWithSalinity();
  const ExportOutcome missing = ExportDataSet(state, Path("no/such/dir/x.nc"), {});
  EXPECT_FALSE(missing.written);
  EXPECT_NE(missing.error.find("Unable to write"), std::string::npos) << missing.error;

  // A target that is a directory: refused, the directory untouched.
  std::filesystem::create_directories(Path("taken.csv"));
  EXPECT_FALSE(ExportDataSet(state, Path("taken.csv"), {}).written);
  EXPECT_TRUE(std::filesystem::is_directory(Path("taken.csv")));
  EXPECT_FALSE(LeftoversIn(dir));

  // A good export over an old file replaces it whole.
  Write("old.csv", "old contents");
  ASSERT_TRUE(ExportDataSet(state, Path("old.csv"), {}).written);
  EXPECT_EQ(Read("old.csv").substr(0, 5), "time,");
  EXPECT_FALSE(LeftoversIn(dir));
}

TEST_F(ExportTest, RowTimesAgreeWithSampleTimeAcrossStampsAndSixHertz) {
  SixRowsWithSalinity();
  for (bool sixHz : {false, true}) {
    Data().sixHzProfiling = sixHz;
    const std::vector<uint64_t> ticks = RowTicks(Data());
    for (int r = 0; r < Data().sampleCount; ++r) EXPECT_EQ(ticks[static_cast<size_t>(r)], ToTicks(SampleTime(Data(), r))) << r;
  }
}

TEST_F(ExportTest, SecondChannelOfATypeGetsItsOwnVariableName) {
  state.logger.channelTypes[2] = 'T';
  ImageBuilder b(48);
  b.Word(0x400000).Word(0x480000).Word(0x410000);
  b.Into(state.retrieval.image);
  DecodeSampleStream(state, true);
  const std::vector<ExportColumn> columns = ExportColumns(state);
  ASSERT_EQ(columns.size(), 3u);
  EXPECT_EQ(columns[0].name, "temperature");
  EXPECT_EQ(columns[2].name, "temperature_2");
  ASSERT_TRUE(ExportDataSet(state, Path("two.nc"), {}).written);
}

TEST_F(ExportTest, ExportCommandAsksForTheFileAndARetriedOffset) {
  SixRowsWithSalinity();
  ui.fileAnswers.push_back(Path("menu"));  // no extension: netCDF
  ui.textAnswers.push_back("+25:00");
  ui.textAnswers.push_back("-02:00");
  ui.textAnswers.push_back("91, 0");  // the position, asked again
  ui.textAnswers.push_back(" 43.5 , -8.25");
  EXPECT_EQ(ExportDataCommand(state), 1);
  EXPECT_TRUE(ui.BoxSeen("\"+25:00\" is not an offset from UTC.\nGive it as +HH:MM or -HH:MM, for example +05:30."));
  EXPECT_TRUE(ui.BoxSeen("\"91, 0\" is not a position: the latitude must be a number of degrees from -90 to 90 "
                         "(north positive),\nfor example 43.5, -8.25."));
  NcReader nc(Path("menu.nc"));
  ASSERT_TRUE(nc.Ok());
  EXPECT_EQ(nc.Text(nc.Var("time"), "units"), "seconds since 2024-03-15 14:00:00 +00:00");
  EXPECT_EQ(nc.Text(NC_GLOBAL, "featureType"), "timeSeries");
  EXPECT_EQ(nc.Doubles(nc.Var("longitude"), 1)[0], -8.25);
  ASSERT_NE(FindCommandRule(cmd::kExportData), nullptr);
  EXPECT_FALSE(FindCommandRule(cmd::kExportData)->needsLogger);
}

}  // namespace
}  // namespace tmv::test
