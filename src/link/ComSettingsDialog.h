#pragma once
// The COM settings dialog ("TMV Logger - COM Settings") as a model: the
// desktop program binds its lists and boxes to it, tests drive it directly.
#include <functional>
#include <string>
#include <vector>

#include "platform/SerialDevices.h"

namespace tmv {

struct AppState;

class ComSettingsDialog {
 public:
  static constexpr const char* kTitle = "TMV Logger - COM Settings";
  // Control numbers of the dialog template.
  static constexpr int kLoggerPortList = 544;
  static constexpr int kGpsPortList = 545;
  static constexpr int kGpsBaudList = 575;
  static constexpr int kRadioBox = 835;
  static constexpr int kRadioDelay = 836;

  struct Callbacks {
    // Writes the settings file; the shell supplies it.
    std::function<void(AppState&)> saveSettings;
    // The main window's connect command; RunConnectCommand when not given.
    std::function<void(AppState&)> connect;
  };

  ComSettingsDialog(AppState& state, Callbacks callbacks);

  // Closes a connected logger's link, looks for the serial devices again,
  // fills the lists (each device with its COM number) and shows "Select
  // Communication Port".
  void Open();
  bool IsOpen() const { return open_; }

  // "/dev/ttyUSB0 - FTDI FT232R USB UART  (COM2)", one per device found.
  const std::vector<std::string>& LoggerPortItems() const { return loggerItems_; }
  // Which device the selected COM number means: "COM2 is /dev/ttyUSB0" and its stable by-id name.
  std::string LoggerPortDetail() const;
  const std::vector<std::string>& GpsPortItems() const { return gpsItems_; }  // "Not used" first
  const std::vector<std::string>& GpsBaudItems() const { return baudItems_; }

  // Selected indices into the lists; -1 when nothing is selected.
  int LoggerSelection() const { return loggerSelection_; }
  int GpsSelection() const { return gpsSelection_; }
  int GpsBaudSelection() const { return baudSelection_; }
  void SelectLoggerPort(int index);
  void SelectGpsPort(int index);  // enables or disables the baud list
  void SelectGpsBaud(int index);

  bool GpsBaudEnabled() const { return gpsSelection_ > 0; }
  bool RadioChecked() const { return radioChecked_; }
  void SetRadioChecked(bool checked);  // enables or disables the delay field
  bool RadioDelayEnabled() const { return radioChecked_; }
  const std::string& RadioDelayText() const { return radioDelayText_; }
  void SetRadioDelayText(const std::string& text);

  // OK: takes the choices; the same port for logger and GPS shows the
  // "Port Configuration Error" box and keeps the dialog open (false).
  // Otherwise saves, closes and runs the connect command (true).
  bool Ok();
  // Cancel: closes; the logger link stays closed.
  void Cancel();
  // Set when the dialog asked to come to the foreground (after the error box).
  bool WantsForeground() const { return wantsForeground_; }

 private:
  AppState& state_;
  Callbacks callbacks_;
  bool open_ = false;
  bool wantsForeground_ = false;
  std::vector<int> portNumbers_;  // the port behind each logger-list entry
  std::vector<SerialDeviceInfo> devices_;
  std::vector<std::string> loggerItems_, gpsItems_, baudItems_;
  int loggerSelection_ = -1, gpsSelection_ = 0, baudSelection_ = -1;
  bool radioChecked_ = false;
  std::string radioDelayText_;
};

}  // namespace tmv
