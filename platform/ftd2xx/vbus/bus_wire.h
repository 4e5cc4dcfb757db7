#pragma once

// Messages between the FT_* layer of a program and the vt5-hcsim bus daemon, one frame each
// way per request (platform/posix/socket_io.h framing). A request is an op byte and its
// arguments; an answer starts with the FT_STATUS of the operation. Integers are
// little-endian; texts and byte blocks carry a 32-bit length.

#include <cstdint>
#include <string>
#include <vector>

namespace platform::vbus::wire {

enum Op : uint8_t {
    kList = 1,          // -> n, n x (flags, type, id, locId, serial, description, key)
    kOpen = 2,          // key -> the session now holds that chip
    kClose = 3,         //
    kInfo = 4,          // -> type, id, serial, description
    kGetBitMode = 5,    // -> pins (u8)
    kSetBitMode = 6,    // mask (u8), mode (u8)
    kPurge = 7,         // mask (u32)
    kSetBaud = 8,       // baud (u32)
    kSetData = 9,       // word length, stop bits, parity (u8 each)
    kSetFlow = 10,      // flow (u16), xon, xoff (u8)
    kSetTimeouts = 11,  // read ms, write ms (u32)
    kSetLatency = 12,   // ms (u8)
    kRead = 13,         // count (u32) -> bytes
    kWrite = 14,        // bytes -> written (u32)
    kQueue = 15,        // -> rx (u32)
    kStatus = 16,       // -> rx, tx (u32)
    kControl = 17,      // serial, command -> reply
};

// Largest frame either side accepts: a D2XX write or read of a few MiB is more than the
// suite ever moves in one call.
constexpr size_t kMaxFrame = 16u << 20;

class Writer {
public:
    Writer& u8(uint8_t v) {
        bytes_.push_back(v);
        return *this;
    }
    Writer& u16(uint16_t v) { return u8(uint8_t(v)).u8(uint8_t(v >> 8)); }
    Writer& u32(uint32_t v) { return u16(uint16_t(v)).u16(uint16_t(v >> 16)); }
    Writer& block(const void* data, size_t size) {
        u32(static_cast<uint32_t>(size));
        auto p = static_cast<const uint8_t*>(data);
        bytes_.insert(bytes_.end(), p, p + size);
        return *this;
    }
    Writer& text(const std::string& s) { return block(s.data(), s.size()); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// Reads a message; any read past the end sets the failed flag and yields zeros.
class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    uint8_t u8() { return ok(1) ? bytes_[pos_++] : 0; }
    uint16_t u16() {
        uint16_t lo = u8();
        return static_cast<uint16_t>(lo | u8() << 8);
    }
    uint32_t u32() {
        uint32_t lo = u16();
        return lo | uint32_t(u16()) << 16;
    }
    std::vector<uint8_t> block() {
        uint32_t n = u32();
        if (!ok(n)) return {};
        std::vector<uint8_t> out(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_),
                                 bytes_.begin() + static_cast<std::ptrdiff_t>(pos_ + n));
        pos_ += n;
        return out;
    }
    std::string text() {
        auto b = block();
        return std::string(b.begin(), b.end());
    }
    bool failed() const { return failed_; }

private:
    bool ok(size_t n) {
        if (failed_ || bytes_.size() - pos_ < n) {
            failed_ = true;
            return false;
        }
        return true;
    }
    const std::vector<uint8_t>& bytes_;
    size_t pos_ = 0;
    bool failed_ = false;
};

}  // namespace platform::vbus::wire
