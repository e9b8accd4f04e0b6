#pragma once
// Raw 24-bit readings to engineering values and back. These run for every
// reading of a download, so they take what they need explicitly, keep no
// state and never allocate.
#include <array>
#include <cstdint>
#include <string>

#include "model/CalibrationSet.h"
#include "model/LoggerInfo.h"

namespace tmv {

using CoefficientRow = std::array<double, 4>;  // c0, c1, c2, c3

constexpr double kRawFullScale = 16777216.0;  // 2^24
constexpr int32_t kRawSpan = 0x1000000;       // 2^24
constexpr double kNoTemperature = -1000.0;    // a reading without a temperature

// c0 + c1*x + c2*x^2 + c3*x^3 with x = raw / 2^24. raw may lie outside the
// 24-bit range after ExtendRawRange.
double PolynomialValue(const CoefficientRow& c, int32_t raw);
// Thermistor temperature in degrees C; kNoTemperature when there is none.
double ThermistorValue(const CoefficientRow& c, int32_t raw);
// The engineering value of a raw reading of a 0-based channel: the
// thermistor equation for 'T' channels, the polynomial otherwise.
double ConvertReading(const LoggerInfo& info, const CalibrationSet& calibration, int32_t raw, int channel);

// The 24-bit raw count whose conversion meets value (24-step bisection).
uint32_t EngineeringToRaw(const CoefficientRow& c, bool thermistor, double value);
uint32_t EngineeringToRaw(const LoggerInfo& info, const CalibrationSet& calibration, double value, int channel);
// The 24-bit raw count whose conversion is nearest value: the bisection can
// stop one count short, which a value the logger converted itself must not.
uint32_t NearestRawForValue(const CoefficientRow& c, bool thermistor, double value);

// Coefficients used when a logger holds none, by channel type letter.
CoefficientRow DefaultCoefficients(uint8_t channelType);
// The older single-channel loggers: thermistor for "KM" models, else 0, 100, 0, 0.
CoefficientRow SingleChannelDefaultCoefficients(const std::string& model);
ConductivityCorrection DefaultConductivityCorrection();
// Every configured channel gets the default of its type.
void ApplyDefaultCoefficients(const LoggerInfo& info, CalibrationSet& calibration);

bool AllFinite(const CoefficientRow& c);
// Coefficients travel as 8-byte IEEE 754 doubles, least significant byte first.
double DoubleFromBytes(const uint8_t* bytes);
void DoubleToBytes(double value, uint8_t* bytes);
CoefficientRow RowFromBytes(const uint8_t* bytes);  // 32 bytes
void RowToBytes(const CoefficientRow& c, uint8_t* bytes);

}  // namespace tmv
