// The tool's collecting commands (realtime, live, salinometer) run in-process
// on the emulated logger: they never collect on default coefficients unless
// told to, tell a disturbed reply from a logger that is not set up, refuse a
// GPS port they cannot use, stop the transmission only when asked, stop when
// the logger's port goes, and say in their exit status what went wrong.
#include <gtest/gtest.h>

#include <filesystem>

#include "CliSupport.h"
#include "files/WorkFiles.h"
#include "model/KnowLogger.h"
#include "support/CliRig.h"
#include "support/RealTimeDeployment.h"

namespace tmv {
namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The calibration tables come back damaged, as a transmitting logger's
// often do: the first block after each "V" request has a wrong sum.
void DamageCalibrationReads(test::CliRig& rig) {
  rig.serial.onWrite = [&rig](const std::string& w) {
    if (w.rfind("V", 0) != 0) return;
    rig.emulator.faults().badChecksum = true;
    rig.emulator.faults().remaining = 1;
  };
}

// A logger that is logging with binary real-time output every second.
struct RealTimeCliRig : test::CliRig {
  RealTimeCliRig() {
    EXPECT_EQ(KnowLogger(state, kKnowIdentity), KnowResult::Known);
    EXPECT_TRUE(test::EnableRealTimeDeployment(state, emulator, clock));
    // The tool starts knowing nothing of the logger.
    state.logger.calibrationStale = true;
  }
};

TEST(CliRealTime, UnreadableCalibrationCollectsNothingUnlessTheDefaultsAreChosen) {
  RealTimeCliRig rig;
  DamageCalibrationReads(rig);
  const std::string file = rig.Path("rt.hex");
  EXPECT_EQ(rig.Run({"realtime", "-o", file, "--records", "2"}), cli::kExitNoLogger) << rig.err.str();
  EXPECT_TRUE(Has(rig.err.str(), "The calibration coefficients could not be read from the logger.")) << rig.err.str();
  EXPECT_TRUE(Has(rig.err.str(), "--default-calibration")) << rig.err.str();
  EXPECT_FALSE(std::filesystem::exists(file));
  // The read was tried again before giving up.
  EXPECT_GE(rig.Sent("V000000"), 2u);

  EXPECT_EQ(rig.Run({"realtime", "-o", file, "--records", "2", "--default-calibration"}), cli::kExitOk) << rig.err.str();
  EXPECT_TRUE(Has(rig.out.str(), "Real-time: 2 rows")) << rig.out.str();
}

TEST(CliRealTime, ADisturbedStatusReplyIsNotALoggerWithoutRealTimeOutput) {
  RealTimeCliRig rig;
  // Every query of the real-time setting goes unheard.
  rig.serial.onWrite = [&rig](const std::string& w) { rig.emulator.faults().silent = w == "!2"; };
  EXPECT_EQ(rig.Run({"realtime", "-o", rig.Path("rt.hex"), "--records", "1"}), cli::kExitNoLogger);
  EXPECT_FALSE(Has(rig.err.str(), "not set to send real-time data")) << rig.err.str();
  EXPECT_TRUE(Has(rig.err.str(), "did not answer the query of its real-time setting")) << rig.err.str();

  // A logger that answers and was never told to send.
  test::CliRig quiet;
  EXPECT_EQ(quiet.Run({"realtime", "-o", quiet.Path("rt.hex"), "--records", "1"}), cli::kExitRefused);
  EXPECT_TRUE(Has(quiet.err.str(), "The logger is not set to send real-time data")) << quiet.err.str();
}

TEST(CliRealTime, TransmissionStopsOnlyWhenAskedTo) {
  RealTimeCliRig rig;
  const size_t before = rig.Sent("!B00");
  EXPECT_EQ(rig.Run({"realtime", "-o", rig.Path("a.hex"), "--records", "2"}), cli::kExitOk) << rig.err.str();
  EXPECT_EQ(rig.Sent("!B00"), before);
  EXPECT_TRUE(Has(rig.err.str(), "-> Allow transmission to continue")) << rig.err.str();
  EXPECT_EQ(rig.Run({"realtime", "-o", rig.Path("b.hex"), "--records", "2", "--stop-transmission"}), cli::kExitOk)
      << rig.err.str();
  EXPECT_EQ(rig.Sent("!B00"), before + 1);
  EXPECT_TRUE(Has(rig.err.str(), "-> Stop transmission")) << rig.err.str();
}

TEST(CliRealTime, AGpsPortThatCannotServeIsRefusedBeforeCollecting) {
  RealTimeCliRig rig;
  EXPECT_EQ(rig.Run({"realtime", "-o", rig.Path("rt.hex"), "--records", "2", "--gps", "COM1"}), cli::kExitUsage);
  EXPECT_TRUE(Has(rig.err.str(), "is the logger's own port")) << rig.err.str();
  EXPECT_EQ(rig.Run({"realtime", "-o", rig.Path("rt.hex"), "--records", "2", "--gps", "/dev/ttyTMV0"}), cli::kExitUsage);
  EXPECT_TRUE(Has(rig.err.str(), "is the logger's own port")) << rig.err.str();
  EXPECT_EQ(rig.Run({"realtime", "-o", rig.Path("rt.hex"), "--records", "2", "--gps", "/dev/no-such-gps"}),
            cli::kExitFailure);
  EXPECT_TRUE(Has(rig.err.str(), "Unable to open the GPS port /dev/no-such-gps.")) << rig.err.str();
  EXPECT_FALSE(std::filesystem::exists(rig.Path("rt.hex")));
}

TEST(CliRealTime, ThePortGoingAwayEndsTheCollectionWithItsFileWhole) {
  RealTimeCliRig rig;
  // Three whole records, then the adapter is pulled out. A binary record's
  // tag follows three zero bytes (the clock's replies carry the tag too);
  // the distance between the first two tags is a record's length.
  const std::string tag("\0\0\0TIM", 6);
  std::string stream;
  rig.serial.onRead = [&](const std::string& bytes) {
    stream += bytes;
    const size_t first = stream.find(tag);
    const size_t second = first == std::string::npos ? first : stream.find(tag, first + 1);
    if (second != std::string::npos && stream.size() - first >= 3 * (second - first)) rig.serial.lost = true;
  };
  const std::string file = rig.Path("rt.hex");
  EXPECT_EQ(rig.Run({"realtime", "-o", file, "--records", "100"}), cli::kExitNoLogger);
  EXPECT_TRUE(Has(rig.err.str(), "The connection to the logger on COM1 was lost.")) << rig.err.str();
  EXPECT_TRUE(Has(rig.out.str(), "Real-time: 3 rows")) << rig.out.str();
  // No question about the transmission of a logger that is gone.
  EXPECT_FALSE(Has(rig.err.str(), "Allow transmission")) << rig.err.str();
  EXPECT_TRUE(Has(rig.out.str(), "HEX file: " + file)) << rig.out.str();
  EXPECT_FALSE(Has(ReadTextFile(file).value_or(""), "Number of bytes of data 0000000"));
}

TEST(CliLive, FailedFetchesGiveAPartialStatusAndALostLoggerStopsTheFetches) {
  test::CliRig rig;
  int fetches = 0;
  // Every second fetch goes unheard.
  rig.serial.onWrite = [&](const std::string& w) {
    if (w.rfind("F", 0) == 0) rig.emulator.faults().silent = ++fetches % 2 == 0;
    else rig.emulator.faults().silent = false;
  };
  EXPECT_EQ(rig.Run({"live", "--count", "4"}), cli::kExitPartial) << rig.err.str();
  EXPECT_TRUE(Has(rig.err.str(), "2 of 4 fetches brought no reading.")) << rig.err.str();

  rig.serial.onWrite = nullptr;
  rig.emulator.faults().silent = false;
  // Gone during the third fetch.
  int started = 0;
  rig.serial.onWrite = [&](const std::string& w) {
    if (w.rfind("F", 0) == 0 && ++started == 3) rig.serial.lost = true;
  };
  EXPECT_EQ(rig.Run({"live", "--count", "300"}), cli::kExitNoLogger) << rig.err.str();
  const std::string lines = rig.out.str();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 2) << lines;
  EXPECT_TRUE(Has(rig.err.str(), "1 of 3 fetches brought no reading (stopped: 300 were asked for).")) << rig.err.str();
}

TEST(CliSalinometer, AsksBeforeErasingAndMeasuresNothingWithoutItsCalibration) {
  test::CliRig rig("VL-840");
  EXPECT_EQ(rig.Run({"salinometer", "--average", "1"}), cli::kExitFailure);
  EXPECT_TRUE(Has(rig.err.str(), "erases the instrument's memory")) << rig.err.str();
  EXPECT_EQ(rig.emulator.CommandLog().size(), 0u);  // not touched

  DamageCalibrationReads(rig);
  EXPECT_EQ(rig.Run({"salinometer", "--yes", "--average", "1"}), cli::kExitNoLogger) << rig.err.str();
  EXPECT_TRUE(Has(rig.err.str(), "The calibration coefficients could not be read from the logger.")) << rig.err.str();
  EXPECT_EQ(rig.Sent("N"), 0u) << "the memory was erased";
}

}  // namespace
}  // namespace tmv
