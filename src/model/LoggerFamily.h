#pragma once
// Logger families are told apart by substring tests on the model text; this
// is the one place that says what each test means.
#include <string>
#include <string_view>

namespace tmv {

inline bool ModelContains(const std::string& model, std::string_view part) {
  return model.find(part) != std::string::npos;
}
inline bool IsMultiChannelModel(const std::string& m) { return ModelContains(m, "QN"); }
inline bool IsTemperatureRecorder(const std::string& m) { return ModelContains(m, "KM"); }
inline bool IsDepthRecorder(const std::string& m) { return ModelContains(m, "PM"); }
inline bool IsTideWaveRecorder(const std::string& m) { return ModelContains(m, "KZM"); }
inline bool IsTwoChannelOlderModel(const std::string& m) { return ModelContains(m, "5170"); }
inline bool IsOneChannelOlderModel(const std::string& m) { return ModelContains(m, "3170"); }
inline bool IsMicroSalinometer(const std::string& m) { return ModelContains(m, "VL-840"); }
inline bool IsLargeMultiChannel(const std::string& m) {
  return ModelContains(m, "QN-760") || ModelContains(m, "QNQ-760");
}
inline bool IsAveragingExcludedVariant(const std::string& m) {
  return ModelContains(m, "QN-730-LF") || ModelContains(m, "RWx");
}
inline bool HasConventionalThresholdingModel(const std::string& m) {
  return ModelContains(m, "QN") && ModelContains(m, "SB");
}
inline bool HasExternalDataConnectorModel(const std::string& m) { return ModelContains(m, "U"); }

// Firmware versions are single-precision; constants are compared as doubles.
inline bool FirmwareAbove(float version, double constant) { return static_cast<double>(version) > constant; }
inline bool FirmwareBelow(float version, double constant) { return static_cast<double>(version) < constant; }
inline bool FirmwareFrom(float version, double constant) { return static_cast<double>(version) >= constant; }

}  // namespace tmv
