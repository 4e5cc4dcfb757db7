// The USB side of the link object, over the FT_* operations.

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "platform/clock/clock.h"
#include "platform/ftd2xx/driver.h"
#include "vt5api/link/vt5link.h"
#include "vt5api/link/wire.h"

namespace {

constexpr int32_t kWritePiece = 16384;
constexpr int32_t kDiscardPiece = 256;

bool DescriptionAccepted(int32_t mode, const char* description) {
    auto is = [description](const char* s) { return std::strcmp(description, s) == 0; };
    switch (mode) {
        case 0:
            return true;
        case 1:
            return is("Veltra-5 Prototype") || is("NORVANE Veltra-5 proto demo") ||
                   is("Veltra-5 HandController");
        case 2:
            return is("USB <-> Serial Converter");
        case 3:
            return is("Veltra-5 HandController");
        default:
            return false;
    }
}

}  // namespace

void CVT5Link::FreeList() {
    deviceList_.clear();
    deviceList_.shrink_to_fit();
    haveList_ = false;
    deviceCount_ = 0;
}

// Steps shared by Poll and PollAll: closes an open device and loads the driver's device
// list. 0, or -1 with the failure text (none when there are no devices at all).
int32_t CVT5Link::LoadDeviceList(const char* memoryText, uint32_t& count) {
    errorText_[0] = '\0';
    if (IsOpen() && Close() != 0) return -1;
    count = 0;
    lastStatus_ = FT_CreateDeviceInfoList(&count);
    if (lastStatus_ != FT_OK) {
        SetFormattedError("FT_CreateDeviceInfoList failed");
        return -1;
    }
    if (count == 0) return -1;
    FreeList();
    try {
        deviceList_.resize(count);
    } catch (const std::bad_alloc&) {
        SetPlainError(memoryText);
        return -1;
    }
    haveList_ = true;
    lastStatus_ = FT_GetDeviceInfoList(deviceList_.data(), &count);
    if (lastStatus_ != FT_OK) {
        SetFormattedError("FT_GetDeviceInfoList failed");
        FreeList();
        return -1;
    }
    // The driver never reports more than it listed; a shorter list only ever shrinks.
    deviceList_.resize(std::min<size_t>(count, deviceList_.size()));
    return 0;
}

int32_t CVT5Link::Poll(const char* serial) {
    uint32_t count = 0;
    if (LoadDeviceList("memory out for device list .. in Poll()", count) != 0) return -1;
    int32_t found = -1;
    bool anySerial = !serial || !*serial;
    for (size_t i = 0; i < deviceList_.size(); ++i) {
        const FT_DEVICE_LIST_INFO_NODE& n = deviceList_[i];
        if (n.ID != VT5_HC_USB_ID) continue;
        if (!anySerial && std::strncmp(n.SerialNumber, serial, 8) != 0) continue;
        if (!DescriptionAccepted(pollMode_, n.Description)) continue;
        found = static_cast<int32_t>(i);
        break;
    }
    FreeList();
    return found;
}

int32_t CVT5Link::PollAll(int32_t* count) {
    uint32_t n = 0;
    if (LoadDeviceList("memory out for device list .. in PollAll()", n) != 0) return -1;
    std::erase_if(deviceList_, [](const FT_DEVICE_LIST_INFO_NODE& node) {
        return node.ID != VT5_HC_USB_ID || (node.Flags & (FT_FLAGS_OPENED | FT_FLAGS_HISPEED));
    });
    deviceCount_ = static_cast<uint32_t>(deviceList_.size());
    if (count) *count = static_cast<int32_t>(deviceCount_);
    return 0;
}

const FT_DEVICE_LIST_INFO_NODE* CVT5Link::GetListItem(int32_t index) const {
    if (!haveList_ || index < 0 || static_cast<uint32_t>(index) >= deviceCount_) return nullptr;
    return &deviceList_[static_cast<size_t>(index)];
}

