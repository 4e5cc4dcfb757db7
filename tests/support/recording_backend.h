#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ftd2xx/backend.h"

namespace vt5test {

// Wraps another backend and records every operation on its ports as a line of text, e.g.
// "SetBitMode 0x22 0x20", "Write 16384", "SetTimeouts 5000 2000", so that tests can check
// exactly which driver calls a piece of code made. Attach it instead of the wrapped backend.
class RecordingBackend final : public platform::ftd2xx::Backend {
public:
    explicit RecordingBackend(platform::ftd2xx::Backend& inner) : inner_(inner) {}

    std::vector<platform::ftd2xx::DeviceEntry> list() override;
    FT_STATUS open(const platform::ftd2xx::DeviceEntry& entry,
                   std::unique_ptr<platform::ftd2xx::Port>& port, std::string& why) override;

    std::vector<std::string> calls() const;
    // The recorded calls that begin with prefix.
    std::vector<std::string> calls(const std::string& prefix) const;
    void clear();
    void record(std::string call);

private:
    platform::ftd2xx::Backend& inner_;
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

}  // namespace vt5test
