#include "platform/ftd2xx/libftdi/ftdi_backend.h"

#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/clock/clock.h"
#include "platform/ftd2xx/libftdi/bulk_in_reader.h"
#include "platform/ftd2xx/libftdi/chip_access.h"
#include "platform/ftd2xx/libftdi/usb_sysfs.h"

namespace platform::ftd2xx {
namespace {

constexpr int kVendor = 0x0403;
constexpr int kProduct = 0x6015;

struct ContextDeleter {
    void operator()(ftdi_context* c) const { ftdi_free(c); }
};
using Context = std::unique_ptr<ftdi_context, ContextDeleter>;

struct DeviceListDeleter {
    void operator()(ftdi_device_list* l) const { ftdi_list_free2(l); }
};
using DeviceList = std::unique_ptr<ftdi_device_list, DeviceListDeleter>;

std::string keyOf(libusb_device* dev) {
    return std::to_string(libusb_get_bus_number(dev)) + ":" +
           std::to_string(libusb_get_device_address(dev));
}

class FtdiPort final : public Port {
public:
    FtdiPort(FtdiBackend& backend, Context ctx, DeviceEntry entry)
        : backend_(backend),
          ctx_(std::move(ctx)),
          entry_(std::move(entry)),
          in_(std::make_unique<BulkInReader>(ctx_->usb_ctx, ctx_->usb_dev, ctx_->out_ep,
                                             ctx_->max_packet_size)) {
        backend_.markOpen(entry_.key, true);
    }
    ~FtdiPort() override { close(); }

    FT_STATUS close() override {
        if (!ctx_) return FT_OK;
        in_.reset();  // its transfer goes back before the device does
        int r = ftdi_usb_close(ctx_.get());
        ctx_.reset();
        backend_.markOpen(entry_.key, false);
        return r == 0 ? FT_OK : FT_IO_ERROR;
    }

    FT_STATUS getDeviceInfo(uint32_t& type, uint32_t& id, std::string& serial,
                            std::string& description) override {
        if (!ctx_) return FT_INVALID_HANDLE;
        type = entry_.type;
        id = entry_.id;
        serial = entry_.serial;
        description = entry_.description;
        return FT_OK;
    }

    FT_STATUS getBitMode(uint8_t& pins) override {
        return check(ctx_ ? ftdi_read_pins(ctx_.get(), &pins) : -1);
    }

    FT_STATUS setBitMode(uint8_t mask, uint8_t mode) override {
        if (!ctx_) return FT_INVALID_HANDLE;
        if (mode == FT_BITMODE_RESET) {
            if (ftdi_disable_bitbang(ctx_.get()) < 0) return FT_IO_ERROR;
            // Leaving a bit mode needs the baud rate set again.
            return setBaudRate(baud_);
        }
        if (mode != FT_BITMODE_CBUS_BITBANG) return FT_NOT_SUPPORTED;
        return check(ftdi_set_bitmode(ctx_.get(), mask, BITMODE_CBUS));
    }

    FT_STATUS purge(uint32_t mask) override {
        if (!ctx_) return FT_INVALID_HANDLE;
        if (mask & FT_PURGE_RX) {
            in_->discard();
            rx_.clear();
            if (ftdi_tciflush(ctx_.get()) < 0 || !in_->restart()) return FT_IO_ERROR;
        }
        if ((mask & FT_PURGE_TX) && ftdi_tcoflush(ctx_.get()) < 0) return FT_IO_ERROR;
        return FT_OK;
    }

    FT_STATUS setBaudRate(uint32_t baud) override {
        if (!ctx_) return FT_INVALID_HANDLE;
        // libftdi quadruples the rate while any bit mode is on, which is right for the
        // data-pin bit-bang modes but not for CBUS bit-bang, where the UART keeps running.
        unsigned char bitbang = ctx_->bitbang_enabled;
        ctx_->bitbang_enabled = 0;
        int r = ftdi_set_baudrate(ctx_.get(), static_cast<int>(baud));
        ctx_->bitbang_enabled = bitbang;
        if (r == -1) return FT_INVALID_BAUD_RATE;
        if (r < 0) return FT_IO_ERROR;
        baud_ = baud;
        return FT_OK;
    }

    FT_STATUS setDataCharacteristics(uint8_t w, uint8_t s, uint8_t p) override {
        if (!ctx_) return FT_INVALID_HANDLE;
        auto bits = w == 7 ? BITS_7 : BITS_8;
        auto stop = s == FT_STOP_BITS_2 ? STOP_BIT_2 : STOP_BIT_1;
        auto parity = static_cast<ftdi_parity_type>(std::min<uint8_t>(p, SPACE));
        return check(ftdi_set_line_property(ctx_.get(), bits, stop, parity));
    }

    FT_STATUS setFlowControl(uint16_t flow, uint8_t, uint8_t) override {
        if (!ctx_) return FT_INVALID_HANDLE;
        int mode = flow == FT_FLOW_RTS_CTS ? SIO_RTS_CTS_HS : SIO_DISABLE_FLOW_CTRL;
        return check(ftdi_setflowctrl(ctx_.get(), mode));
    }

    FT_STATUS setTimeouts(uint32_t r, uint32_t w) override {
        if (!ctx_) return FT_INVALID_HANDLE;
        readTimeoutMs_ = r;
        ctx_->usb_read_timeout = static_cast<int>(r);
        ctx_->usb_write_timeout = static_cast<int>(w);
        return FT_OK;
    }

