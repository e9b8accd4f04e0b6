#include "sim/SimDetail.h"

namespace tmv::sim::detail {
namespace {

// Days from 1970-01-01 of a civil date (Howard Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int>(yy + (m <= 2));
}

const int64_t kDays2000 = DaysFromCivil(2000, 1, 1);

}  // namespace

int64_t MsSince2000(const LoggerTime& t) {
  const int64_t days = DaysFromCivil(t.year, t.month, t.day) - kDays2000;
  return ((days * 24 + t.hour) * 60 + t.minute) * 60000LL + t.second * 1000LL + t.milliseconds;
}

LoggerTime TimeFromMs(int64_t ms) {
  int64_t days = ms >= 0 ? ms / 86400000 : -((-ms + 86399999) / 86400000);
  int64_t rest = ms - days * 86400000;
  int y;
  unsigned m, d;
  CivilFromDays(days + kDays2000, y, m, d);
  LoggerTime t;
  t.year = static_cast<uint16_t>(y);
  t.month = static_cast<uint16_t>(m);
  t.day = static_cast<uint16_t>(d);
  // 2000-01-01 was a Saturday.
  t.dayOfWeek = static_cast<uint16_t>(((days % 7) + 7 + 6) % 7);
  t.hour = static_cast<uint16_t>(rest / 3600000);
  t.minute = static_cast<uint16_t>(rest / 60000 % 60);
  t.second = static_cast<uint16_t>(rest / 1000 % 60);
  t.milliseconds = static_cast<uint16_t>(rest % 1000);
  return t;
}

bool ValidTime(int yy, int mo, int dd, int hh, int mi, int ss) {
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (yy < 0 || yy > 99 || mo < 1 || mo > 12 || dd < 1 || hh > 23 || mi > 59 || ss > 59) return false;
  if (dd > kDays[mo - 1]) return false;
  return !(mo == 2 && dd == 29 && yy % 4 != 0);
}

}  // namespace tmv::sim::detail
