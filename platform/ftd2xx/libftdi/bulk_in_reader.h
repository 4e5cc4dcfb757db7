#pragma once

#include <cstdint>
#include <vector>

struct libusb_context;
struct libusb_device_handle;
struct libusb_transfer;

namespace platform::ftd2xx {

// Keeps one bulk-IN transfer waiting at the chip, as the FTDI drivers do, so that what the chip
// sends is collected without a round of its latency timer per question. The chip completes the
// transfer with a full buffer or, when its latency timer runs out, with what it has; each
// 64-byte packet starts with two modem-status bytes, which are dropped here.
//
// Completions are handled only on the calling thread, inside collect() or any other libusb call
// of the same context; nothing runs in the background, so an idle link costs nothing.
class BulkInReader {
public:
    BulkInReader(libusb_context* usb, libusb_device_handle* device, int endpoint,
                 unsigned packetSize);
    ~BulkInReader();
    BulkInReader(const BulkInReader&) = delete;
    BulkInReader& operator=(const BulkInReader&) = delete;

    // Appends what the chip has sent to `out`, waiting up to `timeoutMs` (0: only what has
    // already come) for the waiting transfer to complete. Bytes added, or -1 once the chip is
    // gone or the transfer failed.
    int collect(std::vector<uint8_t>& out, int timeoutMs);
    // Drops the waiting transfer and what it held (the chip's own buffer is the caller's).
    void discard();
    // Starts a new waiting transfer after discard().
    bool restart() { return submit(); }

private:
    static void completed(libusb_transfer* transfer);
    bool submit();
    int take(std::vector<uint8_t>& out);

    libusb_context* usb_;
    unsigned packetSize_;
    std::vector<uint8_t> buffer_;
    libusb_transfer* transfer_ = nullptr;
    enum class State { Idle, Pending, Completed } state_ = State::Idle;
};

}  // namespace platform::ftd2xx
