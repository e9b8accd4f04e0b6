// Real-time soak: the in-process emulated logger sends N real-time records on
// the virtual clock with junk bytes, lost bytes and broken-off records mixed
// in at known rates; the collection must take every whole record exactly once
// and in order, never turn a damaged one into a reading, and keep its memory
// flat. Usage: tmv-rt-soak [RECORDS] [--seed N] (default 1000000 records, the
// emulator's default noise seed). Exit 0 when it holds.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>

#include "link/Connection.h"
#include "platform/Clock.h"
#include "platform/ScriptedUserInterface.h"
#include "retrieval/RealTime.h"
#include "shell/AppState.h"
#include "sim/LoggerEmulator.h"
#include "support/RealTimeDeployment.h"

using namespace tmv;

namespace {

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

// The scripted interface keeps every status text for tests to look at; a
// million rows of them would be the soak's own growth, not the program's.
class SoakUserInterface : public ScriptedUserInterface {
 public:
  void SetStatusText(const std::string& text, bool warningIcon) override {
    last = text;
    warning = warningIcon;
  }
  std::string last;
};

}  // namespace

int main(int argc, char** argv) {
  long wanted = 1000000;
  uint32_t seed = sim::Faults{}.rtSeed;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::printf("usage: tmv-rt-soak [RECORDS] [--seed N]\n"
                  "Sends RECORDS (default 1000000) real-time records from the emulated logger with junk,\n"
                  "lost bytes and broken-off records mixed in (noise seed N, default %u) and checks\n"
                  "that every whole record is taken once, in order, and no damaged one is taken.\n",
                  seed);
      return 0;
    }
    if (arg == "--seed" && i + 1 < argc) {
      const long v = std::atol(argv[++i]);
      if (v <= 0) return std::fprintf(stderr, "tmv-rt-soak: --seed wants a positive number\n"), 2;
      seed = static_cast<uint32_t>(v);
    } else if (std::atol(arg.c_str()) > 0) {
      wanted = std::atol(arg.c_str());
    } else {
      std::fprintf(stderr, "usage: tmv-rt-soak [RECORDS] [--seed N]\n");
      return 2;
    }
  }
  VirtualClock clock;
  SoakUserInterface ui;
  sim::LoggerEmulator emulator(sim::ProfileByName("QN-760"), clock.LocalTime());
  sim::EmulatedSerialSystem serial(emulator, clock);
  AppState state(serial, clock, ui);
  state.ports.devices = serial.ListDevices();
  state.ports.portPresent[1] = true;
  state.ports.loggerPort = 1;
  char pattern[] = "/tmp/tmv-rt-soak-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  state.directories.work = dir;

  // A deployment with binary real-time output, every second, starting now.
  if (ConnectLogger(state) != 1) return std::fprintf(stderr, "no logger\n"), 1;
  // A million records at 1 s take 11.6 days.
  if (!test::EnableRealTimeDeployment(state, emulator, clock, 30)) {
    for (const auto& b : ui.boxes) std::fprintf(stderr, "box: %s\n", b.text.c_str());
    for (const auto& c : emulator.CommandLog()) std::fprintf(stderr, "cmd: %s\n", c.c_str());
    return std::fprintf(stderr, "not enabled\n"), 1;
  }
  // Only the line carries the readings, so the logger's memory never fills.
  emulator.profile().deployment.startCharacteristic[1] |= 1;

  sim::Faults& f = emulator.faults();
  f.rtJunkRate = 0.02;
  f.rtDropRate = 0.01;
  f.rtBreakRate = 0.01;
  f.rtSeed = seed;
  std::deque<std::string> expected;  // whole records sent and not yet received
  long sent = 0, whole = 0;
  std::deque<std::pair<std::string,bool>> ring;
  emulator.OnRealTimeRecord([&](const std::string& record, bool intact) {
    ring.push_back({record,intact}); if (ring.size()>8) ring.pop_front();
    ++sent;
    if (!intact) return;
    ++whole;
    expected.push_back(record);
  });

  state.realTime.filePath = dir + "/soak.hex";
  if (StartRealTime(state) != 1) return std::fprintf(stderr, "not started\n"), 1;
  long received = 0, missed = 0, invented = 0;
  long rssAtTenth = -1;
  const auto started = std::chrono::steady_clock::now();
  long idle = 0;
  while (received + missed < wanted && idle < 1000) {
    clock.Advance(state.realTime.tickPeriodMs);
    if (RealTimeTick(state) == 0) ++idle;
    else idle = 0;
    for (const RealTimeRecord& r : state.realTime.records) {
      const std::vector<uint8_t> bytes = EncodeBinaryRecord(r);
      const std::string text(bytes.begin(), bytes.end());
      // A record never sent whole was made of damaged bytes; it leaves the
      // records still awaited alone.
      if (std::find(expected.begin(), expected.end(), text) == expected.end()) {
        if (invented < 5) {
          std::fprintf(stderr, "taken but never sent whole:");
          for (uint8_t b : bytes) std::fprintf(stderr, " %02X", b);
          std::fprintf(stderr, "\n");
        }
        ++invented;
        for (auto& [rec,in] : ring) { std::fprintf(stderr, "%s", in?"  ok ":"  BAD"); for (unsigned char b: rec) std::fprintf(stderr," %02X",b); std::fprintf(stderr,"\n"); }
        continue;
      }
      // Whole records sent before this one and never received were lost.
      while (expected.front() != text) {
        expected.pop_front();
        ++missed;
      }
      expected.pop_front();
      ++received;
    }
    if (rssAtTenth < 0 && received >= wanted / 10) rssAtTenth = ResidentKilobytes();
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  const long rssAtEnd = ResidentKilobytes();
  const RecordCounters& c = state.realTime.counters;
  std::printf("noise seed %u\n", seed);
  std::printf("records sent %ld (whole %ld), received %ld, lost %ld, invented %ld\n", sent, whole, received, missed,
              invented);
  std::printf("junk bytes dropped %llu, damaged records rejected %llu\n",
              static_cast<unsigned long long>(c.droppedBytes), static_cast<unsigned long long>(c.badChecksums));
  std::printf("rows in the DataSet %d, HEX file %lld bytes of data\n", state.retrieval.data.sampleCount,
              state.realTime.fileBytes);
  std::printf("RSS at 10%%: %ld kB, at the end: %ld kB\n", rssAtTenth, rssAtEnd);
  std::printf("time per record: %.2f us\n", received > 0 ? seconds * 1e6 / static_cast<double>(received) : 0.0);
  std::filesystem::remove_all(dir);
  bool ok = missed == 0 && invented == 0 && received >= wanted;
  // Growth past the first tenth: the emulator's own bookkeeping and the
  // allocator's slack only; the DataSet was sized at the start.
  if (rssAtTenth > 0 && rssAtEnd - rssAtTenth > 16 * 1024) {
    std::printf("memory grew by %ld kB\n", rssAtEnd - rssAtTenth);
    ok = false;
  }
  std::printf("%s\n", ok ? "SOAK OK" : "SOAK FAILED");
  return ok ? 0 : 1;
}
