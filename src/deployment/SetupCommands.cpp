#include "deployment/SetupCommands.h"

#include "link/Exchange.h"
#include "link/LoggerLink.h"
#include "model/LoggerTime.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"

namespace tmv {

namespace {

constexpr int kPauseAfterCommandMs = 50;

void SendText(AppState& state, const std::string& text) { LinkWrite(state, state.loggerLink, text); }

int SendStartCharacteristic(AppState& state) {
  const LoggerInfo& info = state.logger;
  // Loggers without the "!12" command set have no start characteristic.
  if (info.commands12Level == 0) return 1;
  const std::string command = StartCharacteristicCommand(state);
  SendText(state, command);
  int result = 1;
  const bool replied = QueryTagged(state, "!2", "STC") == 1;
  if (!replied || !state.reply.Contains(std::string_view(command).substr(2))) {
    state.ui.MessageBox(
        Tr(state, "Start characteristic set incorrectly.\nTry again.\nContact TMV if the problem persists."),
        Tr(state, "Reset Logger"), MessageButtons::Ok, MessageIcon::Stop, MessageAnswer::Ok);
    result = 0;
  }
  return result;
}

}  // namespace

std::string StartCharacteristicCommand(AppState& state) {
  DeploymentSettings& d = state.deployment;
  const LoggerInfo& info = state.logger;
  if (!info.sixHzProfiling) d.sixHzMode = false;
  unsigned mode = d.startMode & 0x01u;
  if (d.powerKeptOn) mode += 128;
  if (d.sixHzMode) mode += 64;
  if (d.realTimeOutput && info.oemSupport) mode += 32;
  const uint32_t options = info.oemSupport ? d.optionFlags : 0u;
  return Format("!1%02X%02X%02X%02X", mode, options & 0xFFu, (options >> 8) & 0xFFu, (options >> 16) & 0xFFu);
}

int SendSetupCommand(AppState& state, int op) {
  int result = 0;
  switch (op) {
    case kSetupSetClock:
      SendText(state, "J" + TimeToWireText(state.deployment.loggerClock));
      result = 1;
      break;
    case kSetupStartCharacteristic:
    case kSetupStartCharacteristicRerun:
      result = SendStartCharacteristic(state);
      break;
    default:
      return 0;
  }
  DelayMs(state, kPauseAfterCommandMs);
  return result;
}

}  // namespace tmv
