#include "shell/StatusLine.h"

#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/CommandIds.h"
#include "shell/CommandTable.h"

namespace tmv {

std::string StatusDisplayText(const std::string& text) {
  if (text.size() > 127) return text.substr(0, 122) + " ...";
  return text;
}

bool StatusNeedsWarning(const std::string& text) {
  for (const char* mark : {"not yet", "Unable", "rror", "ail"})
    if (text.find(mark) != std::string::npos) return true;
  return false;
}

void ShowStatus(AppState& state, const std::string& text) {
  state.statusText = StatusDisplayText(text);
  state.ui.SetStatusText(state.statusText, StatusNeedsWarning(text));
}

std::string ConnectionStateText(const AppState& state, bool trying) {
  if (trying) return Format(Tr(state, "Trying: %d").c_str(), state.logger.baud);
  if (state.logger.connected) return Format(Tr(state, "%d baud").c_str(), state.logger.baud);
  return Tr(state, "Not connected");
}

void ShowConnectionState(AppState& state, bool trying) {
  state.ui.SetConnectionText(ConnectionStateText(state, trying));
}

void ShowUnitsState(AppState& state) {
  if (!state.logger.connected) {
    state.ui.SetUnitsIndicator(UnitsIndicator::None);
    return;
  }
  bool engineering = (state.query.optionByte & 0x04) != 0;
  state.ui.SetUnitsIndicator(engineering ? UnitsIndicator::EngineeringUnits : UnitsIndicator::Binary);
}

void EnableCommand(AppState& state, int command, bool enabled) {
  state.ui.SetCommandEnabled(command, enabled && IsCommandBuilt(command));
}

void ClearWorkUnderWay(AppState& state) {
  for (const char* text : {"Assessing the logger configuration", "Assessing logger capabilities ",
                           "Reading calibration data "})
    if (state.statusText == StatusDisplayText(Tr(state, text))) {
      ShowStatus(state, Tr(state, "Ready"));
      return;
    }
}

void SetMenuState(AppState& state, int menuState) {
  if (menuState < 0 || menuState > 5) return;
  state.shell.menuState = menuState;
  const bool enable = (menuState % 2) == 1;
  const bool withConfiguration = menuState >= 2;
  for (int command : {cmd::kSetup, cmd::kRetrieveData, cmd::kMenuFile, cmd::kMenuLoggerFunctions, cmd::kComSettings,
                      cmd::kMenuCalibration, cmd::kMicroSalinometer})
    EnableCommand(state, command, enable);
  if (withConfiguration) EnableCommand(state, cmd::kMenuConfiguration, enable);
}

}  // namespace tmv