    FT_STATUS setLatencyTimer(uint8_t ms) override {
        return check(ctx_ ? ftdi_set_latency_timer(ctx_.get(), ms) : -1);
    }

    // A D2XX read waits for the whole count or the time-out (0: no time-out).
    FT_STATUS read(uint8_t* buffer, uint32_t count, uint32_t& got) override {
        got = 0;
        if (!ctx_) return FT_INVALID_HANDLE;
        TimePoint deadline = readTimeoutMs_ ? now() + Millis(readTimeoutMs_) : TimePoint::max();
        while (rx_.size() < count) {
            int r = in_->collect(rx_, waitMs(deadline));
            if (r < 0) return FT_IO_ERROR;
            if (r == 0 && now() >= deadline) break;
        }
        got = static_cast<uint32_t>(std::min<size_t>(count, rx_.size()));
        if (got) std::memcpy(buffer, rx_.data(), got);
        rx_.erase(rx_.begin(), rx_.begin() + got);
        return FT_OK;
    }

    FT_STATUS write(const uint8_t* buffer, uint32_t count, uint32_t& written) override {
        written = 0;
        if (!ctx_) return FT_INVALID_HANDLE;
        int r = ftdi_write_data(ctx_.get(), buffer, static_cast<int>(count));
        if (r < 0) return FT_IO_ERROR;  // libftdi loses the count already sent
        written = static_cast<uint32_t>(r);
        return FT_OK;
    }

    FT_STATUS queueStatus(uint32_t& rx) override {
        if (!ctx_) return FT_INVALID_HANDLE;
        // What has come already, without waiting for the chip's next packet.
        if (in_->collect(rx_, 0) < 0) return FT_IO_ERROR;
        rx = static_cast<uint32_t>(rx_.size());
        return FT_OK;
    }

    // The chip reports no transmit count; at the HC's rate its queue drains within
    // microseconds, so 0 is what a D2XX caller would see.
    FT_STATUS status(uint32_t& rx, uint32_t& tx, uint32_t& events) override {
        tx = 0;
        events = 0;
        return queueStatus(rx);
    }

private:
    // How long one wait for the chip may last: up to the deadline, and in slices of a second
    // without one.
    static int waitMs(TimePoint deadline) {
        constexpr int64_t kSliceMs = 1000;
        if (deadline == TimePoint::max()) return kSliceMs;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now());
        return static_cast<int>(std::clamp<int64_t>(left.count(), 0, kSliceMs));
    }

    static FT_STATUS check(int r) { return r < 0 ? FT_IO_ERROR : FT_OK; }

    FtdiBackend& backend_;
    Context ctx_;
    DeviceEntry entry_;
    std::unique_ptr<BulkInReader> in_;
    std::vector<uint8_t> rx_;
    uint32_t readTimeoutMs_ = 0;
    uint32_t baud_ = 9600;  // libftdi's open sets 9600
};

}  // namespace

void FtdiBackend::markOpen(const std::string& key, bool open) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (open)
        open_.insert(key);
    else
        open_.erase(key);
}

std::vector<DeviceEntry> FtdiBackend::list() {
    std::vector<DeviceEntry> out;
    Context ctx(ftdi_new());
    if (!ctx) return out;
    ftdi_device_list* raw = nullptr;
    if (ftdi_usb_find_all(ctx.get(), &raw, kVendor, kProduct) <= 0) {
        ftdi_list_free(&raw);
        return out;
    }
    DeviceList devices(raw);
    for (ftdi_device_list* d = devices.get(); d; d = d->next) {
        DeviceEntry e;
        e.type = FT_DEVICE_X_SERIES;
        e.id = uint32_t(kVendor) << 16 | kProduct;
        e.locId = uint32_t(libusb_get_bus_number(d->dev)) << 8 | libusb_get_port_number(d->dev);
        e.key = keyOf(d->dev);
        char manufacturer[128] = {}, description[64] = {}, serial[16] = {};
        if (ftdi_usb_get_strings2(ctx.get(), d->dev, manufacturer, sizeof manufacturer, description,
                                  sizeof description, serial, sizeof serial) == 0) {
            e.description = description;
            e.serial = serial;
        } else {
            e.problem = accessProblem(d->dev);
        }
        {
            std::lock_guard<std::mutex> guard(mutex_);
            if (open_.count(e.key)) e.flags |= FT_FLAGS_OPENED;
        }
        // Another program that holds the chip has claimed its interface through usbfs.
        if (interfaceDriver(d->dev) == "usbfs") e.flags |= FT_FLAGS_OPENED;
        out.push_back(std::move(e));
    }
    return out;
}

FT_STATUS FtdiBackend::open(const DeviceEntry& entry, std::unique_ptr<Port>& port,
                            std::string& why) {
    Context ctx(ftdi_new());
    if (!ctx) return FT_INSUFFICIENT_RESOURCES;
    ftdi_device_list* raw = nullptr;
    if (ftdi_usb_find_all(ctx.get(), &raw, kVendor, kProduct) <= 0) {
        ftdi_list_free(&raw);
        return FT_DEVICE_NOT_FOUND;
    }
    DeviceList devices(raw);
    for (ftdi_device_list* d = devices.get(); d; d = d->next) {
        if (keyOf(d->dev) != entry.key) continue;
        if (openChip(ctx.get(), d->dev, why) < 0) return FT_DEVICE_NOT_OPENED;
        port = std::make_unique<FtdiPort>(*this, std::move(ctx), entry);
        return FT_OK;
    }
    return FT_DEVICE_NOT_FOUND;
}

}  // namespace platform::ftd2xx
