#pragma once
// The Setup dialog: the deployment read back from the logger, its display
// texts, the start and real-time choices, batch values, and the
// confirmations of "Enable logging", which end in the action the program
// carries out with the enabling sequence.
#include <functional>
#include <string>
#include <vector>

#include "platform/Outcome.h"
#include "deployment/DeploymentValidation.h"
#include "deployment/Enabling.h"
#include "deployment/SetupCommands.h"

namespace tmv {

struct AppState;
struct SetupDialog;

// Reads status, clocks, start, end, period and configuration; the status
// code, or -1 (status or configuration unreadable).
int ReadLoggerSettings(AppState& state, SetupDialog& dialog);

// Whether the memory holds readings, from the data pointer of query 6.
bool MemoryHoldsData(const LoggerInfo& info, uint32_t dataPointer);
// The end-of-data pointer of a "CDP" reply (four hex pairs, least significant first).
uint32_t DataPointerFromReply(std::string_view reply);

// A message-area text as the dialogs show it: the estimates keep "mAH" for
// the log that records them, the screen says "mAh".
std::string ShownMessageText(const std::string& text);

// "The logger contains data" (window title "Setup").
struct ContainsDataDialog {
  static constexpr const char* kTitle = "Setup";
  static constexpr const char* kHeading = "The logger contains data";
  static constexpr const char* kText =
      "You may continue to add data to the logger using all the previous settings or\nerase the memory.";
  enum class Button { ContinueToAdd, EraseOldReadings, Cancel };
  static SetupAction Choose(Button b) {
    return b == Button::ContinueToAdd ? SetupAction::ContinueToAdd
                                      : (b == Button::EraseOldReadings ? SetupAction::EraseAndProgram : SetupAction::None);
  }
};

// What "Enable logging" decided.
struct EnableDecision {
  SetupAction action = SetupAction::None;
  bool stopLoggerFirst = false;  // "Logger still collecting data" answered "Yes"
  // The "The logger contains data" dialog decides the action (ContainsDataDialog::Choose).
  bool askContainsData = false;
  bool prepareRealTimeFile = false;  // real-time output on: prepare its file before enabling
  bool closeSetup = false;
  bool rerunSetup = false;  // the main window runs its Setup command again
  // Why nothing is to be done: Cancelled when a question was answered no;
  // otherwise what stands in the way (a query that went unanswered, a value
  // that cannot be set, settings that do not validate).
  Outcome refusal;
  bool refusalShown = false;  // the message area shows the refusal already
};

struct SetupDialog {
  static constexpr const char* kEnableLogging = "Enable logging";
  static constexpr const char* kResumeEnable = "Resume/Enable";
  static constexpr const char* kStopLogger = "STOP logger";

  // Display fields.
  std::string loggerStatusText;
  std::string hostTimeText;
  std::string loggerTimeText;
  std::string startText;
  std::string endText;
  std::string periodText;
  std::string averagingText;
  std::string memoryUsageText;
  // The tide-and-wave layout's captions and texts.
  std::string periodCaption = "Sampling period";
  std::string averagingCaption = "Averaging";
  std::string rateCaption;
  std::string rateText;
  std::string waveCaption;
  std::string waveText;
  SetupPanel panel;  // message area, "Enable logging" allowed, bandwidth, too-many-samples

  std::vector<std::string> startList;
  int startSelection = 0;
  bool thresholdButtonVisible = false;
  std::string thresholdButtonText;
  bool realTimeVisible = false;
  std::vector<std::string> realTimeList;  // "Not Enabled", "Enabled"[, "Enabled - NO data storage"]
  int realTimeSelection = 0;
  bool autorunVisible = false;
  bool autorunChecked = false;
  bool ledVisible = false;
  bool ledChecked = false;
  std::string enableButtonText = kEnableLogging;
  bool enableButtonEnabled = false;
  bool batchButtonEnabled = false;
  bool open = false;
  bool updatesSuspended = false;  // an active older QN-760: nothing more is set up
  int loggerStatus = 0;
  // The data-pointer reply recorded when this logger's memory was last
  // downloaded (empty: never); the shell keeps it per logger.
  std::string downloadedPointerReply;

  // Opens on the connected logger; false when the dialog closes at once,
  // and then `unread` says why.
  bool Open(AppState& state);
  // After Open: Failed, with the reason, when a part of the deployment or the
  // memory status went unread (the fields then show what was there before).
  Outcome unread;
  // Opens on the simulated logger already in state.logger (BeginSimulation).
  void OpenSimulated(AppState& state);
  // Recomputes every display text from the settings and validates.
  void Refresh(AppState& state);
  // A start-list choice; the threshold button and averaging follow it.
  void ChooseStart(AppState& state, int index);
  void ChooseRealTime(AppState& state, int index);
  // After the picker, the thresholding or the tide-and-wave dialog accepted.
  void SubDialogAccepted(AppState& state);
  // "Accept batch values": synchronize is the clock synchronisation to run.
  bool AcceptBatchValues(AppState& state, const std::function<bool(AppState&)>& synchronize);
  // Relabels the button when the main window sees a logging logger.
  void ShowStopLogger(AppState& state, bool noData);
  // "Enable logging" (or "Resume/Enable", "STOP logger") pressed.
  EnableDecision EnableLogging(AppState& state, const Confirm& confirm);

 private:
  bool IsMultiChannel(const AppState& state) const;
  bool Ask(AppState& state, const char* text, const char* caption);
  bool earlyEndCheck_ = true;
};

}  // namespace tmv
