#pragma once

#include <string>

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace hcsim::ft230x {

// umockdev's sandbox of /sys and /dev for this process (one at a time). Programs started from
// here inherit it: libusb in them sees the emulated devices as this process does. Needs the
// process to run with umockdev's preload library (see runUnderPreload).
class Testbed {
public:
    Testbed();
    ~Testbed();
    Testbed(const Testbed&) = delete;
    Testbed& operator=(const Testbed&) = delete;

    UMockdevTestbed* get() const { return testbed_; }
    // The sandbox's root folder: /dev/... and /sys/... of the emulated devices lie below it.
    std::string root() const;

private:
    UMockdevTestbed* testbed_;
};

// Starts this program again with umockdev's preload library when it runs without it, so that a
// test program works from CTest, a shell or a debugger alike. Returns only when the preload is
// in place (or could not be started: false, with the reason on stderr).
bool runUnderPreload(int argc, char** argv);

}  // namespace hcsim::ft230x
