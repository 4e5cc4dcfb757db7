// Identity queries and the device information record.

#include <gtest/gtest.h>

#include <cstring>

#include "tests/vt5api/hc_fixture.h"

namespace {

hcsim::HcConfig identityConfig() {
    hcsim::HcConfig c;
    c.chipId = std::array<uint32_t, 2>{0x11223344, 0x55667788};
    c.uniqueId = hcsim::textField<16>("ABCD");  // four letters, twelve zero bytes
    c.hardwareId = 7;
    c.deviceText = hcsim::textField<32>("Observatory north pier");
    return c;
}

class Identity : public vt5test::HcFixture {
protected:
    Identity() : HcFixture(identityConfig()) {}
};

TEST_F(Identity, DeviceInfoGathersEverything) {
    VT5DeviceInfo info;
    std::memset(&info, 0x5A, sizeof info);
    ASSERT_EQ(VT5cmd_GetDeviceInfo(&api, &info), VT5_OK);  // opens by itself
    EXPECT_STREQ(info.serial, "HC000001");
    EXPECT_STREQ(info.description, "Veltra-5 HandController");
    EXPECT_EQ(info.bootFlag, 0);
    EXPECT_EQ(info.protocolVersion, 0x0112);
    EXPECT_EQ(info.secondProtocolWord, 3);
    EXPECT_EQ(info.chipId[0], 0x11223344u);
    EXPECT_EQ(info.chipId[1], 0x55667788u);
    EXPECT_STREQ(info.uniqueId, "ABCD            ");
    EXPECT_EQ(info.hardwareId, 7);
    EXPECT_STREQ(info.deviceText, "Observatory north pier");
    EXPECT_EQ(info.deviceText[32], '\0');

    // The unique ID on its own comes as the HC sent it.
    uint32_t chip[2] = {};
    uint8_t unique[16];
    ASSERT_EQ(VT5cmd_GetUniqueID(&api, chip, unique), VT5_OK);
    EXPECT_EQ(std::memcmp(unique, "ABCD\0\0\0\0\0\0\0\0\0\0\0\0", 16), 0);
    EXPECT_EQ(VT5cmd_GetDeviceInfo(&api, nullptr), VT5_E_BAD_ARGUMENT);
}

TEST_F(Identity, DeviceTextErasedOrFull) {
    char text[32];
    hc->with([](hcsim::HcDevice& d) {
        d.config().deviceText.fill(0xFF);  // an erased text
    });
    ASSERT_EQ(VT5cmd_GetDeviceText(&api, text), VT5_OK);
    EXPECT_STREQ(text, "");
    hc->with([](hcsim::HcDevice& d) {
        d.config().deviceText = hcsim::textField<32>("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef");
    });
    ASSERT_EQ(VT5cmd_GetDeviceText(&api, text), VT5_OK);
    EXPECT_STREQ(text, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcde");
    EXPECT_EQ(VT5cmd_GetDeviceText(&api, nullptr), VT5_E_BAD_ARGUMENT);
}

class BootIdentity : public vt5test::HcFixture {
protected:
    BootIdentity() : HcFixture(bootConfig()) {}
    static hcsim::HcConfig bootConfig() {
        hcsim::HcConfig c;
        c.startMode = hcsim::HcMode::Boot;
        return c;
    }
};

TEST_F(BootIdentity, BootFlagComesFromParameter3) {
    ASSERT_EQ(open(), VT5_OK);
    EXPECT_EQ(api.bootFlag, 1);
    EXPECT_EQ(api.link->BootFlagCopy(), 1);
    int32_t boot = 0;
    uint16_t version = 0, second = 0;
    ASSERT_EQ(VT5cmd_GetProtocolVersion(&api, &boot, &version, &second), VT5_OK);
    EXPECT_EQ(boot, 1);
    EXPECT_EQ(version, 0x0014);
    EXPECT_EQ(second, 1);
}

}  // namespace
