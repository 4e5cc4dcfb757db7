#include <gtest/gtest.h>

#include <memory>

#include "hcsim/devices/loopback_device.h"
#include "hcsim/ft230x/usb_function.h"
#include "platform/clock/clock.h"
#include "platform/ftd2xx/vbus/local_bus.h"

namespace {

using hcsim::ft230x::Bytes;
using hcsim::ft230x::CbusFunction;
using hcsim::ft230x::InUrbState;
using hcsim::ft230x::UsbFunction;

TEST(Ft230xBaudDivisor, GivesTheRatesLibftdiAsksFor) {
    struct Case {
        uint16_t value, index;
        uint32_t baud;
    };
    const Case cases[] = {
        {0x0000, 0, 3'000'000},                      // the FT230X's top rate
        {0x0001, 0, 2'000'000}, {0x4138, 0, 9'600},  // 312.5
        {0x001A, 0, 115'385},                        // 26: libftdi's nearest to 115200
        {0xC04E, 0, 38'400},                         // 78.125
        {0x0006, 0, 500'000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hcsim::ft230x::baudFromDivisor(c.value, c.index), c.baud) << std::hex << c.value;
}

class Ft230xUsbFunction : public ::testing::Test {
protected:
    Ft230xUsbFunction() {
        platform::vbus::ChipIdentity id;
        id.serial = "LOOP0001";
        line = bus.plug(id, std::make_unique<hcsim::LoopbackDevice>());
        hcsim::ft230x::UsbIdentity usb;
        usb.serial = "LOOP0001";
        usb.description = "Veltra-5 HandController";
        function = std::make_unique<UsbFunction>(
            usb,
            std::array<CbusFunction, 4>{CbusFunction::TxLed, CbusFunction::Gpio,
                                        CbusFunction::RxLed, CbusFunction::Gpio},
            line);
        vendorOut(0x03, 0x0000, 0);  // 3 MBd
    }
    void vendorOut(uint8_t request, uint16_t value, uint16_t index) {
        ASSERT_FALSE(function->control(0x40, request, value, index, 0, {}).stall);
    }

    platform::VirtualClock virtualClock;
    platform::ScopedClock useVirtual{virtualClock};
    platform::vbus::LocalBus bus;
    std::shared_ptr<platform::vbus::Chip> line;
    std::unique_ptr<UsbFunction> function;
};

// Every 64-byte packet starts with the two modem-status bytes; a URB ends when full, or with a
// short packet when the latency timer runs out.
TEST_F(Ft230xUsbFunction, BulkInPacketsLeadWithStatusAndFollowTheLatencyTimer) {
    Bytes sent(200);
    for (size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<uint8_t>(i);
    function->bulkOut(sent.data(), sent.size());
    virtualClock.advance(platform::Millis(5));  // the line has carried all 200 bytes

    InUrbState small{128, 0};  // two packets: filled at once
    auto first = function->bulkIn(small, platform::clock().now());
    ASSERT_TRUE(first);
    ASSERT_EQ(first->size(), 128u);
    EXPECT_EQ((*first)[0], 0x01);
    EXPECT_EQ((*first)[1], 0x60);
    EXPECT_EQ((*first)[2], 0);
    EXPECT_EQ((*first)[64], 0x01);
    EXPECT_EQ((*first)[65], 0x60);
    EXPECT_EQ((*first)[66], 62);

    // 76 bytes are left: one full packet, then the rest waits for the latency timer (16 ms).
    InUrbState big{4096, 0};
    EXPECT_FALSE(function->bulkIn(big, platform::clock().now()));
    virtualClock.advance(platform::Millis(15));
    EXPECT_FALSE(function->bulkIn(big, platform::clock().now()));
    virtualClock.advance(platform::Millis(1));
    auto rest = function->bulkIn(big, platform::clock().now());
    ASSERT_TRUE(rest);
    ASSERT_EQ(rest->size(), 64u + 16u);
    EXPECT_EQ((*rest)[2], 124);
    EXPECT_EQ((*rest)[64], 0x01);
    EXPECT_EQ((*rest)[79], 199);

    // An idle chip answers each latency period with the status bytes alone.
    InUrbState idle{4096, 0};
    EXPECT_FALSE(function->bulkIn(idle, platform::clock().now()));
    vendorOut(0x09, 2, 0);  // latency timer 2 ms
    virtualClock.advance(platform::Millis(2));
    auto status = function->bulkIn(idle, platform::clock().now());
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, (Bytes{0x01, 0x60}));
}

TEST_F(Ft230xUsbFunction, ControlRequestsAnswerAsTheChipDoes) {
    auto in = [&](uint8_t request, uint16_t value, uint16_t index, uint16_t length) {
        return function->control(0xC0, request, value, index, length, {});
    };
    EXPECT_EQ(in(0x0A, 0, 0, 1).data, Bytes{16});  // latency timer
    EXPECT_EQ(in(0x05, 0, 0, 2).data, (Bytes{0x01, 0x60}));
    // CBUS bit-bang drives only the GPIO pins (1 and 3): pins 0 and 2 stay low.
    ASSERT_FALSE(function->control(0x40, 0x0B, 0x20FF, 0, 0, {}).stall);
    EXPECT_EQ(in(0x0C, 0, 0, 1).data, Bytes{0x0A});
    EXPECT_EQ(in(0x90, 0, 0x0D, 2).data.size(), 2u);  // CBUS 0 and 1 functions
    EXPECT_EQ(in(0x90, 0, 0x0D, 2).data, (Bytes{0x01, 0x08}));
    EXPECT_TRUE(function->control(0x40, 0x09, 0, 0, 0, {}).stall) << "latency 0 is refused";
    EXPECT_TRUE(function->control(0x40, 0x0B, 0x0100, 0, 0, {}).stall)
        << "data-pin bit-bang is not emulated";
    auto device = function->control(0x80, 0x06, 0x0100, 0, 18, {});
    ASSERT_EQ(device.data.size(), 18u);
    EXPECT_EQ(device.data[12], 0x00);  // bcdDevice 0x1000: an FT230X to libftdi
    EXPECT_EQ(device.data[13], 0x10);
}

}  // namespace
