// The system change in firmware and BOOT mode, and answers no healthy HC gives.

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/vt5api/hc_fixture.h"
#include "tests/vt5api/scripted_hc.h"

namespace {

class SystemChange : public vt5test::HcFixture {
protected:
    SystemChange() : HcFixture(config()) {}
    static hcsim::HcConfig config() {
        hcsim::HcConfig c;
        c.challenge = std::array<uint8_t, 4>{0x01, 0x02, 0x03, 0x04};
        return c;
    }
};

TEST_F(SystemChange, ChallengeAndResponseSwitchTheHcOff) {
    ASSERT_EQ(open(), VT5_OK);
    hc->clearReceived();
    EXPECT_EQ(VT5cmd_SystemChange(&api, VT5_SYSCHANGE_POWER_OFF), VT5_OK);
    EXPECT_FALSE(VT5_IsOpen(&api));
    auto received = hc->received();
    auto response = std::find_if(received.begin(), received.end(), [](const hcsim::Message& m) {
        return m.code == 0x51 && m.find(0xA3);
    });
    ASSERT_NE(response, received.end());
    EXPECT_EQ(response->find(0xA3)->value, (hcsim::Bytes{0xFB, 0xFC, 0xFD, 0xFE, 0x0F, 0x00}));
    EXPECT_EQ(hc->mode(), hcsim::HcMode::Off);
}

TEST_F(SystemChange, ModeChangeRestartsTheHcInBootMode) {
    ASSERT_EQ(open(), VT5_OK);
    EXPECT_EQ(VT5cmd_SystemChange(&api, VT5_SYSCHANGE_MODE_2), VT5_OK);
    EXPECT_FALSE(VT5_IsOpen(&api));
    platform::sleepMs(3000);
    int32_t boot = 0;
    ASSERT_EQ(VT5cmd_GetProtocolVersion(&api, &boot, nullptr, nullptr), VT5_OK);
    EXPECT_EQ(boot, 1);
    // From the boot loader back to the firmware: carried out without an answer.
    int64_t took =
        elapsedMs([&] { EXPECT_EQ(VT5cmd_SystemChange(&api, VT5_SYSCHANGE_MODE_1), VT5_OK); });
    EXPECT_GE(took, 500);  // waited its 500 ms for an answer that never came
    platform::sleepMs(3000);
    ASSERT_EQ(VT5cmd_GetProtocolVersion(&api, &boot, nullptr, nullptr), VT5_OK);
    EXPECT_EQ(boot, 0);
}

TEST_F(SystemChange, BadTypeMakesNoExchange) {
    ASSERT_EQ(open(), VT5_OK);
    hc->clearReceived();
    EXPECT_EQ(VT5cmd_SystemChange(&api, 3), VT5_E_BAD_ARGUMENT);
    EXPECT_EQ(VT5cmd_SystemChange(&api, -1), VT5_E_BAD_ARGUMENT);
    EXPECT_TRUE(hc->received().empty());
}

// A scripted HC on the bus instead of the simulated one.
class Scripted : public ::testing::Test {
protected:
    vt5test::ScriptedHc& plug(bool boot, uint16_t version) {
        // F8: 01, 10, 11, D1 without value; FA: 78, B0, A9 with 4 bytes; 51: C5, A3 (6).
        std::vector<uint8_t> table = {3, 0xF8, 4, 0x01, 0, 0x10, 0, 0x11, 0, 0xD1, 0, 0xFA, 3, 0x78,
                                      4, 0xB0, 4, 0xA9, 4, 0x51, 2, 0xC5, 0, 0xA3, 6};
        auto device = std::make_unique<vt5test::ScriptedHc>(boot, version, table);
        vt5test::ScriptedHc* raw = device.get();
        chip = bus.bus().plug(vt5test::hcIdentity("SCRIPT01"), std::move(device));
        return *raw;
    }

