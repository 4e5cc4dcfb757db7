#pragma once

#include <cstdint>

namespace report {

// Milliseconds since 2000-01-01 00:00:00.000 on the HC's clock, without time zone conversion.
using LogTime = int64_t;

struct Calendar {
    int year = 2000;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// Every fourth year from 2000 is a leap year (the HC knows no century rule). Years before 2000
// give 0, and so does a month outside 1..12. The millisecond is added as it stands: ".7" in a
// log line means 7 ms. The other fields may run over (61 minutes is an hour and a minute).
LogTime LogTimeFromCalendar(int year, int month, int day, int hour, int minute, int second,
                            int millisecond);

// The exact inverse for every time LogTimeFromCalendar yields; negative times are read as
// unsigned, as the HC does.
Calendar CalendarFromLogTime(LogTime time);

}  // namespace report
