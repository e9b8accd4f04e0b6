#pragma once
// What the program knows about the connected logger: identity, capabilities
// and configuration, with the stale flags that say what must be read again.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tmv {

constexpr int kMaxChannels = 24;

struct LoggerInfo {
  // Identity.
  std::string model = "UNKNOWN";
  float firmwareVersion = 0.0f;
  int serialNumber = 0;
  bool connected = false;
  bool microchipLogger = false;  // firmware above 4.99: numbered tables and "!" queries
  int baudIndex = 4;
  int baud = 19200;
  int previousSerial = -1;
  std::string previousModel;
  float previousVersion = 0.0f;
  bool capabilitiesStale = true;
  bool capabilitiesIncomplete = false;  // a capability query of the last assessment went unanswered
  bool configurationStale = true;
  bool calibrationStale = true;
  // The logger's state (status, start characteristic, deployment) changes
  // while it logs and with every command that programs it: read once per
  // operation and after each such command (ForgetLoggerState).
  bool statusStale = true;
  bool startCharacteristicStale = true;
  bool deploymentStale = true;
  unsigned deploymentUnread = 0;  // kUnread... bits: the queries of the last read that went unanswered

  // Capabilities (reset at the start of every assessment).
  int averaging = 0;
  bool sixHzProfiling = false;
  bool hysteresis = false;
  bool conventionalThresholding = false;
  bool powerSaveThresholding = false;
  bool waves = false;
  bool rates124Hz = false;
  bool externalDataConnector = false;
  bool externalPowerConnector = false;
  bool reportsBatteryVoltage = false;
  bool frontendThroughComms = false;
  bool uvCommands = false;
  int commands12Level = 0;
  bool oemSupport = false;
  float minimumProgramVersion = 0.0f;
  bool minimumProgramVersionValid = false;
  int memoryTypeCode = 0;
  bool memory4Meg = false;
  bool memory8Meg = false;
  int parameterBlockLength = 30;
  int retrievalMode = 1;
  bool retrievalFlag16 = false;
  bool retrievalFlag32 = false;
  bool retrievalFlag64 = false;
  int rsCommandLevel = 0;  // 1 basic, 2 debugged, 4 range switching, 8 spare storage, 16 advanced
  int expressDownloadBaud = 0;
  int minimumDefaultBaud = 2400;
  int engineeringUnitsLevel = 0;
  int modemControl = 0;
  bool memoryTestCapable = false;
  int cardProtocolLevel = 0;
  uint32_t rsAdvanced = 4;  // bit 0 SD card, 1 generic serial card, 2 binary live, 3 ASCII live
  bool microSalinometerLayout = false;

  // Configuration.
  int channelCount = 1;
  std::array<uint8_t, kMaxChannels> channelTypes{};
  std::array<uint8_t, kMaxChannels> channelParams{};
  int latencyMs = 0;
  int readingTimeMs = 0;
  int baseReadingTimeMs = 0;
  bool conductivityMilliSiemens = false;
  std::array<uint8_t, kMaxChannels + 1> extendedRange{};
  std::array<uint8_t, kMaxChannels + 1> rangeSwitching{};
  std::array<int, kMaxChannels> settleTimeMs{};
  bool rangeSwitchingPresent = false;
  std::array<std::string, kMaxChannels> rangeSummary;
  bool rangeSwitchingRead = false;          // table 05 came from the logger
  std::vector<uint8_t> configTableImage;    // table 01 data bytes as read (empty: none)
};

// deploymentUnread bits.
constexpr unsigned kUnreadClock = 1u << 0;
constexpr unsigned kUnreadStart = 1u << 1;
constexpr unsigned kUnreadEnd = 1u << 2;
constexpr unsigned kUnreadPeriod = 1u << 3;
constexpr unsigned kUnreadAveraging = 1u << 4;
constexpr unsigned kUnreadRate = 1u << 5;
constexpr unsigned kUnreadWaves = 1u << 6;
constexpr unsigned kUnreadThreshold = 1u << 7;

// rsCommandLevel flags.
constexpr int kRsBasic = 1;
constexpr int kRsDebugged = 2;
constexpr int kRsRangeSwitching = 4;
constexpr int kRsSpareStorage = 8;
constexpr int kRsAdvancedCapabilities = 16;

}  // namespace tmv
