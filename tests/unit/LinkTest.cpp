// The serial channel: time-outs, reads and writes, ports, the COM settings dialog.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string_view>

#include "link/ComSettingsDialog.h"
#include "link/LoggerLink.h"
#include "platform/SerialPort.h"
#include "support/ScriptedPort.h"

#include <filesystem>
#include <fstream>

using namespace tmv;
using tmv::test::ScriptedRig;

TEST(LinkTimeouts, MultiplierIsOneCharacterRoundedUpAndConstantsFollowRts) {
  const int bauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 115200};
  const int multipliers[] = {9, 5, 3, 2, 1, 1, 1};
  for (size_t i = 0; i < std::size(bauds); ++i) {
    EXPECT_EQ(OpenLinkSettings(bauds[i], 0).readMultiplierMs, multipliers[i]) << bauds[i];
    EXPECT_EQ(OpenLinkSettings(bauds[i], 0).writeMultiplierMs, multipliers[i]) << bauds[i];
    EXPECT_EQ(SpeedChangeSettings(bauds[i], 0).readMultiplierMs, multipliers[i]) << bauds[i];
  }
  EXPECT_EQ(OpenLinkSettings(9600, 0).readConstantMs, 20);
  EXPECT_EQ(OpenLinkSettings(9600, 1).readConstantMs, 100);
  EXPECT_EQ(SpeedChangeSettings(9600, 0).readConstantMs, 60);
  EXPECT_EQ(SpeedChangeSettings(9600, 2).readConstantMs, 100);
  EXPECT_EQ(SpeedChangeSettings(9600, 0).writeConstantMs, 20);
  // A nonsense rate must not divide by zero.
  EXPECT_GE(OpenLinkSettings(0, 0).readMultiplierMs, 1);
}

TEST(LinkRead, SilentReadWaitsTheWholeTimeOutAndNoLonger) {
  ScriptedRig rig;
  ASSERT_TRUE(rig.OpenAt(9600));
  uint8_t buf[121];
  const int64_t t0 = rig.clock.Milliseconds();
  EXPECT_EQ(LinkRead(rig.state, rig.state.loggerLink, buf, 120), 0u);
  EXPECT_EQ(rig.clock.Milliseconds() - t0, 2 * 120 + 20);
  EXPECT_EQ(buf[0], 0);

  // A full read returns as soon as the bytes are there.
  rig.line.Send(std::string(120, 'x'), 5);
  const int64_t t1 = rig.clock.Milliseconds();
  EXPECT_EQ(LinkRead(rig.state, rig.state.loggerLink, buf, 120), 120u);
  EXPECT_EQ(rig.clock.Milliseconds() - t1, 5);
}

TEST(LinkRead, WritesAtMostCountPlusTheNul) {
  ScriptedRig rig;
  ASSERT_TRUE(rig.OpenAt(19200));
  rig.line.Send(std::string(40, 'A'));
  uint8_t buf[32];
  std::memset(buf, 0xEE, sizeof buf);
  EXPECT_EQ(LinkRead(rig.state, rig.state.loggerLink, buf, 8), 8u);
  EXPECT_EQ(buf[7], 'A');
  EXPECT_EQ(buf[8], 0);
  for (size_t i = 9; i < sizeof buf; ++i) EXPECT_EQ(buf[i], 0xEE) << i;
  // The rest stays in the port for the next read.
  EXPECT_EQ(LinkRead(rig.state, rig.state.loggerLink, buf, 30), 30u);
  EXPECT_EQ(buf[30], 0);
  EXPECT_EQ(buf[31], 0xEE);
}

