#include "platform/ftd2xx/libftdi/bulk_in_reader.h"

#include <libusb.h>

#include <algorithm>
#include <chrono>

namespace platform::ftd2xx {
namespace {

constexpr unsigned kPacketsPerTransfer = 64;

}  // namespace

BulkInReader::BulkInReader(libusb_context* usb, libusb_device_handle* device, int endpoint,
                           unsigned packetSize)
    : usb_(usb),
      packetSize_(std::max(packetSize, 8u)),
      buffer_(packetSize_ * kPacketsPerTransfer),
      transfer_(libusb_alloc_transfer(0)) {
    if (!transfer_) return;
    libusb_fill_bulk_transfer(transfer_, device, static_cast<unsigned char>(endpoint),
                              buffer_.data(), static_cast<int>(buffer_.size()), &completed, this,
                              0);
    submit();
}

BulkInReader::~BulkInReader() {
    discard();
    if (transfer_) libusb_free_transfer(transfer_);
}

void BulkInReader::completed(libusb_transfer* transfer) {
    static_cast<BulkInReader*>(transfer->user_data)->state_ = State::Completed;
}

bool BulkInReader::submit() {
    if (!transfer_) return false;
    if (state_ == State::Pending) return true;
    if (libusb_submit_transfer(transfer_) != 0) {
        state_ = State::Idle;
        return false;
    }
    state_ = State::Pending;
    return true;
}

void BulkInReader::discard() {
    if (state_ != State::Pending) {
        state_ = State::Idle;
        return;
    }
    // A transfer already completing is not cancelled; its callback comes all the same.
    libusb_cancel_transfer(transfer_);
    // The buffer may not be used again before libusb has handed the transfer back.
    for (int round = 0; state_ == State::Pending && round < 1000; ++round) {
        timeval tv{0, 10'000};
        if (libusb_handle_events_timeout(usb_, &tv) != 0) break;
    }
    state_ = State::Idle;
}

int BulkInReader::take(std::vector<uint8_t>& out) {
    state_ = State::Idle;
    // No device, a stall or an error: the link is broken, and nothing is submitted again.
    if (transfer_->status != LIBUSB_TRANSFER_COMPLETED) return -1;
    int added = 0;
    const int actual = transfer_->actual_length;
    for (int at = 0; at < actual; at += static_cast<int>(packetSize_)) {
        const int n = std::min(actual - at, static_cast<int>(packetSize_));
        if (n <= 2) continue;
        out.insert(out.end(), buffer_.begin() + at + 2, buffer_.begin() + at + n);
        added += n - 2;
    }
    return submit() ? added : -1;
}

int BulkInReader::collect(std::vector<uint8_t>& out, int timeoutMs) {
    if (state_ == State::Idle && !submit()) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (state_ == State::Pending) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
            deadline - std::chrono::steady_clock::now());
        timeval tv{0, 0};
        if (left.count() > 0) {
            tv.tv_sec = static_cast<time_t>(left.count() / 1'000'000);
            tv.tv_usec = static_cast<suseconds_t>(left.count() % 1'000'000);
        }
        if (libusb_handle_events_timeout(usb_, &tv) != 0) return -1;
        if (left.count() <= 0) break;
    }
    if (state_ == State::Pending) return 0;
    return take(out);
}

}  // namespace platform::ftd2xx
