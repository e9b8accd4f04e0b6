#include "model/LoggerTime.h"

#include <algorithm>
#include <cstdio>

#include "platform/Clock.h"

namespace tmv {

namespace {

constexpr int kLeapDays[12] = {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335};
constexpr int kCommonDays[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
constexpr uint64_t kTicksPerDay = 86400ULL * kTicksPerSecond;

// Days from 1970-01-01 to the given proleptic Gregorian date (negative before).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

// 1601-01-01 relative to 1970-01-01.
const int64_t kEpoch1601 = DaysFromCivil(1601, 1, 1);

// Reads exactly two decimal digits; false when either is not a digit.
bool ReadTwoDigits(std::string_view text, size_t pos, int& value) {
  if (pos + 2 > text.size()) return false;
  const char a = text[pos];
  const char b = text[pos + 1];
  if (a < '0' || a > '9' || b < '0' || b > '9') return false;
  value = (a - '0') * 10 + (b - '0');
  return true;
}

// Reads count two-digit fields starting at pos.
bool ReadFields(std::string_view text, size_t pos, int* fields, int count) {
  for (int i = 0; i < count; ++i) {
    if (!ReadTwoDigits(text, pos + 2 * static_cast<size_t>(i), fields[i])) return false;
  }
  return true;
}

std::string Printf(const char* fmt, int a, int b, int c, int d = 0, int e = 0, int f = 0) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, fmt, a, b, c, d, e, f);
  return buffer;
}

}  // namespace

bool operator==(const LoggerTime& a, const LoggerTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
         a.minute == b.minute && a.second == b.second && a.milliseconds == b.milliseconds;
}

const char* MonthName(int month) {
  static const char* const kNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  if (month < 1 || month > 12) return "???";
  return kNames[month - 1];
}

bool IsLeapYear(int year) { return year % 4 == 0; }

uint64_t ToTicks(const LoggerTime& t) {
  // Out-of-range months and days (from a damaged file header) roll over as
  // the calendar would rather than wrapping: month 13 is January of the next
  // year, day 0 the last day of the month before.
  int64_t year = t.year;
  int64_t month0 = static_cast<int64_t>(t.month) - 1;
  year += month0 >= 0 ? month0 / 12 : (month0 - 11) / 12;
  month0 -= (month0 >= 0 ? month0 / 12 : (month0 - 11) / 12) * 12;
  const int64_t days = DaysFromCivil(year, static_cast<unsigned>(month0 + 1), 1) - kEpoch1601 +
                       static_cast<int64_t>(t.day) - 1;
  if (days < 0) return 0;
  return static_cast<uint64_t>(days) * kTicksPerDay +
         (static_cast<uint64_t>(t.hour) * 3600 + static_cast<uint64_t>(t.minute) * 60 +
          t.second) * kTicksPerSecond +
         static_cast<uint64_t>(t.milliseconds) * kTicksPerMillisecond;
}

LoggerTime FromTicks(uint64_t ticks) {
  const uint64_t days = ticks / kTicksPerDay;
  uint64_t rest = ticks % kTicksPerDay;
  int64_t y = 0;
  unsigned m = 1, d = 1;
  CivilFromDays(static_cast<int64_t>(days) + kEpoch1601, y, m, d);
  LoggerTime t;
  t.year = static_cast<uint16_t>(y);
  t.month = static_cast<uint16_t>(m);
  t.day = static_cast<uint16_t>(d);
  // 1601-01-01 was a Monday.
  t.dayOfWeek = static_cast<uint16_t>((days + 1) % 7);
  t.hour = static_cast<uint16_t>(rest / (3600 * kTicksPerSecond));
  rest %= 3600 * kTicksPerSecond;
  t.minute = static_cast<uint16_t>(rest / (60 * kTicksPerSecond));
  rest %= 60 * kTicksPerSecond;
  t.second = static_cast<uint16_t>(rest / kTicksPerSecond);
  rest %= kTicksPerSecond;
  t.milliseconds = static_cast<uint16_t>(rest / kTicksPerMillisecond);
  return t;
}

std::string TimeToWireText(const LoggerTime& t) {
  return Printf("%02d%02d%02d%02d%02d%02d", (t.year - 2000) % 100, t.month, t.day, t.hour,
                t.minute, t.second);
}

