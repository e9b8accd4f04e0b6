// Raw counts to engineering values and back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "model/Conversion.h"

namespace tmv {
namespace {

constexpr CoefficientRow kThermistor = {0.0035, -0.00025, 2.7e-06, 2.3e-08};

TEST(Conversion, ThermistorEndpointsAndMidScaleWithDefaults) {
  EXPECT_EQ(ThermistorValue(kThermistor, 0), -1000.0);
  EXPECT_EQ(ThermistorValue(kThermistor, 16777216), -273.15);
  // x = 0.5 gives L = 0, so only c0 counts.
  EXPECT_DOUBLE_EQ(ThermistorValue(kThermistor, 8388608), 1.0 / 0.0035 - 273.15);
  EXPECT_NEAR(ThermistorValue(kThermistor, 8388608), 12.56, 0.01);
}

TEST(Conversion, ThermistorWithoutTemperatureGivesMarkerNotNan) {
  // Coefficients that are not numbers, a zero denominator and counts outside
  // the 24-bit range (after range extension) all give the no-temperature mark.
  CoefficientRow nanRow = kThermistor;
  nanRow[2] = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(ThermistorValue(nanRow, 4000000), kNoTemperature);
  EXPECT_EQ(ThermistorValue(CoefficientRow{0, 0, 0, 0}, 4000000), kNoTemperature);
  EXPECT_EQ(ThermistorValue(kThermistor, -5), kNoTemperature);
  EXPECT_EQ(ThermistorValue(kThermistor, 16777216 + 5), kNoTemperature);
}

TEST(Conversion, PolynomialIdentityGivesFractionOfFullScale) {
  const CoefficientRow identity = {0.0, 1.0, 0.0, 0.0};
  for (int32_t raw : {0, 1, 8388608, 16777215, -1, 16777216 + 100})
    EXPECT_EQ(PolynomialValue(identity, raw), raw / 16777216.0) << raw;
}

TEST(Conversion, ConvertReadingChoosesEquationByChannelType) {
  LoggerInfo info;
  info.channelCount = 2;
  info.channelTypes[0] = 'T';
  info.channelTypes[1] = 'P';
  CalibrationSet cal;
  cal.coefficients[0] = kThermistor;
  cal.coefficients[1] = kThermistor;
  EXPECT_DOUBLE_EQ(ConvertReading(info, cal, 8388608, 0), 1.0 / 0.0035 - 273.15);
  EXPECT_DOUBLE_EQ(ConvertReading(info, cal, 8388608, 1), PolynomialValue(kThermistor, 8388608));
  // A channel index out of range yields no value rather than reading past the table.
  EXPECT_TRUE(std::isnan(ConvertReading(info, cal, 1, kMaxChannels)));
  EXPECT_TRUE(std::isnan(ConvertReading(info, cal, 1, -1)));
}

TEST(Conversion, CoefficientBytesAreLittleEndianDoubles) {
  uint8_t bytes[32] = {};
  RowToBytes(CoefficientRow{1.0, -2.0, 0.0, 0.5}, bytes);
  const uint8_t one[8] = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
  EXPECT_EQ(0, std::memcmp(bytes, one, 8));
  EXPECT_EQ(bytes[15], 0xC0);
  EXPECT_EQ(RowFromBytes(bytes), (CoefficientRow{1.0, -2.0, 0.0, 0.5}));
}

// The threshold and limit paths rely on the inverse landing within one raw
// step of the target for any sensible (monotonic) calibration.
TEST(Conversion, EngineeringToRawInvertsConvertReadingWithinOneStep) {
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  LoggerInfo info;
  info.channelCount = 2;
  info.channelTypes[0] = 'P';
  info.channelTypes[1] = 'T';
  CalibrationSet cal;
  for (int trial = 0; trial < 400; ++trial) {
    // Polynomial: increasing over the whole signed search range.
    const double c1 = 0.5 + 500.0 * (unit(rng) + 1.0);
    cal.coefficients[0] = {50.0 * unit(rng), c1, 0.2 * c1 * unit(rng), 0.1 * c1 * unit(rng)};
    // Thermistor: within 5% of the usual coefficients.
    for (size_t k = 0; k < 4; ++k) cal.coefficients[1][k] = kThermistor[k] * (1.0 + 0.05 * unit(rng));

    const double lo = ConvertReading(info, cal, 1, 0);
    const double hi = ConvertReading(info, cal, 16777214, 0);
    const double target = lo + (hi - lo) * (unit(rng) + 1.0) / 2.0;
    const int32_t r = static_cast<int32_t>(EngineeringToRaw(info, cal, target, 0));
    EXPECT_LE(ConvertReading(info, cal, r - 1, 0), target) << "trial " << trial;
    EXPECT_GE(ConvertReading(info, cal, r + 1, 0), target) << "trial " << trial;

    const double temperature = 20.0 + 20.0 * unit(rng);
    const int32_t t = static_cast<int32_t>(EngineeringToRaw(info, cal, temperature, 1));
    ASSERT_GT(t, 0);
    EXPECT_GE(ConvertReading(info, cal, t - 1, 1), temperature) << "trial " << trial;
    EXPECT_LE(ConvertReading(info, cal, t + 1, 1), temperature) << "trial " << trial;
  }
}

TEST(Conversion, EngineeringToRawOfNegativeValueIsTwosComplement) {
  // A channel whose readings go below zero: the count wraps to 24 bits.
  const CoefficientRow identity = {0.0, 1.0, 0.0, 0.0};
  const uint32_t r = EngineeringToRaw(identity, false, -100.0 / 16777216.0);
  EXPECT_GE(r, 0x1000000u - 101u);
  EXPECT_LE(r, 0x1000000u - 99u);
}

}  // namespace
}  // namespace tmv
