// The inputs the fuzz targets (fuzz/) found to break a reader, each pinned
// to the behaviour that replaced the fault.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "analysis/DerivedUnitsDialog.h"
#include "files/SettingsFile.h"
#include "files/WorkFiles.h"
#include "support/WorkDirectoryTest.h"

namespace tmv {
namespace {

class FuzzFindingsTest : public test::WorkDirectoryTest {};

// settings_file_fuzz: "Online calibration upper depth=1e80" was taken, then
// written with its 81 digits, a line too long to be read at the next start,
// so the limit silently fell back to its default after one save.
TEST_F(FuzzFindingsTest, HugeOnlineCalibrationLimitIsRefusedNotLostAtTheNextStart) {
  ResetSettings(state);
  ParseSettingsText(state,
                    "Online calibration upper depth=1e80\n"
                    "Online calibration lower pH=-1e300\n"
                    "Online calibration upper turbidity=99999999999999.5\n");
  EXPECT_EQ(state.settings.online.upperDepth, 10.0);
  EXPECT_EQ(state.settings.online.lowerPh, 4.0);
  EXPECT_EQ(state.settings.online.upperTurbidity, 99999999999999.5);

  const std::string written = SettingsText(state);
  ResetSettings(state);
  ParseSettingsText(state, written);
  EXPECT_EQ(SettingsText(state), written);
  EXPECT_EQ(state.settings.online.upperTurbidity, 99999999999999.5);
}

// limits_file_fuzz: lines were cut at 39 characters before their numbers
// were read, so "Significant Wave Height=1095764493 808664402", as the
// limits dialog saves it, came back with a minimum of 8086; and the lowest
// whole number the dialog can reach was refused on reading.
TEST_F(FuzzFindingsTest, LongLimitsLineKeepsItsMinimumAndTheLowestNumberIsRead) {
  RealTimeLimits saved = DefaultRealTimeLimits();
  saved[15] = {1095764493, 808664402};
  saved[14] = {0, std::numeric_limits<int>::min()};
  RealTimeLimits read = DefaultRealTimeLimits();
  ParseRealTimeLimitsText(RealTimeLimitsText(saved), read);
  EXPECT_EQ(read[15].maximum, 1095764493);
  EXPECT_EQ(read[15].minimum, 808664402);
  EXPECT_EQ(read[14].minimum, std::numeric_limits<int>::min());
  // The key still has to be in the first 39 characters.
  RealTimeLimits late = DefaultRealTimeLimits();
  ParseRealTimeLimitsText(std::string(40, ' ') + "Pressure=40 -2\n", late);
  EXPECT_EQ(late[1].maximum, DefaultRealTimeLimits()[1].maximum);
}

// recent_files_fuzz: an entry ending in a carriage return ("\r\r" in the
// file) was listed, and written back as a line its own CR LF swallowed, so
// the list changed at each start; a path with a line feed became two
// entries. Neither can be one line of the list, so neither is listed.
TEST_F(FuzzFindingsTest, RecentFileThatCannotBeOneLineIsNotListed) {
  ParseRecentFilesText(state, "\r\r\n/data/a.dat\r\r\n/data/b.dat\r\n");
  ASSERT_EQ(state.shell.recentFiles, std::vector<std::string>{"/data/b.dat"});
  AddRecentFile(state, "/data/c\nd.dat");
  AddRecentFile(state, "/data/e.dat\r");
  EXPECT_EQ(state.shell.recentFiles, std::vector<std::string>{"/data/b.dat"});
  AddRecentFile(state, "/data/f.dat");
  LoadRecentFiles(state);
  EXPECT_EQ(state.shell.recentFiles, (std::vector<std::string>{"/data/f.dat", "/data/b.dat"}));
}

// work_directories_fuzz: "DAT directory=/x\r\r" was remembered with its
// trailing CR, which the next reading took for part of the line end; a DAT
// file chosen under a directory with a line feed in its name wrote a second,
// bogus line; and a directory over 259 characters was remembered, written,
// and refused when read back.
TEST_F(FuzzFindingsTest, RememberedDirectoryReadsBackAsWritten) {
  state.directories.dat = "/work/dat";
  ParseWorkDirectoriesText(state, "DAT directory=/x\r\r\nHEX directory=/h\n");
  EXPECT_EQ(state.directories.dat, "/work/dat");
  EXPECT_EQ(state.directories.hex, "/h");
  EXPECT_EQ(DirectoryOfCurrentFile("/a\nHEX directory=/b/x.dat", 2, "/work/dat"), "/work/dat");

  const std::string deep = "/" + std::string(300, 'd');
  EXPECT_EQ(DirectoryOfCurrentFile(deep + "/x.dat", 2, "/work/dat"), "/work/dat");
  const std::string fits = "/" + std::string(258, 'd');
  state.directories.dat = DirectoryOfCurrentFile(fits + "/x.dat", 2, "/work/dat");
  ASSERT_EQ(state.directories.dat, fits);
  ASSERT_EQ(SaveWorkDirectories(state), 1);
  state.directories.dat.clear();
  LoadWorkDirectories(state);
  EXPECT_EQ(state.directories.dat, fits);
}

}  // namespace
}  // namespace tmv
