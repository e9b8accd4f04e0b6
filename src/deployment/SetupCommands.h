#pragma once
// The numbered setup commands that program a logger for a deployment, each
// written as it stands and followed by a 50 ms pause; the ones a logger can
// echo are read back and compared.
#include <string>

namespace tmv {

struct AppState;
struct LoggerInfo;

constexpr int kSetupSetClock = 1;            // "J" + wire time of deployment.loggerClock
constexpr int kSetupPeriod = 2;              // "K" + sampling period (caller reads it back)
constexpr int kSetupStart = 3;               // "L" + start time (caller reads it back)
constexpr int kSetupEnd = 4;                 // "M" + end time (caller reads it back)
constexpr int kSetupEnable = 8;              // "P" (caller reads the reply)
constexpr int kSetupErase = 12;              // "!U01N" (newer loggers), 120 ms, "N"
constexpr int kSetupStop = 13;               // connect, then "!9"
constexpr int kSetupAveraging = 17;          // "W" + length low, high; read back on newer loggers
constexpr int kSetupThreshold = 18;          // "!A" + eight bytes (after op 24 with power saving)
constexpr int kSetupRealTime = 19;           // "!B" + divisor code
constexpr int kSetupSuspend = 22;            // "!S"
constexpr int kSetupResume = 23;             // "!R" with status polling
constexpr int kSetupThresholdTestPeriod = 24;  // "!K" + test period
constexpr int kSetupHysteresis = 25;         // "!H" + count low, high
// Ops 28/29: the start characteristic, read back with "!2"/"STC".
constexpr int kSetupStartCharacteristic = 28;
constexpr int kSetupStartCharacteristicRerun = 29;
constexpr int kSetupRate = 30;               // "!4" + burst rate, read back with "!5"/"RAT"
constexpr int kSetupWave = 31;               // "!6" + burst length and period, "!7"/"WAV"
constexpr int kSetupHeight = 32;             // "!Y" + the height's eight bytes, "!Z"/"LHT"

// What a failed verification asks of the Setup dialog and the main window.
struct SetupVerdict {
  bool failed = false;
  bool closeSetup = false;
  bool rerunSetup = false;
  std::string message;  // the "... set incorrectly." text shown
};

// 1 when the command was sent (and verified where it is verified); 0 when a
// verification failed, the logger could not be reached, or the operation is
// not one of the table. A failed verification shows its message (caption
// "Reset Logger", stop icon) and, when verdict is given, records it there.
int SendSetupCommand(AppState& state, int op, SetupVerdict* verdict = nullptr);

// "!1%02X%02X%02X%02X" from the deployment settings and the logger's
// capabilities (clears sixHzMode on a logger without 6 Hz profiling).
std::string StartCharacteristicCommand(AppState& state);

// The command texts; "" where the logger is not sent the command.
std::string PeriodCommand(const AppState& state);
std::string StartTimeCommand(const AppState& state);
std::string EndTimeCommand(const AppState& state);
std::string AveragingCommand(const AppState& state);
// The averaging period in seconds from the logger's averaging length in
// readings (query 17): six readings a second, or the burst rate on loggers
// with 1, 2 and 4 Hz sampling. The inverse of AveragingCommand.
int AveragingSecondsFromLength(const LoggerInfo& info, int burstRate, int length);
// Clears powerSaving when the deployment does not start on a threshold, and
// sixHzMode without 6 Hz profiling, as the command itself does.
std::string ThresholdCommand(AppState& state);
std::string RealTimeCommand(const AppState& state);
std::string TestPeriodCommand(const AppState& state);
std::string HysteresisCommand(const AppState& state);
std::string RateCommand(const AppState& state);
std::string WaveCommand(const AppState& state);
std::string HeightCommand(const AppState& state);

// The logger's divisor code for real-time output at the link's rate
// (realTimeBaud takes that rate); 0 with real-time output off.
void RecomputeRealTimeBaud(AppState& state);
// The "!B%02X" divisor code for a link speed; never 0 (= no output) for a
// speed that is used.
unsigned RealTimeBaudCode(int baud);

}  // namespace tmv
