#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/ftd2xx/driver.h"
#include "platform/ftd2xx/vbus/local_bus.h"
#include "tests/support/recording_backend.h"

namespace vt5test {

// A private temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// An in-process virtual USB bus attached to the FT_* driver through a RecordingBackend, with
// the standard backends switched off and VT5_USB_BUS pointing into a private folder, so a
// test sees only its own chips (not a user's vt5-hcsim or real hardware) and can check the
// driver calls made on them.
class BusFixture {
public:
    BusFixture();
    ~BusFixture();

    platform::vbus::LocalBus& bus() { return bus_; }
    RecordingBackend& recorder() { return recorder_; }
    std::string busSocket() const { return dir_.file("usb-bus"); }
    const TempDir& dir() const { return dir_; }

    // Lets the vt5-hcsim daemon backend take part in listings (standard USB stays off).
    void useDaemon();

private:
    TempDir dir_;
    platform::vbus::LocalBus bus_;
    RecordingBackend recorder_{bus_};
    platform::ftd2xx::ScopedBackend attached_{recorder_};
};

// The identity of a simulated HC chip with the given serial.
platform::vbus::ChipIdentity hcIdentity(const std::string& serial,
                                        const std::string& description = "Veltra-5 HandController",
                                        uint32_t id = 0x04036015);

}  // namespace vt5test
