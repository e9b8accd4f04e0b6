#pragma once
// The derived-units dialog ("TMV Logger - Derived Units Setup"), the
// real-time limits dialog ("Real-time Limits Control Panel") with the
// tmv.lim file, and the guard that sends the user to the derived-units
// dialog when KZM data needs depth.
#include <array>
#include <map>
#include <string>
#include <string_view>

#include "analysis/DerivedState.h"
#include "platform/Outcome.h"

namespace tmv {

struct AppState;

class DerivedUnitsDialog {
 public:
  static constexpr const char* kTitle = "TMV Logger - Derived Units Setup";
  // Control identifiers (boxes, radios, fields, labels, buttons).
  enum Control {
    kDepth = 1022,
    kLatitudeDegrees = 1023,
    kLatitudeMinutes = 1024,
    kAtmosphericPressure = 1025,
    kWaterDensity = 1026,
    kSalinity = 1027,
    kWeiss = 1028,
    kSpecificConductivity = 1029,
    kFixedTemperature = 1032,
    kSeawater = 1036,
    kSimplified = 1037,
    kFixedTemperatureLabel = 1038,
    kDelGrosso = 1039,
    kUnesco = 1040,
    kWilson = 1041,
    kSoundSpeed = 1042,
    kWeissMlL = 1043,
    kWeissMgL = 1044,
    kWeissUmol = 1045,
    kFixedSalinityLabel = 1046,
    kFixedSalinity = 1047,
    kCorrection = 1048,
    kHydrostaticLabel = 1049,
    kHydrostaticPressure = 1050,
    kOptodeConcentration = 1064,
    kOptodeMlL = 1067,
    kOptodeMgL = 1068,
    kOptodeSaturation = 1072,
    kLatitudeLabel = 1080,
    kAtmosphericLabel = 1081,
    kDensityLabel = 1082,
    kAtmosphericDefault = 1175,
    kDensityDefault = 1176,
    kViewEquation = 1191,
    kDensityAnomaly = 11030,
  };
  // Texts of the boxes, radios, buttons and group frames, by control.
  static const char* Text(int control);
  struct Group {
    const char* caption;
    std::array<int, 12> controls;  // 0 ends the list
  };
  static const std::array<Group, 10>& Groups();

  // Fills the fields and boxes from the settings and applies the enabling rules.
  explicit DerivedUnitsDialog(AppState& state);

  bool Checked(int control) const;
  bool Enabled(int control) const;
  bool Visible(int control) const { return control != kViewEquation; }
  const std::string& FieldText(int control) const;

  // A click on a box, radio or button, with its immediate effects.
  void Click(int control);
  // Typing into a field; the latitude fields are stored at once.
  void SetFieldText(int control, std::string_view text);
  // Stores the choices, saves tmv.ini, rebuilds the derived columns of a
  // held DataSet and resumes a pending KZM action (a KZM HEX file to read
  // again is left in hexFileToRead, for the caller to read and show).
  // Returns 1.
  int Ok();
  void Cancel() {}

  std::string hexFileToRead;

 private:
  void ApplyEnabling();
  void Check(int control, bool on) { checked_[control] = on; }
  void CheckOneOf(std::initializer_list<int> group, int control);

  AppState& state_;
  std::map<int, bool> checked_;
  std::map<int, bool> enabled_;
  std::map<int, std::string> fields_;
};

// Depth must be on before KZM data is retrieved, set up or read: records
// the action to resume once the derived units are OK'd with depth, and
// returns the refusal that says so (the caller opens the derived units).
Outcome KzmNeedsDepth(AppState& state, int action, const std::string& hexFile = std::string());

// ---------------------------------------------------------------- real-time limits

// Dialog entries for categories 0..17, and the keys of tmv.lim in file order.
const std::array<const char*, 18>& LimitEntryNames();
struct LimitKey {
  const char* key;
  int category;
};
const std::array<LimitKey, 18>& LimitFileKeys();

std::string RealTimeLimitsText(const RealTimeLimits& limits);
// Applies every line that names a key on top of `limits`; lines without "="
// or two numbers are passed over.
void ParseRealTimeLimitsText(std::string_view text, RealTimeLimits& limits);
// tmv.lim in the work directory. A missing file leaves the defaults.
void LoadRealTimeLimits(AppState& state);
bool SaveRealTimeLimits(const AppState& state);

class LimitsDialog {
 public:
  static constexpr const char* kTitle = "Real-time Limits Control Panel";
  static constexpr const char* kText =
      "These limits are used to scale the values obtained during real-time data capture. Help > Manual (F1) tells "
      "more.";
  enum Control { kMinField = 1100, kMaxField = 1101, kMaxArrow = 1102, kMinArrow = 1103 };

  explicit LimitsDialog(AppState& state) : state_(state) {}
  int Selected() const { return selected_; }
  void Select(int entry);
  std::string MinText() const;
  std::string MaxText() const;
  // Typing stores a whole number at once; other text leaves the value.
  void SetMinText(std::string_view text);
  void SetMaxText(std::string_view text);
  // One arrow step; up raises the value. The other bound follows so that
  // the minimum never exceeds the maximum.
  void StepMax(bool up);
  void StepMin(bool up);
  // Writes tmv.lim; true when written.
  bool Ok();
  void Cancel() {}

 private:
  RealTimeLimit& Pair();
  const RealTimeLimit& Pair() const;
  AppState& state_;
  int selected_ = 0;
};

}  // namespace tmv
