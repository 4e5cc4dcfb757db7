#include "gantrix/report/log_time.h"

namespace report {

namespace {

constexpr int64_t kDayMs = 86400000;
// Days of the year before the first of each month, in a common year; index 1..12.
constexpr int64_t kCumulative[13] = {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

bool IsLeap(int64_t yearsSince2000) {
    return yearsSince2000 % 4 == 0;
}

int64_t MonthStart(int month, bool leap) {
    return kCumulative[month] + (leap && month > 2);
}

}  // namespace

LogTime LogTimeFromCalendar(int year, int month, int day, int hour, int minute, int second,
                            int millisecond) {
    if (year < 2000) return 0;
    if (month < 1 || month > 12) return 0;
    const int64_t s = int64_t(year) - 2000;
    const int64_t days = MonthStart(month, IsLeap(s)) + (int64_t(day) - 1) + (s + 3) / 4 + 365 * s;
    const int64_t clock =
        ((int64_t(hour) * 60 + minute) * 60 + second) * 1000 + int64_t(millisecond);
    // Absurd years would overflow; wrap instead of invoking undefined behaviour.
    return LogTime(uint64_t(days) * uint64_t(kDayMs) + uint64_t(clock));
}

Calendar CalendarFromLogTime(LogTime time) {
    const uint64_t t = uint64_t(time);
    uint64_t days = t / kDayMs;
    const uint64_t r = t % kDayMs;
    Calendar c;
    c.millisecond = int(r % 1000);
    c.second = int(r / 1000 % 60);
    c.minute = int(r / 60000 % 60);
    c.hour = int(r / 3600000);

    // Whole four-year cycles (one leap year each) first, so that huge times take no long walk.
    constexpr uint64_t kCycleDays = 4 * 365 + 1;
    int64_t year = 2000 + 4 * int64_t(days / kCycleDays);
    days %= kCycleDays;
    for (;;) {
        const uint64_t length = IsLeap(year - 2000) ? 366 : 365;
        if (days < length) break;
        days -= length;
        ++year;
    }
    c.year = int(year);
    const bool leap = IsLeap(year - 2000);
    int month = 12;
    while (month > 1 && MonthStart(month, leap) > int64_t(days))
        --month;
    c.month = month;
    c.day = int(int64_t(days) - MonthStart(month, leap) + 1);
    return c;
}

}  // namespace report
