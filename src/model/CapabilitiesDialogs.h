#pragma once
// Models of the dialogs that show or change what a logger can do: the default
// baud rate, the communication format, the sampling LED and the "Current
// Capabilities" listing. They hold what the dialog shows and take the user's
// actions; the desktop program binds them to widgets, tests drive them.
#include <string>
#include <utility>
#include <vector>

#include "platform/Outcome.h"

namespace tmv {

struct AppState;
struct LoggerInfo;

// "Set Default Baud Rate" (list 575).
struct DefaultBaudDialog {
  static constexpr const char* kTitle = "Set Default Baud Rate";
  static constexpr const char* kMessageTitle = "Default baudrate";

  std::vector<int> rates;               // the rates offered, lowest first
  std::vector<std::string> rateTexts;   // "%d" of each rate
  int selected = -1;                    // index into rates; -1: none
  int currentDefault = 0;               // as read from the logger (0: unknown)
  bool open = false;
  Outcome result;                       // why Open did not open

  // Learns capabilities and configuration afresh, then reads the current
  // default. False when the dialog closes at once (configuration unknown, or
  // a logger whose default is fixed, which the command gate refuses first).
  bool Open(AppState& state);
  void Select(int index);
  // Writes the selected rate and switches the link to it. True: the dialog closes.
  bool Ok(AppState& state);
  void Cancel();
};

// "Communiation Format" (text field 1030, button 1): fetched and real-time
// data in binary form or in engineering units (option bit 2).
struct CommunicationFormatDialog {
  static constexpr const char* kTitle = "Communiation Format";

  std::string text;
  std::string buttonText;
  bool buttonVisible = false;
  bool open = false;

  // Reads the option byte (query 28) and shows the format.
  void Open(AppState& state);
  // Switches the format on the logger; false when the logger was not changed.
  bool Button(AppState& state);
  void Cancel();
  // The texts for the option byte the program holds.
  void Refresh(const AppState& state);
};

// "Sampling LED Control": option bit 3.
struct SamplingLedDialog {
  static constexpr const char* kTitle = "Sampling LED Control";

  std::string text;
  std::string buttonText;
  bool buttonVisible = false;
  bool open = false;

  void Open(AppState& state);
  bool Button(AppState& state);
  void Cancel();
  void Refresh(const AppState& state);
};

// The "Current Capabilities" listing: check boxes and text fields.
struct CapabilityListing {
  std::vector<std::pair<std::string, bool>> boxes;  // label, ticked
  std::vector<std::string> texts;                   // the text fields, in order
  // The labels of the ticked boxes, then the texts.
  std::vector<std::string> Lines() const;
};

// What the listing needs beyond LoggerInfo.
struct CapabilityListingInputs {
  int optionByte = 0;             // query 28
  bool memoryTestPassed = false;  // query 33
  bool memoryTestUnread = false;  // query 33 went unanswered: neither passed nor failed is known
  int linkBaud = 0;               // the current link rate
};
CapabilityListing BuildCapabilityListing(const LoggerInfo& info, const CapabilityListingInputs& inputs);
// "Logger not yet configured", or the logger description (with the factory script).
std::string CapabilitiesStatusText(const AppState& state);

// "Current Capabilities".
struct CurrentCapabilitiesDialog {
  static constexpr const char* kTitle = "Current Capabilities";

  std::string statusText;
  CapabilityListing listing;
  bool open = false;
  // Failed, with the reason, when a query the listing needs went unanswered
  // (the listing then says so where the answer would stand).
  Outcome result;

  // Reads the option byte and the memory test result where the logger has them.
  void Open(AppState& state);
  void Close();
  std::vector<std::string> Lines() const { return listing.Lines(); }
};

}  // namespace tmv
