#include "link/ComSettingsDialog.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "link/Connection.h"
#include "link/LoggerLink.h"
#include "link/PortDevices.h"
#include "shell/AppState.h"
#include "shell/Catalogue.h"
#include "shell/StatusLine.h"

namespace tmv {

namespace {

// The radio-modem delay field: digits only; anything else counts as 0, and a
// delay past a minute is taken as a minute so that no read can stall for long.
int ParseDelay(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  long value = 0;
  bool digits = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    digits = true;
    value = std::min<long>(value * 10 + (text[i] - '0'), 60000);
  }
  return digits ? static_cast<int>(value) : 0;
}

}  // namespace

ComSettingsDialog::ComSettingsDialog(AppState& state, Callbacks callbacks)
    : state_(state), callbacks_(std::move(callbacks)) {}

void ComSettingsDialog::Open() {
  if (state_.logger.connected) CloseLink(state_, state_.loggerLink, state_.ports.loggerPort);
  // Looked for again: an adapter plugged in since the start is offered too.
  ProbePorts(state_);
  const PortSettings& ports = state_.ports;
  portNumbers_.clear();
  devices_.clear();
  loggerItems_.clear();
  gpsItems_.assign(1, Tr(state_, "Not used"));
  // Each entry names its device, as the user knows it, with the COM number
  // the settings keep for it.
  for (const PortDevice& p : DescribePorts(state_)) {
    const std::string item = SerialDeviceText(p.device) + Format("  (COM%d)", p.port);
    portNumbers_.push_back(p.port);
    devices_.push_back(p.device);
    loggerItems_.push_back(item);
    gpsItems_.push_back(item);
  }
  loggerSelection_ = -1;
  gpsSelection_ = ports.gpsPort == 0 ? 0 : -1;
  for (size_t i = 0; i < portNumbers_.size(); ++i) {
    if (portNumbers_[i] == ports.loggerPort) loggerSelection_ = static_cast<int>(i);
    if (portNumbers_[i] == ports.gpsPort) gpsSelection_ = static_cast<int>(i) + 1;
  }
  baudItems_.clear();
  baudSelection_ = -1;
  for (size_t i = 0; i < kBaudTable.size(); ++i) {
    baudItems_.push_back(Format("%d", kBaudTable[i]));
    if (kBaudTable[i] == ports.gpsBaud) baudSelection_ = static_cast<int>(i);
  }
  radioChecked_ = ports.radioModem;
  radioDelayText_ = Format("%d", ports.radioDelayMs);
  wantsForeground_ = false;
  open_ = true;
  ShowStatus(state_, Tr(state_, "Select Communication Port"));
}

std::string ComSettingsDialog::LoggerPortDetail() const {
  if (loggerSelection_ < 0 || loggerSelection_ >= static_cast<int>(devices_.size())) return {};
  const SerialDeviceInfo& d = devices_[static_cast<size_t>(loggerSelection_)];
  std::string text = Format("COM%d is %s", portNumbers_[static_cast<size_t>(loggerSelection_)], d.path.c_str());
  if (!d.byId.empty()) text += "\n" + d.byId;
  return text;
}

void ComSettingsDialog::SelectLoggerPort(int index) {
  if (index >= -1 && index < static_cast<int>(loggerItems_.size())) loggerSelection_ = index;
}

void ComSettingsDialog::SelectGpsPort(int index) {
  if (index >= -1 && index < static_cast<int>(gpsItems_.size())) gpsSelection_ = index;
}

void ComSettingsDialog::SelectGpsBaud(int index) {
  if (index >= -1 && index < static_cast<int>(baudItems_.size())) baudSelection_ = index;
}

void ComSettingsDialog::SetRadioChecked(bool checked) { radioChecked_ = checked; }

void ComSettingsDialog::SetRadioDelayText(const std::string& text) { radioDelayText_ = text; }

bool ComSettingsDialog::Ok() {
  if (!open_) return true;
  PortSettings& ports = state_.ports;
  // An entry that was never selected leaves its setting as it was.
  int loggerPort = ports.loggerPort;
  if (loggerSelection_ >= 0) loggerPort = portNumbers_[static_cast<size_t>(loggerSelection_)];
  int gpsPort = ports.gpsPort;
  if (gpsSelection_ == 0) gpsPort = 0;
  else if (gpsSelection_ > 0) gpsPort = portNumbers_[static_cast<size_t>(gpsSelection_) - 1];

  // A refused choice takes no effect: a Cancel after it must leave the
  // settings as they were, not with both links on one port.
  if (gpsPort != 0 && gpsPort == loggerPort) {
    state_.ui.MessageBox(Tr(state_, "The connection to the logger and\n the connection to the GPS system\n  have "
                                    "been assigned to the same serial port.\n\nCheck your selections."),
                         Tr(state_, "Port Configuration Error"), MessageButtons::Ok, MessageIcon::Exclamation,
                         MessageAnswer::Ok);
    wantsForeground_ = true;
    return false;
  }
  ports.radioModem = radioChecked_;
  ports.radioDelayMs = radioChecked_ ? ParseDelay(radioDelayText_) : 0;
  if (baudSelection_ >= 0) ports.gpsBaud = kBaudTable[static_cast<size_t>(baudSelection_)];
  ports.loggerPort = loggerPort;
  ports.gpsPort = gpsPort;
  if (callbacks_.saveSettings) callbacks_.saveSettings(state_);
  open_ = false;
  if (callbacks_.connect)
    callbacks_.connect(state_);
  else
    RunConnectCommand(state_);
  return true;
}

void ComSettingsDialog::Cancel() {
  open_ = false;
  // The prompt goes with the dialog.
  if (state_.statusText == Tr(state_, "Select Communication Port")) ShowStatus(state_, Tr(state_, "Ready"));
}

}  // namespace tmv
