#include "tests/ft230x/ft230x_fixture.h"

#include <cstdlib>
#include <fstream>
#include <random>

namespace vt5test {

Ft230xFixture::Ft230xFixture() {
    ::setenv("VT5_USB_BACKENDS", "ftdi", 1);
    ::setenv("VT5_USB_BUS", dir.file("usb-bus").c_str(), 1);
}

Ft230xFixture::~Ft230xFixture() {
    chip.reset();
    ::unsetenv("VT5_USB_BACKENDS");
}

hcsim::ft230x::Ft230xConfig Ft230xFixture::defaultConfig() {
    hcsim::ft230x::Ft230xConfig config;
    config.hc.serial = "FT4K2HC7";
    return config;
}

hcsim::ft230x::Ft230xConfig Ft230xFixture::withBigFile(size_t size) {
    std::mt19937 gen(20261211);
    bigFile.resize(size);
    for (char& b : bigFile)
        b = static_cast<char>(gen());
    std::ofstream(card.file("BIG.BIN"), std::ios::binary)
        .write(bigFile.data(), static_cast<std::streamsize>(size));
    auto config = defaultConfig();
    config.hc.cardDir = card.path();
    return config;
}

hcsim::ft230x::EmulatedFt230x& Ft230xFixture::plug(hcsim::ft230x::Ft230xConfig config) {
    chip = std::make_unique<hcsim::ft230x::EmulatedFt230x>(testbed, std::move(config));
    return *chip;
}

}  // namespace vt5test
