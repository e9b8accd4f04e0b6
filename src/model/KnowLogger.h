#pragma once
// "Know the logger": what an operation needs to know of the connected logger,
// learnt in one order (identity, capabilities, configuration, calibration),
// each part only while its stale flag says it must be read again. Every
// dialog and command that needs these goes through here.
namespace tmv {

struct AppState;

// Parts of what is known. Each needs those before it: the configuration is
// read according to the capabilities, the calibration per configured channel.
enum LoggerKnowledge : unsigned {
  kKnowIdentity = 1u << 0,       // the connect command: a logger answers and is identified
  kKnowCapabilities = 1u << 1,   // the capability assessment
  kKnowConfiguration = 1u << 2,  // the configuration table, or a fixed layout
  kKnowCalibration = 1u << 3,    // the calibration coefficients
};

enum class KnowResult {
  Known,                  // everything asked for is known
  NoLogger,               // nothing answered (the status line says so)
  ConfigurationUnknown,   // the configuration could not be read (status line)
  NotConfigured,          // the logger has no configuration ("Logger not yet configured")
  CalibrationUnreadable,  // known but for the calibration: defaults stand in, never written back
};

// Learns what `needs` asks for, in order; stops at the first part that fails.
KnowResult KnowLogger(AppState& state, unsigned needs);

}  // namespace tmv
