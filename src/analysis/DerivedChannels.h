#pragma once
// The derived columns of a DataSet: which ones the settings and the logger's
// channels call for, in a fixed order after the measured columns, and their
// values row by row. A value that cannot be computed is kInvalidValue and
// never enters its column's minimum and maximum. A value computed from
// inputs outside its formula's published range is kept (the DAT file holds
// it) and marked in the DataSet (OutsideFormulaRange).
#include <cstdint>
#include <functional>

#include "analysis/DerivedSettings.h"
#include "model/CalibrationSet.h"
#include "retrieval/DataSet.h"

namespace tmv {

struct AppState;

// Type codes of the derived columns.
constexpr uint8_t kDepthCode = 133;
constexpr uint8_t kSalinityCode = 'S';
constexpr uint8_t kCorrectedConductivityCode = 135;
constexpr uint8_t kSpecificConductivityCode = 's';
constexpr uint8_t kOxygenConcentrationCode = 'X';
constexpr uint8_t kSoundSpeedUnescoCode = 'u';
constexpr uint8_t kSoundSpeedDelGrossoCode = 'd';
constexpr uint8_t kSoundSpeedWilsonCode = 'W';
constexpr uint8_t kDensityAnomalyCode = 134;
constexpr uint8_t kWaveHeightCode = 129;
constexpr uint8_t kTidalSlopeCode = 130;
constexpr uint8_t kOptodeConcentrationCode = 131;
constexpr uint8_t kOptodeSaturationCode = 132;

// A new derived column's range, so that the first valid value replaces both.
constexpr float kDerivedMinimumStart = 30000.0f;
constexpr float kDerivedMaximumStart = -300.0f;

// The first measured channel of each role; -1 when no channel fills it.
struct DerivedRoles {
  int pressure = -1;      // 'P' or 'L'
  int temperature = -1;   // 'T'
  int conductivity = -1;  // 'C'
  int saturation = -1;    // 'D' or 'K'
  int optode = -1;        // 'J', Optode concentration
};
DerivedRoles FindDerivedRoles(const DataSet& data);

// Column index of each derived quantity; -1 when the DataSet has none.
struct DerivedColumns {
  int depth = -1;
  int salinity = -1;
  int correctedConductivity = -1;
  int specificConductivity = -1;
  int oxygenConcentration = -1;
  int soundSpeed = -1;
  int densityAnomaly = -1;
  int waveHeight = -1;
  int tidalSlope = -1;
  int optodeConcentration = -1;
  int optodeSaturation = -1;
};
DerivedColumns FindDerivedColumns(const DataSet& data);

// The quality of a value as the exports flag it (CF flag_values and
// flag_meanings): good, computed outside its formula's published range
// (DataSet::OutsideFormulaRange; the value is kept), or missing (the marker).
constexpr uint8_t kQualityGood = 1;
constexpr uint8_t kQualityOutsideRange = 3;
constexpr uint8_t kQualityMissing = 9;
inline constexpr const char* kQualityMeanings = "good outside_formula_validity_range missing";
uint8_t ValueQuality(const DataSet& data, int column, int row);

// The code of the speed-of-sound column for a formula.
uint8_t SoundSpeedCode(SoundSpeedFormula formula);

// Drops every derived column (the measured ones keep their values).
void RemoveDerivedColumns(DataSet& data);

// Rebuilds the derived columns from the settings, without any message.
// Columns that do not fit (32 in all, or the value pool) are left out.
// Returns the columns appended.
int AppendDerivedColumns(DataSet& data, const DerivedSettings& settings);

// What the computation reads besides the DataSet.
struct DerivedInputs {
  DerivedSettings settings;
  ConductivityCorrection correction;
  bool conductivityMilliSiemens = true;  // false: the conductivity channel is in uS/cm
  bool ratioSalinometer = false;         // VL-840: channels 1 and 3 give the conductivity ratio
  std::function<float(const DataSet&, int row)> waveHeightAt;
  std::function<float(const DataSet&, int depthColumn, int row)> tidalSlopeAt;
};
DerivedInputs DerivedInputsOf(const AppState& state);

// Every derived column for rows 0..sampleCount-1, then the tidal slope.
void ComputeDerivedValues(const DerivedInputs& inputs, DataSet& data);
// The derived columns of one row, updating their minimum and maximum.
void ComputeDerivedSample(const DerivedInputs& inputs, DataSet& data, int row);

// On the program state: the columns from state.settings.derived (depth left
// out while a file suspended it), with the message that converts a
// correction coefficient b above 0.999 to 0 when corrected conductivity is
// added, and the "Depth Plot" button shown only with a depth column.
void AddDerivedChannels(AppState& state, DataSet& data);
void ComputeDerivedValues(AppState& state, DataSet& data);

}  // namespace tmv
