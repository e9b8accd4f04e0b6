// What tmv-logger-sim accepts on its command line and what it refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/ServerOptions.h"

namespace tmv::sim {
namespace {

bool Parse(const std::vector<std::string>& args, ServerOptions& o, std::string& error) {
  return ParseServerOptions(args, o, error);
}

TEST(SimServerOptions, UnknownModelsAndRatesAreRefusedNotReplaced) {
  const std::vector<std::vector<std::string>> refused = {
      {"--model", "KM-3190"}, {"--model", ""},        {"--baud", "12345"}, {"--baud", "0"},
      {"--baud", "-9600"},    {"--baud", "19200x"},   {"--baud"},          {"--serial", "abc"},
      {"--record", "-1"},     {"--faults", "loud"},   {"--faults", "late=x"}, {"--modle", "QN-760"},
  };
  for (const auto& args : refused) {
    ServerOptions o;
    std::string error;
    EXPECT_FALSE(Parse(args, o, error)) << args[0] << " " << (args.size() > 1 ? args[1] : "");
    EXPECT_FALSE(error.empty());
  }
  ServerOptions o;
  std::string error;
  ASSERT_FALSE(Parse({"--model", "KM-3190"}, o, error));
  EXPECT_NE(error.find("KM-3190"), std::string::npos);
  EXPECT_NE(error.find("KM-3180"), std::string::npos);  // the known names are listed
}

// The man page is made from --help and --version; either one must stop the
// parse before a later bad argument refuses the command line.
TEST(SimServerOptions, HelpAndVersionAnswerWhateverFollows) {
  ServerOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--version", "--model", "nonsense"}, o, error)) << error;
  EXPECT_TRUE(o.version);
  EXPECT_FALSE(o.help);
  ServerOptions h;
  ASSERT_TRUE(Parse({"--help", "--baud", "1"}, h, error)) << error;
  EXPECT_TRUE(h.help);
  EXPECT_NE(ServerUsage().find("--version"), std::string::npos);
}

TEST(SimServerOptions, KnownModelsRatesAndFaultsAreServed) {
  ServerOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--model", "KM-3180", "--baud", "2400", "--serial", "4242", "--faults", "junk=2,late=100"}, o,
                    error))
      << error;
  EXPECT_EQ(o.profile.model, "KM-3180");
  EXPECT_EQ(o.profile.baud, 2400);
  EXPECT_EQ(o.profile.serialNumber, 4242);
  EXPECT_EQ(o.faults.junkBeforeReply, 2);
  EXPECT_EQ(o.faults.lateReplyMs, 100);
  ServerOptions d;
  ASSERT_TRUE(Parse({}, d, error));
  EXPECT_EQ(d.profile.model, "QN-760");
  EXPECT_EQ(d.profile.baud, 19200);
  for (const std::string& name : ProfileNames()) {
    ServerOptions each;
    EXPECT_TRUE(Parse({"--model", name}, each, error)) << name;
    EXPECT_EQ(each.profile.name, name);
  }
  EXPECT_NE(ServerUsage().find("KZM-5170"), std::string::npos);
}

}  // namespace
}  // namespace tmv::sim

namespace tmv::sim {
namespace {

// When the first reply byte of "T" is due, sent at t = 0 at 19200 baud.
int64_t FirstReplyByteMs(int latencyMs) {
  Profile p = ProfileByName("QN-760");
  p.replyLatencyMs = latencyMs;
  LoggerEmulator e(p);
  const uint8_t t = 'T';
  e.Receive(&t, 1, 19200, 0);
  return e.NextByteTimeMs();
}

TEST(SimReplyLatency, TheReplyWaitsForTheLoggersOwnLatency) {
  // One byte at 19200 baud is 0.52 ms each way.
  EXPECT_EQ(FirstReplyByteMs(0), 2);
  EXPECT_EQ(FirstReplyByteMs(2), 4);  // the default
  EXPECT_EQ(FirstReplyByteMs(40), 42);
  EXPECT_EQ(Profile{}.replyLatencyMs, 2);
  ServerOptions o;
  std::string error;
  ASSERT_TRUE(ParseServerOptions({"--reply-latency", "25"}, o, error)) << error;
  EXPECT_EQ(o.profile.replyLatencyMs, 25);
  EXPECT_FALSE(ParseServerOptions({"--reply-latency", "-3"}, o, error));
  EXPECT_FALSE(ParseServerOptions({"--reply-latency", "soon"}, o, error));
}

TEST(SimDownloadFaults, OptionsSetTheSharesTheSilenceAndThePacing) {
  ServerOptions o;
  std::string error;
  ASSERT_TRUE(ParseServerOptions({"--faults", "badblock=20,dropblock=5,silence=3000,silenceat=2", "--no-pace"}, o,
                                 error))
      << error;
  EXPECT_EQ(o.faults.badBlockPercent, 20);
  EXPECT_EQ(o.faults.dropBlockPercent, 5);
  EXPECT_EQ(o.faults.silenceOnceMs, 3000);
  EXPECT_EQ(o.faults.silenceAfterReads, 2);
  EXPECT_FALSE(o.paced);
  ServerOptions d;
  ASSERT_TRUE(ParseServerOptions({"--faults", "badblock,silence", "--pace"}, d, error)) << error;
  EXPECT_EQ(d.faults.badBlockPercent, 10);
  EXPECT_EQ(d.faults.silenceOnceMs, 6000);
  EXPECT_TRUE(d.paced);
  EXPECT_FALSE(ParseServerOptions({"--faults", "badblock=lots"}, d, error));
}

// A paced reply takes the line time of its bytes; an unpaced one is due at once.
TEST(SimDownloadFaults, PacedRepliesTakeTheLineTime) {
  for (bool paced : {true, false}) {
    Profile p = ProfileByName("QN-760");
    p.replyLatencyMs = 0;
    LoggerEmulator e(p);
    e.SetPaced(paced);
    e.RecordSamples(200, 0);
    const std::string read = "I" + std::string("c0030000") + "00000000";  // 960 bytes from 0
    e.Receive(reinterpret_cast<const uint8_t*>(read.data()), read.size(), 19200, 0);
    std::vector<uint8_t> out(2000);
    const size_t early = e.Transmit(out.data(), out.size(), 20);
    const size_t all = e.Transmit(out.data(), out.size(), 1000);
    if (paced) {
      EXPECT_LT(early, 961u);
      EXPECT_EQ(early + all, 961u);
    } else {
      EXPECT_EQ(early, 961u);
    }
  }
}

}  // namespace
}  // namespace tmv::sim
