// The emulated logger's own protocol, spoken with raw bytes through its
// serial port on the virtual clock.
#include <gtest/gtest.h>

#include <string>

#include "sim/LoggerEmulator.h"

namespace tmv::sim {
namespace {

constexpr char kAck = 0x06, kNak = 0x15;

struct Wire {
  explicit Wire(const std::string& profile = "QN-760", int baud = 19200)
      : emulator(ProfileByName(profile)), serial(emulator, clock) {
    LineSettings s;
    s.baud = baud;
    s.readMultiplierMs = baud >= 19200 ? 1 : (10000 + baud - 1) / baud;
    port = serial.Open("/dev/ttyTMV0", s);
  }
  void Send(const std::string& text) {
    port->Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }
  std::string Read(size_t max) {
    std::string buffer(max, '\0');
    const size_t n = port->Read(reinterpret_cast<uint8_t*>(buffer.data()), max);
    buffer.resize(n);
    return buffer;
  }
  std::string Ask(const std::string& text, size_t max = 120) {
    Send(text);
    return Read(max);
  }
  void SetBaud(int baud) {
    LineSettings s = port->Current();
    s.baud = baud;
    port->Apply(s);
  }

  VirtualClock clock;
  LoggerEmulator emulator;
  EmulatedSerialSystem serial;
  std::unique_ptr<SerialPort> port;
};

uint8_t Sum(const std::string& s) {
  unsigned sum = 0;
  for (unsigned char c : s) sum += c;
  return static_cast<uint8_t>(sum);
}

TEST(SimIdentity, AnswersTheWakeUpWithItsIdentity) {
  Wire w;
  EXPECT_EQ(w.Ask("A"), "TMV QN-760 6.10 012345\r\n");
  Wire km("KM-3170");
  km.emulator.profile().identityPrefix = "\r\n";
  EXPECT_EQ(km.Ask("A"), "\r\nTMV KM-3170 2.50 031700\r\n");
}

TEST(SimIdentity, ReadReturnsAsSoonAsTheBytesAskedForAreDue) {
  Wire w;
  const int64_t start = w.clock.Milliseconds();
  EXPECT_EQ(w.Ask("A", 6), "TMV QN");
  EXPECT_LT(w.clock.Milliseconds() - start, 10);
  // The rest waits in the port for the next read.
  EXPECT_EQ(w.Read(120), "-760 6.10 012345\r\n");
}

TEST(SimIdentity, AnEmptyReadLastsTheWholeTimeOut) {
  Wire w;
  const int64_t start = w.clock.Milliseconds();
  EXPECT_EQ(w.Read(120), "");
  EXPECT_EQ(w.clock.Milliseconds() - start, 140);  // 1 ms x 120 + 20 ms
}

TEST(SimBaud, HearsOnlyAtItsOwnRate) {
  Wire w("QN-760", 1200);
  EXPECT_EQ(w.Ask("A"), "");
  w.SetBaud(9600);
  EXPECT_EQ(w.Ask("A"), "");
  w.SetBaud(19200);
  EXPECT_EQ(w.Ask("A"), "TMV QN-760 6.10 012345\r\n");
  // Nothing half-heard at the wrong rate completes a later command.
  w.SetBaud(2400);
  w.Send("R01");
  w.SetBaud(19200);
  EXPECT_EQ(w.Ask("00"), "Unknown command\r\n");
}

TEST(SimBaud, SpeedChangeMovesTheLoggerToTheNewRate) {
  Wire w;
  w.Send("!E01");  // 115200
  w.clock.Advance(200);
  EXPECT_EQ(w.emulator.Baud(), 115200);
  EXPECT_EQ(w.Ask("A"), "");
  w.SetBaud(115200);
  EXPECT_EQ(w.Ask("A"), "TMV QN-760 6.10 012345\r\n");
  w.Send("!E03");
  w.SetBaud(57600);
  EXPECT_EQ(w.Ask("A"), "TMV QN-760 6.10 012345\r\n");
  w.Send("!E0D");
  w.SetBaud(19200);
  EXPECT_EQ(w.Ask("A"), "TMV QN-760 6.10 012345\r\n");
}

}  // namespace
}  // namespace tmv::sim
