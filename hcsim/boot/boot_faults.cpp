#include "hcsim/boot/boot_faults.h"

#include <cstdlib>

namespace hcsim::boot {
namespace {

struct KindName {
    const char* name;
    BootFaults::Kind kind;
    bool takesStatus;
};

constexpr KindName kKinds[] = {
    {"busy", BootFaults::Kind::Busy, false},
    {"no-room", BootFaults::Kind::NoRoom, false},
    {"chunk", BootFaults::Kind::Chunk, true},
    {"refuse-start", BootFaults::Kind::RefuseStart, false},
    {"programming", BootFaults::Kind::Programming, true},
    {"fw-status", BootFaults::Kind::FwStatus, true},
    {"no-fw-info", BootFaults::Kind::NoFwInfo, false},
    {"camera-start", BootFaults::Kind::CameraStart, true},
    {"camera-chunk", BootFaults::Kind::CameraChunk, true},
    {"camera-refuse-upload", BootFaults::Kind::CameraRefuseUpload, false},
    {"camera-fw-status", BootFaults::Kind::CameraFwStatus, true},
    {"camera-line", BootFaults::Kind::CameraLine, false},
    {"camera-silent", BootFaults::Kind::CameraSilent, false},
};

// A decimal or 0x-hexadecimal number up to max.
std::optional<long> parseNumber(const std::string& word, long max) {
    if (word.empty() || word[0] == '-') return std::nullopt;
    char* end = nullptr;
    long v = std::strtol(word.c_str(), &end, 0);
    if (*end || v > max) return std::nullopt;
    return v;
}

}  // namespace

void BootFaults::add(Kind kind, uint8_t value, int times) {
    if (times > 0) pending_.push_back({kind, value, times});
}

std::optional<uint8_t> BootFaults::take(Kind kind) {
    for (auto it = pending_.begin(); it != pending_.end(); ++it) {
        if (it->kind != kind) continue;
        uint8_t value = it->value;
        if (--it->left == 0) pending_.erase(it);
        return value;
    }
    return std::nullopt;
}

bool BootFaults::takePowerOff() {
    return powerOffIn_ > 0 && --powerOffIn_ == 0;
}

void BootFaults::clear() {
    pending_.clear();
    powerOffIn_ = 0;
}

std::optional<std::string> BootFaults::parse(const std::vector<std::string>& w) {
    if (w.empty()) return std::nullopt;
    if (w[0] == "power-off-after") {
        auto chunks = w.size() == 2 ? parseNumber(w[1], 1000000) : std::nullopt;
        if (!chunks || *chunks == 0) return std::string("power-off-after needs a chunk count");
        powerOffAfter(static_cast<int>(*chunks));
        return std::string();
    }
    for (const KindName& k : kKinds) {
        if (w[0] != k.name) continue;
        size_t next = 1;
        uint8_t value = 0;
        if (k.takesStatus) {
            auto status = w.size() > 1 ? parseNumber(w[1], 255) : std::nullopt;
            if (!status) return w[0] + " needs a status of 0 to 255";
            value = static_cast<uint8_t>(*status);
            next = 2;
        }
        int times = 1;
        if (next < w.size()) {
            auto n = parseNumber(w[next], 1000000);
            if (!n || *n == 0 || next + 1 != w.size()) return "bad count after " + w[0];
            times = static_cast<int>(*n);
        }
        add(k.kind, value, times);
        return std::string();
    }
    return std::nullopt;
}

const char* BootFaults::help() {
    return "fault busy|no-room|refuse-start|no-fw-info [N] | fault chunk|programming|fw-status "
           "STATUS [N] | fault power-off-after CHUNKS | fault camera-start|camera-chunk|"
           "camera-fw-status STATUS [N] | fault camera-refuse-upload|camera-line|camera-silent "
           "[N]";
}

}  // namespace hcsim::boot
