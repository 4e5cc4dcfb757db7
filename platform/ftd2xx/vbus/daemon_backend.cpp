#include "platform/ftd2xx/vbus/daemon_backend.h"

#include <cstring>

#include "platform/ftd2xx/vbus/bus_path.h"
#include "platform/ftd2xx/vbus/bus_wire.h"
#include "platform/posix/socket_io.h"

namespace platform::vbus {
namespace {

// One request and its answer; false when the daemon is gone or answered nonsense.
bool call(int fd, const wire::Writer& request, std::vector<uint8_t>& answer) {
    return sendFrame(fd, request.bytes()) && recvFrame(fd, answer, wire::kMaxFrame) &&
           answer.size() >= 4;
}

class DaemonPort final : public ftd2xx::Port {
public:
    explicit DaemonPort(UniqueFd fd) : fd_(std::move(fd)) {}

    FT_STATUS close() override {
        FT_STATUS st = simple(wire::Writer().u8(wire::kClose));
        fd_.reset();
        return st;
    }

    FT_STATUS getDeviceInfo(uint32_t& type, uint32_t& id, std::string& serial,
                            std::string& description) override {
        return exchange(wire::Writer().u8(wire::kInfo), [&](wire::Reader& r) {
            type = r.u32();
            id = r.u32();
            serial = r.text();
            description = r.text();
        });
    }
    FT_STATUS getBitMode(uint8_t& pins) override {
        return exchange(wire::Writer().u8(wire::kGetBitMode),
                        [&](wire::Reader& r) { pins = r.u8(); });
    }
    FT_STATUS setBitMode(uint8_t mask, uint8_t mode) override {
        return simple(wire::Writer().u8(wire::kSetBitMode).u8(mask).u8(mode));
    }
    FT_STATUS purge(uint32_t mask) override {
        return simple(wire::Writer().u8(wire::kPurge).u32(mask));
    }
    FT_STATUS setBaudRate(uint32_t baud) override {
        return simple(wire::Writer().u8(wire::kSetBaud).u32(baud));
    }
    FT_STATUS setDataCharacteristics(uint8_t w, uint8_t s, uint8_t p) override {
        return simple(wire::Writer().u8(wire::kSetData).u8(w).u8(s).u8(p));
    }
    FT_STATUS setFlowControl(uint16_t flow, uint8_t xon, uint8_t xoff) override {
        return simple(wire::Writer().u8(wire::kSetFlow).u16(flow).u8(xon).u8(xoff));
    }
    FT_STATUS setTimeouts(uint32_t r, uint32_t w) override {
        return simple(wire::Writer().u8(wire::kSetTimeouts).u32(r).u32(w));
    }
    FT_STATUS setLatencyTimer(uint8_t ms) override {
        return simple(wire::Writer().u8(wire::kSetLatency).u8(ms));
    }
    FT_STATUS read(uint8_t* buffer, uint32_t count, uint32_t& got) override {
        got = 0;
        return exchange(wire::Writer().u8(wire::kRead).u32(count), [&](wire::Reader& r) {
            std::vector<uint8_t> data = r.block();
            if (data.size() > count) data.resize(count);
            if (!data.empty()) std::memcpy(buffer, data.data(), data.size());
            got = static_cast<uint32_t>(data.size());
        });
    }
    FT_STATUS write(const uint8_t* buffer, uint32_t count, uint32_t& written) override {
        written = 0;
        if (count > wire::kMaxFrame - 64) return FT_INVALID_PARAMETER;
        return exchange(wire::Writer().u8(wire::kWrite).block(buffer, count),
                        [&](wire::Reader& r) { written = r.u32(); });
    }
    FT_STATUS queueStatus(uint32_t& rx) override {
        return exchange(wire::Writer().u8(wire::kQueue), [&](wire::Reader& r) { rx = r.u32(); });
    }
    FT_STATUS status(uint32_t& rx, uint32_t& tx, uint32_t& events) override {
        events = 0;
        return exchange(wire::Writer().u8(wire::kStatus), [&](wire::Reader& r) {
            rx = r.u32();
            tx = r.u32();
        });
    }

private:
    template <class F>
    FT_STATUS exchange(const wire::Writer& request, F parse) {
        std::vector<uint8_t> answer;
        if (!fd_ || !call(fd_.get(), request, answer)) {
            fd_.reset();  // the daemon is gone: every later call fails the same way
            return FT_IO_ERROR;
        }
        wire::Reader r(answer);
        FT_STATUS st = r.u32();
        if (st == FT_OK) parse(r);
        return r.failed() ? FT_IO_ERROR : st;
    }
    FT_STATUS simple(const wire::Writer& request) {
        return exchange(request, [](wire::Reader&) {});
    }

    UniqueFd fd_;
};

}  // namespace

std::vector<ftd2xx::DeviceEntry> DaemonBackend::list() {
    std::vector<ftd2xx::DeviceEntry> out;
    UniqueFd fd = connectUnix(busSocketPath());
    std::vector<uint8_t> answer;
    if (!fd || !call(fd.get(), wire::Writer().u8(wire::kList), answer)) return out;
    wire::Reader r(answer);
    if (r.u32() != FT_OK) return out;
    uint32_t n = r.u32();
    for (uint32_t i = 0; i < n && !r.failed(); ++i) {
        ftd2xx::DeviceEntry e;
        e.flags = r.u32();
        e.type = r.u32();
        e.id = r.u32();
        e.locId = r.u32();
        e.serial = r.text();
        e.description = r.text();
        e.key = r.text();
        if (!r.failed()) out.push_back(std::move(e));
    }
    return out;
}

FT_STATUS DaemonBackend::open(const ftd2xx::DeviceEntry& entry, std::unique_ptr<ftd2xx::Port>& port,
                              std::string&) {
    UniqueFd fd = connectUnix(busSocketPath());
    std::vector<uint8_t> answer;
    if (!fd) return FT_DEVICE_NOT_FOUND;
    if (!call(fd.get(), wire::Writer().u8(wire::kOpen).text(entry.key), answer)) return FT_IO_ERROR;
    wire::Reader r(answer);
    FT_STATUS st = r.u32();
    if (st != FT_OK) return st;
    port = std::make_unique<DaemonPort>(std::move(fd));
    return FT_OK;
}

bool DaemonBackend::control(const std::string& serial, const std::string& command,
                            std::string& reply) {
    std::string path = busSocketPath();
    UniqueFd fd = connectUnix(path);
    if (!fd) {
        reply = "no bus daemon at " + path;
        return false;
    }
    std::vector<uint8_t> answer;
    if (!call(fd.get(), wire::Writer().u8(wire::kControl).text(serial).text(command), answer)) {
        reply = "the bus daemon did not answer";
        return false;
    }
    wire::Reader r(answer);
    FT_STATUS st = r.u32();
    reply = r.text();
    if (st != FT_OK && reply.empty()) reply = "no chip with serial " + serial;
    return st == FT_OK;
}

}  // namespace platform::vbus
