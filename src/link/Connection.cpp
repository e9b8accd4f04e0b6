#include "link/Connection.h"

#include <algorithm>

#include "link/Exchange.h"
#include "link/LoggerLink.h"
#include "model/Capabilities.h"
#include "model/KnowLogger.h"
#include "model/LoggerFamily.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/CommandIds.h"
#include "shell/StatusLine.h"

namespace tmv {

namespace {

// How often a failed save of the previous logger's data is offered again
// before the connection is given up (the data is kept).
constexpr int kSaveRounds = 3;

void DisableKzmCsv(AppState& state) { state.ui.SetCommandEnabled(cmd::kSaveKzmCsv, false); }

// How long the rest of an identity reply that came in parts is waited for.
constexpr int64_t kRestOfReplyMs = 600;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Appends what is still arriving to the reply buffer.
void ReadOn(AppState& state) {
  ReplyBuffer& r = state.reply;
  const size_t room = std::min<size_t>(120, ReplyBuffer::kCapacity - r.length);
  if (room == 0) return;
  r.length += LinkRead(state, state.loggerLink, r.Data() + r.length, room);
  r.bytes[r.length] = 0;
}

// One pass at the current rate: two wake-ups of "A". A reply whose version or
// serial number is cut off would identify the wrong logger: its rest is
// waited for a while, and failing that the logger is asked again.
bool IdentifyPass(AppState& state) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    LinkWrite(state, state.loggerLink, "A");
    const size_t n = LinkReadUntil(state, state.loggerLink, state.reply.Data(), 120, LineWith("TMV"));
    state.reply.length = n;
    state.logger.connected = false;
    if (n < 1 || !state.reply.Contains("TMV")) continue;
    const int64_t until = state.clock.Milliseconds() + kRestOfReplyMs;
    while (!IdentityComplete(state.reply.Bytes()) && state.clock.Milliseconds() < until &&
           state.reply.length < ReplyBuffer::kCapacity)
      ReadOn(state);
    state.logger.connected = IdentityComplete(state.reply.Bytes());
    if (state.logger.connected) return true;
  }
  return false;
}

// Looks for a logger that went on talking at a download's fast rate; when
// one answers, tells it to go back to the usual rate of the table and meets
// it there. True when a logger answered (at whichever rate it now talks).
bool FindLoggerAtFastRate(AppState& state) {
  LoggerInfo& info = state.logger;
  for (int fast : kFastRates) {
    ShowLinkStatus(state, true);
    info.baud = fast;
    if (!OpenLink(state, state.loggerLink, state.ports.loggerPort, fast, 0)) return false;
    if (!IdentifyPass(state)) continue;
    Identity identity;
    ParseIdentity(state.reply.Bytes(), identity);
    LoggerInfo found = info;
    found.model = identity.model;
    found.firmwareVersion = identity.firmwareVersion;
    found.microchipLogger = FirmwareAbove(identity.firmwareVersion, 4.99);
    const int usual = kBaudTable[static_cast<size_t>(info.baudIndex)];
    const std::string command = SpeedSwitchCommand(found, usual);
    if (command.empty()) return true;
    LinkWrite(state, state.loggerLink, command);
    DelayMs(state, 200);
    info.baud = usual;
    SetLinkBaud(state, usual);
    if (IdentifyPass(state)) return true;
    // It did not follow: it is still where it answered.
    info.baud = fast;
    SetLinkBaud(state, fast);
    return IdentifyPass(state);
  }
  return false;
}

}  // namespace

std::string SpeedSwitchCommand(const LoggerInfo& l, int baud) {
  const double v = static_cast<double>(l.firmwareVersion);
  if (IsMultiChannelModel(l.model) || l.microchipLogger) return Format("!E%02X", SpeedSwitchDivisor(baud) & 0xFF);
  if ((IsTemperatureRecorder(l.model) && ((v > 2.15 && v < 3.0) || v > 3.15)) || (IsDepthRecorder(l.model) && v > 3.15))
    return baud == 28800 ? "!E00" : "!E01";
  return std::string();
}

