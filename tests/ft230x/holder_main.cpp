// Holds the first HC chip it finds open until it is killed, so that a test sees the chip
// held by another process.
#include <unistd.h>

#include <cstdio>

#include "hcsim/ft230x/testbed.h"
#include "platform/ftd2xx/ftd2xx.h"

int main(int argc, char** argv) {
    if (!hcsim::ft230x::runUnderPreload(argc, argv)) return 1;
    uint32_t n = 0;
    FT_HANDLE handle = nullptr;
    if (FT_CreateDeviceInfoList(&n) != FT_OK || n == 0 || FT_Open(0, &handle) != FT_OK) {
        std::fprintf(stderr, "cannot open the chip\n");
        return 1;
    }
    std::printf("holding\n");
    std::fflush(stdout);
    for (;;)
        ::pause();
}
