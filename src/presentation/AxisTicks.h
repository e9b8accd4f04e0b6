#pragma once
// Where an axis gets its ticks: values at 1, 2 or 5 x 10^n with no more
// digits than the step needs, and calendar times whose step follows the
// zoom from seconds to years, aligned to the clock and the calendar.
#include <cstdint>
#include <string>
#include <vector>

#include "model/LoggerTime.h"

namespace tmv {

struct ValueTicks {
  double step = 0;   // 1, 2 or 5 x 10^n; 0 when there are none
  int decimals = 0;  // what a label needs to tell two ticks apart
  std::vector<double> values;
};

// The ticks of [low, high] (either order) with the smallest nice step that
// leaves at most maxTicks of them. Nothing for an empty or endless span.
ValueTicks NiceTicks(double low, double high, int maxTicks);
// A tick's label: the given decimals, never "-0".
std::string TickText(double value, int decimals);
// The decimals that show a value to a hundredth of the given step.
int DecimalsForStep(double step);

enum class TimeUnit { Second, Minute, Hour, Day, Month, Year };
struct TimeStep {
  TimeUnit unit = TimeUnit::Second;
  int count = 1;
  double Seconds() const;  // months and years as their average length
};
bool operator==(const TimeStep& a, const TimeStep& b);

// The smallest calendar step (1, 2, 5, 10, 15, 30 s; 1, 2, 5, 10, 15, 30 min;
// 1, 2, 3, 6, 12 h; 1, 2, 7, 14 days; 1, 2, 3, 6 months; 1, 2, 5, 10 ... years)
// whose ticks lie at least minSeconds apart.
TimeStep ChooseTimeStep(double minSeconds);

// The tick times (100 ns ticks) of a step within [from, to]: whole steps of
// the clock within the day, days 1, 3, 5 ... (2 days), 1, 8, 15, 22 (7 days)
// or 1, 15 (14 days) of each month, months from January, years from year 0.
std::vector<uint64_t> CalendarTicks(uint64_t from, uint64_t to, TimeStep step);

// A tick's label: "15:30:20" (seconds), "15:30" (minutes, hours),
// "Jun/07" (days), "Jun" (months), "2010" (years).
std::string TimeTickText(const LoggerTime& t, TimeStep step);
// The date that the tick labels leave out, written under the first tick and
// wherever it changes: "2010/Jun/07" below a day, the year for days and
// months, nothing for years.
std::string TimeTickDate(const LoggerTime& t, TimeStep step);

}  // namespace tmv
