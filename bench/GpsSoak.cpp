// GPS soak: sentences of the GPS emulator, with corrupt ones mixed in at a
// known rate, through the emulated second port and ReadGpsPosition on the
// virtual clock. Fails when a corrupt sentence becomes a position, a valid
// one does not, or memory grows; prints the time per sentence.
//   tmv-gps-soak [SENTENCES]   (default 1000000)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <string>

#include "link/LoggerLink.h"
#include "platform/Clock.h"
#include "platform/ScriptedUserInterface.h"
#include "retrieval/Gps.h"
#include "shell/AppState.h"
#include "sim/Gps.h"
#include "sim/LoggerEmulator.h"

namespace {

// Resident set size in KiB (0 where /proc is missing).
long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * 4;
}

}  // namespace

int main(int argc, char** argv) {
  const long long target = argc > 1 ? std::atoll(argv[1]) : 1000000;
  if (target <= 0) {
    std::fprintf(stderr, "usage: tmv-gps-soak [SENTENCES]\n");
    return 2;
  }
  tmv::VirtualClock clock;
  tmv::ScriptedUserInterface ui;
  tmv::sim::LoggerEmulator logger(tmv::sim::ProfileByName("QN-760"), clock.LocalTime());
  tmv::sim::EmulatedSerialSystem serial(logger, clock);
  tmv::sim::GpsOptions options;
  options.corruptRate = 0.05;
  options.seed = 20261209;
  options.intervalMs = 100;  // ten fixes a second, so the virtual seconds stay few
  options.baud = 115200;
  options.latitude = -41.2;
  options.longitude = 174.8;
  options.vtg = true;
  options.speedKnots = 25;
  tmv::sim::GpsEmulator gps(options);
  serial.AttachGps(gps);
  tmv::AppState state(serial, clock, ui);
  state.ports.devices = serial.ListDevices();
  state.ports.gpsPort = 2;
  state.ports.gpsBaud = options.baud;
  if (!tmv::OpenGpsLink(state)) {
    std::fprintf(stderr, "gps soak: the emulated GPS port did not open\n");
    return 1;
  }

  // The positions of the valid GGA and GLL sentences on the line, oldest first.
  std::deque<std::string> expected;
  gps.onSentence = [&](const std::string& sentence, bool corrupt) {
    const std::string kind = sentence.size() > 6 ? sentence.substr(3, 3) : std::string();
    if (!corrupt && (kind == "GGA" || kind == "GLL")) expected.push_back(gps.fixPositionText);
  };
  long long wrong = 0;
  state.gps.onSentence = [&](std::string_view, tmv::NmeaResult result) {
    if (result != tmv::NmeaResult::Position) return;
    if (expected.empty() || expected.front() != state.gps.positionText) ++wrong;
    if (!expected.empty()) expected.pop_front();
  };

  const auto start = std::chrono::steady_clock::now();
  long baseline = 0;
  size_t largestBacklog = 0;
  while (static_cast<long long>(gps.sentences) < target) {
    tmv::ReadGpsPosition(state);
    clock.Advance(5);
    if (baseline == 0 && static_cast<long long>(gps.sentences) >= target / 10) baseline = ResidentKiB();
    largestBacklog = std::max(largestBacklog, expected.size());
  }
  // What is still on the line is read out before the count.
  for (int i = 0; i < 50; ++i) {
    tmv::ReadGpsPosition(state);
    clock.Advance(5);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const long grown = ResidentKiB() - baseline;

  const uint64_t valid = gps.positionSentences;
  std::printf("gps soak: %llu sentences (%llu corrupt, %llu valid positions), %llu positions parsed, %llu rejected\n",
              static_cast<unsigned long long>(gps.sentences), static_cast<unsigned long long>(gps.corrupt),
              static_cast<unsigned long long>(valid), static_cast<unsigned long long>(state.gps.positions),
              static_cast<unsigned long long>(state.gps.rejected));
  std::printf("gps soak: %.3f us per sentence, memory grew %ld KiB after the first tenth, backlog at most %zu\n",
              seconds * 1e6 / static_cast<double>(gps.sentences), grown, largestBacklog);
  int failures = 0;
  const uint64_t parsed = state.gps.positions;
  if (wrong != 0) {
    std::printf("FAIL: %lld positions parsed that were not the next valid sentence's\n", wrong);
    ++failures;
  }
  if (parsed + expected.size() != valid || expected.size() > 2) {
    std::printf("FAIL: %llu valid positions sent, %llu parsed, %zu unread\n", static_cast<unsigned long long>(valid),
                static_cast<unsigned long long>(parsed), expected.size());
    ++failures;
  }
  if (gps.corrupt == 0 || state.gps.rejected < gps.corrupt / 2) {
    std::printf("FAIL: corrupt sentences were not rejected (%llu sent, %llu rejected)\n",
                static_cast<unsigned long long>(gps.corrupt), static_cast<unsigned long long>(state.gps.rejected));
    ++failures;
  }
  if (baseline > 0 && grown > 1024) {
    std::printf("FAIL: memory grew by %ld KiB\n", grown);
    ++failures;
  }
  if (!ui.boxes.empty()) {
    std::printf("FAIL: a message was shown: %s\n", ui.boxes.front().text.c_str());
    ++failures;
  }
  tmv::CloseLink(state, state.gpsLink, state.ports.gpsPort);
  std::printf(failures == 0 ? "gps soak: PASS\n" : "gps soak: FAILED\n");
  return failures == 0 ? 0 : 1;
}
