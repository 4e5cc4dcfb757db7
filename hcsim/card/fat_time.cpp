#include "hcsim/card/fat_time.h"

namespace hcsim {

using namespace std::chrono;

FatStamp fatStamp(system_clock::time_point t) {
    const sys_days first = sys_days(year(1980) / January / 1);
    const sys_seconds last =
        sys_days(year(2107) / December / 31) + hours(23) + minutes(59) + seconds(58);
    sys_seconds s = floor<seconds>(t);
    if (s < first) s = first;
    if (s > last) s = last;
    sys_days day = floor<days>(s);
    year_month_day ymd(day);
    hh_mm_ss<seconds> hms(s - day);
    FatStamp stamp;
    stamp.date = static_cast<uint16_t>((int(ymd.year()) - 1980) << 9 | unsigned(ymd.month()) << 5 |
                                       unsigned(ymd.day()));
    stamp.time = static_cast<uint16_t>(hms.hours().count() << 11 | hms.minutes().count() << 5 |
                                       hms.seconds().count() / 2);
    return stamp;
}

}  // namespace hcsim