std::string TimeToDisplayText(const LoggerTime& t) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d/%s/%02d %02d:%02d:%02d", t.year, MonthName(t.month),
                t.day, t.hour, t.minute, t.second);
  return buffer;
}

std::string TimeToShortText(const LoggerTime& t) {
  return Printf("%02d/%02d/%02d %02d:%02d:%02d", (t.year - 2000) % 100, t.month, t.day, t.hour,
                t.minute, t.second);
}

std::string ClockToWireText(const LoggerTime& t) {
  return Printf("%02d%02d%02d", t.hour, t.minute, t.second);
}

std::string ClockToText(const LoggerTime& t) {
  return Printf("%02d:%02d:%02d", t.hour, t.minute, t.second);
}

std::array<uint8_t, 6> TimeToBcd(const LoggerTime& t) {
  const int values[6] = {(t.year - 2000) % 100, t.month, t.day, t.hour, t.minute, t.second};
  std::array<uint8_t, 6> bcd{};
  for (int i = 0; i < 6; ++i) {
    int v = values[i] % 100;
    if (v < 0) v += 100;
    bcd[static_cast<size_t>(i)] = static_cast<uint8_t>(((v / 10) << 4) | (v % 10));
  }
  return bcd;
}

LoggerTime TimeFromBcd(const uint8_t bcd[6]) {
  int v[6];
  for (int i = 0; i < 6; ++i) v[i] = (bcd[i] >> 4) * 10 + (bcd[i] & 0x0F);
  LoggerTime t;
  t.year = static_cast<uint16_t>(2000 + v[0]);
  t.month = static_cast<uint16_t>(v[1]);
  t.day = static_cast<uint16_t>(v[2]);
  t.hour = static_cast<uint16_t>(v[3]);
  t.minute = static_cast<uint16_t>(v[4]);
  t.second = static_cast<uint16_t>(v[5]);
  return t;
}

LoggerTime ParseTimeReply(std::string_view reply) {
  const LoggerTime fallback{2000, 1, 0, 1, 0, 0, 0, 0};
  // The time stands in front of its tag. Bytes of an earlier reply may still
  // precede it, and a "C" among them (say of "CSP") must not be taken for the
  // tag; only a reply with none of the time tags falls back to its first "C".
  size_t c = std::string_view::npos;
  for (std::string_view tag : {"CTD", "CST", "CET"}) c = std::min(c, reply.find(tag));
  if (c == std::string_view::npos) c = reply.find('C');
  // Twelve characters must precede the tag; anything shorter is not a time.
  if (c == std::string_view::npos || c < 12) return fallback;
  int f[6];
  if (!ReadFields(reply, c - 12, f, 6)) return fallback;
  if (f[1] < 1 || f[1] > 12 || f[2] < 1 || f[2] > 31 || f[3] >= 24 || f[4] >= 60 || f[5] >= 60)
    return fallback;
  LoggerTime t;
  t.year = static_cast<uint16_t>(2000 + f[0]);
  t.month = static_cast<uint16_t>(f[1]);
  t.dayOfWeek = 0;
  t.day = static_cast<uint16_t>(f[2]);
  t.hour = static_cast<uint16_t>(f[3]);
  t.minute = static_cast<uint16_t>(f[4]);
  t.second = static_cast<uint16_t>(f[5]);
  t.milliseconds = 0;
  return t;
}

LoggerTime ParsePeriodReply(std::string_view reply) {
  const LoggerTime none = MakeClock(0, 0, 0);
  size_t tag = reply.find("CSP");
  if (tag == std::string_view::npos) tag = reply.find("WAV");
  if (tag == std::string_view::npos) return none;
  const LoggerTime oneMinute = MakeClock(0, 1, 0);
  int f[3];
  if (tag < 6 || !ReadFields(reply, tag - 6, f, 3)) return oneMinute;
  const bool fullDay = f[0] == 24 && f[1] == 0 && f[2] == 0;
  if (!fullDay && (f[0] >= 24 || f[1] >= 60 || f[2] >= 60)) return oneMinute;
  return MakeClock(f[0], f[1], f[2]);
}

std::string StartTimeFieldText(const LoggerTime& start, unsigned startMode) {
  return startMode != 0 ? std::string("NOW") : TimeToDisplayText(start);
}

std::string PeriodFieldText(const LoggerTime& period, bool sixHzProfiling) {
  return sixHzProfiling ? std::string("6Hz profiling") : ClockToText(period);
}

