#pragma once
// What the user chose to derive from the measured channels, and the fixed
// values the formulas fall back on when a logger lacks a channel.
namespace tmv {

// A reading or derived value that does not exist: stored in its column and
// left out of the column's minimum and maximum.
constexpr double kInvalidValue = -1000.0;

// A value counts as a reading when it is a number above the invalid marker
// (a comparison with a value that is not a number is false).
inline bool IsValidValue(double value) { return value > kInvalidValue; }

enum class OxygenUnit { MicromolPerLitre, MgPerLitre, MlPerLitre };
enum class OptodeUnit { MgPerLitre, MlPerLitre };
enum class SoundSpeedFormula { Unesco, DelGrosso, Wilson };

struct DerivedSettings {
  bool depthEnabled = false;
  bool depthSeawater = false;          // true: seawater formula with latitude; false: simplified with density
  int latitudeDegrees = 0;             // whole degrees
  float latitudeMinutes = 0.0f;        // minutes of arc
  float atmosphericPressure = 10.1325f;  // dBar, taken off the absolute pressure reading
  float waterDensity = 1.0281f;        // g/cm3, simplified depth only
  bool salinityEnabled = false;
  float hydrostaticPressure = 0.0f;    // dBar, used when the logger has no pressure channel
  bool conductivityCorrectionEnabled = false;
  bool specificConductivityEnabled = false;  // conductivity at 25 degC
  bool densityAnomalyEnabled = false;
  bool oxygenConcentrationEnabled = false;   // Weiss, from percent saturation
  OxygenUnit oxygenUnit = OxygenUnit::MicromolPerLitre;
  bool optodeConcentrationEnabled = false;
  OptodeUnit optodeUnit = OptodeUnit::MgPerLitre;
  bool optodeSaturationEnabled = false;      // Garcia and Gordon, from Optode concentration
  bool speedOfSoundEnabled = false;
  SoundSpeedFormula speedOfSoundFormula = SoundSpeedFormula::Unesco;
  float fixedTemperature = 15.0f;      // degC (ITS-90), when no temperature channel exists
  float fixedSalinity = 35.0f;         // PSU, when no conductivity channel exists
  bool anyDerived = false;             // any derived unit chosen; not stored
};

}  // namespace tmv
