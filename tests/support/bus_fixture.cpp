#include "tests/support/bus_fixture.h"

#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace vt5test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vt5test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

BusFixture::BusFixture() {
    ::setenv("VT5_USB_BACKENDS", "none", 1);
    ::setenv("VT5_USB_BUS", busSocket().c_str(), 1);
}

BusFixture::~BusFixture() {
    ::unsetenv("VT5_USB_BACKENDS");
}

void BusFixture::useDaemon() {
    ::setenv("VT5_USB_BACKENDS", "vbus", 1);
}

platform::vbus::ChipIdentity hcIdentity(const std::string& serial, const std::string& description,
                                        uint32_t id) {
    platform::vbus::ChipIdentity identity;
    identity.serial = serial;
    identity.description = description;
    identity.id = id;
    return identity;
}

}  // namespace vt5test
