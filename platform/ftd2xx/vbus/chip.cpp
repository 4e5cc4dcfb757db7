#include "platform/ftd2xx/vbus/chip.h"

#include <algorithm>
#include <cstring>

namespace platform::vbus {

using std::chrono::nanoseconds;

Chip::Chip(ChipIdentity identity, std::unique_ptr<Device> device)
    : identity_(std::move(identity)), device_(std::move(device)) {}

Chip::~Chip() = default;

bool Chip::isOpen() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return owner_ != nullptr;
}

bool Chip::isPlugged() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return plugged_;
}

FT_STATUS Chip::open(const void* owner) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!plugged_) return FT_DEVICE_NOT_FOUND;
    if (owner_) return FT_DEVICE_NOT_OPENED;
    owner_ = owner;
    return FT_OK;
}

// The chip keeps its settings and CBUS pins after a close, as the real one does: a control
// line left high stays high.
void Chip::close(const void* owner) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (owner_ == owner) owner_ = nullptr;
}

int64_t Chip::bitsPerByte() const {
    return 1 + line_.wordLength + (line_.parity ? 1 : 0) + (line_.stopBits == 2 ? 2 : 1);
}

// Computed for the whole count at once, so that rounding does not add up byte by byte.
nanoseconds Chip::lineTime(size_t bytes) const {
    if (!paced_ || line_.baud == 0) return nanoseconds(0);
    return nanoseconds(static_cast<int64_t>(bytes) * bitsPerByte() * 1'000'000'000 / line_.baud);
}

void Chip::tick(TimePoint now) {
    Bytes out;
    device_->onTick(now, out);
    deliver(out, now);
}

void Chip::deliver(Bytes& out, TimePoint at) {
    if (out.empty()) return;
    if (paced_) {
        TimePoint start = std::max(at, rxLineFreeAt_);
        rxLineFreeAt_ = start + lineTime(out.size());
    }
    rx_.insert(rx_.end(), out.begin(), out.end());
    arrived_.notify_all();
}

uint32_t Chip::inFlight(TimePoint lineFreeAt, TimePoint now, size_t queued) const {
    if (!paced_ || lineFreeAt <= now || line_.baud == 0) return 0;
    int64_t perSecond = bitsPerByte() * 1'000'000'000;
    int64_t left = std::chrono::duration_cast<nanoseconds>(lineFreeAt - now).count();
    // Bytes whose last bit is still on the line; guards against overflow for huge waits.
    if (left > INT64_MAX / line_.baud) return static_cast<uint32_t>(queued);
    auto n = static_cast<size_t>((left * line_.baud + perSecond - 1) / perSecond);
    return static_cast<uint32_t>(std::min(n, queued));
}

uint32_t Chip::readyCount(TimePoint now) const {
    size_t queued = rx_.size() - rxHead_;
    return static_cast<uint32_t>(queued - inFlight(rxLineFreeAt_, now, queued));
}

uint8_t Chip::pinLevels() const {
    if (!cbusMode_) return 0;
    uint8_t outputs = bitModeMask_ >> 4;
    return bitModeMask_ & outputs & 0x0F;
}

void Chip::notifyPins(TimePoint now) {
    uint8_t levels = pinLevels();
    if (levels == lastPins_) return;
    lastPins_ = levels;
    Bytes out;
    device_->onPins(levels, now, out);
    deliver(out, now);
}

FT_STATUS Chip::setBaudRate(uint32_t baud) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!plugged_) return FT_IO_ERROR;
    // The FT230X reaches 3 MBd; lower rates down to 183 Bd come from its divisor.
    if (baud < 183 || baud > 3'000'000) return FT_INVALID_BAUD_RATE;
    tick(clock().now());
    line_.baud = baud;
    return FT_OK;
}

FT_STATUS Chip::setDataCharacteristics(uint8_t wordLength, uint8_t stopBits, uint8_t parity) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!plugged_) return FT_IO_ERROR;
    if ((wordLength != 7 && wordLength != 8) || (stopBits != 0 && stopBits != 2) || parity > 4)
        return FT_INVALID_PARAMETER;
    line_.wordLength = wordLength;
    line_.stopBits = stopBits;
    line_.parity = parity;
    return FT_OK;
}

FT_STATUS Chip::setFlowControl(uint16_t flow, uint8_t, uint8_t) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!plugged_) return FT_IO_ERROR;
    line_.flow = flow;
    return FT_OK;
}

FT_STATUS Chip::setTimeouts(uint32_t readMs, uint32_t writeMs) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!plugged_) return FT_IO_ERROR;
    readTimeoutMs_ = readMs;
    writeTimeoutMs_ = writeMs;
    return FT_OK;
}

uint32_t Chip::readTimeoutMs() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return readTimeoutMs_;
}

FT_STATUS Chip::setLatencyTimer(uint8_t ms) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!plugged_) return FT_IO_ERROR;
    if (ms < 1) return FT_INVALID_PARAMETER;
    latencyMs_ = ms;
    return FT_OK;
}

FT_STATUS Chip::setBitMode(uint8_t mask, uint8_t mode) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!plugged_) return FT_IO_ERROR;
    TimePoint now = clock().now();
    tick(now);
    if (mode == FT_BITMODE_CBUS_BITBANG) {
        cbusMode_ = true;
        bitModeMask_ = mask;
    } else if (mode == FT_BITMODE_RESET) {
        cbusMode_ = false;
    } else {
        return FT_NOT_SUPPORTED;
    }
    notifyPins(now);
    return FT_OK;
}