bool IdentityComplete(std::string_view reply) {
  const size_t at = reply.find("TMV");
  if (at == std::string_view::npos) return false;
  const std::string_view text = reply.substr(at);
  size_t pos = 0;
  // Whitespace-separated words: maker, model, version, serial number.
  auto word = [&]() {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    const size_t begin = pos;
    while (pos < text.size() && text[pos] != ' ' && text[pos] != '\t' && text[pos] != '\r' && text[pos] != '\n') ++pos;
    return text.substr(begin, pos - begin);
  };
  word();
  if (word().empty()) return false;
  // The version with its decimals: "6.10", never "6" or "6." of a reply cut short.
  const std::string_view version = word();
  const size_t point = version.find('.');
  if (point == std::string_view::npos || point == 0 || point + 1 >= version.size()) return false;
  for (size_t i = 0; i < version.size(); ++i)
    if (i != point && !IsDigit(version[i])) return false;
  // The serial number with all six digits it is shown with.
  const std::string_view serial = word();
  if (serial.size() < 6) return false;
  for (char c : serial)
    if (!IsDigit(c)) return false;
  return true;
}

bool ParseIdentity(std::string_view reply, Identity& identity) {
  const size_t at = reply.find("TMV");
  if (at == std::string_view::npos) return false;
  const std::string_view text = reply.substr(at);
  size_t pos = 0;
  std::string maker, model;
  float version = 0.0f;
  int serial = 0;
  // Each field is taken only when the ones before it were read, as the
  // scan of "%s %s %f %d" would.
  if (!ScanWord(text, pos, maker)) return true;
  if (!ScanWord(text, pos, model)) return true;
  identity.model = model;
  if (!ScanFloat(text, pos, version)) return true;
  identity.firmwareVersion = version;
  if (!ScanInt(text, pos, serial)) return true;
  identity.serialNumber = serial;
  return true;
}

std::string LinkErrorText(const AppState& state, bool openFailed) {
  const char* english = openFailed
                            ? "Unable to open COM%1d - bad port setting or another application holds the port."
                            : "Unable to Communicate with Logger on COM%1d";
  return FormatWithPort(Tr(state, english), state, state.ports.loggerPort);
}

void ReportLinkError(AppState& state, bool openFailed) {
  ShowStatus(state, LinkErrorText(state, openFailed));
  state.logger.connected = false;
  state.query.fetchSelector = 0;
}

void ShowLinkStatus(AppState& state, bool trying) {
  std::string text;
  if (trying)
    text = Format(Tr(state, "Trying: %d").c_str(), state.logger.baud);
  else if (state.logger.connected)
    text = Format(Tr(state, "%d baud").c_str(), state.logger.baud);
  else
    text = Tr(state, "Not connected");
  state.ui.SetConnectionText(text);
}

std::string ConnectedText(const AppState& state) {
  const std::string format =
      PortFormat(Tr(state, "TMV Data Logger: %s %5.2f %06d connected on COM%1d at %ld baud."));
  const LoggerInfo& l = state.logger;
  return Format(format.c_str(), l.model.c_str(), static_cast<double>(l.firmwareVersion), l.serialNumber,
                PortName(state, state.ports.loggerPort).c_str(), static_cast<long>(l.baud));
}

