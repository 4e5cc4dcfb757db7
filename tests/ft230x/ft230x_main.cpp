#include <gtest/gtest.h>

#include "hcsim/ft230x/testbed.h"

// The tests run under umockdev's preload library: it puts the emulated chips into the sysfs
// and /dev/bus/usb that libusb sees.
int main(int argc, char** argv) {
    if (!hcsim::ft230x::runUnderPreload(argc, argv)) return 1;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
