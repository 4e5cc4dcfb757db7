#include "hcsim/bus/bus_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "platform/clock/clock.h"
#include "platform/ftd2xx/vbus/bus_path.h"
#include "platform/ftd2xx/vbus/bus_wire.h"
#include "platform/posix/socket_io.h"

namespace hcsim {

using platform::vbus::Chip;
using platform::vbus::LocalBus;
namespace wire = platform::vbus::wire;

struct BusServer::Session {
    platform::UniqueFd fd;
    std::thread thread;
    std::atomic<bool> finished{false};
    std::shared_ptr<Chip> chip;  // the chip this connection holds open, if any
};

BusServer::BusServer(LocalBus& bus) : bus_(bus) {}

BusServer::~BusServer() {
    stop();
}

bool BusServer::start(const std::string& path, std::string& error) {
    if (!platform::vbus::makeSocketFolder(path, error)) return false;
    if (platform::connectUnix(path)) {
        error = "another bus daemon already serves " + path;
        return false;
    }
    ::unlink(path.c_str());
    listener_ = platform::listenUnix(path, error);
    if (!listener_) return false;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    wakeRead_.reset(pipeFds[0]);
    wakeWrite_.reset(pipeFds[1]);
    path_ = path;
    stopping_ = false;
    acceptThread_ = std::thread([this] { acceptLoop(); });
    return true;
}

void BusServer::stop() {
    if (!acceptThread_.joinable()) return;
    stopping_ = true;
    char byte = 0;
    [[maybe_unused]] ssize_t n = ::write(wakeWrite_.get(), &byte, 1);
    acceptThread_.join();
    {
        std::lock_guard<std::mutex> guard(mutex_);
        for (auto& s : sessions_)
            ::shutdown(s->fd.get(), SHUT_RDWR);
    }
    for (auto& s : sessions_)
        s->thread.join();
    sessions_.clear();
    listener_.reset();
    ::unlink(path_.c_str());
}

void BusServer::acceptLoop() {
    while (!stopping_) {
        pollfd fds[2] = {{listener_.get(), POLLIN, 0}, {wakeRead_.get(), POLLIN, 0}};
        if (::poll(fds, 2, 1000) < 0 && errno != EINTR) break;
        reapFinished();
        if (stopping_ || !(fds[0].revents & POLLIN)) continue;
        platform::UniqueFd fd(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!fd) continue;
        auto session = std::make_unique<Session>();
        session->fd = std::move(fd);
        Session& s = *session;
        std::lock_guard<std::mutex> guard(mutex_);
        sessions_.push_back(std::move(session));
        s.thread = std::thread([this, &s] {
            serve(s);
            s.finished = true;
        });
    }
}

void BusServer::reapFinished() {
    std::lock_guard<std::mutex> guard(mutex_);
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        if ((*it)->finished) {
            (*it)->thread.join();
            it = sessions_.erase(it);
        } else {
            ++it;
        }
    }
}

namespace {

// A read may wait for as long as the chip's time-out says (for ever when 0). It waits in
// slices so that a client that goes away meanwhile is noticed and its chip released.
FT_STATUS sliceRead(Chip& chip, int fd, uint32_t count, std::vector<uint8_t>& data) {
    constexpr int64_t kSliceMs = 100;
    data.resize(count);
    uint32_t total = 0;
    uint32_t timeout = chip.readTimeoutMs();
    platform::TimePoint deadline =
        timeout ? platform::now() + platform::Millis(timeout) : platform::TimePoint::max();
    for (;;) {
        int64_t left = kSliceMs;
        if (deadline != platform::TimePoint::max()) {
            auto ms = std::chrono::duration_cast<platform::Millis>(deadline - platform::now());
            left = std::max<int64_t>(0, std::min<int64_t>(kSliceMs, ms.count()));
        }
        uint32_t got = 0;
        FT_STATUS st = chip.read(data.data() + total, count - total, got, left);
        total += got;
        if (st != FT_OK) {
            data.resize(total);
            return st;
        }
        if (total == count || platform::now() >= deadline || platform::peerGone(fd)) break;
    }
    data.resize(total);
    return FT_OK;
}

}  // namespace