int32_t CVT5Link::Open(const char* serial) {
    int32_t index = Poll(serial);
    if (index < 0) {
        // A chip this user cannot open lists without its serial: say what keeps it hidden.
        std::string why = platform::ftd2xx::lastProblem();
        if (!why.empty() && errorText_[0] == '\0') SetPlainError(why.c_str());
        return 1;
    }
    lastStatus_ = FT_Open(index, &handle_);
    if (lastStatus_ != FT_OK) {
        handle_ = nullptr;
        SetFormattedError("FT_Open failed");
        std::string why = platform::ftd2xx::lastProblem();
        if (!why.empty()) {
            std::string text = std::string(errorText_) + ": " + why;
            SetPlainError(text.c_str());
        }
        return static_cast<int32_t>(lastStatus_);
    }
    char devSerial[16] = {};
    char devDescr[64] = {};
    uint32_t type = 0, id = 0;
    lastStatus_ = FT_GetDeviceInfo(handle_, &type, &id, devSerial, devDescr, nullptr);
    if (lastStatus_ != FT_OK) {
        FT_STATUS failed = lastStatus_;
        SetFormattedError("FT_Open (FT_GetDeviceInfo()) failed");
        FT_Close(handle_);
        handle_ = nullptr;
        openSerial_[0] = '\0';
        return static_cast<int32_t>(failed);
    }
    std::memcpy(openSerial_, devSerial, 8);
    openSerial_[8] = '\0';
    uint8_t pins = 0;
    lastStatus_ = FT_GetBitMode(handle_, &pins);
    if (lastStatus_ != FT_OK) {
        SetFormattedError("FT_Open (FT_GetBitMode()) failed");
        return static_cast<int32_t>(lastStatus_);
    }
    cbusMask_ = 0;
    cbusLevels_ = pins;
    lastStatus_ = FT_Purge(handle_, FT_PURGE_RX | FT_PURGE_TX);
    if (lastStatus_ != FT_OK) {
        SetFormattedError("FT_Open (FT_Purge()) failed");
        return static_cast<int32_t>(lastStatus_);
    }
    return 0;
}

int32_t CVT5Link::Close() {
    if (mode_ == VT5_MODE_CLIENT) {
        if (!clientSocket_) return 0;
        return Disconnect() == 0 ? 0 : 1;
    }
    FreeList();
    if (handle_) {
        lastStatus_ = FT_Close(handle_);
        if (lastStatus_ != FT_OK) {
            SetPlainError("FT_Close failed");
            return 1;
        }
    }
    handle_ = nullptr;
    openSerial_[0] = '\0';
    outOfStep_ = false;
    ClearHandshakeCopy();
    return 0;
}

bool CVT5Link::IsOpen() const {
    return mode_ == VT5_MODE_CLIENT ? clientSocket_.valid() : handle_ != nullptr;
}

int32_t CVT5Link::SetDataFormat(uint8_t dataBits, uint8_t stopBits, uint8_t parity) {
    if (!CheckOpen("SetDataFormat()")) return 1;
    lastStatus_ = FT_SetDataCharacteristics(handle_, dataBits, stopBits, parity);
    if (lastStatus_ == FT_OK) return 0;
    SetFormattedError("FT_SetDataCharacteristics failed");
    return 1;
}

int32_t CVT5Link::SetBaudRate(int32_t baud) {
    if (!CheckOpen("SetBaudRate()")) return 1;
    lastStatus_ = FT_SetBaudRate(handle_, static_cast<uint32_t>(baud));
    if (lastStatus_ == FT_OK) return 0;
    SetFormattedError("FT_SetBaudRate failed");
    return 1;
}

int32_t CVT5Link::SetRTSCTS(bool on) {
    if (!CheckOpen("SetRTSCTS()")) return 1;
    lastStatus_ = FT_SetFlowControl(handle_, on ? FT_FLOW_RTS_CTS : FT_FLOW_NONE, 0, 0);
    if (lastStatus_ == FT_OK) return 0;
    SetFormattedError("FT_SetFlowControl failed");
    return 1;
}

int32_t CVT5Link::SetTimeouts(int32_t readMs, int32_t writeMs, int32_t* prevReadMs,
                              int32_t* prevWriteMs) {
    if (mode_ == VT5_MODE_CLIENT)
        return ClientSetTimeouts(readMs, writeMs, prevReadMs, prevWriteMs);
    return UsbSetTimeouts(readMs, writeMs, prevReadMs, prevWriteMs);
}

int32_t CVT5Link::UsbSetTimeouts(int32_t readMs, int32_t writeMs, int32_t* prevReadMs,
                                 int32_t* prevWriteMs) {
    if (prevReadMs) *prevReadMs = readTimeout_;
    if (prevWriteMs) *prevWriteMs = writeTimeout_;
    if (!CheckOpen("SetTimeouts(..)")) return 1;
    int32_t r = readMs < 0 ? readTimeout_ : readMs;
    int32_t w = writeMs < 0 ? writeTimeout_ : writeMs;
    lastStatus_ = FT_SetTimeouts(handle_, static_cast<uint32_t>(r), static_cast<uint32_t>(w));
    if (lastStatus_ != FT_OK) {
        SetFormattedError("FT_SetTimeouts failed");
        return 1;
    }
    readTimeout_ = r;
    writeTimeout_ = w;
    return 0;
}

