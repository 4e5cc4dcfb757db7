#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/clock/clock.h"
#include "tests/support/bus_fixture.h"
#include "tests/support/scripted_device.h"
#include "vt5api/link/vt5link.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using vt5test::ScriptedDevice;
using vt5test::withScripted;

namespace {

class LinkUsb : public ::testing::Test {
protected:
    std::shared_ptr<platform::vbus::Chip> plug(
        const std::string& serial, const std::string& description = "Veltra-5 HandController",
        uint32_t id = VT5_HC_USB_ID) {
        return fixture.bus().plug(vt5test::hcIdentity(serial, description, id),
                                  std::make_unique<ScriptedDevice>());
    }

    platform::VirtualClock virtualClock;
    platform::ScopedClock useVirtual{virtualClock};
    vt5test::BusFixture fixture;
    CVT5Link link;
};

TEST_F(LinkUsb, NoDevicesGivesMinusOneWithoutText) {
    int32_t count = 7;
    EXPECT_EQ(link.Poll(nullptr), -1);
    EXPECT_STREQ(link.GetErrorText(), "");
    EXPECT_EQ(link.PollAll(&count), -1);
    EXPECT_STREQ(link.GetErrorText(), "");
    EXPECT_EQ(link.Open(nullptr), 1);
    EXPECT_FALSE(link.IsOpen());
}

TEST_F(LinkUsb, PollSkipsForeignDevicesAndMatchesDescriptionMode) {
    plug("FOREIGN1", "Veltra-5 HandController", 0x04036001);  // another product
    plug("CONVERT1", "USB <-> Serial Converter");
    plug("PROTO001", "Veltra-5 Prototype");
    plug("HC000001");

    struct Case {
        int32_t mode;
        const char* serial;
        int32_t index;  // in the driver's list
    };
    const Case cases[] = {
        {3, nullptr, 3}, {3, "CONVERT1", -1}, {2, nullptr, 1},  {1, nullptr, 2},
        {0, nullptr, 1}, {0, "FOREIGN1", -1}, {7, nullptr, -1}, {1, "HC000001", 3},
    };
    for (const Case& c : cases) {
        link.SetPollMode(c.mode);
        EXPECT_EQ(link.Poll(c.serial), c.index)
            << "mode " << c.mode << " serial " << (c.serial ? c.serial : "(any)");
    }
}

TEST_F(LinkUsb, SerialComparesFirstEightCharactersOnly) {
    plug("AB12CD34");
    link.SetPollMode(3);
    EXPECT_EQ(link.Poll("AB12CD34-and-more"), 0);
    EXPECT_EQ(link.Poll("AB12CD3"), -1);
    EXPECT_EQ(link.Poll(""), 0);
    ASSERT_EQ(link.Open("AB12CD34XYZ"), 0);
    EXPECT_STREQ(link.OpenSerial(), "AB12CD34");
}

TEST_F(LinkUsb, PollAllListsOnlyFreeHcs) {
    plug("FOREIGN1", "x", 0x12345678);
    plug("HC000001");
    auto held = plug("HC000002");
    plug("CONVERT1", "USB <-> Serial Converter");
    auto fast = fixture.bus().plug(
        [] {
            auto id = vt5test::hcIdentity("FAST0001");
            id.highSpeed = true;
            return id;
        }(),
        std::make_unique<ScriptedDevice>());

    CVT5Link other;
    other.SetPollMode(3);
    ASSERT_EQ(other.Open("HC000002"), 0);

    int32_t count = 0;
    ASSERT_EQ(link.PollAll(&count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(link.GetListItem(0)->SerialNumber, "HC000001");
    // PollAll does not filter descriptions: the caller shows what it found.
    EXPECT_STREQ(link.GetListItem(1)->SerialNumber, "CONVERT1");
    EXPECT_EQ(link.GetListItem(2), nullptr);
    EXPECT_EQ(link.GetListItem(-1), nullptr);
    link.FreeList();
    EXPECT_EQ(link.GetListItem(0), nullptr);

    // A held HC is still chosen by Open, which then fails in the driver.
    link.SetPollMode(3);
    EXPECT_EQ(link.Open("HC000002"), static_cast<int32_t>(FT_DEVICE_NOT_OPENED));
    EXPECT_STREQ(link.GetErrorText(), "FT_Open failed (code 3 ($3))");
    EXPECT_EQ(link.LastErrorCode(), 3);
    EXPECT_FALSE(link.IsOpen());
}

TEST_F(LinkUsb, OpenLoadsPinLevelsClearsMaskAndPurges) {
    auto chip = plug("HC000001");
    // Another program left ESC driven high.
    {
        CVT5Link first;
        ASSERT_EQ(first.Open(nullptr), 0);
        ASSERT_EQ(first.SetBitOutput(2, 2), 0);
        ASSERT_EQ(first.Close(), 0);
    }
    withScripted(*chip, [](ScriptedDevice&, platform::vbus::Bytes& out) {
        out = {1, 2, 3};  // stale bytes that must not survive the open
    });
    fixture.recorder().clear();
    ASSERT_EQ(link.Open(nullptr), 0);
    EXPECT_THAT(fixture.recorder().calls(),
                ElementsAre("Open HC000001", "GetDeviceInfo", "GetBitMode", "Purge 3"));
    EXPECT_EQ(link.CbusMask(), 0);
    EXPECT_EQ(link.CbusLevels(), 2);
    EXPECT_EQ(link.QueryReadBufLen(), 0);
    EXPECT_STREQ(link.QuerySerial(), "HC000001");
    EXPECT_STREQ(link.QueryDescr(), "Veltra-5 HandController");
}

TEST_F(LinkUsb, CbusMaskBytes) {
    auto chip = plug("HC000001");
    ASSERT_EQ(link.Open(nullptr), 0);
    fixture.recorder().clear();
    EXPECT_EQ(link.SetBitOutput(2, 2), 0);
    EXPECT_EQ(link.SetBitOutput(2, 0), 0);
    EXPECT_EQ(link.SetBitInput(0x0F), 0);
    EXPECT_EQ(link.SetBitOutput(8 | 2, 8), 0);
    EXPECT_THAT(fixture.recorder().calls("SetBitMode"),
                ElementsAre("SetBitMode 0x22 0x20", "SetBitMode 0x20 0x20", "SetBitMode 0x00 0x20",
                            "SetBitMode 0xA8 0x20"));
    // The HC sees ESC rise and fall, then RESET rise.
    withScripted(*chip, [](ScriptedDevice& d, platform::vbus::Bytes&) {
        EXPECT_THAT(d.pins, ElementsAre(0x2, 0x0, 0x8));
    });
}

TEST_F(LinkUsb, WriteGoesInPiecesOf16384) {
    auto chip = plug("HC000001");
    ASSERT_EQ(link.Open(nullptr), 0);
    std::vector<uint8_t> data(40000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7);
    fixture.recorder().clear();
    EXPECT_EQ(link.Write(data.data(), 40000), 40000);
    EXPECT_THAT(fixture.recorder().calls(),
                ElementsAre("Write 16384", "Write 16384", "Write 7232"));
    withScripted(*chip, [&](ScriptedDevice& d, platform::vbus::Bytes&) {
        platform::vbus::Bytes all;
        for (auto& r : d.received)
            all.insert(all.end(), r.bytes.begin(), r.bytes.end());
        EXPECT_EQ(all, data);
    });
}

TEST_F(LinkUsb, ShortReadAndTimeout) {
    auto chip = plug("HC000001");
    ASSERT_EQ(link.Open(nullptr), 0);
    ASSERT_EQ(link.SetTimeouts(1000, 1000), 0);
    withScripted(*chip, [](ScriptedDevice&, platform::vbus::Bytes& out) {
        out = {0xF8, 0x01, 0x00};
    });
    uint8_t buf[10] = {};
    auto start = platform::now();
    EXPECT_EQ(link.Read(buf, 10), 3);
    EXPECT_EQ(platform::now() - start, platform::Millis(1000));  // waited the whole time-out
    EXPECT_STREQ(link.GetErrorText(), "");
    EXPECT_EQ(buf[0], 0xF8);

    EXPECT_EQ(link.Read(buf, 10), 0);
    EXPECT_STREQ(link.GetErrorText(), "FT_Read timed out (code 0 ($0))");
    EXPECT_TRUE(link.TimedOut());
    EXPECT_EQ(link.LastErrorCode(), 0);
}

TEST_F(LinkUsb, ReadWithoutBufferDiscardsIn256BytePieces) {
    auto chip = plug("HC000001");
    ASSERT_EQ(link.Open(nullptr), 0);
    withScripted(*chip, [](ScriptedDevice&, platform::vbus::Bytes& out) {
        out.assign(600, 0xAB);
        out.push_back(0x42);
    });
    fixture.recorder().clear();
    EXPECT_EQ(link.Read(nullptr, 600), 600);
    EXPECT_THAT(fixture.recorder().calls(), ElementsAre("Read 256", "Read 256", "Read 88"));
    uint8_t b = 0;
    EXPECT_EQ(link.Read(&b, 1), 1);
    EXPECT_EQ(b, 0x42);
}

TEST_F(LinkUsb, SetTimeoutsKeepsNegativeValues) {
    plug("HC000001");
    ASSERT_EQ(link.Open(nullptr), 0);
    fixture.recorder().clear();
    int32_t prevRead = 0, prevWrite = 0;
    EXPECT_EQ(link.SetTimeouts(-1, 2000, &prevRead, &prevWrite), 0);
    EXPECT_EQ(prevRead, 5000);
    EXPECT_EQ(prevWrite, 5000);
    EXPECT_EQ(link.ReadTimeout(), 5000);
    EXPECT_EQ(link.WriteTimeout(), 2000);
    EXPECT_THAT(fixture.recorder().calls(), ElementsAre("SetTimeouts 5000 2000"));
}

TEST_F(LinkUsb, FailureTextsWithoutDevice) {
    uint8_t b = 0;
    int32_t r = 0, w = 0;
    struct Case {
        const char* text;
        std::function<void()> call;
    };
    const Case cases[] = {
        {"Device not open in SetDataFormat()", [&] { EXPECT_EQ(link.SetDataFormat(8, 0, 0), 1); }},
        {"Device not open in SetBaudRate()", [&] { EXPECT_EQ(link.SetBaudRate(9600), 1); }},
        {"Device not open in SetRTSCTS()", [&] { EXPECT_EQ(link.SetRTSCTS(true), 1); }},
        {"Device not open in SetTimeouts(..)",
         [&] { EXPECT_EQ(link.SetTimeouts(1, 1, &r, &w), 1); }},
        {"Device not open in SetLatencyTimer()", [&] { EXPECT_EQ(link.SetLatencyTimer(2), 1); }},
        {"Device not open in QuerySerial()", [&] { EXPECT_STREQ(link.QuerySerial(), ""); }},
        {"Device not open in QueryDescr()", [&] { EXPECT_STREQ(link.QueryDescr(), ""); }},
        {"Device not open in FlushInBuffer()", [&] { EXPECT_EQ(link.FlushInBuffer(), 1); }},
        {"Device not open in FlushOutBuffer()", [&] { EXPECT_EQ(link.FlushOutBuffer(), 1); }},
        {"Device not open in Write()", [&] { EXPECT_EQ(link.Write(&b, 1), 0); }},
        {"Device not open in Read()", [&] { EXPECT_EQ(link.Read(&b, 1), 0); }},
        {"Device not open in QueryReadBufLen()", [&] { EXPECT_EQ(link.QueryReadBufLen(), 0); }},
        {"Device not open in QueryWriteBufLen()", [&] { EXPECT_EQ(link.QueryWriteBufLen(), 0); }},
        {"Device not open in SetBitOutput()", [&] { EXPECT_EQ(link.SetBitOutput(2, 2), 1); }},
        {"Device not open in SetBitInput()", [&] { EXPECT_EQ(link.SetBitInput(2), 1); }},
    };
    for (const Case& c : cases) {
        c.call();
        EXPECT_STREQ(link.GetErrorText(), c.text);
    }
    EXPECT_EQ(r, 5000);  // previous values are reported even without a device
}

TEST_F(LinkUsb, ZeroLengthAndDriverFailures) {
    auto chip = plug("HC000001");
    ASSERT_EQ(link.Open(nullptr), 0);
    uint8_t b = 0;
    EXPECT_EQ(link.Write(&b, 0), 0);
    EXPECT_STREQ(link.GetErrorText(), "0 bytes written");
    EXPECT_EQ(link.Read(&b, 0), 0);
    EXPECT_STREQ(link.GetErrorText(), "0 bytes read");

    chip->setWriteStall(true);
    ASSERT_EQ(link.SetTimeouts(-1, 300), 0);
    EXPECT_EQ(link.Write(&b, 1), 0);
    EXPECT_STREQ(link.GetErrorText(), "FT_Write timed out (code 0 ($0))");
    EXPECT_TRUE(link.TimedOut());
    chip->setWriteStall(false);

    fixture.bus().unplug(chip);
    struct Case {
        const char* text;
        std::function<void()> call;
    };
    const Case cases[] = {
        {"FT_Write failed (code 4 ($4))", [&] { EXPECT_EQ(link.Write(&b, 1), 0); }},
        {"FT_Read failed (code 4 ($4))", [&] { EXPECT_EQ(link.Read(&b, 1), 0); }},
        {"FT_Read failed (code 4 ($4))", [&] { EXPECT_EQ(link.Read(nullptr, 1), 0); }},
        {"FT_SetBaudRate failed (code 4 ($4))", [&] { EXPECT_EQ(link.SetBaudRate(9600), 1); }},
        {"FT_SetBitMode failed (code 4 ($4))", [&] { EXPECT_EQ(link.SetBitOutput(2, 2), 1); }},
        {"FT_Purge failed (code 4 ($4))", [&] { EXPECT_EQ(link.FlushInBuffer(), 1); }},
        {"FT_GetQueueStatus failed (code 4 ($4))", [&] { EXPECT_EQ(link.QueryReadBufLen(), 0); }},
        {"FT_GetStatus failed (code 4 ($4))", [&] { EXPECT_EQ(link.QueryWriteBufLen(), 0); }},
        {"FT_GetDeviceInfo failed (code 4 ($4))", [&] { EXPECT_STREQ(link.QuerySerial(), ""); }},
    };
    for (const Case& c : cases) {
        c.call();
        EXPECT_STREQ(link.GetErrorText(), c.text);
        EXPECT_FALSE(link.TimedOut());
        EXPECT_EQ(link.LastErrorCode(), 4);
    }
    EXPECT_EQ(link.Close(), 0);
    EXPECT_FALSE(link.IsOpen());
}

TEST_F(LinkUsb, LineSetupSequence) {
    auto chip = plug("HC000001");
    ASSERT_EQ(link.Open(nullptr), 0);
    fixture.recorder().clear();
    bool resetRan = false;
    auto start = platform::now();
    platform::TimePoint resetAt{};
    ASSERT_EQ(link.SetupLineForHC(true,
                                  [&] {
                                      resetRan = true;
                                      resetAt = platform::now();
                                  }),
              0);
    EXPECT_TRUE(resetRan);
    EXPECT_GE(resetAt - start, platform::Millis(550));
    auto calls = fixture.recorder().calls();
    std::vector<std::string> expectedStart = {
        "Purge 1",
        "Purge 2",
        "SetLatencyTimer 2",
        "SetTimeouts 1000 1000",
        "SetBitMode 0x00 0x20",
        "SetFlowControl 0x100 0 0",
        "SetDataCharacteristics 8 0 0",
        "SetBaudRate 9600",
        "Write 1",
        "GetStatus",
    };
    ASSERT_GE(calls.size(), expectedStart.size());
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 10), expectedStart);
    EXPECT_THAT(
        std::vector<std::string>(calls.end() - 5, calls.end()),
        ElementsAre("SetBaudRate 3000000", "Purge 1", "GetQueueStatus", "Purge 1", "Purge 2"));
    withScripted(*chip, [](ScriptedDevice& d, platform::vbus::Bytes&) {
        ASSERT_EQ(d.received.size(), 1u);
        EXPECT_EQ(d.received[0].bytes, platform::vbus::Bytes{0x00});
        EXPECT_EQ(d.received[0].baud, 9600u);
    });

    // Without the resync the line goes straight to the HC's rate.
    fixture.recorder().clear();
    resetRan = false;
    ASSERT_EQ(link.SetupLineForHC(false, [&] { resetRan = true; }), 0);
    EXPECT_FALSE(resetRan);
    EXPECT_TRUE(fixture.recorder().calls("SetBaudRate 9600").empty());
}

// Sends a byte every millisecond, for ever.
class ChatterDevice final : public platform::vbus::Device {
public:
    void onReceive(const uint8_t*, size_t, const platform::vbus::LineSettings&, platform::TimePoint,
                   platform::vbus::Bytes&) override {}
    void onTick(platform::TimePoint now, platform::vbus::Bytes& out) override {
        if (last_ == platform::TimePoint{}) last_ = now;
        while (last_ + platform::Millis(1) <= now) {
            last_ += platform::Millis(1);
            out.push_back(0x55);
        }
    }

private:
    platform::TimePoint last_{};
};

TEST_F(LinkUsb, LineSetupDrainsLeftoversAndGivesUpOnEndlessChatter) {
    auto chip = plug("HC000001");
    ASSERT_EQ(link.Open(nullptr), 0);
    // An answer to the zero byte arrives late and is flushed away.
    withScripted(*chip, [](ScriptedDevice& d, platform::vbus::Bytes&) {
        d.replies.push_back({0x55, 0x55});
    });
    ASSERT_EQ(link.SetupLineForHC(true, [] {}), 0);
    EXPECT_EQ(link.QueryReadBufLen(), 0);

    fixture.bus().plug(vt5test::hcIdentity("CHATTER1"), std::make_unique<ChatterDevice>());
    CVT5Link chatty;
    ASSERT_EQ(chatty.Open("CHATTER1"), 0);
    EXPECT_EQ(chatty.SetupLineForHC(false, [] {}), 1);
    EXPECT_STREQ(chatty.GetErrorText(), "The receive queue does not fall silent");
}

}  // namespace
