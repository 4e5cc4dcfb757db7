#include "gantrix/report/log_time.h"

#include <gtest/gtest.h>

namespace report {
namespace {

constexpr int64_t kDay = 86400000;

TEST(LogTime, CountsDaysWithALeapYearEveryFourYears) {
    EXPECT_EQ(LogTimeFromCalendar(2000, 1, 1, 0, 0, 0, 0), 0);
    EXPECT_EQ(LogTimeFromCalendar(2000, 3, 1, 0, 0, 0, 0), 60 * kDay);  // 2000 is a leap year
    EXPECT_EQ(LogTimeFromCalendar(2001, 1, 1, 0, 0, 0, 0), 366 * kDay);
    EXPECT_EQ(LogTimeFromCalendar(2001, 3, 1, 0, 0, 0, 0), (366 + 59) * kDay);
    EXPECT_EQ(LogTimeFromCalendar(2005, 1, 1, 0, 0, 0, 0), (5 * 365 + 2) * kDay);
    // The HC knows no century rule: 2100 has a 29 February.
    EXPECT_EQ(
        LogTimeFromCalendar(2100, 3, 1, 0, 0, 0, 0) - LogTimeFromCalendar(2100, 2, 28, 0, 0, 0, 0),
        2 * kDay);
    EXPECT_EQ(
        LogTimeFromCalendar(2021, 3, 7, 1, 2, 3, 45) - LogTimeFromCalendar(2021, 3, 7, 0, 0, 0, 0),
        3723045);
}

TEST(LogTime, TakesTheMillisecondNumberAsItStandsAndDatesBefore2000AsZero) {
    const LogTime second = LogTimeFromCalendar(2021, 3, 7, 21, 5, 33, 0);
    EXPECT_EQ(LogTimeFromCalendar(2021, 3, 7, 21, 5, 33, 7), second + 7);
    EXPECT_EQ(LogTimeFromCalendar(2021, 3, 7, 21, 5, 33, 700), second + 700);
    EXPECT_EQ(LogTimeFromCalendar(1999, 12, 31, 23, 59, 59, 999), 0);
    EXPECT_EQ(LogTimeFromCalendar(2021, 13, 1, 0, 0, 0, 0), 0);
}

TEST(LogTime, CalendarFromLogTimeIsTheExactInverse) {
    for (int year : {2000, 2003, 2020, 2021, 2024, 2099, 2100}) {
        for (int month = 1; month <= 12; ++month) {
            const int days[] = {31, year % 4 == 0 ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30,
                                31};
            for (int day = 1; day <= days[month - 1]; ++day) {
                const LogTime t = LogTimeFromCalendar(year, month, day, 23, 59, 58, 999);
                const Calendar c = CalendarFromLogTime(t);
                ASSERT_EQ(c.year, year);
                ASSERT_EQ(c.month, month) << year << "-" << day;
                ASSERT_EQ(c.day, day) << year << "-" << month;
                ASSERT_EQ(c.hour, 23);
                ASSERT_EQ(c.minute, 59);
                ASSERT_EQ(c.second, 58);
                ASSERT_EQ(c.millisecond, 999);
            }
        }
    }
    const Calendar march = CalendarFromLogTime(LogTimeFromCalendar(2020, 3, 1, 0, 0, 0, 0));
    EXPECT_EQ(march.month, 3);
    EXPECT_EQ(march.day, 1);
    const Calendar december = CalendarFromLogTime(LogTimeFromCalendar(2021, 12, 31, 0, 0, 0, 0));
    EXPECT_EQ(december.month, 12);
    EXPECT_EQ(december.day, 31);
}

TEST(LogTime, NegativeTimesReadAsUnsignedStillGiveACalendarAtOnce) {
    const Calendar c = CalendarFromLogTime(-1);
    EXPECT_EQ(c.hour * 3600000LL + c.minute * 60000 + c.second * 1000 + c.millisecond,
              int64_t(UINT64_MAX % kDay));
    EXPECT_GT(c.year, 500000000);
    EXPECT_GE(c.month, 1);
    EXPECT_LE(c.month, 12);
}

}  // namespace
}  // namespace report
