#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "files/SettingsFile.h"
#include "files/WorkFiles.h"
#include "platform/Clock.h"
#include "platform/ScriptedUserInterface.h"
#include "support/WorkDirectoryTest.h"
#include "shell/AppState.h"

namespace tmv {
namespace {

namespace fs = std::filesystem;

class SettingsFileTest : public test::WorkDirectoryTest {};

TEST_F(SettingsFileTest, MissingFileGivesDefaultsAndIsWritten) {
  state.ports.loggerPort = 9;
  state.settings.derived.fixedTemperature = 1;
  EXPECT_EQ(LoadSettings(state), 0);
  EXPECT_EQ(state.ports.loggerPort, 1);
  EXPECT_EQ(state.ports.gpsPort, 0);
  EXPECT_EQ(state.ports.gpsBaud, 4800);
  EXPECT_FLOAT_EQ(state.settings.derived.fixedTemperature, 15.0f);
  const std::string written = Read("tmv.ini");
  EXPECT_EQ(written.rfind(WithCrLf("Port=COM1\nGPSComm=NOT USED\nFormat=0\nDensity (kg/m3)=OFF\n"), 0), 0u) << written;
  EXPECT_NE(written.find(WithCrLf("\nAtmospheric pressure=10.132500\nDensity=1.028100\nLatitude=0 0.000\n"
                                  "DO temperature=15.00\nDO salinity=35.00\nDepth Freshwater=OFF\n"
                                  "Micro-Salinometer average=30\n")),
            std::string::npos)
      << written;
  EXPECT_EQ(Read("tmv_copies.ini"), "Single copy only\r\n");
}

TEST_F(SettingsFileTest, ValuesAreReadRightAfterTheirKeysWithTheSpecialRules) {
  ResetSettings(state);
  state.ports.gpsPort = 4;
  ParseSettingsText(state,
                    "DO temperature=12.5\r\n"
                    "Online calibration upper turbidity=800\n"
                    "Online calibration lower turbidity=5\n"
                    "GPSComm=NOT USED\n"
                    "Depth Freshwater=OFF\n"
                    "Speed of Sound=ON\n"
                    "Dissolved oxygen: mg/l=OFF\n"
                    "Latitude=-33 51.250\n"
                    "Salinity=ON Hydrostatic pressure=2.50\n"
                    "Port=COM12\n");
  const auto& d = state.settings.derived;
  EXPECT_FLOAT_EQ(d.fixedTemperature, 12.5f);
  EXPECT_DOUBLE_EQ(state.settings.online.upperTurbidity, 800);
  EXPECT_DOUBLE_EQ(state.settings.online.lowerTurbidity, 5);
  EXPECT_EQ(state.ports.gpsPort, 0);
  EXPECT_FALSE(d.depthEnabled);
  EXPECT_FALSE(d.depthSeawater);
  EXPECT_TRUE(d.speedOfSoundEnabled);
  EXPECT_EQ(d.speedOfSoundFormula, SoundSpeedFormula::Unesco);  // a line naming no formula
  EXPECT_FALSE(d.oxygenConcentrationEnabled);
  EXPECT_EQ(d.oxygenUnit, OxygenUnit::MgPerLitre);  // the unit is taken even when off
  EXPECT_EQ(d.latitudeDegrees, -33);
  EXPECT_FLOAT_EQ(d.latitudeMinutes, 51.25f);
  EXPECT_TRUE(d.salinityEnabled);
  EXPECT_FLOAT_EQ(d.hydrostaticPressure, 2.5f);
  EXPECT_TRUE(d.anyDerived);
  EXPECT_EQ(state.ports.loggerPort, 12);

  // "Port" inside the GPS lines is not the logger port.
  ResetSettings(state);
  ParseSettingsText(state, "GPSComm=COM5\nGPS baudrate=9600\n");
  EXPECT_EQ(state.ports.loggerPort, 1);
  EXPECT_EQ(state.ports.gpsPort, 5);
  EXPECT_EQ(state.ports.gpsBaud, 9600);

  ParseSettingsText(state, "Depth Seawater=ON\nRadio=500\nLanguage Support: Chinese\n");
  EXPECT_TRUE(d.depthEnabled);
  EXPECT_TRUE(d.depthSeawater);
  EXPECT_TRUE(state.ports.radioModem);
  EXPECT_EQ(state.ports.radioDelayMs, 500);
  EXPECT_TRUE(state.settings.languageSupport);
  EXPECT_EQ(state.shell.language, 1);
  // Choosing the first language again must reach the file.
  state.shell.language = 0;
  SaveSettings(state);
  EXPECT_EQ(Read("tmv.ini").find("Language Support"), std::string::npos);

  // Start-up reads the file twice: the range-change display must stay on.
  ParseSettingsText(state, "Gain not required for auto-ranging\n");
  ParseSettingsText(state, "Gain not required for auto-ranging\n");
  EXPECT_TRUE(state.shell.showRangeChanges);
  EXPECT_FALSE(state.settings.gainRequired);
}

TEST_F(SettingsFileTest, BadLinesKeepDefaults) {
  ResetSettings(state);
  const std::string longLine = "DO salinity=20.0" + std::string(100, ' ');
  ParseSettingsText(state,
                    "DO temperature=\n"
                    "Atmospheric pressure=abc\n"
                    "Density=nan\n"
                    "Port=COM99\n"
                    "GPSComm=COMx\n"
                    "Format=7\n"
                    "Radio=\n"
                    "Micro-Salinometer average=-4\n"
                    "Salinity=maybe Hydrostatic pressure=9\n"
                    "Latitude=12\n" +
                        longLine + "\n");
  const Settings defaults;
  const auto& d = state.settings.derived;
  EXPECT_EQ(d.fixedTemperature, defaults.derived.fixedTemperature);
  EXPECT_EQ(d.atmosphericPressure, defaults.derived.atmosphericPressure);
  EXPECT_EQ(d.waterDensity, defaults.derived.waterDensity);
  EXPECT_EQ(d.fixedSalinity, 35.0f);
  EXPECT_EQ(d.hydrostaticPressure, 0.0f);
  EXPECT_FALSE(d.salinityEnabled);
  EXPECT_EQ(d.latitudeDegrees, 0);
  EXPECT_EQ(state.ports.loggerPort, 1);
  EXPECT_EQ(state.ports.gpsPort, 0);
  EXPECT_EQ(state.settings.datFormat, 0);
  EXPECT_FALSE(state.ports.radioModem);
  EXPECT_EQ(state.settings.microSalinometerAverage, 30);
}

TEST_F(SettingsFileTest, EveryKeyWithoutAValueOrOverLongKeepsItsDefault) {
  ResetSettings(state);
  const std::string defaults = SettingsText(state);
  const char* const keys[] = {"Port=COM", "GPSComm=", "GPSComm=COM", "GPS baudrate=", "Format=", "Density (kg/m3)=",
                              "Conductivity correction=", "Salinity=", "Salinity=ON Hydrostatic pressure=",
                              "Specific conductivity=", "Dissolved oxygen: uMol=", "Dissolved oxygen: mg/l=",
                              "Dissolved oxygen (Optode concentration): ml/l=",
                              "Dissolved oxygen (Optode saturation)=", "Speed of Sound: Wilson=",
                              "Speed of Sound: delGrosso", "Atmospheric pressure=", "Density=", "Latitude=",
                              "Latitude=5", "DO temperature=", "DO salinity=", "Depth Seawater=", "Depth Simplified",
                              "Radio=", "Radio", "Micro-Salinometer average=", "Online calibration lower depth=",
                              "Online calibration upper depth=", "Online calibration lower pH=",
                              "Online calibration upper pH=", "Online calibration lower O2=",
                              "Online calibration upper O2=", "Online calibration lower turbidity=",
                              "Online calibration upper turbidity="};
  for (const char* key : keys) {
    ResetSettings(state);
    ParseSettingsText(state, std::string(key) + "\r\n");
    // A line of Salinity=ON turns salinity on but leaves the pressure alone.
    if (std::string(key) == "Salinity=ON Hydrostatic pressure=") {
      EXPECT_TRUE(state.settings.derived.salinityEnabled);
      EXPECT_EQ(state.settings.derived.hydrostaticPressure, 0.0f);
      continue;
    }
    EXPECT_EQ(SettingsText(state), defaults) << key;
  }
  // The same lines with good values, padded past the line limit, are no settings either.
  const char* const good[] = {"Port=COM4", "Format=2", "Density (kg/m3)=ON", "Radio=500", "DO temperature=12.5",
                              "Gain not required for auto-ranging", "Language Support: Chinese",
                              "Online calibration upper turbidity=800"};
  for (const char* line : good) {
    ResetSettings(state);
    ParseSettingsText(state, std::string(line) + std::string(kMaxSettingsLine, ' ') + "\r\n");
    EXPECT_EQ(SettingsText(state), defaults) << line;
    ResetSettings(state);
    ParseSettingsText(state, std::string(line) + "\r\n");
    EXPECT_NE(SettingsText(state), defaults) << line;  // the good line itself does count
  }
}

TEST_F(SettingsFileTest, JunkFileLoadsDefaultsAndIsNotRewritten) {
  std::string junk;
  for (int i = 0; i < 5000; ++i) junk += static_cast<char>((i * 37) & 0xFF);
  junk += "\nPort=COM4\n";  // a good line among junk still counts
  Write("tmv.ini", junk);
  EXPECT_EQ(LoadSettings(state), 1);
  EXPECT_EQ(state.ports.loggerPort, 4);
  EXPECT_EQ(state.settings.derived.fixedSalinity, 35.0f);
  EXPECT_EQ(Read("tmv.ini"), junk);
}

// A FIFO under a work file's name used to block the start for ever: opening
// it for reading waits for a writer that never comes.
TEST_F(SettingsFileTest, FifoWorkFilesGiveDefaultsAndAMessageWithoutWaiting) {
  for (const char* name : {"tmv.ini", "tmvdir.ini", "tmvpath.fil", "tmv_copies.ini"})
    ASSERT_EQ(mkfifo(Path(name).c_str(), 0600), 0) << name;
  state.ports.loggerPort = 9;
  EXPECT_EQ(LoadSettings(state), 0);
  EXPECT_EQ(state.ports.loggerPort, 1);
  EXPECT_EQ(state.settings.derived.fixedSalinity, 35.0f);
  EXPECT_FALSE(state.shell.allowMultipleCopies);
  EXPECT_EQ(LoadWorkDirectories(state), 0);
  EXPECT_EQ(LoadRecentFiles(state), 0);
  EXPECT_TRUE(state.shell.recentFiles.empty());
  ASSERT_GE(ui.boxes.size(), 3u);
  EXPECT_EQ(ui.boxes[0].text, "Unable to open file: " + Path("tmv.ini"));
  EXPECT_EQ(ui.boxes[1].text, "Unable to open file: " + Path("tmvdir.ini"));
  EXPECT_EQ(ui.boxes[2].text, "Unable to open file: " + Path("tmvpath.fil"));
  EXPECT_EQ(ReadTextFile(Path("tmv.ini")), std::nullopt);
  // A directory under the name is no file either.
  std::filesystem::remove(Path("tmv.ini"));
  std::filesystem::create_directory(Path("tmv.ini"));
  EXPECT_EQ(LoadSettings(state), 0);
  EXPECT_EQ(ui.boxes.back().text, "Unable to open file: " + Path("tmv.ini"));
}

TEST_F(SettingsFileTest, EverySettingSurvivesAWriteAndRead) {
  state.ports.loggerPort = 7;
  state.ports.gpsPort = 3;
  state.ports.gpsBaud = 9600;
  state.ports.radioModem = true;
  state.ports.radioDelayMs = 750;
  Settings& s = state.settings;
  s.datFormat = 2;
  auto& d = s.derived;
  d.densityAnomalyEnabled = d.conductivityCorrectionEnabled = d.salinityEnabled = d.specificConductivityEnabled = true;
  d.hydrostaticPressure = 1.25f;
  d.oxygenConcentrationEnabled = true;
  d.oxygenUnit = OxygenUnit::MlPerLitre;
  d.optodeConcentrationEnabled = true;
  d.optodeUnit = OptodeUnit::MlPerLitre;
  d.optodeSaturationEnabled = true;
  d.speedOfSoundEnabled = true;
  d.speedOfSoundFormula = SoundSpeedFormula::DelGrosso;
  d.atmosphericPressure = 10.5f;
  d.waterDensity = 1.025f;
  d.latitudeDegrees = 42;
  d.latitudeMinutes = 7.125f;
  d.fixedTemperature = 12.5f;
  d.fixedSalinity = 30.25f;
  d.depthEnabled = true;
  d.depthSeawater = true;
  d.anyDerived = true;
  state.shell.language = 1;
  s.microSalinometerAverage = 12;
  state.shell.showRangeChanges = true;
  state.shell.allowMultipleCopies = true;
  s.online = {1, 20, 5, 9, 10, 90, 3, 800};
  ASSERT_EQ(SaveSettings(state), 1);
  const std::string saved = SettingsText(state);

  ResetSettings(state);
  state.shell.allowMultipleCopies = false;
  ASSERT_EQ(LoadSettings(state), 1);
  EXPECT_EQ(SettingsText(state), saved);
  EXPECT_EQ(state.ports.radioDelayMs, 750);
  EXPECT_EQ(d.oxygenUnit, OxygenUnit::MlPerLitre);
  EXPECT_EQ(d.optodeUnit, OptodeUnit::MlPerLitre);
  EXPECT_EQ(d.speedOfSoundFormula, SoundSpeedFormula::DelGrosso);
  EXPECT_FLOAT_EQ(d.hydrostaticPressure, 1.25f);
  EXPECT_FLOAT_EQ(d.atmosphericPressure, 10.5f);
  EXPECT_DOUBLE_EQ(s.online.upperTurbidity, 800);
  EXPECT_FLOAT_EQ(d.latitudeMinutes, 7.125f);
  EXPECT_TRUE(state.shell.allowMultipleCopies);
  EXPECT_FALSE(s.gainRequired);
  EXPECT_EQ(state.shell.language, 1);
  EXPECT_TRUE(s.languageSupport);

  // The off forms name the chosen unit and read back off.
  d.oxygenConcentrationEnabled = d.speedOfSoundEnabled = d.depthEnabled = d.optodeConcentrationEnabled = false;
  d.depthSeawater = false;
  const std::string off = SettingsText(state);
  EXPECT_NE(off.find("Dissolved oxygen: ml/l=OFF\n"), std::string::npos);
  EXPECT_NE(off.find("Dissolved oxygen (Optode concentration): ml/l=OFF\n"), std::string::npos);
  EXPECT_NE(off.find("Speed of Sound: delGrosso=OFF\n"), std::string::npos);
  EXPECT_NE(off.find("Depth Freshwater=OFF\n"), std::string::npos);
  ResetSettings(state);
  ParseSettingsText(state, off);
  EXPECT_FALSE(d.oxygenConcentrationEnabled || d.speedOfSoundEnabled || d.depthEnabled || d.optodeConcentrationEnabled);
  EXPECT_EQ(SettingsText(state), off);
}

TEST_F(SettingsFileTest, LaterCopiesStartFromTheFirstCopysFileAndKeepTheirOwn) {
  Write("tmv.ini", "Port=COM3\n");
  state.shell.copyNumber = 2;
  EXPECT_EQ(SettingsFileName(state), "tmv.002.ini");
  EXPECT_EQ(LoadSettings(state), 1);
  EXPECT_EQ(state.ports.loggerPort, 3);
  state.ports.loggerPort = 5;
  SaveSettings(state);
  EXPECT_EQ(Read("tmv.ini"), "Port=COM3\n");
  EXPECT_EQ(Read("tmv.002.ini").rfind("Port=COM5\r\n", 0), 0u);
}

TEST_F(SettingsFileTest, CopiesSwitchReadsOnlyTheStartOfTheFirstLine) {
  EXPECT_TRUE(CopiesTextAllowsCopies("Allow multiple copies\r\n"));
  EXPECT_FALSE(CopiesTextAllowsCopies("Single copy only\n"));
  EXPECT_FALSE(CopiesTextAllowsCopies(""));
  EXPECT_FALSE(CopiesTextAllowsCopies("\nAllow multiple copies\n"));
  EXPECT_FALSE(CopiesTextAllowsCopies(std::string(20, ' ') + "Allow multiple copies\n"));
  // A missing tmv.ini must not overwrite the user's copy switch with the default.
  Write("tmv_copies.ini", "Allow multiple copies\n");
  LoadSettings(state);
  EXPECT_TRUE(state.shell.allowMultipleCopies);
  EXPECT_EQ(Read("tmv_copies.ini"), "Allow multiple copies\r\n");
}

// The tool reads the work directory as the desktop does, and writes none of
// it; on --no-settings it reads nothing and writes nothing over.
TEST_F(SettingsFileTest, TheToolsLoaderReadsEveryWorkFileAndWritesNone) {
  Write("tmv.ini", "Depth Seawater=ON\nLatitude=53 30.000\nFormat=2\nPort=COM3\n");
  Write("tmvdir.ini", "DAT directory=/data/cruise\n");
  Write("tmv.lim", "SOS=1600 1450\n");
  ASSERT_EQ(LoadWorkFiles(state, WorkFilesUse::ReadOnly), 1);
  const DerivedSettings& d = state.settings.derived;
  EXPECT_TRUE(d.depthEnabled && d.depthSeawater && d.anyDerived);
  EXPECT_EQ(d.latitudeDegrees, 53);
  EXPECT_FLOAT_EQ(d.latitudeMinutes, 30.0f);
  EXPECT_EQ(state.settings.datFormat, 2);
  EXPECT_EQ(state.ports.loggerPort, 3);
  EXPECT_EQ(state.directories.dat, "/data/cruise");
  EXPECT_EQ(state.directories.hexOutput, Path("hex"));
  EXPECT_EQ(state.analysis.limits[14].maximum, 1600);
  EXPECT_EQ(state.analysis.limits[14].minimum, 1450);
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(dir)) files.push_back(entry.path().filename().string());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"tmv.ini", "tmv.lim", "tmvdir.ini"}));

  test::ScopedTempDir other;
  state.directories = WorkDirectories{};
  state.directories.work = other.path;
  std::ofstream(other.path + "/tmv.ini") << "Depth Seawater=ON\n";
  ASSERT_EQ(LoadWorkFiles(state, WorkFilesUse::Defaults), 1);
  EXPECT_FALSE(state.settings.derived.depthEnabled);
  EXPECT_EQ(state.directories.dat, other.path + "/dat");
  EXPECT_EQ(SaveSettings(state), 0);
  AddRecentFile(state, other.path + "/dat/a.dat");
  EXPECT_EQ(SaveWorkDirectories(state), 0);
  EXPECT_EQ(ReadTextFile(other.path + "/tmv.ini").value_or(""), "Depth Seawater=ON\n");
  EXPECT_FALSE(FileExists(other.path + "/tmvpath.fil"));
  EXPECT_FALSE(FileExists(other.path + "/tmvdir.ini"));
}

}  // namespace
}  // namespace tmv