LoggerTime MakeClock(int hour, int minute, int second) {
  // Only the time of day is meaningful in a clock value.
  LoggerTime t{0, 0, 0, 0, 0, 0, 0, 0};
  t.hour = static_cast<uint16_t>(hour);
  t.minute = static_cast<uint16_t>(minute);
  t.second = static_cast<uint16_t>(second);
  return t;
}

uint32_t ClockSeconds(const LoggerTime& period) {
  return static_cast<uint32_t>(period.hour) * 3600 + static_cast<uint32_t>(period.minute) * 60 +
         period.second;
}

LoggerTime AddSeconds(const LoggerTime& t, int32_t seconds) {
  const int64_t delta = static_cast<int64_t>(seconds) * static_cast<int64_t>(kTicksPerSecond);
  const int64_t ticks = static_cast<int64_t>(ToTicks(t)) + delta;
  return FromTicks(ticks < 0 ? 0 : static_cast<uint64_t>(ticks));
}

LoggerTime AddMilliseconds(const LoggerTime& t, int32_t ms) {
  const int64_t delta = static_cast<int64_t>(ms) * static_cast<int64_t>(kTicksPerMillisecond);
  const int64_t ticks = static_cast<int64_t>(ToTicks(t)) + delta;
  return FromTicks(ticks < 0 ? 0 : static_cast<uint64_t>(ticks));
}

uint32_t SecondsBetween(const LoggerTime& a, const LoggerTime& b) {
  const uint64_t ta = ToTicks(a), tb = ToTicks(b);
  if (ta <= tb) return 0;
  return static_cast<uint32_t>((ta - tb) / kTicksPerSecond);
}

uint32_t MillisecondsBetween(const LoggerTime& a, const LoggerTime& b) {
  const uint64_t ta = ToTicks(a), tb = ToTicks(b);
  if (ta <= tb) return 0;
  return static_cast<uint32_t>((ta - tb) / kTicksPerMillisecond);
}

int CompareTimes(const LoggerTime& a, const LoggerTime& b) {
  const uint64_t ta = ToTicks(a), tb = ToTicks(b);
  return ta < tb ? -1 : (ta > tb ? 1 : 0);
}

int32_t SignedSecondsBetween(const LoggerTime& a, const LoggerTime& b) {
  const uint64_t ta = ToTicks(a), tb = ToTicks(b);
  if (ta >= tb) return static_cast<int32_t>((ta - tb) / kTicksPerSecond);
  return -static_cast<int32_t>((tb - ta) / kTicksPerSecond);
}

uint32_t SecondsSince2000(const LoggerTime& t) {
  uint32_t days = 0;
  for (int y = 2000; y < t.year; ++y) days += IsLeapYear(y) ? 366 : 365;
  if (t.month >= 1 && t.month <= 12)
    days += static_cast<uint32_t>(IsLeapYear(t.year) ? kLeapDays[t.month - 1]
                                                     : kCommonDays[t.month - 1]);
  if (t.day >= 1) days += t.day - 1u;
  return days * 86400u + t.hour * 3600u + t.minute * 60u + t.second;
}

bool StampContinuity::IsStampContinuous(const LoggerTime& t, uint32_t samplingPeriodSeconds) {
  const uint32_t n = SecondsSince2000(t);
  const uint32_t p = previous_;
  previous_ = n;
  if (n < p) return false;
  return static_cast<uint64_t>(n) <= static_cast<uint64_t>(p) + samplingPeriodSeconds;
}

int IntervalMeter::MillisecondsSinceLastCall() {
  const int64_t now = clock_.Milliseconds();
  int result = 1000;
  if (started_) {
    const int64_t elapsed = now - last_;
    if (elapsed >= 0 && elapsed < 1000) result = static_cast<int>(elapsed);
  }
  started_ = true;
  last_ = now;
  return result;
}

void Countdown::StartCountdown() { startSeconds_ = clock_.CalendarSeconds(); }

int Countdown::CountdownRemaining() const {
  const int64_t elapsed = clock_.CalendarSeconds() - startSeconds_;
  const int64_t remaining = 20 - elapsed;
  if (remaining < 0) return 0;
  if (remaining > 20) return 20;
  return static_cast<int>(remaining);
}

}  // namespace tmv