int ConnectLogger(AppState& state) {
  LoggerInfo& info = state.logger;
  // A logger that was talking is looked for again where it was heard.
  const int heardAt = info.connected ? info.baud : 0;
  for (int round = 0;; ++round) {
    info.model = "UNKNOWN";
    info.firmwareVersion = 0.0f;
    info.serialNumber = 0;
    info.microchipLogger = false;
    state.query.repeatFetchMarked = false;
    info.baudIndex = std::clamp(info.baudIndex, 0, static_cast<int>(kBaudTable.size()) - 1);
    int index = info.baudIndex;
    int failedPasses = 0;

    do {
      if (!info.connected) {
        ShowLinkStatus(state, true);
        if (!OpenLink(state, state.loggerLink, state.ports.loggerPort, info.baud, 0)) {
          ReportLinkError(state, true);
          DisableKzmCsv(state);
          return 0;
        }
      }
      // A connected logger is asked on the link as it is.
      if (!IdentifyPass(state)) {
        index = (index + 1) % static_cast<int>(kBaudTable.size());
        info.baud = kBaudTable[static_cast<size_t>(index)];
        ++failedPasses;
      }
    } while (failedPasses <= 5 && !info.connected);
    if (!info.connected && FindLoggerAtFastRate(state)) index = info.baudIndex;

    ShowLinkStatus(state, false);
    if (!info.connected) {
      ReportLinkError(state, false);
      // The next try goes at the rate the logger was last heard at, on the
      // line as well as in the record: the search left the port at the
      // last rate it tried.
      info.baud = heardAt != 0 ? heardAt : kBaudTable[static_cast<size_t>(info.baudIndex)];
      SetLinkBaud(state, info.baud);
      DisableKzmCsv(state);
      return 0;
    }

    info.baudIndex = index;
    Identity identity;
    ParseIdentity(state.reply.Bytes(), identity);
    info.model = identity.model;
    info.firmwareVersion = identity.firmwareVersion;
    info.serialNumber = identity.serialNumber;

    if (info.previousSerial >= 0 && info.previousSerial != info.serialNumber) {
      const bool unsaved = state.shell.dataRetrieved && !state.shell.dataSaved;
      if (unsaved) {
        const std::string question =
            Format(Tr(state, "Logger has changed from %06d to %06d.\nRetrieved data from %06d has not been "
                             "saved.\nDo you wish to return to save the data now?")
                       .c_str(),
                   info.previousSerial, info.serialNumber, info.previousSerial);
        const MessageAnswer answer = state.ui.MessageBox(question, Tr(state, "Connecting Logger"),
                                                         MessageButtons::YesNo, MessageIcon::Exclamation,
                                                         MessageAnswer::No);
        if (answer == MessageAnswer::Yes) {
          // The data is saved under the logger it came from.
          info.serialNumber = info.previousSerial;
          info.firmwareVersion = info.previousVersion;
          info.model = info.previousModel;
          if (state.hooks.saveRetrievedData) state.hooks.saveRetrievedData();
          const bool stillUnsaved = state.shell.dataRetrieved && !state.shell.dataSaved;
          if (stillUnsaved && round + 1 >= kSaveRounds) {
            // Neither saved nor given up by the user: keep the data and the
            // previous logger's identity rather than ask for ever.
            info.connected = false;
            ShowLinkStatus(state, false);
            return 0;
          }
          continue;
        }
        state.ui.SetCommandEnabled(cmd::kSaveFile, false);
        state.ui.SetCommandEnabled(cmd::kSaveFormat, false);
        state.ui.SetCommandEnabled(cmd::kSaveScreenSegment, false);
        state.ui.SetCommandEnabled(cmd::kSaveKzmCsv, false);
        state.ui.SetCommandEnabled(cmd::kExportData, false);
        state.shell.dataRetrieved = false;
        state.shell.dataSaved = true;
      }
      if (state.hooks.hideDataWindows) state.hooks.hideDataWindows();
      info.capabilitiesStale = true;
      info.configurationStale = true;
      info.calibrationStale = true;
      ForgetLoggerState(state);
    }

    info.previousSerial = info.serialNumber;
    info.previousVersion = info.firmwareVersion;
    info.previousModel = info.model;
    if (!IsTideWaveRecorder(info.model)) DisableKzmCsv(state);
    info.microchipLogger = FirmwareAbove(info.firmwareVersion, 4.99);
    return 1;
  }
}

int RunConnectCommand(AppState& state) {
  ShowStatus(state, FormatWithPort(Tr(state, "Attempting to connect to TMV Data Logger on COM%1d."), state,
                                   state.ports.loggerPort));
  if (ConnectLogger(state)) ShowStatus(state, ConnectedText(state));
  return state.logger.connected ? 1 : 0;
}

bool Reconnect(AppState& state) {
  RunConnectCommand(state);
  return state.logger.connected;
}

}  // namespace tmv
