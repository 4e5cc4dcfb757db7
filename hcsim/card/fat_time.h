#pragma once

#include <chrono>
#include <cstdint>

namespace hcsim {

// A time stamp as a FAT directory entry keeps it: UTC, two-second steps, 1980 to 2107.
struct FatStamp {
    uint16_t date = 0;  // bits 15-9 year - 1980, 8-5 month, 4-0 day
    uint16_t time = 0;  // bits 15-11 hours, 10-5 minutes, 4-0 seconds / 2
};

// Times before 1980 read as 1980-01-01 00:00:00, times after 2107 as 2107-12-31 23:59:58.
FatStamp fatStamp(std::chrono::system_clock::time_point t);

}  // namespace hcsim