TEST(LinkRead, RadioModemDelayPrecedesEveryLoggerRead) {
  ScriptedRig rig;
  ASSERT_TRUE(rig.OpenAt(19200));
  rig.state.ports.radioModem = true;
  rig.state.ports.radioDelayMs = 500;
  uint8_t buf[9];
  const int64_t t0 = rig.clock.Milliseconds();
  LinkRead(rig.state, rig.state.loggerLink, buf, 8);
  ASSERT_EQ(rig.line.readStarts.size(), 1u);
  EXPECT_EQ(rig.line.readStarts[0] - t0, 500);
  // Flag off: no delay even with a delay value left over.
  rig.state.ports.radioModem = false;
  const int64_t t1 = rig.clock.Milliseconds();
  LinkRead(rig.state, rig.state.loggerLink, buf, 8);
  EXPECT_EQ(rig.line.readStarts[1] - t1, 0);
}

TEST(LinkOpen, RefusedPortGivesZeroAndLaterUseOfTheLinkIsHarmless) {
  ScriptedRig rig;
  rig.line.refuseOpen = true;
  LoggerLink& link = rig.state.loggerLink;
  EXPECT_EQ(OpenLink(rig.state, link, 1, 19200, 0), 0);
  EXPECT_EQ(link.handle, -1);
  EXPECT_FALSE(link.IsOpen());
  uint8_t buf[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
  EXPECT_EQ(LinkRead(rig.state, link, buf, 8), 0u);
  EXPECT_EQ(buf[0], 0);
  EXPECT_EQ(LinkWrite(rig.state, link, "A"), 0u);
  EXPECT_EQ(CloseLink(rig.state, link, 1), 0);
  EXPECT_EQ(link.handle, 0);
  EXPECT_EQ(SetLinkBaud(rig.state, 2400), 0);
  // A port with no device behind it fails the same way.
  EXPECT_EQ(OpenLink(rig.state, link, 7, 19200, 0), 0);
}

TEST(LinkOpen, ReopeningClosesFirstAndSpeedChangeKeepsThePortOpen) {
  ScriptedRig rig;
  ASSERT_TRUE(rig.OpenAt(19200));
  ASSERT_TRUE(rig.OpenAt(1200));  // the scripted line refuses a second holder
  EXPECT_EQ(rig.line.opens, 2);
  EXPECT_EQ(rig.line.closes, 1);
  EXPECT_EQ(rig.line.settings.readMultiplierMs, 9);
  EXPECT_EQ(SetLinkBaud(rig.state, 9600), 1);
  EXPECT_EQ(rig.line.opens, 2);
  EXPECT_EQ(rig.line.settings.baud, 9600);
  EXPECT_EQ(rig.line.settings.readMultiplierMs, 2);
  EXPECT_EQ(rig.line.settings.readConstantMs, 60);
  CloseLink(rig.state, rig.state.loggerLink, 1);
  EXPECT_FALSE(rig.line.open);
  EXPECT_EQ(rig.state.loggerLink.handle, 0);
}

TEST(LinkWrite, SendsTheTextWithoutTerminatorAndMarksActivity) {
  ScriptedRig rig;
  ASSERT_TRUE(rig.OpenAt(19200));
  rig.state.linkActivity = 0;
  EXPECT_EQ(LinkWrite(rig.state, rig.state.loggerLink, "R0300"), 5u);
  EXPECT_EQ(rig.state.linkActivity, 10);
  const uint8_t bytes[3] = {0, 28, 137};
  EXPECT_EQ(LinkWriteBytes(rig.state, rig.state.loggerLink, bytes, 3), 3u);
  ASSERT_EQ(rig.line.writes.size(), 2u);
  EXPECT_EQ(rig.line.writes[0], "R0300");
  EXPECT_EQ(rig.line.writes[1], std::string("\0\x1c\x89", 3));
}

TEST(LinkPorts, DevicePathStandsForTheLoggerPortAndNamesIt) {
  ScriptedRig rig;
  rig.serial.devices = {"/dev/ttyS0", "/dev/ttyUSB0"};
  ProbePorts(rig.state);
  EXPECT_TRUE(rig.state.ports.portPresent[1]);
  EXPECT_EQ(DeviceForPort(rig.state, 2), "/dev/ttyUSB0");
  EXPECT_EQ(DeviceForPort(rig.state, 3), "");
  EXPECT_EQ(PortName(rig.state, 2), "COM2");
  rig.state.ports.loggerDevice = "/dev/pts/7";
  EXPECT_EQ(DeviceForPort(rig.state, 1), "/dev/pts/7");
  EXPECT_EQ(PortName(rig.state, 1), "/dev/pts/7");
  EXPECT_EQ(FormatWithPort("Unable to Communicate with Logger on COM%1d", rig.state, 1),
            "Unable to Communicate with Logger on /dev/pts/7");
  // A '%' in a path is text, not a conversion.
  rig.state.ports.loggerDevice = "/tmp/%s%n";
  EXPECT_EQ(FormatWithPort("on COM%1d.", rig.state, 1), "on /tmp/%s%n.");

  // No ports at all: nothing present.
  rig.serial.devices.clear();
  rig.state.ports.loggerDevice.clear();
  ProbePorts(rig.state);
  for (int n = 1; n <= 16; ++n) EXPECT_FALSE(rig.state.ports.portPresent[n]) << n;
}

TEST(ComSettingsDialog, ListsSelectionsAndTheSamePortClash) {
  ScriptedRig rig;
  rig.serial.devices = {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB0"};
  ProbePorts(rig.state);
  rig.state.ports.loggerPort = 2;
  int saves = 0, connects = 0;
  ComSettingsDialog dialog(rig.state, {[&](AppState&) { ++saves; }, [&](AppState&) { ++connects; }});
  dialog.Open();
  EXPECT_EQ(rig.ui.LastStatus(), "Select Communication Port");
  // Each entry names its device; the COM number stays beside it.
  const std::vector<std::string> items{"/dev/ttyS0  (COM1)", "/dev/ttyS1  (COM2)", "/dev/ttyUSB0  (COM3)"};
  EXPECT_EQ(dialog.LoggerPortItems(), items);
  EXPECT_EQ(dialog.GpsPortItems(), (std::vector<std::string>{"Not used", items[0], items[1], items[2]}));
  EXPECT_EQ(dialog.LoggerPortDetail(), "COM2 is /dev/ttyS1");
  EXPECT_EQ(dialog.GpsBaudItems(), (std::vector<std::string>{"1200", "2400", "4800", "9600", "19200"}));
  EXPECT_EQ(dialog.LoggerSelection(), 1);
  EXPECT_EQ(dialog.GpsSelection(), 0);
  EXPECT_EQ(dialog.GpsBaudSelection(), 2);  // 4800
  EXPECT_FALSE(dialog.GpsBaudEnabled());
  EXPECT_FALSE(dialog.RadioDelayEnabled());

  // Same port for both: the error box, and the dialog stays open.
  dialog.SelectGpsPort(2);
  EXPECT_TRUE(dialog.GpsBaudEnabled());
  EXPECT_FALSE(dialog.Ok());
  EXPECT_TRUE(dialog.IsOpen());
  EXPECT_TRUE(dialog.WantsForeground());
  ASSERT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_EQ(rig.ui.boxes[0].caption, "Port Configuration Error");
  EXPECT_EQ(rig.ui.boxes[0].icon, MessageIcon::Exclamation);
  EXPECT_EQ(rig.ui.boxes[0].text,
            "The connection to the logger and\n the connection to the GPS system\n  have been assigned to the "
            "same serial port.\n\nCheck your selections.");
  EXPECT_EQ(saves, 0);

  // "Not used" never clashes; the radio delay is taken only while checked.
  dialog.SelectGpsPort(0);
  dialog.SetRadioChecked(true);
  EXPECT_TRUE(dialog.RadioDelayEnabled());
  dialog.SetRadioDelayText("250");
  EXPECT_TRUE(dialog.Ok());
  EXPECT_FALSE(dialog.IsOpen());
  EXPECT_EQ(saves, 1);
  EXPECT_EQ(connects, 1);
  EXPECT_EQ(rig.state.ports.gpsPort, 0);
  EXPECT_TRUE(rig.state.ports.radioModem);
  EXPECT_EQ(rig.state.ports.radioDelayMs, 250);

  // Unchecking clears the delay; a GPS port is taken with its baud rate.
  dialog.Open();
  dialog.SetRadioChecked(false);
  dialog.SelectGpsPort(3);
  dialog.SelectGpsBaud(3);
  EXPECT_TRUE(dialog.Ok());
  EXPECT_EQ(rig.state.ports.gpsPort, 3);
  EXPECT_EQ(rig.state.ports.gpsBaud, 9600);
  EXPECT_FALSE(rig.state.ports.radioModem);
  EXPECT_EQ(rig.state.ports.radioDelayMs, 0);

  // Cancel saves nothing and connects nothing, and its prompt goes with it.
  dialog.Open();
  dialog.Cancel();
  EXPECT_EQ(saves, 2);
  EXPECT_EQ(connects, 2);
  EXPECT_EQ(rig.ui.LastStatus(), "Ready");
}

TEST(ComSettingsDialog, RefusedSamePortChoiceTakesNoEffectAndCancelKeepsTheOldSettings) {
  ScriptedRig rig;
  rig.serial.devices = {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB0"};
  ProbePorts(rig.state);
  rig.state.ports.loggerPort = 1;
  rig.state.ports.gpsPort = 3;
  rig.state.ports.gpsBaud = 4800;
  int saves = 0, connects = 0;
  ComSettingsDialog dialog(rig.state, {[&](AppState&) { ++saves; }, [&](AppState&) { ++connects; }});
  dialog.Open();
  dialog.SelectLoggerPort(2);  // COM3, where the GPS is
  dialog.SelectGpsBaud(3);
  dialog.SetRadioChecked(true);
  dialog.SetRadioDelayText("400");
  EXPECT_FALSE(dialog.Ok());
  EXPECT_EQ(rig.ui.boxes.size(), 1u);
  dialog.Cancel();
  const PortSettings& p = rig.state.ports;
  EXPECT_EQ(p.loggerPort, 1);
  EXPECT_EQ(p.gpsPort, 3);
  EXPECT_EQ(p.gpsBaud, 4800);
  EXPECT_FALSE(p.radioModem);
  EXPECT_EQ(p.radioDelayMs, 0);
  EXPECT_EQ(saves, 0);
  EXPECT_EQ(connects, 0);
}

TEST(ComSettingsDialog, OpeningClosesAConnectedLoggerAndNoPortsLeaveOnlyNotUsed) {
  ScriptedRig rig;
  ASSERT_TRUE(rig.OpenAt(19200));
  rig.state.logger.connected = true;
  rig.serial.devices.clear();
  ProbePorts(rig.state);
  ComSettingsDialog dialog(rig.state, {nullptr, [](AppState&) {}});
  dialog.Open();
  EXPECT_FALSE(rig.state.loggerLink.IsOpen());
  EXPECT_TRUE(dialog.LoggerPortItems().empty());
  EXPECT_EQ(dialog.GpsPortItems(), std::vector<std::string>{"Not used"});
  // A garbage delay reads as 0 rather than as whatever strtol makes of it.
  dialog.SetRadioChecked(true);
  dialog.SetRadioDelayText("-5x");
  EXPECT_TRUE(dialog.Ok());
  EXPECT_EQ(rig.state.ports.radioDelayMs, 0);
}

TEST(PosixSerial, ReadUntilKeepsTheBytesPastTheReplyForTheNextRead) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  PosixSerialSystem system;
  auto port = system.Open(ptsname(master), OpenLinkSettings(19200, 0));
  ASSERT_NE(port, nullptr);
  // Both replies are in the device at once; the first read takes its own only.
  const std::string both = "100607153000CTD\r\nR030002";
  ASSERT_EQ(write(master, both.data(), both.size()), static_cast<ssize_t>(both.size()));
  uint8_t buf[121] = {};
  const auto line = [](const uint8_t* data, size_t count) -> size_t {
    const std::string_view text(reinterpret_cast<const char*>(data), count);
    const size_t lf = text.find('\n');
    return lf == std::string_view::npos ? 0 : lf + 1;
  };
  size_t n = 0;
  for (int i = 0; i < 50 && n == 0; ++i) n = port->ReadUntil(buf, 120, line);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), n), "100607153000CTD\r\n");
  EXPECT_EQ(port->Read(buf, 7), 7u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 7), "R030002");
  port->Close();
  close(master);
}