    platform::VirtualClock virtualClock;
    platform::ScopedClock useVirtual{virtualClock};
    vt5test::BusFixture bus;
    std::shared_ptr<platform::vbus::Chip> chip;
    CVT5Api api;
};

TEST_F(Scripted, ProtocolAnswerWithBoth0x01And0x03IsReadFrom0x03) {
    auto& hc = plug(false, 0x0112);
    ASSERT_EQ(VT5_Open(&api, nullptr, nullptr, 0, nullptr), VT5_OK);
    hc.protocolEntries({0x01, 4, 0x11, 0x01, 0, 0, 0x03, 4, 0x14, 0x00, 0x01, 0x00});
    int32_t boot = 0;
    uint16_t version = 0;
    ASSERT_EQ(VT5cmd_GetProtocolVersion(&api, &boot, &version, nullptr), VT5_OK);
    EXPECT_EQ(boot, 1);
    EXPECT_EQ(version, 0x0014);
}

TEST_F(Scripted, MissingOrBadAnswerParameters) {
    auto& hc = plug(false, 0x0112);
    hc.script(0, {});                        // no 0x11 at all
    hc.script(0, {0x11, 2, 0x03, 0x00});     // two bytes where one belongs
    hc.script(0, {0x12, 1, 9, 0x11, 1, 4});  // found behind another entry
    uint8_t id = 0;
    EXPECT_EQ(VT5cmd_GetHardwareID(&api, &id), VT5_E_NO_ANSWER_PARAMETER);
    EXPECT_EQ(VT5cmd_GetHardwareID(&api, &id), VT5_E_BAD_PARAMETER_LENGTH);
    EXPECT_EQ(VT5cmd_GetHardwareID(&api, &id), VT5_OK);
    EXPECT_EQ(id, 4);
}

TEST_F(Scripted, BootLoaderThatAnswersASystemChangeRefusedIt) {
    auto& hc = plug(true, 0x0014);
    hc.script(0, {0xFF, 1, 0x78});  // refusal naming the parameter
    EXPECT_EQ(VT5cmd_SystemChange(&api, VT5_SYSCHANGE_POWER_OFF), VT5_E_UNKNOWN_PARAMETER);
    hc.script(32, {});
    EXPECT_EQ(VT5cmd_SystemChange(&api, VT5_SYSCHANGE_MODE_1), VT5_E_CANT_EXECUTE);
    EXPECT_TRUE(VT5_IsOpen(&api));  // refused: the connection stays
    std::vector<std::vector<uint8_t>> changes;
    for (auto c : hc.commands())
        if (c[0] == 0xFA) {
            c[1] = 0;  // the counter
            changes.push_back(c);
        }
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0], (std::vector<uint8_t>{0xFA, 0, 0x78, 0x3C, 0x1E, 0x6B, 0xD2, 0xFF}));
    EXPECT_EQ(changes[1], (std::vector<uint8_t>{0xFA, 0, 0xB0, 0x5A, 0x93, 0xC0, 0x4F, 0xFF}));
}

TEST_F(Scripted, OldBootLoaderCannotPowerOff) {
    auto& hc = plug(true, 0x0011);
    EXPECT_EQ(VT5cmd_SystemChange(&api, VT5_SYSCHANGE_POWER_OFF), VT5_E_PARAMETER_NOT_SUPPORTED);
    for (const auto& c : hc.commands())
        EXPECT_NE(c[0], 0xFA);  // nothing was sent
}

TEST_F(Scripted, FirmwareRefusalAndBadChallenge) {
    auto& hc = plug(false, 0x0112);
    hc.script(0, {0xC5, 4, 1, 2, 3, 4});
    hc.script(0, {0xA3, 1, 2});  // the firmware says no
    EXPECT_EQ(VT5cmd_SystemChange(&api, VT5_SYSCHANGE_MODE_2), VT5_E_CANT_EXECUTE);
    EXPECT_FALSE(VT5_IsOpen(&api));    // answered: the connection ends all the same
    hc.script(0, {0xC5, 3, 1, 2, 3});  // a challenge of three bytes
    EXPECT_EQ(VT5cmd_SystemChange(&api, VT5_SYSCHANGE_MODE_2), VT5_E_INVALID_ANSWER);
    EXPECT_TRUE(VT5_IsOpen(&api));
}

TEST_F(Scripted, BulkDataThatEndsEarlyGives54) {
    auto& hc = plug(false, 0x0112);
    ASSERT_EQ(VT5_Open(&api, nullptr, nullptr, 0, nullptr), VT5_OK);
    // 5000 bytes announced, 100 sent.
    hc.script(0, {0x11, 1, 3, 0xFC, 4, 0x88, 0x13, 0, 0, 0xFD, 0}, std::vector<uint8_t>(100, 7));
    uint8_t id = 0;
    EXPECT_EQ(VT5cmd_GetHardwareID(&api, &id), VT5_E_TOO_FEW_BYTES);
    // A bulk marker with a value is no bulk marker.
    hc.script(0, {0x11, 1, 3, 0xFD, 1, 0});
    EXPECT_EQ(VT5cmd_GetHardwareID(&api, &id), VT5_E_INVALID_ANSWER);
    hc.script(0, {0x11, 1, 3, 0x22, 9, 0});  // an entry reaching past the end
    EXPECT_EQ(VT5cmd_GetHardwareID(&api, &id), VT5_E_INVALID_ANSWER);
}

}  // namespace
