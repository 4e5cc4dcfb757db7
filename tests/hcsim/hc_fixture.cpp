#include "tests/hcsim/hc_fixture.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace hcsim::test {

HcFixture::HcFixture() {
    ::setenv("VT5_USB_BACKENDS", "none", 1);
    ::setenv("VT5_USB_BUS", "/nonexistent/vt5-hcsim-tests/usb-bus", 1);
}

HcFixture::~HcFixture() {
    if (handle_) FT_Close(handle_);
}

HcConfig HcFixture::configIn(HcMode startMode) {
    HcConfig config;
    config.startMode = startMode;
    return config;
}

void HcFixture::plug(HcConfig config) {
    std::string serial = config.serial;
    hc_ = std::make_unique<SimulatedHc>(bus_, std::move(config));
    uint32_t count = 0;
    ASSERT_EQ(FT_CreateDeviceInfoList(&count), FT_OK);
    std::vector<FT_DEVICE_LIST_INFO_NODE> nodes(count);
    ASSERT_EQ(FT_GetDeviceInfoList(nodes.data(), &count), FT_OK);
    int index = -1;
    for (uint32_t i = 0; i < count; ++i)
        if (serial == nodes[i].SerialNumber) index = static_cast<int>(i);
    ASSERT_GE(index, 0);
    ASSERT_EQ(FT_Open(index, &handle_), FT_OK);
    ASSERT_EQ(FT_SetLatencyTimer(handle_, 2), FT_OK);
    ASSERT_EQ(FT_SetTimeouts(handle_, 1000, 1000), FT_OK);
    pinsToInputs();
    ASSERT_EQ(FT_SetFlowControl(handle_, FT_FLOW_RTS_CTS, 0, 0), FT_OK);
    ASSERT_EQ(FT_SetDataCharacteristics(handle_, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE), FT_OK);
    setBaud(3'000'000);
    ASSERT_EQ(FT_Purge(handle_, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
}

void HcFixture::write(const Bytes& bytes) {
    uint32_t written = 0;
    ASSERT_EQ(FT_Write(handle_, bytes.data(), static_cast<uint32_t>(bytes.size()), &written),
              FT_OK);
    ASSERT_EQ(written, bytes.size());
}

Bytes HcFixture::send(const Bytes& bytes) {
    write(bytes);
    return available();
}

Bytes HcFixture::read(size_t n) {
    Bytes out(n);
    uint32_t got = 0;
    EXPECT_EQ(FT_Read(handle_, out.data(), static_cast<uint32_t>(n), &got), FT_OK);
    out.resize(got);
    return out;
}

Bytes HcFixture::available() {
    uint32_t waiting = 0;
    EXPECT_EQ(FT_GetQueueStatus(handle_, &waiting), FT_OK);
    return waiting ? read(waiting) : Bytes{};
}

bool HcFixture::silent() {
    return read(1).empty();
}

void HcFixture::setBaud(uint32_t baud) {
    ASSERT_EQ(FT_SetBaudRate(handle_, baud), FT_OK);
}

void HcFixture::resync() {
    setBaud(9600);
    write({0x00});
    setBaud(3'000'000);
}

void HcFixture::pulse(uint8_t pins, int64_t ms) {
    ASSERT_EQ(
        FT_SetBitMode(handle_, static_cast<uint8_t>(pins << 4 | pins), FT_BITMODE_CBUS_BITBANG),
        FT_OK);
    if (ms <= 0) return;
    sleep(ms);
    ASSERT_EQ(FT_SetBitMode(handle_, static_cast<uint8_t>(pins << 4), FT_BITMODE_CBUS_BITBANG),
              FT_OK);
}

void HcFixture::pinsToInputs() {
    ASSERT_EQ(FT_SetBitMode(handle_, 0x00, FT_BITMODE_CBUS_BITBANG), FT_OK);
}

TableMap parseTable(const Bytes& b) {
    TableMap table;
    size_t pos = 0;
    auto next = [&]() -> uint8_t {
        if (pos >= b.size()) {
            ADD_FAILURE() << "table ends early";
            return 0;
        }
        return b[pos++];
    };
    int commands = next();
    for (int c = 0; c < commands && pos < b.size(); ++c) {
        uint8_t code = next();
        int params = next();
        auto& entry = table[code];
        for (int p = 0; p < params; ++p) {
            uint8_t id = next();
            entry[id] = next();
        }
    }
    EXPECT_EQ(pos, b.size()) << "bytes after the table";
    return table;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace hcsim::test
