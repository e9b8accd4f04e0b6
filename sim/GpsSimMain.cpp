// tmv-gps-sim: serves an emulated GPS receiver on a pseudo-terminal.
// The slave path is the first line of standard output; NMEA sentences of a
// moving ship follow on it until SIGTERM or SIGINT.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "sim/Gps.h"
#include "sim/PtyServer.h"

namespace {

const char kUsage[] =
    "Usage: tmv-gps-sim [OPTIONS]\n"
    "Serves NMEA GGA and GLL sentences of a moving ship on a pseudo-terminal\n"
    "and prints its path.\n\n"
    "  --lat DEG          start latitude, negative south (default 44.6488)\n"
    "  --lon DEG          start longitude, negative west (default -63.5752)\n"
    "  --speed KNOTS      speed over ground (default 10)\n"
    "  --course DEG       course over ground, true (default 45)\n"
    "  --rate PER_SECOND  fixes a second, each a GGA and a GLL (default 1)\n"
    "  --corrupt SHARE    share of sentences sent damaged, 0..1 (default 0)\n"
    "  --seed N           seed of the damage (default 1)\n"
    "  --baud B           line rate the sentences are paced at (default 4800)\n"
    "  --talker XX        talker identifier (default GP)\n"
    "  --vtg              also send a VTG sentence after each fix\n"
    "  --help\n";

bool ReadNumber(const std::string& text, double low, double high, double& value) {
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && end != nullptr && *end == '\0' && value >= low && value <= high;
}

// false with a message for an unknown option or a value out of range.
bool ParseOptions(const std::vector<std::string>& args, tmv::sim::GpsOptions& o, bool& help, std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help") {
      help = true;
      continue;
    }
    if (a == "--vtg") {
      o.vtg = true;
      continue;
    }
    if (i + 1 >= args.size()) {
      error = "unknown option or missing value: " + a;
      return false;
    }
    const std::string& v = args[++i];
    double x = 0;
    bool ok = true;
    if (a == "--lat") ok = ReadNumber(v, -89.9, 89.9, o.latitude);
    else if (a == "--lon") ok = ReadNumber(v, -180, 180, o.longitude);
    else if (a == "--speed") ok = ReadNumber(v, 0, 1000, o.speedKnots);
    else if (a == "--course") ok = ReadNumber(v, 0, 360, o.courseDegrees);
    else if (a == "--corrupt") ok = ReadNumber(v, 0, 1, o.corruptRate);
    else if (a == "--rate") {
      ok = ReadNumber(v, 0.01, 20, x);
      o.intervalMs = static_cast<int>(1000.0 / x + 0.5);
    } else if (a == "--seed") {
      ok = ReadNumber(v, 0, 4294967295.0, x);
      o.seed = static_cast<uint32_t>(x);
    } else if (a == "--baud") {
      ok = ReadNumber(v, 1200, 115200, x);
      o.baud = static_cast<int>(x);
    } else if (a == "--talker") {
      ok = v.size() == 2;
      o.talker = v;
    } else {
      error = "unknown option: " + a;
      return false;
    }
    if (!ok) {
      error = "bad value for " + a + ": " + v;
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  tmv::sim::GpsOptions options;
  bool help = false;
  std::string error;
  if (!ParseOptions(std::vector<std::string>(argv + 1, argv + argc), options, help, error)) {
    std::fprintf(stderr, "tmv-gps-sim: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  if (help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  tmv::sim::GpsEmulator gps(options);

  tmv::sim::TakeStopSignalsSynchronously();
  tmv::sim::PtyServer pty;
  if (!OpenPtyServer("tmv-gps-sim", B0, pty)) return 1;
  const int master = pty.master;
  std::printf("%s\n", pty.slavePath.c_str());
  std::fflush(stdout);

  const auto origin = std::chrono::steady_clock::now();
  const auto nowMs = [&] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - origin).count();
  };
  std::string pendingOut;
  std::vector<uint8_t> buffer(1024);
  std::vector<char> discard(4096);
  for (;;) {
    if (tmv::sim::StopRequested()) break;
    // A GPS does not listen: whatever the host writes is thrown away.
    while (read(master, discard.data(), discard.size()) > 0) {
    }
    size_t n;
    while (pendingOut.size() < 65536 && (n = gps.Transmit(buffer.data(), buffer.size(), nowMs())) > 0)
      pendingOut.append(reinterpret_cast<const char*>(buffer.data()), n);
    // Nobody reading: the oldest bytes go, as a real receiver's would.
    if (pendingOut.size() >= 65536) pendingOut.erase(0, pendingOut.size() / 2);
    tmv::sim::WritePending(master, pendingOut);
    const int64_t wait = std::max<int64_t>(1, std::min<int64_t>(20, gps.NextByteTimeMs() - nowMs()));
    std::this_thread::sleep_for(std::chrono::milliseconds(wait));
  }
  return 0;
}
