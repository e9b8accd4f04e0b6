#pragma once
// Logger time values: a local calendar date and time without a time zone, its
// text and BCD forms, the parsers of the logger's time replies and the
// calendar arithmetic on 100-nanosecond tick counts since 1601-01-01.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tmv {

// Field order and widths follow the calendar record the loggers' tools have
// always used, so that values copy straight into file headers.
struct LoggerTime {
  uint16_t year = 2000;
  uint16_t month = 1;
  uint16_t dayOfWeek = 0;  // set by conversions only; never read
  uint16_t day = 1;
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint16_t milliseconds = 0;
};

bool operator==(const LoggerTime& a, const LoggerTime& b);  // all fields but dayOfWeek

constexpr uint64_t kTicksPerSecond = 10'000'000ULL;
constexpr uint64_t kTicksPerMillisecond = 10'000ULL;

const char* MonthName(int month);  // "Jan".."Dec"; "???" outside 1..12
bool IsLeapYear(int year);         // divisible by 4 (holds for 2000-2099)

// Calendar <-> ticks (100 ns since 1601-01-01 00:00:00).
uint64_t ToTicks(const LoggerTime& t);
LoggerTime FromTicks(uint64_t ticks);  // day of week recomputed

std::string TimeToWireText(const LoggerTime& t);     // "100607153000"
std::string TimeToDisplayText(const LoggerTime& t);  // "2010/Jun/07 15:30:00"
std::string TimeToShortText(const LoggerTime& t);    // "10/06/07 15:30:00"
std::string ClockToWireText(const LoggerTime& t);    // "000100"
std::string ClockToText(const LoggerTime& t);        // "00:01:00"
std::array<uint8_t, 6> TimeToBcd(const LoggerTime& t);
LoggerTime TimeFromBcd(const uint8_t bcd[6]);  // inverse of TimeToBcd (year 2000 + YY)

// Never fail: bad replies fall back to 2000/Jan/01 00:00:00 and 00:01:00.
LoggerTime ParseTimeReply(std::string_view reply);
LoggerTime ParsePeriodReply(std::string_view reply);

// Texts of the Setup, Status and Thresholding dialogs' time fields: the
// start-time field reads "NOW" unless the deployment starts at its start
// time (startMode 0); the period field reads "6Hz profiling" in that mode.
std::string StartTimeFieldText(const LoggerTime& start, unsigned startMode);
std::string PeriodFieldText(const LoggerTime& period, bool sixHzProfiling);

// A clock value (only hour, minute and second count; not a calendar time).
LoggerTime MakeClock(int hour, int minute, int second);
uint32_t ClockSeconds(const LoggerTime& period);  // h*3600 + m*60 + s

LoggerTime AddSeconds(const LoggerTime& t, int32_t seconds);
LoggerTime AddMilliseconds(const LoggerTime& t, int32_t ms);
uint32_t SecondsBetween(const LoggerTime& a, const LoggerTime& b);       // a >= b
uint32_t MillisecondsBetween(const LoggerTime& a, const LoggerTime& b);  // a >= b
int CompareTimes(const LoggerTime& a, const LoggerTime& b);
int32_t SignedSecondsBetween(const LoggerTime& a, const LoggerTime& b);
uint32_t SecondsSince2000(const LoggerTime& t);

class Clock;

// Decides whether a real-time record follows its predecessor within one
// sampling period; keeps the previous stamp between calls.
class StampContinuity {
 public:
  void Reset() { previous_ = 0; }
  bool IsStampContinuous(const LoggerTime& t, uint32_t samplingPeriodSeconds);

 private:
  uint32_t previous_ = 0;
};

// Milliseconds since the previous call, capped at 1000 (first call: 1000).
class IntervalMeter {
 public:
  explicit IntervalMeter(Clock& clock) : clock_(clock) {}
  int MillisecondsSinceLastCall();

 private:
  Clock& clock_;
  bool started_ = false;
  int64_t last_ = 0;
};

// The 20-second countdown.
class Countdown {
 public:
  explicit Countdown(Clock& clock) : clock_(clock) {}
  void StartCountdown();
  int CountdownRemaining() const;

 private:
  Clock& clock_;
  int64_t startSeconds_ = 0;
};

// The main window's polling timer (identifier 253); the desktop program
// implements it with its own timer, the command-line tool with a loop.
class PollTimer {
 public:
  virtual ~PollTimer() = default;
  // Returns false (after the "TIMER" message box) when no timer could be made.
  virtual bool StartPollTimer(int periodMs, bool restart) = 0;
  virtual void StopPollTimer() = 0;
  virtual int PeriodMs() const = 0;
};

}  // namespace tmv
