#pragma once
// Starting a multi-channel logger on a threshold: the start list, the
// Thresholding dialog, the threshold's limits and raw count, and the rules
// for the power-saving test period and the hysteresis time.
#include <cstdint>
#include <string>
#include <vector>

#include "deployment/DeploymentSettings.h"
#include "deployment/DeploymentValidation.h"
#include "platform/Outcome.h"

namespace tmv {

struct AppState;
struct CalibrationSet;
struct LoggerInfo;

// The Setup dialog's start list for this logger, and the entry that shows startMode.
std::vector<std::string> StartListEntries(const LoggerInfo& info);
int StartListSelection(const LoggerInfo& info, unsigned startMode);
bool OffersThresholding(const LoggerInfo& info);
// Applies the choice of entry `index`; true when the "Threshold button" is to show.
bool ChooseStartEntry(AppState& state, int index);

// The "Threshold button" caption.
std::string ShowThresholdSummary(const AppState& state);

// The raw count whose conversion meets `value` on `channel` (bisection).
uint32_t ThresholdToRaw(const LoggerInfo& info, const CalibrationSet& calibration, double value, int channel);
// 0xFFFFFD, 0xFD70A2 or 0xDFFFFF by the channel's range class.
uint32_t ThresholdRawLimit(const LoggerInfo& info, int channel);
// Rounded up (down) to two decimals, forgiving binary fractions just below a cent.
double RoundUpCents(double value);
double RoundDownCents(double value);
struct ThresholdLimits {
  double minimum = 0.0;
  double maximum = 0.0;
};
ThresholdLimits ThresholdLimitsFor(const LoggerInfo& info, const CalibrationSet& calibration, int channel);
// The limit check of the Thresholding dialog and of "Enable logging": false
// when the value lay outside; `confirm` is asked whether the limit is to be
// the threshold, and with a yes the limit is stored.
bool CheckThresholdLimits(AppState& state, bool& acceptedLimit, const Confirm& confirm);

// The hysteresis count in samples, correcting hysteresisSeconds with its messages.
unsigned CheckHysteresis(AppState& state);
// False (after correcting the period, with its message) when the power-saving
// test period was shorter than the sensors allow.
bool CheckPowerSavingPeriod(AppState& state, MessageArea& message);

enum class ThresholdTest { Continuously, Every10Seconds, Every30Seconds, LetMeChoose };

// "TMV Logger - Thresholding configuration".
struct ThresholdDialog {
  static constexpr const char* kTitle = "TMV Logger - Thresholding configuration";
  static constexpr const char* kPeriodNote = "(This period can be changed in the Setup dialog)";

  std::string thresholdText;  // "%.2f"
  std::string samplingPeriodText;
  std::string captionLine;    // "When ABOVE the threshold of" / "When BELOW ..."
  ThresholdTest test = ThresholdTest::Continuously;
  std::vector<std::string> testChoices;  // the labels, in ThresholdTest order
  bool otherTestsEnabled = false;        // the choices other than "Continuously"
  std::string testPeriodText;            // "HH:mm:ss"
  bool testPeriodVisible = false;
  std::vector<int> channels;             // channel index of each list entry
  std::vector<std::string> channelLabels;
  std::vector<std::string> channelUnits;   // the unit of each entry's threshold
  int selectedEntry = 0;                 // index into channels
  bool hysteresisVisible = false;
  bool hysteresisBoxEnabled = false;
  bool hysteresisChecked = false;
  bool hysteresisFieldEnabled = false;
  std::string hysteresisText;            // seconds
  MessageArea message;
  bool open = false;

  void Open(AppState& state);
  void ChooseTest(AppState& state, ThresholdTest choice);
  void SetHysteresisEnabled(bool checked);
  // True: the dialog closes with the settings taken.
  bool Accept(AppState& state);
  void Discard(AppState& state);

 private:
  void ApplyHysteresisRule(const AppState& state);
  DeploymentSettings saved_;
};

}  // namespace tmv