int32_t CVT5Link::SetLatencyTimer(int32_t ms) {
    if (!CheckOpen("SetLatencyTimer()")) return 1;
    lastStatus_ = FT_SetLatencyTimer(handle_, static_cast<uint8_t>(ms));
    if (lastStatus_ == FT_OK) return 0;
    SetFormattedError("FT_SetLatencyTimer failed");
    return 1;
}

const char* CVT5Link::QuerySerial() {
    if (mode_ == VT5_MODE_CLIENT)
        return ClientQuery(VT5_REQ_QUERY_SERIAL, querySerial_, sizeof querySerial_, 8,
                           "QuerySerial()");
    return UsbQueryInfo("QuerySerial()") ? querySerial_ : "";
}

const char* CVT5Link::QueryDescr() {
    if (mode_ == VT5_MODE_CLIENT)
        return ClientQuery(VT5_REQ_QUERY_DESCR, queryDescr_, sizeof queryDescr_, 64,
                           "QueryDescr()");
    return UsbQueryInfo("QueryDescr()") ? queryDescr_ : "";
}

// Fills both query buffers from FT_GetDeviceInfo; false with the failure text.
bool CVT5Link::UsbQueryInfo(const char* operation) {
    if (!CheckOpen(operation)) return false;
    std::memset(querySerial_, 0, sizeof querySerial_);
    std::memset(queryDescr_, 0, sizeof queryDescr_);
    uint32_t type = 0, id = 0;
    FT_STATUS st = FT_GetDeviceInfo(handle_, &type, &id, querySerial_, queryDescr_, nullptr);
    if (st == FT_OK) return true;
    lastStatus_ = st;
    SetFormattedError("FT_GetDeviceInfo failed");
    return false;
}

int32_t CVT5Link::FlushInBuffer() {
    if (!CheckOpen("FlushInBuffer()")) return 1;
    lastStatus_ = FT_Purge(handle_, FT_PURGE_RX);
    if (lastStatus_ == FT_OK) return 0;
    SetFormattedError("FT_Purge failed");
    return 1;
}

int32_t CVT5Link::FlushOutBuffer() {
    if (!CheckOpen("FlushOutBuffer()")) return 1;
    lastStatus_ = FT_Purge(handle_, FT_PURGE_TX);
    if (lastStatus_ == FT_OK) return 0;
    SetFormattedError("FT_Purge failed");
    return 1;
}

int32_t CVT5Link::Write(const void* data, int32_t length) {
    if (mode_ == VT5_MODE_CLIENT) return ClientWrite(data, length);
    if (!CheckOpen("Write()")) return 0;
    if (length <= 0) {
        SetPlainError("0 bytes written");
        return 0;
    }
    auto p = static_cast<const uint8_t*>(data);
    int32_t done = 0;
    while (done < length) {
        uint32_t piece = static_cast<uint32_t>(std::min(length - done, kWritePiece));
        uint32_t written = 0;
        lastStatus_ = FT_Write(handle_, p + done, piece, &written);
        if (lastStatus_ != FT_OK) {
            SetFormattedError("FT_Write failed");
            return 0;
        }
        if (written == 0) {
            SetFormattedError("FT_Write timed out");
            return 0;
        }
        done += static_cast<int32_t>(written);
    }
    return done;
}

int32_t CVT5Link::WriteByte(uint8_t value) {
    return Write(&value, 1);
}

int32_t CVT5Link::Read(void* buffer, int32_t length, int32_t* relayedChunks) {
    if (mode_ == VT5_MODE_CLIENT) return ClientRead(buffer, length, relayedChunks);
    return UsbRead(buffer, length);
}

int32_t CVT5Link::UsbRead(void* buffer, int32_t length) {
    if (!CheckOpen("Read()")) return 0;
    if (length <= 0) {
        SetPlainError("0 bytes read");
        return 0;
    }
    if (!buffer) return ReadDiscard(length);
    return ReadOnce(buffer, length);
}

// One FT_Read: the count read, or 0 with the failure text (a time-out with nothing read is a
// failure; a short read is not).
int32_t CVT5Link::ReadOnce(void* buffer, int32_t length) {
    uint32_t got = 0;
    lastStatus_ = FT_Read(handle_, buffer, static_cast<uint32_t>(length), &got);
    if (lastStatus_ != FT_OK) {
        SetFormattedError("FT_Read failed");
        return 0;
    }
    if (got == 0) {
        SetFormattedError("FT_Read timed out");
        return 0;
    }
    return static_cast<int32_t>(got);
}

