#include "platform/Clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace tmv {

namespace {
// Seconds between 1601-01-01 and 1970-01-01.
constexpr uint64_t kUnixEpochSeconds = 11644473600ULL;
}  // namespace

LoggerTime SystemClock::LocalTime() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const auto sinceEpoch = now.time_since_epoch();
  const std::time_t seconds = static_cast<std::time_t>(duration_cast<std::chrono::seconds>(sinceEpoch).count());
  const auto ms = duration_cast<milliseconds>(sinceEpoch).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  LoggerTime t;
  t.year = static_cast<uint16_t>(local.tm_year + 1900);
  t.month = static_cast<uint16_t>(local.tm_mon + 1);
  t.dayOfWeek = static_cast<uint16_t>(local.tm_wday);
  t.day = static_cast<uint16_t>(local.tm_mday);
  t.hour = static_cast<uint16_t>(local.tm_hour);
  t.minute = static_cast<uint16_t>(local.tm_min);
  // A leap second shows as :59 so that the value stays a valid clock.
  t.second = static_cast<uint16_t>(local.tm_sec > 59 ? 59 : local.tm_sec);
  t.milliseconds = static_cast<uint16_t>(ms < 0 ? 0 : ms);
  return t;
}

int64_t SystemClock::Milliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t SystemClock::CalendarSeconds() {
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

void SystemClock::DelayMs(int ms) {
  // Waits on the same process clock the interval meter reads, sleeping
  // rather than spinning so that a long protocol wait costs no CPU.
  if (ms <= 0) return;
  const int64_t end = Milliseconds() + ms;
  for (int64_t now = Milliseconds(); now < end; now = Milliseconds())
    std::this_thread::sleep_for(std::chrono::milliseconds(end - now));
}

VirtualClock::VirtualClock(LoggerTime start) : startTicks_(ToTicks(start)) {}

LoggerTime VirtualClock::LocalTime() {
  return FromTicks(startTicks_ + static_cast<uint64_t>(nowMs_) * kTicksPerMillisecond);
}

int64_t VirtualClock::CalendarSeconds() {
  const uint64_t ticks = startTicks_ + static_cast<uint64_t>(nowMs_) * kTicksPerMillisecond;
  return static_cast<int64_t>(ticks / kTicksPerSecond) - static_cast<int64_t>(kUnixEpochSeconds);
}

void VirtualClock::SetLocalTime(const LoggerTime& t) {
  // Keep the process clock monotonic; only the calendar moves.
  const uint64_t wanted = ToTicks(t);
  const uint64_t elapsed = static_cast<uint64_t>(nowMs_) * kTicksPerMillisecond;
  startTicks_ = wanted >= elapsed ? wanted - elapsed : 0;
}

}  // namespace tmv