namespace tmv {
namespace {

// A host with an FTDI adapter (ttyUSB0, descriptors two levels up), a CDC
// modem (ttyACM0, one level up, no by-id link) and a device that tells nothing.
TEST(SerialDevices, EachDeviceWithItsStableNameAndItsAdaptersOwnDescription) {
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() / ("tmv-serial-" + std::to_string(::getpid()));
  fs::remove_all(root);
  const fs::path dev = root / "dev", sys = root / "sys";
  fs::create_directories(dev / "serial" / "by-id");
  for (const char* name : {"ttyUSB0", "ttyACM0", "ttyS4"}) std::ofstream(dev / name) << "";
  fs::create_symlink("../../ttyUSB0", dev / "serial" / "by-id" / "usb-FTDI_FT232R_USB_UART_A5XK3RJT-if00-port0");
  // The tty's "device" link, and the USB device above it that names itself.
  auto usb = [&](const std::string& tty, const fs::path& device, const fs::path& named, const char* maker,
                 const char* product) {
    fs::create_directories(device);
    std::ofstream(named / "manufacturer") << maker << "\n";
    std::ofstream(named / "product") << product << "\n";
    fs::create_directories(sys / "class" / "tty" / tty);
    fs::create_directory_symlink(device, sys / "class" / "tty" / tty / "device");
  };
  const fs::path ftdi = sys / "devices" / "usb1" / "1-1", acm = sys / "devices" / "usb1" / "1-2";
  usb("ttyUSB0", ftdi / "1-1:1.0" / "ttyUSB0", ftdi, "FTDI", "FT232R USB UART");
  usb("ttyACM0", acm / "1-2:1.0", acm, "Arduino (www.arduino.cc)", "Arduino Uno");

  const std::vector<SerialDeviceInfo> found = DescribeSerialDevices(
      {(dev / "ttyUSB0").string(), (dev / "ttyACM0").string(), (dev / "ttyS4").string()}, dev.string(), sys.string());
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].byId, (dev / "serial" / "by-id" / "usb-FTDI_FT232R_USB_UART_A5XK3RJT-if00-port0").string());
  EXPECT_EQ(found[0].description, "FTDI FT232R USB UART");
  EXPECT_EQ(found[1].byId, "");
  EXPECT_EQ(found[1].description, "Arduino (www.arduino.cc) Arduino Uno");
  EXPECT_EQ(found[2].description, "");
  EXPECT_EQ(SerialDeviceText(found[0]), (dev / "ttyUSB0").string() + " - FTDI FT232R USB UART");
  EXPECT_EQ(SerialDeviceText(found[2]), (dev / "ttyS4").string());

  // Without USB descriptors the stable name still says what the adapter is.
  fs::remove_all(sys);
  EXPECT_EQ(DescribeSerialDevices({(dev / "ttyUSB0").string()}, dev.string(), sys.string())[0].description,
            "FTDI FT232R USB UART A5XK3RJT");
  fs::remove_all(root);
}

}  // namespace
}  // namespace tmv
