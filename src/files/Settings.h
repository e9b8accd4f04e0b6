#pragma once
// The settings kept in the settings file, other than the port settings.
#include <string>

#include "analysis/DerivedSettings.h"

namespace tmv {

struct OnlineCalibrationLimits {
  double lowerDepth = 0, upperDepth = 10;
  double lowerPh = 4, upperPh = 10;
  double lowerO2 = 0, upperO2 = 100;
  double lowerTurbidity = 0, upperTurbidity = 600;
};

struct Settings {
  int datFormat = 0;  // DAT time format 0..2
  DerivedSettings derived;
  bool languageSupport = false;
  int microSalinometerAverage = 30;
  bool gainRequired = true;  // "Gain not required for auto-ranging" clears it
  OnlineCalibrationLimits online;
};

struct WorkDirectories {
  std::string work;       // the current directory at start
  std::string dat;        // DAT files read and written
  std::string hex;        // where the HEX open dialog starts
  std::string mat;
  std::string hexOutput;  // where HEX files are always written
  // false: the work files (tmv.ini, tmvdir.ini, tmvpath.fil) stay as they
  // are. A run that did not read them must not write its defaults over them.
  bool filesWritable = true;
};

}  // namespace tmv
