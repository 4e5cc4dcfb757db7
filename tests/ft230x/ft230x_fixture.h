#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "hcsim/ft230x/emulated_ft230x.h"
#include "tests/support/bus_fixture.h"

namespace vt5test {

// An emulated FT230X with a simulated HC behind it, reached through libusb, libftdi1 and the
// FT_* driver's libftdi1 backend only (VT5_USB_BACKENDS=ftdi): no virtual bus takes part.
class Ft230xFixture : public ::testing::Test {
protected:
    Ft230xFixture();
    ~Ft230xFixture() override;

    // Plugs in the chip (replacing the one plugged before) with the HC FT4K2HC7 behind it.
    hcsim::ft230x::EmulatedFt230x& plug(hcsim::ft230x::Ft230xConfig config = defaultConfig());
    static hcsim::ft230x::Ft230xConfig defaultConfig();
    // The default chip, its HC's card holding /BIG.BIN: `size` random bytes, kept in bigFile.
    hcsim::ft230x::Ft230xConfig withBigFile(size_t size);

    TempDir dir;
    TempDir card;
    std::vector<char> bigFile;
    hcsim::ft230x::Testbed testbed;
    std::unique_ptr<hcsim::ft230x::EmulatedFt230x> chip;
};

}  // namespace vt5test
