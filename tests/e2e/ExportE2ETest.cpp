// tmv-cli export on a HEX file the program wrote: the netCDF file it makes
// holds the rows the tool's own reader finds in that file, and bad requests
// end with a message, a non-zero status and no file.
#include <gtest/gtest.h>
#include <netcdf.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "files/HexFile.h"
#include "retrieval/SampleDecoder.h"
#include "support/ChildProcess.h"
#include "support/ImageBuilder.h"
#include "support/WorkDirectoryTest.h"

namespace tmv::test {
namespace {

class ExportE2ETest : public WorkDirectoryTest {};

TEST_F(ExportE2ETest, HexFileExportsToNetCdfAndCsvThroughTheTool) {
  MakeThreeChannelLogger(state);
  ImageBuilder b(48);
  for (uint32_t r = 0; r < 40; ++r) b.Word(0x400000 + 0x321 * r).Word(0x480000 + 0x55 * r).Word(0x500000 + 0x77 * r);
  b.Into(state.retrieval.image);
  DecodeSampleStream(state, true);
  ASSERT_TRUE(WriteHexFile(state, Path("sea.hex")));
  // What the program reads back from its own file is what the export must hold.
  ASSERT_EQ(ReadHexFile(state, 0, Path("sea.hex")), Outcome::Done());
  const DataSet& d = state.retrieval.data;
  ASSERT_EQ(d.sampleCount, 40);

  const auto run = RunCli({"export", Path("sea.hex"), "-o", Path("sea.nc"), "--derived", "salinity", "--utc-offset", "-03:00",
                           "--latitude", "-43.5", "--longitude", "-8.25"});
  ASSERT_EQ(run.status, 0) << run.err << run.out;
  int nc = -1;
  ASSERT_EQ(nc_open(Path("sea.nc").c_str(), NC_NOWRITE, &nc), NC_NOERR);
  int var = -1;
  ASSERT_EQ(nc_inq_varid(nc, "pressure", &var), NC_NOERR);
  std::vector<float> pressure(40);
  ASSERT_EQ(nc_get_var_float(nc, var, pressure.data()), NC_NOERR);
  for (int r = 0; r < 40; ++r) EXPECT_EQ(pressure[static_cast<size_t>(r)], d.Value(1, r)) << r;
  EXPECT_EQ(nc_inq_varid(nc, "salinity", &var), NC_NOERR);
  ASSERT_EQ(nc_inq_varid(nc, "time", &var), NC_NOERR);
  char units[80] = {};
  ASSERT_EQ(nc_get_att_text(nc, var, "units", units), NC_NOERR);
  EXPECT_STREQ(units, "seconds since 2024-03-15 15:00:00 +00:00");
  char feature[16] = {};
  EXPECT_EQ(nc_get_att_text(nc, NC_GLOBAL, "featureType", feature), NC_NOERR);
  EXPECT_STREQ(feature, "timeSeries");
  for (const auto& [name, expected] : {std::pair{"latitude", -43.5}, {"longitude", -8.25}}) {
    double value = 0;
    ASSERT_EQ(nc_inq_varid(nc, name, &var), NC_NOERR) << name;
    ASSERT_EQ(nc_get_var_double(nc, var, &value), NC_NOERR);
    EXPECT_EQ(value, expected) << name;  // south kept
  }
  nc_close(nc);

  const auto csv = RunCli({"export", Path("sea.hex"), "-o", Path("sea.csv")});
  EXPECT_EQ(csv.status, 0) << csv.err;
  EXPECT_EQ(Read("sea.csv").substr(0, 5), "time,");

  const auto badOffset = RunCli({"export", Path("sea.hex"), "-o", Path("bad.nc"), "--utc-offset", "+25:00"});
  EXPECT_EQ(badOffset.status, 2);
  EXPECT_NE(badOffset.err.find("not an offset from UTC"), std::string::npos) << badOffset.err;
  const auto badPosition = RunCli({"export", Path("sea.hex"), "-o", Path("bad.nc"), "--latitude", "10", "--longitude", "181"});
  EXPECT_EQ(badPosition.status, 2);
  EXPECT_NE(badPosition.err.find("from -180 to 180"), std::string::npos) << badPosition.err;
  const auto badPath = RunCli({"export", Path("sea.hex"), "-o", Path("nowhere/x.nc")});
  EXPECT_EQ(badPath.status, 1);
  EXPECT_NE(badPath.err.find("Unable to write"), std::string::npos) << badPath.err;
  EXPECT_FALSE(std::filesystem::exists(Path("bad.nc")));
}

// netCDF with HDF5, curl, TLS and Kerberos under it took most of the tool's
// start-up time, spent by every logger command: it is loaded by the export
// that needs it (which the test above runs through the tool), never at start.
TEST_F(ExportE2ETest, ToolStartsWithoutLoadingTheNetCdfLibraries) {
  // The dynamic loader lists what a program loads at start and exits (as ldd does).
  ASSERT_EQ(setenv("LD_TRACE_LOADED_OBJECTS", "1", 1), 0);
  const auto run = RunCli({"--version"});
  unsetenv("LD_TRACE_LOADED_OBJECTS");
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_NE(run.out.find("libc.so"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("libnetcdf"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("libhdf5"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace tmv::test
