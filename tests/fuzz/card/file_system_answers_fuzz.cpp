// Arbitrary answers to the file system commands: directory entries, current paths and file
// data as an HC might send them. The file system functions must neither crash nor hang nor
// leak, and never write past the caller's buffers, whatever the HC answers.
//
// Input: four bytes of plan (long-name capacity, current-path buffer size, read length LE16),
// then one record per answer: flags (bit 0: take the command's ID and counter), a 16-bit LE
// length and that many bytes, sent as they are (bulk data included).

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/clock/clock.h"
#include "platform/ftd2xx/driver.h"
#include "platform/ftd2xx/vbus/local_bus.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/commands/file_system.h"

namespace {

using platform::vbus::Bytes;

// An HC whose handshake is right and whose every other answer comes from the input.
class FuzzedHc final : public platform::vbus::Device {
public:
    FuzzedHc(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    void onReceive(const uint8_t* data, size_t count, const platform::vbus::LineSettings& line,
                   platform::TimePoint, Bytes& out) override {
        if (line.baud != 3000000 || count < 4) return;
        Bytes command(data, data + count);
        if (command == Bytes{0xF8, 0x01, 0x01, 0xFF}) {
            out = {0xF8, 0x01, 0x00, 0x0B, 0x00, 0x01, 0x04, 0x12, 0x01, 0x03, 0x00};
            return;
        }
        if (command == Bytes{0xF8, 0x02, 0x0A, 0xFF}) {
            // 0xF8 with 0x01, 0x5F with its nine parameters.
            const Bytes table = {2, 0xF8, 1, 0x01, 0, 0x5F, 9, 0xBD, 0, 0xCD, 0, 0xD2, 0, 0xDC,
                                 1, 0xC1, 4, 0x30, 1, 0x33, 2, 0x36, 0, 0x3C, 0};
            out = {0xF8, 0x02, 0x00, 0x0F, 0x00, 0x0A, 0x00, 0xFC, 0x04, uint8_t(table.size()),
                   0,    0,    0,    0xFD, 0x00};
            out.insert(out.end(), table.begin(), table.end());
            return;
        }
        // A command message ends in its terminator; bulk data after it gets no answer.
        if (command[0] != 0x5F || command.back() != 0xFF || pos_ + 3 > size_) return;
        uint8_t flags = data_[pos_];
        size_t length = data_[pos_ + 1] | data_[pos_ + 2] << 8;
        pos_ += 3;
        length = std::min(length, size_ - pos_);
        out.assign(data_ + pos_, data_ + pos_ + length);
        pos_ += length;
        if ((flags & 1) && out.size() >= 2) {
            out[0] = command[0];
            out[1] = command[1];
        }
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

struct Setup {
    Setup() {
        ::setenv("VT5_USB_BACKENDS", "none", 1);
        ::setenv("VT5_USB_BUS", "/nonexistent/vt5-fuzz/usb-bus", 1);
    }
    platform::VirtualClock clock;  // every time-out passes at once
    platform::ScopedClock useClock{clock};
    platform::vbus::LocalBus bus;
    platform::ftd2xx::ScopedBackend attach{bus};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setup setup;
    if (size < 4 || size > 300000) return 0;
    const int32_t capacity = data[0];
    const int32_t pathSize = data[1];
    const int32_t readLength = (data[2] | data[3] << 8) % 20000;
    platform::vbus::ChipIdentity identity;
    identity.serial = "FUZZHC01";
    identity.description = "Veltra-5 HandController";
    auto chip = setup.bus.plug(identity, std::make_unique<FuzzedHc>(data + 4, size - 4));
    {
        CVT5Api api;
        if (VT5_Open(&api, nullptr, nullptr, 0, nullptr) == VT5_OK) {
            int32_t status = 0;
            VT5cmd_FS_OpenDir(&api, ".", &status);
            // Buffers of exactly the sizes given: the sanitizers see any write past them.
            auto longName = std::make_unique<char[]>(static_cast<size_t>(capacity) + 1);
            for (int i = 0; i < 8; ++i) {
                VT5DirEntry entry{};
                entry.structSize = sizeof entry;
                entry.longNameCapacity = capacity;
                entry.longName = capacity ? longName.get() : nullptr;
                if (VT5cmd_FS_ReadDir(&api, &entry, &status) != VT5_OK || !entry.shortName[0])
                    break;
            }
            auto path = std::make_unique<char[]>(static_cast<size_t>(pathSize) + 1);
            VT5cmd_FS_GetCurrentDir(&api, path.get(), pathSize, &status);
            VT5cmd_FS_Open(&api, "LOGS/vt5_log_0307.txt", VT5_FS_OPEN_READ, &status);
            std::vector<uint8_t> file(static_cast<size_t>(readLength));
            int32_t got = 0;
            VT5cmd_FS_Read(&api, file.data(), readLength, &got, &status);
            VT5cmd_FS_Read(&api, nullptr, 100, &got, &status);
            std::vector<uint8_t> upload(5000);
            VT5cmd_FS_Write(&api, upload.data(), 5000, &got, &status);
            VT5cmd_FS_Close(&api, &status);
            VT5cmd_FS_Delete(&api, "x", &status);
        }
        VT5_Close(&api);
    }
    setup.bus.unplug(chip);
    return 0;
}
