#pragma once
// The GPS emulator: NMEA sentences of a ship moving at a set speed and course,
// one fix per interval, paced at the line rate, with corrupt sentences at a
// chosen rate (fixed seed). A pure byte engine like the logger emulator: the
// emulated serial system serves it in-process, tmv-gps-sim on a pty.
#include <cstdint>
#include <deque>
#include <functional>
#include <random>
#include <string>

namespace tmv::sim {

struct GpsOptions {
  double latitude = 44.6488;    // degrees, negative south
  double longitude = -63.5752;  // degrees, negative west
  double speedKnots = 10.0;
  double courseDegrees = 45.0;  // true, clockwise from north
  int intervalMs = 1000;        // between fixes
  int baud = 4800;
  double corruptRate = 0.0;     // share of sentences sent damaged, 0..1
  uint32_t seed = 1;
  std::string talker = "GP";
  bool gga = true, gll = true;
  bool vtg = false;             // a course-and-speed sentence after each fix (neither GGA nor GLL)
  int startSecondOfDay = 12 * 3600;  // UTC time of the first fix
};

// A position in the form the program stores it: " %.4f,%c,%.4f,%c".
std::string GpsPositionText(double latitude, double longitude);
// NMEA's "*hh" for the text between '$' and '*'.
std::string NmeaChecksum(const std::string& body);

class GpsEmulator {
 public:
  explicit GpsEmulator(GpsOptions options = {});

  // Copies up to max bytes due by nowMs; returns the count.
  size_t Transmit(uint8_t* out, size_t max, int64_t nowMs);
  // When the next byte is due (a GPS always has one coming).
  int64_t NextByteTimeMs() const;
  // A GPS receiver does not listen.
  void Receive(const uint8_t*, size_t, int, int64_t) {}
  int Baud() const { return options_.baud; }

  // Where the ship is at fix k (k * intervalMs after the start).
  void PositionAtFix(int64_t k, double& latitude, double& longitude) const;
  // Told of every sentence as it is queued, with whether it was damaged.
  std::function<void(const std::string& sentence, bool corrupt)> onSentence;

  // The position of the fix being queued, as the program would store it.
  std::string fixPositionText;
  uint64_t sentences = 0, corrupt = 0, positionSentences = 0;  // positionSentences: good GGA/GLL

 private:
  void QueueFix(int64_t k);
  void Queue(std::string sentence, bool positionKind);

  GpsOptions options_;
  std::mt19937 random_;
  int64_t nextFix_ = 0;
  double lineFreeMs_ = 0;  // when the line is free for the next byte
  std::deque<std::pair<int64_t, uint8_t>> outbox_;  // (due, byte)
};

}  // namespace tmv::sim
