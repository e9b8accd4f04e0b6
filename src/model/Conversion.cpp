#include "model/Conversion.h"

#include <bit>
#include <cmath>
#include <limits>

#include "model/LoggerFamily.h"

namespace tmv {

namespace {

constexpr CoefficientRow kThermistorDefault = {0.0035, -0.00025, 2.7e-06, 2.3e-08};

bool ValidChannel(int channel) { return channel >= 0 && channel < kMaxChannels; }

}  // namespace

double PolynomialValue(const CoefficientRow& c, int32_t raw) {
  const double x = static_cast<double>(raw) / kRawFullScale;
  // This order of the terms is the one stored calibrations were made with;
  // keep it so that values agree to the last bit.
  return c[1] * x + c[0] + c[2] * x * x + c[3] * x * x * x;
}

double ThermistorValue(const CoefficientRow& c, int32_t raw) {
  if (raw == kRawSpan) return -273.15;
  if (raw == 0) return kNoTemperature;
  const double x = static_cast<double>(raw) / kRawFullScale;
  const double r = 1.0 / x - 1.0;
  const double l = std::log(r);
  const double d = c[0] + c[1] * l + c[2] * l * l + c[3] * l * l * l;
  // A raw count outside (0, 2^24) gives a logarithm of a negative number;
  // that and a zero denominator both mean there is no temperature.
  if (d == 0.0 || std::isnan(d)) return kNoTemperature;
  return 1.0 / d - 273.15;
}

double ConvertReading(const LoggerInfo& info, const CalibrationSet& calibration, int32_t raw, int channel) {
  if (!ValidChannel(channel)) return std::numeric_limits<double>::quiet_NaN();
  const CoefficientRow& c = calibration.coefficients[static_cast<size_t>(channel)];
  if (info.channelTypes[static_cast<size_t>(channel)] == 'T') return ThermistorValue(c, raw);
  return PolynomialValue(c, raw);
}

uint32_t EngineeringToRaw(const CoefficientRow& c, bool thermistor, double value) {
  if (thermistor) {
    // Temperature falls as the raw count rises.
    int32_t r = 0x800000;
    int32_t s = 0x800000;
    while (s > 0) {
      if (ThermistorValue(c, r) < value) r -= s;
      r += s / 2;
      s /= 2;
    }
    return static_cast<uint32_t>(r);
  }
  // The raw count is searched as a signed number so that channels whose
  // readings may be negative find their thresholds too.
  int32_t r = kRawSpan;
  int32_t s = kRawSpan;
  while (s > 0) {
    if (PolynomialValue(c, r - kRawSpan) >= value) r -= s;
    r += s / 2;
    s /= 2;
  }
  return static_cast<uint32_t>(r) & 0xFFFFFFu;
}

uint32_t NearestRawForValue(const CoefficientRow& c, bool thermistor, double value) {
  const uint32_t found = EngineeringToRaw(c, thermistor, value);
  // Thermistor counts are plain; polynomial counts are searched signed, and
  // the 24 bits returned do not say which sign was meant: take the nearer.
  int32_t x = static_cast<int32_t>(found);
  if (!thermistor && std::fabs(PolynomialValue(c, x - kRawSpan) - value) < std::fabs(PolynomialValue(c, x) - value))
    x -= kRawSpan;
  int32_t best = x;
  double bestError = std::numeric_limits<double>::infinity();
  for (int32_t r = x - 1; r <= x + 1; ++r) {
    const double v = thermistor ? ThermistorValue(c, r) : PolynomialValue(c, r);
    const double error = std::fabs(v - value);
    if (error < bestError) {
      bestError = error;
      best = r;
    }
  }
  return static_cast<uint32_t>(best) & 0xFFFFFFu;
}

uint32_t EngineeringToRaw(const LoggerInfo& info, const CalibrationSet& calibration, double value, int channel) {
  if (!ValidChannel(channel)) return 0;
  return EngineeringToRaw(calibration.coefficients[static_cast<size_t>(channel)],
                          info.channelTypes[static_cast<size_t>(channel)] == 'T', value);
}

CoefficientRow DefaultCoefficients(uint8_t channelType) {
  switch (channelType) {
    case 'T': return kThermistorDefault;
    case 'K': return {0.0, 125.0, 0.0, 0.0};
    case 'J': return {0.0, 625.0, 0.0, 0.0};
    default: return {0.0, 1.0, 0.0, 0.0};
  }
}

CoefficientRow SingleChannelDefaultCoefficients(const std::string& model) {
  if (IsTemperatureRecorder(model)) return kThermistorDefault;
  return {0.0, 100.0, 0.0, 0.0};
}

ConductivityCorrection DefaultConductivityCorrection() { return ConductivityCorrection{0.0, 1.0, 0.0, 0.0}; }

void ApplyDefaultCoefficients(const LoggerInfo& info, CalibrationSet& calibration) {
  for (int i = 0; i < info.channelCount && i < kMaxChannels; ++i)
    calibration.coefficients[static_cast<size_t>(i)] = DefaultCoefficients(info.channelTypes[static_cast<size_t>(i)]);
}

bool AllFinite(const CoefficientRow& c) {
  for (double v : c)
    if (!std::isfinite(v)) return false;
  return true;
}

double DoubleFromBytes(const uint8_t* bytes) {
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | bytes[i];
  return std::bit_cast<double>(bits);
}

void DoubleToBytes(double value, uint8_t* bytes) {
  uint64_t bits = std::bit_cast<uint64_t>(value);
  for (int i = 0; i < 8; ++i) {
    bytes[i] = static_cast<uint8_t>(bits & 0xFF);
    bits >>= 8;
  }
}

CoefficientRow RowFromBytes(const uint8_t* bytes) {
  CoefficientRow c{};
  for (size_t k = 0; k < 4; ++k) c[k] = DoubleFromBytes(bytes + 8 * k);
  return c;
}

void RowToBytes(const CoefficientRow& c, uint8_t* bytes) {
  for (size_t k = 0; k < 4; ++k) DoubleToBytes(c[k], bytes + 8 * k);
}

}  // namespace tmv
