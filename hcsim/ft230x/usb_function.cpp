#include "hcsim/ft230x/usb_function.h"

#include <algorithm>

namespace hcsim::ft230x {
namespace {

// FTDI vendor requests.
constexpr uint8_t kReset = 0x00;
constexpr uint8_t kModemCtrl = 0x01;
constexpr uint8_t kSetFlowCtrl = 0x02;
constexpr uint8_t kSetBaudRate = 0x03;
constexpr uint8_t kSetData = 0x04;
constexpr uint8_t kPollModemStatus = 0x05;
constexpr uint8_t kSetEventChar = 0x06;
constexpr uint8_t kSetErrorChar = 0x07;
constexpr uint8_t kSetLatencyTimer = 0x09;
constexpr uint8_t kGetLatencyTimer = 0x0A;
constexpr uint8_t kSetBitMode = 0x0B;
constexpr uint8_t kReadPins = 0x0C;
constexpr uint8_t kReadEeprom = 0x90;
constexpr uint8_t kWriteEeprom = 0x91;
constexpr uint8_t kEraseEeprom = 0x92;

// The modem-status bytes that lead every bulk-IN packet: CTS and DSR up, transmitter empty.
constexpr uint8_t kStatus0 = 0x01;
constexpr uint8_t kStatus1 = 0x60;
constexpr size_t kPayload = kPacketSize - 2;
constexpr uint32_t kTxBuffer = 512;

}  // namespace

uint32_t baudFromDivisor(uint16_t value, uint16_t index) {
    uint32_t encoded = value | static_cast<uint32_t>(index & 0x01) << 16;
    uint32_t whole = encoded & 0x3FFF;
    // The sub-integer part in eighths, as the chip codes it.
    static constexpr uint32_t kEighths[8] = {0, 4, 2, 1, 3, 5, 6, 7};
    uint32_t eighths = kEighths[(encoded >> 14) & 7];
    if (whole == 0 && eighths == 0) return 3'000'000;
    if (whole == 1 && eighths == 0) return 2'000'000;
    uint32_t div8 = whole * 8 + eighths;
    return (24'000'000 + div8 / 2) / div8;
}

UsbFunction::UsbFunction(UsbIdentity id, const std::array<CbusFunction, 4>& cbus,
                         std::shared_ptr<platform::vbus::Chip> line)
    : id_(std::move(id)), line_(std::move(line)), eeprom_(id_, cbus) {
    line_->setPaced(true);
    line_->open(this);
}

Bytes UsbFunction::descriptors() const {
    Bytes d = deviceDescriptor(id_);
    Bytes c = configurationDescriptor();
    d.insert(d.end(), c.begin(), c.end());
    return d;
}

uint8_t UsbFunction::latencyMs() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return latencyMs_;
}

uint8_t UsbFunction::gpioPins() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return eeprom_.gpioPins();
}

ControlReply UsbFunction::control(uint8_t requestType, uint8_t request, uint16_t value,
                                  uint16_t index, uint16_t length, const Bytes& outData) {
    std::lock_guard<std::mutex> guard(mutex_);
    ControlReply reply;
    switch (requestType & 0x60) {
        case 0x00:
            reply = standard(request, value, length);
            break;
        case 0x40:
            if (request == kWriteEeprom) {
                eeprom_.write(static_cast<uint8_t>(index), value);
                return {};
            }
            reply = vendor(request, value, index, length);
            break;
        default:
            reply.stall = true;
    }
    (void)outData;
    if (reply.data.size() > length) reply.data.resize(length);
    return reply;
}

ControlReply UsbFunction::standard(uint8_t request, uint16_t value, uint16_t length) {
    switch (request) {
        case 0x00:  // GET_STATUS
            return {false, {0, 0}};
        case 0x06: {  // GET_DESCRIPTOR
            uint8_t type = static_cast<uint8_t>(value >> 8);
            Bytes d = type == 1   ? deviceDescriptor(id_)
                      : type == 2 ? configurationDescriptor()
                      : type == 3 ? stringDescriptor(id_, static_cast<uint8_t>(value))
                                  : Bytes{};
            if (d.empty()) return {true, {}};
            return {false, d};
        }
        case 0x08:  // GET_CONFIGURATION
            return {false, {1}};
        case 0x09:  // SET_CONFIGURATION
        case 0x0B:  // SET_INTERFACE
        case 0x01:  // CLEAR_FEATURE (an endpoint halt)
            return {};
        default:
            (void)length;
            return {true, {}};
    }
}