void BusServer::serve(Session& s) {
    std::vector<uint8_t> request;
    while (!stopping_ && platform::recvFrame(s.fd.get(), request, wire::kMaxFrame)) {
        wire::Reader in(request);
        wire::Writer out;
        uint8_t op = in.u8();
        FT_STATUS st = FT_OK;
        wire::Writer data;
        Chip* chip = s.chip.get();
        auto needChip = [&] {
            if (!chip) st = FT_INVALID_HANDLE;
            return chip != nullptr;
        };
        switch (op) {
            case wire::kList: {
                auto entries = bus_.list();
                data.u32(static_cast<uint32_t>(entries.size()));
                for (const auto& e : entries)
                    data.u32(e.flags)
                        .u32(e.type)
                        .u32(e.id)
                        .u32(e.locId)
                        .text(e.serial)
                        .text(e.description)
                        .text(e.key);
                break;
            }
            case wire::kOpen: {
                std::string key = in.text();
                if (chip) {
                    st = FT_DEVICE_NOT_OPENED;
                    break;
                }
                std::shared_ptr<Chip> found = bus_.byKey(key);
                if (!found) {
                    st = FT_DEVICE_NOT_FOUND;
                    break;
                }
                st = found->open(&s);
                if (st == FT_OK) s.chip = found;
                break;
            }
            case wire::kClose:
                if (chip) chip->close(&s);
                s.chip.reset();
                break;
            case wire::kInfo:
                if (needChip()) {
                    const auto& id = chip->identity();
                    st = chip->isPlugged() ? FT_OK : FT_IO_ERROR;
                    data.u32(id.type).u32(id.id).text(id.serial).text(id.description);
                }
                break;
            case wire::kGetBitMode:
                if (needChip()) {
                    uint8_t pins = 0;
                    st = chip->getBitMode(pins);
                    data.u8(pins);
                }
                break;
            case wire::kSetBitMode: {
                uint8_t mask = in.u8(), mode = in.u8();
                if (needChip()) st = chip->setBitMode(mask, mode);
                break;
            }
            case wire::kPurge: {
                uint32_t mask = in.u32();
                if (needChip()) st = chip->purge(mask);
                break;
            }
            case wire::kSetBaud: {
                uint32_t baud = in.u32();
                if (needChip()) st = chip->setBaudRate(baud);
                break;
            }
            case wire::kSetData: {
                uint8_t w = in.u8(), stop = in.u8(), p = in.u8();
                if (needChip()) st = chip->setDataCharacteristics(w, stop, p);
                break;
            }
            case wire::kSetFlow: {
                uint16_t flow = in.u16();
                uint8_t xon = in.u8(), xoff = in.u8();
                if (needChip()) st = chip->setFlowControl(flow, xon, xoff);
                break;
            }
            case wire::kSetTimeouts: {
                uint32_t r = in.u32(), w = in.u32();
                if (needChip()) st = chip->setTimeouts(r, w);
                break;
            }
            case wire::kSetLatency: {
                uint8_t ms = in.u8();
                if (needChip()) st = chip->setLatencyTimer(ms);
                break;
            }
            case wire::kRead: {
                uint32_t count = in.u32();
                std::vector<uint8_t> bytes;
                if (count > wire::kMaxFrame - 64)
                    st = FT_INVALID_PARAMETER;
                else if (needChip())
                    st = sliceRead(*chip, s.fd.get(), count, bytes);
                data.block(bytes.data(), bytes.size());
                break;
            }
            case wire::kWrite: {
                std::vector<uint8_t> bytes = in.block();
                uint32_t written = 0;
                if (needChip() && !in.failed())
                    st = chip->write(bytes.data(), static_cast<uint32_t>(bytes.size()), written);
                data.u32(written);
                break;
            }
            case wire::kQueue: {
                uint32_t rx = 0;
                if (needChip()) st = chip->queueStatus(rx);
                data.u32(rx);
                break;
            }
            case wire::kStatus: {
                uint32_t rx = 0, tx = 0;
                if (needChip()) st = chip->status(rx, tx);
                data.u32(rx).u32(tx);
                break;
            }
            case wire::kControl: {
                std::string serial = in.text(), command = in.text();
                auto target = bus_.find(serial);
                if (!target) {
                    st = FT_DEVICE_NOT_FOUND;
                    data.text("no chip with serial " + serial);
                } else {
                    data.text(target->control(command));
                }
                break;
            }
            default:
                st = FT_NOT_SUPPORTED;
        }
        if (in.failed()) st = FT_INVALID_PARAMETER;
        out.u32(st);
        std::vector<uint8_t> answer = out.bytes();
        answer.insert(answer.end(), data.bytes().begin(), data.bytes().end());
        if (!platform::sendFrame(s.fd.get(), answer)) break;
    }
    if (s.chip) s.chip->close(&s);
    s.chip.reset();
}

}  // namespace hcsim
