#pragma once

#include <cstdlib>
#include <string>

#include "tests/support/bus_fixture.h"

namespace vt5test {

// A private, empty registry hive for the lifetime of the object (VT5_REGISTRY).
class TempRegistry {
public:
    TempRegistry() { ::setenv("VT5_REGISTRY", hive().c_str(), 1); }
    ~TempRegistry() { ::unsetenv("VT5_REGISTRY"); }
    TempRegistry(const TempRegistry&) = delete;
    TempRegistry& operator=(const TempRegistry&) = delete;

    std::string hive() const { return dir_.file("registry.reg"); }

private:
    TempDir dir_;
};

}  // namespace vt5test
