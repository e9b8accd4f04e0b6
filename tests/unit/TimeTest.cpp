#include <gtest/gtest.h>

#include "model/LoggerTime.h"
#include "platform/Clock.h"

namespace tmv {
namespace {

LoggerTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  LoggerTime t;
  t.year = static_cast<uint16_t>(y);
  t.month = static_cast<uint16_t>(mo);
  t.day = static_cast<uint16_t>(d);
  t.hour = static_cast<uint16_t>(h);
  t.minute = static_cast<uint16_t>(mi);
  t.second = static_cast<uint16_t>(s);
  t.milliseconds = static_cast<uint16_t>(ms);
  return t;
}

TEST(LoggerTime, TextAndBcdFormsUseTwoDigitYearsAndMonthNames) {
  const LoggerTime t = At(2010, 6, 7, 15, 30, 0);
  EXPECT_EQ(TimeToWireText(t), "100607153000");
  EXPECT_EQ(TimeToDisplayText(t), "2010/Jun/07 15:30:00");
  EXPECT_EQ(TimeToShortText(t), "10/06/07 15:30:00");
  EXPECT_EQ(ClockToWireText(MakeClock(0, 1, 0)), "000100");
  EXPECT_EQ(ClockToText(MakeClock(0, 1, 0)), "00:01:00");
  const auto bcd = TimeToBcd(t);
  const std::array<uint8_t, 6> expected{0x10, 0x06, 0x07, 0x15, 0x30, 0x00};
  EXPECT_EQ(bcd, expected);
  EXPECT_EQ(TimeFromBcd(bcd.data()), t);
  EXPECT_STREQ(MonthName(13), "???");
  EXPECT_EQ(StartTimeFieldText(t, 0), "2010/Jun/07 15:30:00");
  EXPECT_EQ(StartTimeFieldText(t, 2), "NOW");
  EXPECT_EQ(PeriodFieldText(MakeClock(0, 1, 0), true), "6Hz profiling");
  EXPECT_EQ(TimeToDisplayText(At(2010, 0, 1)), "2010/??" "?/01 00:00:00");
}

TEST(LoggerTime, TicksRoundTripAcrossYearEndsAndLeapDays) {
  EXPECT_EQ(ToTicks(At(1601, 1, 1)), 0u);
  // 1970-01-01 is the well-known 11644473600 seconds after 1601.
  EXPECT_EQ(ToTicks(At(1970, 1, 1)), 11644473600ULL * kTicksPerSecond);
  for (const LoggerTime& t : {At(2000, 2, 29, 23, 59, 59, 999), At(2099, 12, 31, 23, 59, 59), At(2024, 3, 1)})
    EXPECT_EQ(FromTicks(ToTicks(t)), t) << TimeToDisplayText(t);
  EXPECT_EQ(FromTicks(ToTicks(At(2010, 6, 7))).dayOfWeek, 1);  // a Monday
  // Damaged values roll over instead of wrapping to nonsense.
  EXPECT_EQ(FromTicks(ToTicks(At(2010, 3, 0))), At(2010, 2, 28));
  EXPECT_EQ(FromTicks(ToTicks(At(2010, 13, 1))), At(2011, 1, 1));
  EXPECT_EQ(FromTicks(ToTicks(At(2010, 1, 1, 24))), At(2010, 1, 2));
  EXPECT_EQ(ToTicks(LoggerTime{0, 0, 0, 0, 0, 1, 0, 0}), 0u);  // a clock value is no calendar time
}

TEST(LoggerTime, ParseTimeReplyChecksFieldsButNotMonthLengthAndNeverReadsBeforeTheReply) {
  EXPECT_EQ(ParseTimeReply("100230120000CTD"), At(2010, 2, 30, 12, 0, 0));
  EXPECT_EQ(ParseTimeReply("XX100607153000CST"), At(2010, 6, 7, 15, 30, 0));
  const LoggerTime fallback = At(2000, 1, 1);
  EXPECT_EQ(ParseTimeReply("101301120000CTD"), fallback);  // month 13
  EXPECT_EQ(ParseTimeReply("100607240000CTD"), fallback);  // hour 24
  EXPECT_EQ(ParseTimeReply("100607156000CTD"), fallback);  // minute 60
  EXPECT_EQ(ParseTimeReply("100600153000CTD"), fallback);  // day 0
  EXPECT_EQ(ParseTimeReply("100607153000"), fallback);     // no tag
  EXPECT_EQ(ParseTimeReply("12CTD"), fallback);            // fewer than twelve characters before "C"
  EXPECT_EQ(ParseTimeReply("CTD100607153000"), fallback);
  EXPECT_EQ(ParseTimeReply("10 6 7153000CTD"), fallback);  // not six numbers
  EXPECT_EQ(ParseTimeReply(""), fallback);
  EXPECT_EQ(ParseTimeReply(std::string_view("1006\0" "7153000CTD", 15)), fallback);
  // The late end of an earlier reply in front: its "C" is not the time's tag.
  EXPECT_EQ(ParseTimeReply("000100CSP100607153000CTD"), At(2010, 6, 7, 15, 30, 0));
  EXPECT_EQ(ParseTimeReply("C?100607153000CET"), At(2010, 6, 7, 15, 30, 0));
  EXPECT_EQ(ParseTimeReply("100607153000Cxx"), At(2010, 6, 7, 15, 30, 0));  // no time tag: the first "C"
}

TEST(LoggerTime, ParsePeriodReplyAcceptsTwentyFourHoursAndFallsBack) {
  EXPECT_EQ(ClockSeconds(ParsePeriodReply("240000CSP")), 86400u);
  EXPECT_EQ(ParsePeriodReply("240000CSP").hour, 24);
  EXPECT_EQ(ClockToText(ParsePeriodReply("006100CSP")), "00:01:00");
  EXPECT_EQ(ClockToText(ParsePeriodReply("240100CSP")), "00:01:00");
  EXPECT_EQ(ClockToText(ParsePeriodReply("001560WAV")), "00:01:00");
  EXPECT_EQ(ClockToText(ParsePeriodReply("011500WAV")), "01:15:00");
  EXPECT_EQ(ClockToText(ParsePeriodReply("001500")), "00:00:00");  // neither tag
  EXPECT_EQ(ClockToText(ParsePeriodReply("15CSP")), "00:01:00");   // too short to hold a period
  EXPECT_EQ(ClockToText(ParsePeriodReply("")), "00:00:00");
  // "CSP" wins over an earlier "WAV".
  EXPECT_EQ(ClockToText(ParsePeriodReply("000500WAV001000CSP")), "00:10:00");
}

TEST(LoggerTime, ArithmeticCrossesYearEndsAndLeapYears) {
  EXPECT_EQ(AddSeconds(At(2010, 1, 1), -1), At(2009, 12, 31, 23, 59, 59));
  EXPECT_EQ(AddSeconds(At(2012, 1, 1), 86400 * 366), At(2013, 1, 1));
  EXPECT_EQ(AddSeconds(At(2011, 2, 28, 12), 86400), At(2011, 3, 1, 12));
  EXPECT_EQ(AddSeconds(At(2010, 1, 1, 0, 0, 0, 500), 1), At(2010, 1, 1, 0, 0, 1, 500));
  EXPECT_EQ(AddMilliseconds(At(2010, 12, 31, 23, 59, 59, 999), 1), At(2011, 1, 1));
  EXPECT_EQ(AddMilliseconds(At(2010, 1, 1), -1), At(2009, 12, 31, 23, 59, 59, 999));

  EXPECT_EQ(SecondsBetween(At(2013, 1, 1), At(2012, 1, 1)), 86400u * 366);
  EXPECT_EQ(MillisecondsBetween(At(2010, 1, 1, 0, 0, 1), At(2009, 12, 31, 23, 59, 59, 500)), 1500u);
  // The unsigned forms never wrap to huge counts when called the wrong way round.
  EXPECT_EQ(SecondsBetween(At(2010, 1, 1), At(2010, 1, 2)), 0u);

  const LoggerTime a = At(2010, 6, 7, 10, 0, 0, 900);
  const LoggerTime b = At(2010, 6, 7, 10, 0, 2, 0);
  EXPECT_EQ(SignedSecondsBetween(a, b), -1);
  EXPECT_EQ(SignedSecondsBetween(b, a), 1);
  EXPECT_EQ(CompareTimes(a, b), -1);
  EXPECT_EQ(CompareTimes(b, a), 1);
  EXPECT_EQ(CompareTimes(a, a), 0);
  EXPECT_EQ(CompareTimes(At(2010, 1, 1, 0, 0, 0, 1), At(2010, 1, 1)), 1);

  EXPECT_EQ(SecondsSince2000(At(2000, 1, 1)), 0u);
  EXPECT_EQ(SecondsSince2000(At(2001, 3, 1)), 36720000u);
  EXPECT_EQ(SecondsSince2000(At(2004, 3, 1, 1, 1, 1)), (4u * 365 + 1 + 60) * 86400 + 3661);
}

TEST(LoggerTime, StampContinuityAllowsOnePeriodAndRejectsJumpsAndStepsBack) {
  StampContinuity c;
  const LoggerTime base = At(2000, 1, 1);
  EXPECT_TRUE(c.IsStampContinuous(AddSeconds(base, 0), 60));
  EXPECT_TRUE(c.IsStampContinuous(AddSeconds(base, 60), 60));
  EXPECT_TRUE(c.IsStampContinuous(AddSeconds(base, 120), 60));
  EXPECT_FALSE(c.IsStampContinuous(AddSeconds(base, 300), 60));
  EXPECT_FALSE(c.IsStampContinuous(AddSeconds(base, 290), 60));
  EXPECT_TRUE(c.IsStampContinuous(AddSeconds(base, 290), 60));
  c.Reset();
  EXPECT_FALSE(c.IsStampContinuous(At(2010, 1, 1), 60));
}

TEST(LoggerTime, IntervalMeterCapsAtOneSecondAndCountdownStopsAtZero) {
  VirtualClock clock;
  IntervalMeter meter(clock);
  EXPECT_EQ(meter.MillisecondsSinceLastCall(), 1000);
  clock.Advance(250);
  EXPECT_EQ(meter.MillisecondsSinceLastCall(), 250);
  clock.Advance(3000);
  EXPECT_EQ(meter.MillisecondsSinceLastCall(), 1000);

  Countdown countdown(clock);
  countdown.StartCountdown();
  EXPECT_EQ(countdown.CountdownRemaining(), 20);
  clock.Advance(5500);
  EXPECT_EQ(countdown.CountdownRemaining(), 15);
  clock.Advance(19500);
  EXPECT_EQ(countdown.CountdownRemaining(), 0);
}

TEST(VirtualClockTest, LocalTimeAndCalendarFollowVirtualMilliseconds) {
  VirtualClock clock(At(2010, 12, 31, 23, 59, 59));
  const int64_t start = clock.CalendarSeconds();
  clock.DelayMs(1500);
  EXPECT_EQ(clock.LocalTime(), At(2011, 1, 1, 0, 0, 0, 500));
  EXPECT_EQ(clock.CalendarSeconds() - start, 1);
  clock.SetLocalTime(At(2020, 2, 29, 12));
  EXPECT_EQ(clock.LocalTime(), At(2020, 2, 29, 12));
  EXPECT_EQ(clock.Milliseconds(), 1500);  // the process clock never jumps
  clock.Advance(-5);
  EXPECT_EQ(clock.Milliseconds(), 1500);
}

TEST(SystemClockTest, LocalTimeIsAValidCalendarValue) {
  SystemClock clock;
  const LoggerTime t = clock.LocalTime();
  EXPECT_GE(t.month, 1);
  EXPECT_LE(t.month, 12);
  EXPECT_LE(t.second, 59);
  clock.DelayMs(0);  // returns at once
}

}  // namespace
}  // namespace tmv
