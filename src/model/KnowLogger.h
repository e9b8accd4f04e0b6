#pragma once
// "Know the logger": what an operation needs to know of the connected logger,
// learnt in one order (identity, status, capabilities, configuration,
// calibration, start characteristic, deployment), each part only while its
// stale flag says it must be read again. Every dialog and command that needs
// these goes through here, so that no file header, time base or reply parser
// is built from a default the logger could have told.
#include "platform/Outcome.h"

namespace tmv {

struct AppState;

// Parts of what is known. Each needs those before it: the configuration is
// read according to the capabilities, the calibration per configured channel,
// the deployment with the status and the start characteristic.
enum LoggerKnowledge : unsigned {
  kKnowIdentity = 1u << 0,       // the connect command: a logger answers and is identified
  kKnowCapabilities = 1u << 1,   // the capability assessment
  kKnowConfiguration = 1u << 2,  // the configuration table, or a fixed layout
  kKnowCalibration = 1u << 3,    // the calibration coefficients
  kKnowStatus = 1u << 4,         // the status code (query 9)
  // The status and option bytes (query 28): start now, power kept on, 6 Hz
  // profiling, real-time output, and the output format of live readings.
  kKnowStartCharacteristic = 1u << 5,
  // The deployment the logger holds: its clock with the host's, start, end,
  // period, start mode and threshold, averaging (in seconds), fast rate,
  // wave bursts and height, as its capabilities offer them.
  kKnowDeployment = 1u << 6,
};

enum class KnowResult {
  Known,                  // everything asked for is known
  NoLogger,               // nothing answered (the status line says so)
  StatusUnread,           // the logger answered but not its status ("Error: Status read incorrectly")
  CapabilitiesUnknown,    // a capability query went unanswered (status line): nothing is guessed from defaults
  ConfigurationUnknown,   // the configuration could not be read (status line)
  NotConfigured,          // the logger has no configuration ("Logger not yet configured")
  CalibrationUnreadable,  // known but for the calibration: defaults stand in, never written back
};

// Learns what `needs` asks for, in order; stops at the first part that fails
// (a calibration that cannot be read stops nothing: the rest is still learnt).
KnowResult KnowLogger(AppState& state, unsigned needs);

// What the logger did not tell of what an operation asked for (KnowLogger's
// result `known`, and the parts of the deployment and start characteristic
// left unread), as the reason to stop with the text the person reads; Done
// when everything is known. Files and row times are built from nothing less.
Outcome UnknownOfLogger(const AppState& state, KnowResult known);

// The logger's status, start characteristic and deployment are to be read
// again: a new operation begins, or a command changed them.
void ForgetLoggerState(AppState& state);

}  // namespace tmv