FT_STATUS Chip::getBitMode(uint8_t& pins) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!plugged_) return FT_IO_ERROR;
    pins = pinLevels();
    return FT_OK;
}

FT_STATUS Chip::purge(uint32_t mask) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!plugged_) return FT_IO_ERROR;
    TimePoint now = clock().now();
    tick(now);
    if (mask & FT_PURGE_RX) {
        rx_.clear();
        rxHead_ = 0;
        rxLineFreeAt_ = std::min(rxLineFreeAt_, now);
    }
    if (mask & FT_PURGE_TX) txLineFreeAt_ = std::min(txLineFreeAt_, now);
    return FT_OK;
}

FT_STATUS Chip::read(uint8_t* buffer, uint32_t count, uint32_t& got, int64_t maxWaitMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    got = 0;
    if (!plugged_) return FT_IO_ERROR;
    Clock& clk = clock();
    TimePoint start = clk.now();
    TimePoint deadline = readTimeoutMs_ ? start + Millis(readTimeoutMs_) : TimePoint::max();
    if (maxWaitMs >= 0) deadline = std::min(deadline, start + Millis(maxWaitMs));
    uint32_t ready = 0;
    for (;;) {
        TimePoint now = clk.now();
        tick(now);
        ready = readyCount(now);
        if (ready >= count || now >= deadline) break;
        TimePoint wake = std::min(deadline, device_->nextEvent());
        size_t queued = rx_.size() - rxHead_;
        if (queued > ready) {
            // The bytes still on the line arrive one byte time apart, the last at
            // rxLineFreeAt_: wake when the one that completes the request (or the last) is in.
            size_t want = std::min<size_t>(count, queued);
            wake = std::min(wake, rxLineFreeAt_ - lineTime(queued - want));
        }
        // A device whose next event is already due must not make this loop spin.
        if (wake <= now) wake = now + Millis(1);
        size_t before = rx_.size();
        auto changed = [&] { return rx_.size() != before || !plugged_; };
        if (wake == TimePoint::max())
            arrived_.wait(lock, changed);
        else
            clk.waitUntil(lock, arrived_, wake, changed);
        if (!plugged_) return FT_IO_ERROR;
    }
    got = std::min(ready, count);
    if (got) std::memcpy(buffer, rx_.data() + rxHead_, got);
    rxHead_ += got;
    if (rxHead_ == rx_.size()) {
        rx_.clear();
        rxHead_ = 0;
    } else if (rxHead_ > 65536 && rxHead_ > rx_.size() / 2) {
        rx_.erase(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(rxHead_));
        rxHead_ = 0;
    }
    return FT_OK;
}

FT_STATUS Chip::write(const uint8_t* buffer, uint32_t count, uint32_t& written) {
    std::unique_lock<std::mutex> lock(mutex_);
    written = 0;
    if (!plugged_) return FT_IO_ERROR;
    Clock& clk = clock();
    TimePoint now = clk.now();
    tick(now);
    if (writeStall_) {
        // A stalled line takes nothing until the write time-out ends the call.
        TimePoint deadline = writeTimeoutMs_ ? now + Millis(writeTimeoutMs_) : TimePoint::max();
        auto released = [&] { return !writeStall_ || !plugged_; };
        if (deadline == TimePoint::max())
            arrived_.wait(lock, released);
        else
            clk.waitUntil(lock, arrived_, deadline, released);
        if (!plugged_) return FT_IO_ERROR;
        if (writeStall_) return FT_OK;
        now = clk.now();
    }
    TimePoint at = now;
    if (paced_) {
        TimePoint begin = std::max(now, txLineFreeAt_);
        txLineFreeAt_ = begin + lineTime(count);
        at = txLineFreeAt_;
    }
    Bytes out;
    device_->onReceive(buffer, count, line_, at, out);
    deliver(out, at);
    written = count;
    return FT_OK;
}

FT_STATUS Chip::queueStatus(uint32_t& rxBytes) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!plugged_) return FT_IO_ERROR;
    TimePoint now = clock().now();
    tick(now);
    rxBytes = readyCount(now);
    return FT_OK;
}

FT_STATUS Chip::status(uint32_t& rxBytes, uint32_t& txBytes) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!plugged_) return FT_IO_ERROR;
    TimePoint now = clock().now();
    tick(now);
    rxBytes = readyCount(now);
    txBytes = inFlight(txLineFreeAt_, now, SIZE_MAX);
    return FT_OK;
}

std::string Chip::control(const std::string& command) {
    std::lock_guard<std::mutex> guard(mutex_);
    TimePoint now = clock().now();
    tick(now);
    Bytes out;
    std::string reply = device_->onControl(command, now, out);
    deliver(out, now);
    return reply;
}

void Chip::withDevice(const std::function<void(Device&, TimePoint, Bytes&)>& f) {
    std::lock_guard<std::mutex> guard(mutex_);
    TimePoint now = clock().now();
    tick(now);
    Bytes out;
    f(*device_, now, out);
    deliver(out, now);
}

void Chip::setPaced(bool paced) {
    std::lock_guard<std::mutex> guard(mutex_);
    paced_ = paced;
}

void Chip::setWriteStall(bool stall) {
    std::lock_guard<std::mutex> guard(mutex_);
    writeStall_ = stall;
    arrived_.notify_all();
}

void Chip::unplug() {
    std::lock_guard<std::mutex> guard(mutex_);
    plugged_ = false;
    arrived_.notify_all();
}

}  // namespace platform::vbus
