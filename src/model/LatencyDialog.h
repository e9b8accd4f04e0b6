#pragma once
// "Set latency": the latency of a logger's configuration table (table 01).
#include <string>

#include "platform/Outcome.h"

namespace tmv {

struct AppState;

struct LatencyDialog {
  static constexpr const char* kTitle = "Set latency";
  static constexpr const char* kCaption = "Set Latency";
  static constexpr const char* kPrompt = "Required Latency (ms):";
  // The table holds tens of milliseconds in 16 bits.
  static constexpr long kMaximumMs = 655359;

  std::string field;  // field 1164, "%d" milliseconds
  bool open = false;
  // Why Open or Ok did not succeed. `told`: the table write has said so
  // itself already (its box or status line).
  Outcome result;
  bool told = false;

  // Reads the configuration table again; false when it cannot be read and
  // the dialog closes.
  bool Open(AppState& state);
  // Writes the latency entered, with verification. True: the dialog closes.
  bool Ok(AppState& state);
  void Cancel();
};

}  // namespace tmv
