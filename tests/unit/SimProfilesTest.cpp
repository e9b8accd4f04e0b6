// What each emulated logger model holds, and the emulated port's life cycle.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "sim/LoggerEmulator.h"

namespace tmv::sim {
namespace {

uint8_t Sum(const std::vector<uint8_t>& v) {
  unsigned s = 0;
  for (uint8_t b : v) s += b;
  return static_cast<uint8_t>(s);
}

TEST(SimProfiles, EveryNamedProfileIsItself) {
  for (const std::string& name : ProfileNames()) {
    const Profile p = ProfileByName(name);
    EXPECT_EQ(p.name, name);
    EXPECT_EQ(p.baud, 19200) << name;
    LoggerEmulator e(p);
    EXPECT_FALSE(e.ChannelTypes().empty()) << name;
  }
}

TEST(SimProfiles, AnUnknownNameIsNotServedAsAnotherModel) {
  EXPECT_FALSE(FindProfile("QNQ-999").has_value());
  EXPECT_FALSE(FindProfile("").has_value());
  EXPECT_THROW(ProfileByName("QNQ-999"), std::invalid_argument);
  ASSERT_TRUE(FindProfile("KM-3180").has_value());
  EXPECT_EQ(FindProfile("KM-3180")->model, "KM-3180");
}

TEST(SimProfiles, FamiliesAndTheirConfiguration) {
  EXPECT_EQ(LoggerEmulator(ProfileByName("QN-760")).ChannelTypes(), "CTPD");
  EXPECT_EQ(LoggerEmulator(ProfileByName("QN-730")).ChannelTypes(), "CTP");
  EXPECT_EQ(LoggerEmulator(ProfileByName("KM-3170")).ChannelTypes(), "T");
  EXPECT_EQ(LoggerEmulator(ProfileByName("QN-760-S")).ChannelTypes(), "STP");
  EXPECT_EQ(LoggerEmulator(ProfileByName("VL-840")).ChannelTypes(), "CTC");
  EXPECT_TRUE(ProfileByName("QN-760").Microchip());
  EXPECT_FALSE(ProfileByName("QN-730").Microchip());
  EXPECT_TRUE(ProfileByName("KM-3170").SingleChannel());
  EXPECT_FALSE(ProfileByName("QN-730").SingleChannel());
  // The default baud divisor agrees with the rate the logger answers at.
  EXPECT_EQ(ProfileByName("QN-760").tables.at(3), (std::vector<uint8_t>{13}));
}

TEST(SimProfiles, RangeSwitchingAndConductivityTables) {
  const Profile rs = ProfileByName("QN-760-RS");
  EXPECT_EQ(rs.capabilities.at(8) & 4u, 4u);
  ASSERT_EQ(rs.tables.at(5).size(), 25u);
  EXPECT_EQ(rs.tables.at(5)[4], 0x05);  // fluorometer: module 5, switching mode 0
  EXPECT_EQ(rs.tables.at(5)[5], 0x06);  // turbidity: module 6
  EXPECT_EQ(rs.tables.at(5)[1], 0xFF);
  EXPECT_EQ(rs.tables.at(4)[4] & 1, 1);  // extended range
  const Profile s = ProfileByName("QN-760-S");
  ASSERT_EQ(s.tables.at(6).size(), 33u);
  EXPECT_EQ(s.tables.at(6)[0], 2);
  const Profile vl = ProfileByName("VL-840");
  EXPECT_EQ(vl.capabilities.at(8) & 8u, 8u);  // spare storage
  EXPECT_EQ(vl.tables.at(6)[0], 1);            // the standardisation
  EXPECT_EQ(vl.tables.at(6)[25], 'P');
}

TEST(SimProfiles, CalibrationHistoryHasAnIncompleteRecord) {
  const Profile p = ProfileByName("QN-760");
  ASSERT_EQ(p.calibrationHistory.size(), 3u);
  EXPECT_FALSE(p.calibrationHistory[1].complete);
  EXPECT_TRUE(p.calibrationHistory.back().complete);
  EXPECT_EQ(p.calibrationHistory.back().channels.size(), 4u);
}

TEST(SimProfiles, RecordedDeploymentStartsWithItsParameterBlock) {
  LoggerEmulator e(ProfileByName("QN-760"));
  e.RecordSamples(50, 0);
  EXPECT_EQ(e.profile().status, 4);
  EXPECT_EQ(e.DataPointer(), 48u + 12u + 50u * 12u);
  const std::vector<uint8_t> block(e.profile().dataMemory.begin(), e.profile().dataMemory.begin() + 48);
  EXPECT_EQ(Sum(block), 165);
  EXPECT_EQ(e.profile().dataMemory[48 + 3], 'T');  // the start stamp
}

TEST(SimPort, OpenRefusalClosingAndDevices) {
  VirtualClock clock;
  LoggerEmulator e(ProfileByName("QN-760"), clock.LocalTime());
  EmulatedSerialSystem serial(e, clock, "/dev/ttyX");
  EXPECT_EQ(serial.ListDevices(), (std::vector<std::string>{"/dev/ttyX"}));
  EXPECT_EQ(serial.Open("/dev/ttyY", LineSettings{}), nullptr);
  serial.refuseOpen = true;
  EXPECT_EQ(serial.Open("/dev/ttyX", LineSettings{}), nullptr);
  serial.refuseOpen = false;
  auto port = serial.Open("/dev/ttyX", LineSettings{});
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(serial.opens, 1);
  port->Close();
  const uint8_t a = 'A';
  EXPECT_EQ(port->Write(&a, 1), 0u);
  uint8_t buffer[8];
  EXPECT_EQ(port->Read(buffer, sizeof buffer), 0u);
  EXPECT_FALSE(port->Apply(LineSettings{}));
}

TEST(SimPort, ReadTimeOutFollowsTheLineSettings) {
  VirtualClock clock;
  LoggerEmulator e(ProfileByName("QN-760"));
  EmulatedSerialSystem serial(e, clock);
  LineSettings s;
  s.baud = 9600;
  s.readMultiplierMs = 2;
  s.readConstantMs = 20;
  auto port = serial.Open("/dev/ttyTMV0", s);
  uint8_t buffer[121];
  EXPECT_EQ(port->Read(buffer, 120), 0u);
  EXPECT_EQ(clock.Milliseconds(), 260);  // 2 x 120 + 20
}

}  // namespace
}  // namespace tmv::sim
