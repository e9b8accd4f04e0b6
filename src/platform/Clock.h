#pragma once
// Time as the outside world provides it: host local time, a millisecond
// process clock and the busy-wait pause used for every protocol wait.
#include <cstdint>

#include "model/LoggerTime.h"

namespace tmv {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LoggerTime LocalTime() = 0;       // host local wall-clock time
  virtual int64_t Milliseconds() = 0;       // monotonic process clock
  virtual int64_t CalendarSeconds() = 0;    // whole seconds of calendar time
  virtual void DelayMs(int ms) = 0;         // returns after ms milliseconds
};

// The real clock of the host.
class SystemClock : public Clock {
 public:
  LoggerTime LocalTime() override;
  int64_t Milliseconds() override;
  int64_t CalendarSeconds() override;
  void DelayMs(int ms) override;
};

// A clock that only moves when told to (or when something waits on it), so
// that protocol waits and time-outs cost no real time in tests.
class VirtualClock : public Clock {
 public:
  explicit VirtualClock(LoggerTime start = LoggerTime{2010, 6, 0, 7, 15, 30, 0, 0});
  LoggerTime LocalTime() override;
  int64_t Milliseconds() override { return nowMs_; }
  int64_t CalendarSeconds() override;
  void DelayMs(int ms) override { Advance(ms); }

  void Advance(int64_t ms) { if (ms > 0) nowMs_ += ms; }
  void SetLocalTime(const LoggerTime& t);

 private:
  int64_t nowMs_ = 0;
  uint64_t startTicks_ = 0;  // host calendar time at nowMs_ == 0
};

}  // namespace tmv
