// The tool's JSON names every channel the same way, whichever command
// prints it: in-process on the emulated logger.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>

#include "support/CliRig.h"

namespace tmv {
namespace {

// Every channel named the same way by every command that prints JSON.
TEST(CliJson, EachChannelHasOneLabelAndOneUnitInEveryOutput) {
  test::CliRig rig;
  rig.emulator.RecordSamples(50, rig.clock.Milliseconds());
  std::map<std::string, std::string> outputs;
  ASSERT_EQ(rig.Run({"config", "--json"}), 0) << rig.err.str();
  outputs["config"] = rig.out.str();
  ASSERT_EQ(rig.Run({"calibration", "--json"}), 0) << rig.err.str();
  outputs["calibration"] = rig.out.str();
  ASSERT_EQ(rig.Run({"live", "--json"}), 0) << rig.err.str();
  outputs["live"] = rig.out.str();
  ASSERT_EQ(rig.Run({"download", "-o", rig.Path("run.dat")}), 0) << rig.err.str();
  ASSERT_EQ(rig.Run({"info", rig.Path("hex/run.hex"), "--json"}), 0) << rig.err.str();
  outputs["info"] = rig.out.str();

  const std::regex channel(R"re(\{"number":(\d+),"label":"([^"]*)","unit":"([^"]*)")re");
  std::map<std::string, std::set<std::string>> named;  // channel number -> "label [unit]" seen
  for (const auto& [command, text] : outputs) {
    int found = 0;
    for (std::sregex_iterator m(text.begin(), text.end(), channel), end; m != end; ++m, ++found) {
      const std::string label = (*m)[2];
      EXPECT_TRUE(std::regex_match(label, std::regex(R"([A-Za-z].*\S)"))) << command << ": '" << label << "'";
      named[(*m)[1]].insert(label + " [" + std::string((*m)[3]) + "]");
    }
    EXPECT_EQ(found, rig.state.logger.channelCount) << command << ": " << text;
  }
  for (const auto& [number, names] : named) EXPECT_EQ(names.size(), 1u) << "channel " << number;
}

}  // namespace
}  // namespace tmv
