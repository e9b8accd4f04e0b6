#pragma once
// The date-and-time picker of the Setup dialog: start, end, sampling period,
// 6 Hz profiling and averaging, with validation and the estimate after every
// change. The start and end fields behave the same in the tide-and-wave dialog.
#include <string>
#include <vector>

#include "deployment/DeploymentSettings.h"
#include "deployment/DeploymentValidation.h"

namespace tmv {

struct AppState;

// The start proposed when the one held has passed: the first whole minute
// at least a minute after the logger's clock.
LoggerTime ProposedStartTime(const LoggerTime& loggerClock);

// A calendar date from one control and the time of day from another.
LoggerTime CombineDateAndTime(const LoggerTime& date, const LoggerTime& timeOfDay);

// The start and end fields with the "Now" box.
struct StartEndFields {
  LoggerTime start;
  LoggerTime end;
  bool now = false;
  bool startVisible = true;
  std::string startCaption = "Start time";

  // Fills the fields on opening (DefaultEndTime) and puts what they show
  // into the settings, so that what is validated is what is shown.
  void Fill(AppState& state);
  // "Now": start mode 1 and the logger clock as start; cleared: mode 0.
  void SetNow(AppState& state, SetupPanel& panel, bool checked);
  void ChangeStart(AppState& state, SetupPanel& panel, const LoggerTime& start);
  void ChangeEnd(AppState& state, SetupPanel& panel, const LoggerTime& end);
  // The fields into the settings, milliseconds 0.
  void Take(AppState& state) const;
};

// Validates and, when valid, estimates: what every change of a picker runs.
int RevalidateAndEstimate(AppState& state, SetupPanel& panel);

enum class PeriodChoice { TenSeconds, Minute, Hour, Day, SixHzProfiling, LetMeChoose };

struct DateDialog {
  static constexpr const char* kEnableAveraging = "Enable averaging:";
  static constexpr const char* kProhibitedByProfiling = "Prohibited by profiling:";

  StartEndFields times;
  std::vector<std::string> periodChoiceLabels;  // in PeriodChoice order
  bool sixHzChoiceVisible = false;
  PeriodChoice periodChoice = PeriodChoice::Minute;
  std::string periodText;  // "HH:mm:ss"
  bool periodFieldVisible = false;
  bool averagingVisible = false;
  std::string averagingLabel = kEnableAveraging;
  bool averagingBoxEnabled = true;
  bool averagingChecked = false;
  std::string averagingText;  // "HH:mm:ss"
  bool open = false;

  void Open(AppState& state, SetupPanel& panel);
  void ChoosePeriod(AppState& state, SetupPanel& panel, PeriodChoice choice);
  // A typed period; false when the text is no time (nothing changes).
  bool SetPeriodText(AppState& state, SetupPanel& panel, const std::string& text);
  void SetAveraging(AppState& state, SetupPanel& panel, bool checked);
  // A typed averaging time; clamped to 00:00:01..03:00:00 when averaging is on.
  bool SetAveragingText(AppState& state, SetupPanel& panel, const std::string& text);
  // Takes the fields; the Setup dialog's button then reads "Enable logging".
  void Accept(AppState& state, SetupPanel& panel);
  void Discard(AppState& state);

 private:
  DeploymentSettings saved_;
};

}  // namespace tmv
