#include "shell/CommandGate.h"

#include "link/Exchange.h"
#include "model/KnowLogger.h"
#include "model/LoggerFamily.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/CommandTable.h"
#include "shell/StatusLine.h"

namespace tmv {
namespace {

void Refuse(AppState& state, const std::string& text, const char* title, MessageIcon icon) {
  state.ui.MessageBox(text, Tr(state, title), MessageButtons::Ok, icon, MessageAnswer::Ok);
}

// The logger status (query 9) says logging or enabled.
bool LoggingOrEnabled(AppState& state) {
  if (KnowLogger(state, kKnowStatus) != KnowResult::Known) return false;  // no status: the operation finds out for itself
  const int status = state.query.loggerStatus;
  return status != 0 && status != 4 && status != 8;
}

bool RefusedWhileLogging(AppState& state, const CommandRule& rule) {
  const bool large = rule.largeLoggerText != nullptr && IsLargeMultiChannel(state.logger.model);
  const bool general = rule.loggingOperation != nullptr || rule.loggingText != nullptr;
  if (!large && !general) return false;
  if (!LoggingOrEnabled(state)) return false;
  if (large) {
    Refuse(state, Tr(state, rule.largeLoggerText), rule.largeLoggerTitle, MessageIcon::Exclamation);
    return true;
  }
  if (!general) return false;
  if (rule.allowedWithLiveReadingFlag) {
    KnowLogger(state, kKnowCapabilities);
    if (state.logger.retrievalFlag64) return false;
  }
  const std::string text =
      rule.loggingText != nullptr ? Tr(state, rule.loggingText) : LoggingRefusalText(rule.loggingOperation);
  Refuse(state, text, rule.loggingTitle, MessageIcon::Exclamation);
  return true;
}

// nullptr when the logger can do what the command needs; else the refusal.
const char* Incapable(AppState& state, const CommandRule& rule) {
  switch (rule.capability) {
    case NeededCapability::None: return nullptr;
    case NeededCapability::MicrochipLogger: return state.logger.microchipLogger ? nullptr : rule.incapableText;
    case NeededCapability::MmcSdCard:
      // Unread capabilities are reported by the knowledge check that follows.
      if (KnowLogger(state, kKnowCapabilities) != KnowResult::Known) return nullptr;
      if (state.logger.cardProtocolLevel < 1) return "Error: Logger connected does not support the MMC/SD memory";
      if ((state.logger.rsAdvanced & 0x01u) == 0) return "Error: Logger is not equiped with a MMC/SD memory";
      return nullptr;
  }
  return nullptr;
}

}  // namespace

GateResult PassCommandGate(AppState& state, int command) {
  const CommandRule* rule = FindCommandRule(command);
  if (rule == nullptr || !rule->needsLogger) return GateResult::Pass;
  // A new operation: what the logger does now is read afresh, once.
  ForgetLoggerState(state);
  if (KnowLogger(state, kKnowIdentity) != KnowResult::Known) return GateResult::NoLogger;
  ShowUnitsState(state);
  if (RefusedWhileLogging(state, *rule)) return GateResult::Refused;
  if (const char* incapable = Incapable(state, *rule)) {
    Refuse(state, Tr(state, incapable), rule->incapableTitle, MessageIcon::Stop);
    return GateResult::Refused;
  }
  switch (KnowLogger(state, rule->knows)) {
    case KnowResult::Known:
    case KnowResult::CalibrationUnreadable:  // the calibration's origin says so; the command decides
      return GateResult::Pass;
    case KnowResult::NoLogger:
    case KnowResult::StatusUnread:
    case KnowResult::CapabilitiesUnknown:
    case KnowResult::ConfigurationUnknown:
    case KnowResult::NotConfigured:
      break;
  }
  return GateResult::LoggerUnknown;
}

}  // namespace tmv
