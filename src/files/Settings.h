#pragma once
// The settings kept in the settings file, other than the port settings.
#include <string>

namespace tmv {

struct DerivedUnitSettings {
  bool inUse = false;  // any derived unit reads as on
  bool density = false;
  bool conductivityCorrection = false;
  bool salinity = false;
  double hydrostaticPressure = 0.0;
  bool specificConductivity = false;
  bool dissolvedOxygen = false;
  bool doUmol = false, doMgL = false, doMlL = false;
  bool optodeConcentration = false;
  bool optodeMgL = false, optodeMlL = false;
  bool optodeSaturation = false;
  bool speedOfSound = false;
  bool sosWilson = false, sosDelGrosso = false, sosUnesco = false;
  double atmosphericPressure = 10.1325;  // dBar
  double waterDensity = 1.0281;
  int latitudeDegrees = 0;
  double latitudeMinutes = 0.0;
  double doTemperature = 15.0;
  double doSalinity = 35.0;
  bool depth = false;
  bool depthSimplified = true;
};

struct OnlineCalibrationLimits {
  double lowerDepth = 0, upperDepth = 10;
  double lowerPh = 4, upperPh = 10;
  double lowerO2 = 0, upperO2 = 100;
  double lowerTurbidity = 0, upperTurbidity = 600;
};

struct Settings {
  int datFormat = 0;  // DAT time format 0..2
  DerivedUnitSettings derived;
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
};

}  // namespace tmv
