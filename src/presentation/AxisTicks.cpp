#include "presentation/AxisTicks.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace tmv {

ValueTicks NiceTicks(double low, double high, int maxTicks) {
  ValueTicks t;
  if (low > high) std::swap(low, high);
  const double span = high - low;
  if (!(span > 0) || !std::isfinite(span) || maxTicks < 1) return t;
  const double raw = span / maxTicks;
  double power = std::pow(10.0, std::floor(std::log10(raw)));
  double step = 0;
  for (;;) {
    for (double m : {1.0, 2.0, 5.0})
      if (m * power >= raw * (1 - 1e-9)) {
        step = m * power;
        break;
      }
    if (step > 0) break;
    power *= 10;
  }
  t.step = step;
  t.decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
  const double first = std::ceil(low / step - 1e-9);
  const double last = std::floor(high / step + 1e-9);
  for (double k = first; k <= last && t.values.size() < 1000; ++k) t.values.push_back(k * step);
  return t;
}

std::string TickText(double value, int decimals) {
  char buffer[64];
  decimals = std::clamp(decimals, 0, 12);
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  std::string text = buffer;
  // A value that rounds to zero is written without a sign.
  if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

int DecimalsForStep(double step) {
  if (!(step > 0) || !std::isfinite(step)) return 4;
  return std::clamp(2 - static_cast<int>(std::floor(std::log10(step) + 1e-9)), 0, 6);
}

namespace {

constexpr uint64_t kTicksPerDay = 86400ULL * kTicksPerSecond;

constexpr std::array<TimeStep, 30> kSteps = {{
    {TimeUnit::Second, 1}, {TimeUnit::Second, 2}, {TimeUnit::Second, 5}, {TimeUnit::Second, 10},
    {TimeUnit::Second, 15}, {TimeUnit::Second, 30}, {TimeUnit::Minute, 1}, {TimeUnit::Minute, 2},
    {TimeUnit::Minute, 5}, {TimeUnit::Minute, 10}, {TimeUnit::Minute, 15}, {TimeUnit::Minute, 30},
    {TimeUnit::Hour, 1}, {TimeUnit::Hour, 2}, {TimeUnit::Hour, 3}, {TimeUnit::Hour, 6},
    {TimeUnit::Hour, 12}, {TimeUnit::Day, 1}, {TimeUnit::Day, 2}, {TimeUnit::Day, 7},
    {TimeUnit::Day, 14}, {TimeUnit::Month, 1}, {TimeUnit::Month, 2}, {TimeUnit::Month, 3},
    {TimeUnit::Month, 6}, {TimeUnit::Year, 1}, {TimeUnit::Year, 2}, {TimeUnit::Year, 5},
    {TimeUnit::Year, 10}, {TimeUnit::Year, 20},
}};

bool DayMatches(int day, int count) {
  switch (count) {
    case 1: return true;
    case 2: return day % 2 == 1;
    case 7: return day == 1 || day == 8 || day == 15 || day == 22;
    default: return day == 1 || day == 15;
  }
}

LoggerTime Midnight(uint64_t ticks) {
  LoggerTime t = FromTicks(ticks - ticks % kTicksPerDay);
  return t;
}

}  // namespace

double TimeStep::Seconds() const {
  switch (unit) {
    case TimeUnit::Second: return count;
    case TimeUnit::Minute: return count * 60.0;
    case TimeUnit::Hour: return count * 3600.0;
    case TimeUnit::Day: return count * 86400.0;
    case TimeUnit::Month: return count * 30.436875 * 86400.0;
    case TimeUnit::Year: return count * 365.2425 * 86400.0;
  }
  return count;
}

bool operator==(const TimeStep& a, const TimeStep& b) { return a.unit == b.unit && a.count == b.count; }

TimeStep ChooseTimeStep(double minSeconds) {
  for (const TimeStep& s : kSteps)
    if (s.Seconds() >= minSeconds) return s;
  // Beyond the table: whole decades, centuries ... of years.
  TimeStep s{TimeUnit::Year, 50};
  while (s.Seconds() < minSeconds && s.count < 100000) s.count *= 2;
  return s;
}

std::vector<uint64_t> CalendarTicks(uint64_t from, uint64_t to, TimeStep step) {
  std::vector<uint64_t> out;
  if (from > to) return out;
  constexpr size_t kMost = 10000;  // a caller's bad step never runs away
  if (step.unit == TimeUnit::Second || step.unit == TimeUnit::Minute || step.unit == TimeUnit::Hour) {
    // Every such step divides a day, and tick 0 is a midnight.
    const uint64_t each = static_cast<uint64_t>(step.Seconds()) * kTicksPerSecond;
    for (uint64_t t = (from + each - 1) / each * each; t <= to && out.size() < kMost; t += each) out.push_back(t);
    return out;
  }
  if (step.unit == TimeUnit::Day) {
    for (uint64_t t = (from + kTicksPerDay - 1) / kTicksPerDay * kTicksPerDay; t <= to && out.size() < kMost; t += kTicksPerDay)
      if (DayMatches(FromTicks(t).day, step.count)) out.push_back(t);
    return out;
  }
  LoggerTime t = Midnight(from);
  t.day = 1;
  t.hour = t.minute = t.second = t.milliseconds = 0;
  if (step.unit == TimeUnit::Year) t.month = 1;
  while (out.size() < kMost) {
    const bool matches = step.unit == TimeUnit::Month ? (t.month - 1) % step.count == 0 : t.year % step.count == 0;
    const uint64_t ticks = ToTicks(t);
    if (ticks > to) break;
    if (matches && ticks >= from) out.push_back(ticks);
    if (step.unit == TimeUnit::Month) {
      if (++t.month > 12) {
        t.month = 1;
        ++t.year;
      }
    } else {
      ++t.year;
    }
    if (t.year > 9999) break;
  }
  return out;
}

std::string TimeTickText(const LoggerTime& t, TimeStep step) {
  char buffer[32];
  switch (step.unit) {
    case TimeUnit::Second: std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", t.hour, t.minute, t.second); break;
    case TimeUnit::Minute:
    case TimeUnit::Hour: std::snprintf(buffer, sizeof buffer, "%02d:%02d", t.hour, t.minute); break;
    case TimeUnit::Day: std::snprintf(buffer, sizeof buffer, "%s/%02d", MonthName(t.month), t.day); break;
    case TimeUnit::Month: std::snprintf(buffer, sizeof buffer, "%s", MonthName(t.month)); break;
    case TimeUnit::Year: std::snprintf(buffer, sizeof buffer, "%04d", t.year); break;
  }
  return buffer;
}

std::string TimeTickDate(const LoggerTime& t, TimeStep step) {
  char buffer[32];
  switch (step.unit) {
    case TimeUnit::Second:
    case TimeUnit::Minute:
    case TimeUnit::Hour: std::snprintf(buffer, sizeof buffer, "%04d/%s/%02d", t.year, MonthName(t.month), t.day); break;
    case TimeUnit::Day:
    case TimeUnit::Month: std::snprintf(buffer, sizeof buffer, "%04d", t.year); break;
    case TimeUnit::Year: return {};
  }
  return buffer;
}

}  // namespace tmv
