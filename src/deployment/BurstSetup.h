#pragma once
// Tide-and-wave recorders: the tide period, the wave bursts and their
// period, the checks with the wave-analysis bandwidth, and the "Tide and
// Wave modes" dialog that edits them.
#include <optional>
#include <string>
#include <vector>

#include "deployment/DateDialog.h"
#include "deployment/DeploymentSettings.h"
#include "deployment/DeploymentValidation.h"
#include "model/LoggerTime.h"

namespace tmv {

struct AppState;

// Highest wave frequency [Hz] a pressure sensor loggerDepth [m] below the
// surface resolves in water depth [m].
double WaveCutoffFrequency(double depth, double loggerDepth);

// Keeps the burst period a whole multiple of the tide period (at most a day);
// step 0 normalises, 1000 follows a tide-period change, other steps move the
// burst period by that many tide periods (negative: longer).
void AdjustBurstPeriod(AppState& state, int step);
constexpr int kTidePeriodChanged = 1000;

// 0 when the tide-and-wave deployment is acceptable, else the code of the
// first failing check; its message is in the panel.
int CheckWaveSetup(AppState& state, SetupPanel& panel);

// The Setup dialog's tide-and-wave texts.
std::string BurstRateText(const DeploymentSettings& d);      // "%3dHz" / "Not set"
std::string WaveSettingsText(const DeploymentSettings& d);   // "%d samples every %s" / "Burst mode not selected"
std::string TideAveragingText(const DeploymentSettings& d);  // "Averaging over %s" / "Averaging not selected"

// "TMV Logger - KZM Tide and Wave modes configuration".
struct BurstDialog {
  static constexpr const char* kTitle = "TMV Logger - KZM Tide and Wave modes configuration";
  static constexpr int kRates[] = {1, 2, 4};
  static constexpr int kLengths[] = {512, 1024, 2048, 4096};

  StartEndFields times;
  std::string tidePeriodText;  // "HH:mm:ss"
  std::string averagingText;
  bool averagingBoxEnabled = true;
  bool averagingChecked = false;
  bool averagingFieldEnabled = false;
  bool rateListEnabled = true;
  std::vector<std::string> rateLabels{"1Hz", "2Hz", "4Hz"};
  std::vector<std::string> lengthLabels{"512", "1024", "2048", "4096"};
  int rateIndex = 0;
  int lengthIndex = 0;
  std::string samplesAtLabel;  // "samples @ %dHz"
  std::string atLabel;         // "@ %dHz"
  bool waveChecked = false;
  bool burstFieldsEnabled = false;
  std::string burstPeriodText;  // "%2d:%02d:%02d"
  std::string depthText;        // "%.2f"
  std::string heightText;
  int lastCheck = 0;
  bool open = false;

  void Open(AppState& state, SetupPanel& panel);
  void SelectRate(AppState& state, SetupPanel& panel, int index);
  void SelectLength(AppState& state, SetupPanel& panel, int index);
  bool SetTidePeriodText(AppState& state, SetupPanel& panel, const std::string& text);
  bool SetAveragingText(AppState& state, SetupPanel& panel, const std::string& text);
  // A typed burst period ("HH:MM:SS", up to a day), rounded up to a whole
  // number of tide periods; false when the text is no time (nothing changes).
  bool SetBurstPeriodText(AppState& state, SetupPanel& panel, const std::string& text);
  // One click of the burst period's spin control: +1 longer, -1 shorter.
  void SpinBurstPeriod(AppState& state, SetupPanel& panel, int direction);
  void SetDepthText(AppState& state, SetupPanel& panel, const std::string& text);
  void SetHeightText(AppState& state, SetupPanel& panel, const std::string& text);
  void SetAveragingEnabled(AppState& state, SetupPanel& panel, bool checked);
  void SetWaveEnabled(AppState& state, SetupPanel& panel, bool checked);
  // True: the dialog closes (the checks passed).
  bool Accept(AppState& state, SetupPanel& panel);
  void Discard(AppState& state);

 private:
  void ShowLabels(const AppState& state);
  void Check(AppState& state, SetupPanel& panel) { lastCheck = CheckWaveSetup(state, panel); }
  DeploymentSettings saved_;
  std::optional<IntervalMeter> spinMeter_;
};

}  // namespace tmv
