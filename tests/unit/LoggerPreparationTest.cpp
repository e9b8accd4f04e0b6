// Logger preparation: what an operation needs to know of the logger (its
// status, start characteristic and deployment) is read before it is used,
// once, and again only after something changed it; the tool's commands
// build no header, time base or reply parser from defaults.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "CliSupport.h"
#include "link/Exchange.h"
#include "model/KnowLogger.h"
#include "support/CliRig.h"
#include "support/EmulatedRig.h"
#include "support/RealTimeDeployment.h"
#include "support/WorkDirectoryTest.h"

namespace tmv {
namespace {

using test::CliRig;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// What a command needs of the logger is read before it is used, once.
TEST(LoggerPreparation, EachPartIsReadOnceAndAgainOnlyAfterAChange) {
  test::EmulatedRig rig("QN-760");
  AppState& s = rig.state;
  const auto count = [&](const std::string& command) {
    const auto& log = rig.emulator.CommandLog();
    return std::count(log.begin(), log.end(), command);
  };
  ASSERT_EQ(KnowLogger(s, kKnowIdentity | kKnowDeployment), KnowResult::Known);
  ASSERT_EQ(KnowLogger(s, kKnowDeployment | kKnowStartCharacteristic | kKnowStatus), KnowResult::Known);
  EXPECT_EQ(count("T"), 1);
  EXPECT_EQ(count("!2"), 1);
  EXPECT_EQ(count("C"), 1);
  EXPECT_EQ(count("X"), 1);
  ForgetLoggerState(s);
  ASSERT_EQ(KnowLogger(s, kKnowDeployment), KnowResult::Known);
  EXPECT_EQ(count("T"), 2);
  EXPECT_EQ(count("C"), 2);
}

TEST(LoggerPreparation, LiveReadingsOfAnEngineeringUnitsLoggerAreParsed) {
  CliRig rig("QN-760");
  rig.emulator.profile().deployment.startCharacteristic[1] = 0x04;  // fetches answered in engineering units
  EXPECT_EQ(rig.Run({"live", "--count", "2"}), cli::kExitOk) << rig.err.str();
  EXPECT_FALSE(Has(rig.err.str(), "No reading")) << rig.err.str();
  EXPECT_TRUE(Has(rig.out.str(), "Temp ")) << rig.out.str();
}

TEST(LoggerPreparation, RealTimeFileOfALoggingLoggerIsHeadedWithItsDeployment) {
  CliRig rig("QN-760");
  ASSERT_EQ(CommGet(rig.state, 0), 1);
  ASSERT_TRUE(test::EnableRealTimeDeployment(rig.state, rig.emulator, rig.clock));
  rig.clock.Advance(30000);  // logging, and sending a record every second
  // A later run of the tool knows nothing of what was set up.
  AppState fresh(rig.serial, rig.clock, rig.ui);
  fresh.ports = rig.state.ports;
  test::ScopedTempDir work;
  fresh.directories.work = work.path;
  const std::string file = work.path + "/rt.hex";
  ASSERT_EQ(rig.RunOn(fresh, {"realtime", "-o", file, "--records", "5"}), cli::kExitOk) << rig.err.str();
  std::ifstream in(file, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(Has(text, "Sample period          00:00:01")) << text;
  EXPECT_FALSE(Has(text, "Host time     00/01/01")) << text;
  EXPECT_FALSE(Has(text, "Logger time   00/01/01")) << text;
  EXPECT_TRUE(Has(text, "mode: Logging")) << text;
}

}  // namespace
}  // namespace tmv