ControlReply UsbFunction::vendor(uint8_t request, uint16_t value, uint16_t index, uint16_t length) {
    (void)length;
    auto ok = [](FT_STATUS s) { return ControlReply{s != FT_OK, {}}; };
    switch (request) {
        case kReset:
            // 0 resets the port, 1 clears what the PC sent and the line has not taken yet,
            // 2 what the line received and the PC has not read.
            if (value == 0) return ok(line_->purge(FT_PURGE_RX | FT_PURGE_TX));
            if (value == 1) return ok(line_->purge(FT_PURGE_TX));
            if (value == 2) return ok(line_->purge(FT_PURGE_RX));
            return {true, {}};
        case kModemCtrl:
        case kSetEventChar:
        case kSetErrorChar:
            return {};
        case kSetFlowCtrl:
            return ok(line_->setFlowControl(
                (index & 0xFF00) == 0x0100 ? FT_FLOW_RTS_CTS : FT_FLOW_NONE, 0, 0));
        case kSetBaudRate:
            return ok(line_->setBaudRate(baudFromDivisor(value, index)));
        case kSetData: {
            uint8_t bits = static_cast<uint8_t>(value & 0xFF);
            uint8_t parity = static_cast<uint8_t>((value >> 8) & 7);
            uint8_t stop = ((value >> 11) & 3) == 2 ? FT_STOP_BITS_2 : FT_STOP_BITS_1;
            return ok(line_->setDataCharacteristics(bits, stop, parity));
        }
        case kPollModemStatus:
            return {false, {kStatus0, kStatus1}};
        case kSetLatencyTimer: {
            uint8_t ms = static_cast<uint8_t>(value & 0xFF);
            if (ms == 0) return {true, {}};
            latencyMs_ = ms;
            return {};
        }
        case kGetLatencyTimer:
            return {false, {latencyMs_}};
        case kSetBitMode: {
            uint8_t mode = static_cast<uint8_t>(value >> 8);
            uint8_t mask = static_cast<uint8_t>(value & 0xFF);
            if (mode == FT_BITMODE_RESET) return ok(line_->setBitMode(0, FT_BITMODE_RESET));
            if (mode != FT_BITMODE_CBUS_BITBANG) return {true, {}};
            // Only pins the EEPROM made GPIO follow bit-bang; the others keep their function.
            uint8_t gpio = eeprom_.gpioPins();
            uint8_t outputs = static_cast<uint8_t>((mask >> 4) & gpio);
            uint8_t levels = static_cast<uint8_t>(mask & outputs);
            return ok(line_->setBitMode(static_cast<uint8_t>(outputs << 4 | levels),
                                        FT_BITMODE_CBUS_BITBANG));
        }
        case kReadPins: {
            uint8_t pins = 0;
            if (line_->getBitMode(pins) != FT_OK) return {true, {}};
            return {false, {pins}};
        }
        case kReadEeprom: {
            uint16_t w = eeprom_.word(static_cast<uint8_t>(index));
            return {false, {static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8)}};
        }
        case kEraseEeprom:
            return {true, {}};
        default:
            return {true, {}};
    }
}

void UsbFunction::bulkOut(const uint8_t* data, size_t count) {
    uint32_t written = 0;
    line_->write(data, static_cast<uint32_t>(count), written);
}

bool UsbFunction::bulkOutDone() {
    uint32_t rx = 0, tx = 0;
    line_->status(rx, tx);
    return tx <= kTxBuffer;
}

std::optional<Bytes> UsbFunction::bulkIn(InUrbState& urb, platform::TimePoint now) {
    std::lock_guard<std::mutex> guard(mutex_);
    uint32_t ready = 0;
    if (line_->queueStatus(ready) != FT_OK) return std::nullopt;
    size_t packets = std::max<size_t>(urb.capacity / kPacketSize, 1);
    size_t full = ready / kPayload;
    size_t take = 0;
    if (full >= packets) {
        take = packets * kPayload;
    } else {
        // Full packets leave at once, and each restarts the latency timer; what is left goes
        // in a short packet when the timer runs out.
        if (static_cast<int>(full) > urb.fullPacketsSeen) {
            urb.fullPacketsSeen = static_cast<int>(full);
            lastPacketAt_ = now;
        }
        if (now - lastPacketAt_ < platform::Millis(latencyMs_)) return std::nullopt;
        take = ready;
    }
    Bytes payload(take);
    uint32_t got = 0;
    if (take) line_->read(payload.data(), static_cast<uint32_t>(take), got, 0);
    payload.resize(got);
    Bytes packetsOut;
    size_t at = 0;
    do {
        size_t n = std::min(kPayload, payload.size() - at);
        packetsOut.push_back(kStatus0);
        packetsOut.push_back(kStatus1);
        packetsOut.insert(packetsOut.end(), payload.begin() + static_cast<std::ptrdiff_t>(at),
                          payload.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
    } while (at < payload.size());
    // A run of full packets that does not fill the URB ends with a status-only packet.
    if (got && got % kPayload == 0 && packetsOut.size() + 2 <= urb.capacity &&
        got < packets * kPayload) {
        packetsOut.push_back(kStatus0);
        packetsOut.push_back(kStatus1);
    }
    lastPacketAt_ = now;
    return packetsOut;
}

}  // namespace hcsim::ft230x