int32_t CVT5Link::ReadDiscard(int32_t length) {
    uint8_t scratch[kDiscardPiece];
    int32_t done = 0;
    while (done < length) {
        int32_t got = ReadOnce(scratch, std::min(length - done, kDiscardPiece));
        if (got == 0) return 0;
        done += got;
    }
    return done;
}

int32_t CVT5Link::QueryReadBufLen() {
    if (!CheckOpen("QueryReadBufLen()")) return 0;
    uint32_t rx = 0;
    lastStatus_ = FT_GetQueueStatus(handle_, &rx);
    if (lastStatus_ == FT_OK) return static_cast<int32_t>(rx);
    SetFormattedError("FT_GetQueueStatus failed");
    return 0;
}

int32_t CVT5Link::QueryWriteBufLen() {
    if (!CheckOpen("QueryWriteBufLen()")) return 0;
    uint32_t rx = 0, tx = 0, events = 0;
    lastStatus_ = FT_GetStatus(handle_, &rx, &tx, &events);
    if (lastStatus_ == FT_OK) return static_cast<int32_t>(tx);
    SetFormattedError("FT_GetStatus failed");
    return 0;
}

bool CVT5Link::DeviceGone() {
    if (mode_ == VT5_MODE_CLIENT || !handle_) return false;
    uint32_t rx = 0;
    return FT_GetQueueStatus(handle_, &rx) != FT_OK;
}

int32_t CVT5Link::SetBitMode(uint8_t maskByte) {
    lastStatus_ = FT_SetBitMode(handle_, maskByte, FT_BITMODE_CBUS_BITBANG);
    if (lastStatus_ == FT_OK) return 0;
    SetFormattedError("FT_SetBitMode failed");
    return 1;
}

int32_t CVT5Link::SetBitOutput(int32_t bits, int32_t levels) {
    if (!CheckOpen("SetBitOutput()")) return 1;
    cbusMask_ |= bits & 0x0F;
    cbusLevels_ = ((levels & bits) | (cbusLevels_ & ~bits)) & 0x0F;
    return SetBitMode(static_cast<uint8_t>(cbusMask_ << 4 | cbusLevels_));
}

int32_t CVT5Link::SetBitInput(int32_t bits) {
    if (!CheckOpen("SetBitInput()")) return 1;
    cbusMask_ &= ~(bits & 0x0F);
    return SetBitMode(static_cast<uint8_t>(cbusMask_ << 4 | (cbusLevels_ & ~bits & 0x0F)));
}

int32_t CVT5Link::SetupLineForHC(bool resync, const std::function<void()>& afterResync) {
    if (FlushInBuffer() || FlushOutBuffer()) return 1;
    if (SetLatencyTimer(2)) return 1;
    if (SetTimeouts(1000, 1000)) return 1;
    if (SetBitInput(0x0F)) return 1;
    if (SetRTSCTS(true)) return 1;
    if (SetDataFormat(FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE)) return 1;
    if (resync) {
        // A zero byte at 9600 baud is a long low pulse at the HC's rate: it drops any
        // half-received command and the HC waits for a fresh one.
        if (SetBaudRate(9600)) return 1;
        if (WriteByte(0x00) != 1) return 1;
        while (QueryWriteBufLen() != 0)
            platform::sleepMs(1);
        platform::sleepMs(550);
        if (afterResync) afterResync();
    }
    if (SetBaudRate(3000000)) return 1;
    // Whatever the HC sent before must not pass for an answer.
    if (DiscardPending()) return 1;
    if (FlushOutBuffer()) return 1;
    return 0;
}

int32_t CVT5Link::DiscardPending() {
    if (mode_ == VT5_MODE_CLIENT) {
        outOfStep_ = false;
        return 0;
    }
    // A device that never falls silent would keep this loop going for ever, so it gives up
    // after five seconds.
    constexpr int kMaxDrainRounds = 250;
    for (int round = 0;; ++round) {
        if (FlushInBuffer()) return 1;
        platform::sleepMs(20);
        if (QueryReadBufLen() == 0) break;
        if (round + 1 == kMaxDrainRounds) {
            SetPlainError("The receive queue does not fall silent");
            return 1;
        }
    }
    if (FlushInBuffer()) return 1;
    outOfStep_ = false;
    return 0;
}
