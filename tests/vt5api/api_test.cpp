// The API context: error texts, opening, listing and the small queries.

#include <gtest/gtest.h>

#include "tests/support/fake_server.h"
#include "tests/vt5api/hc_fixture.h"

namespace {

using vt5test::HcFixture;

TEST(ErrorText, KnownAndUnknownCodes) {
    EXPECT_STREQ(VT5_GetErrorText(0), "OK");
    EXPECT_STREQ(VT5_GetErrorText(42), "(unknown error code)");
    EXPECT_STREQ(VT5_GetErrorText(35), "Failed to read protocol version at initialization");
    EXPECT_STREQ(VT5_GetErrorText(-65536),
                 "Invalid return value returned by an API fuction. (Should not happen for normal "
                 "use.)");
    EXPECT_STREQ(VT5_GetErrorText(902), "Bitmap error during the operation");
    EXPECT_EQ(VT5_GetVersion(), 0x0120);
}

using ApiOpen = HcFixture;

TEST_F(ApiOpen, OpensHandshakesAndReportsTheHc) {
    int32_t boot = -1, version = -1, second = -1;
    EXPECT_EQ(VT5_GetProtocolInfo(&api, &boot, &version, &second), VT5_OK);
    EXPECT_EQ(version, 0);  // closed: all zeros
    ASSERT_EQ(open(), VT5_OK);
    EXPECT_TRUE(VT5_IsOpen(&api));
    EXPECT_EQ(VT5_GetProtocolInfo(&api, &boot, &version, &second), VT5_OK);
    EXPECT_EQ(boot, 0);
    EXPECT_EQ(version, 0x0112);
    EXPECT_EQ(second, 3);
    char serial[17], descr[65];
    EXPECT_EQ(VT5_GetSerial(&api, serial, sizeof serial), VT5_OK);
    EXPECT_STREQ(serial, "HC000001");
    EXPECT_EQ(VT5_GetDescription(&api, descr, sizeof descr), VT5_OK);
    EXPECT_STREQ(descr, "Veltra-5 HandController");
    // The handshake's table is kept for the server.
    EXPECT_GT(api.link->CommandTableLength(), 0);
    EXPECT_TRUE(api.commandTable.count(0xF8));
    EXPECT_EQ(VT5_Close(&api), VT5_OK);
    EXPECT_FALSE(VT5_IsOpen(&api));
    EXPECT_EQ(VT5_GetSerial(&api, serial, sizeof serial), VT5_E_COMMUNICATION);
    EXPECT_STREQ(serial, "");
}

TEST_F(ApiOpen, ListsFreeHcsOnlyWhileClosedAndNotAClient) {
    int32_t count = 0;
    VT5DeviceListEntry* list = nullptr;
    ASSERT_EQ(VT5_ListDevices(&api, &count, &list), VT5_OK);
    ASSERT_EQ(count, 1);
    EXPECT_STREQ(list[0].serial, "HC000001");
    EXPECT_STREQ(list[0].description, "Veltra-5 HandController");
    VT5_FreeDeviceList(list);
    EXPECT_EQ(VT5_ListDevices(&api, nullptr, &list), VT5_E_BAD_ARGUMENT);

    ASSERT_EQ(open(), VT5_OK);
    EXPECT_EQ(VT5_ListDevices(&api, &count, &list), VT5_E_WRONG_STATE);
    CVT5Api other;
    ASSERT_EQ(VT5_ListDevices(&other, &count, &list), VT5_OK);
    EXPECT_EQ(count, 0);  // held by `api`
    VT5_FreeDeviceList(list);

    vt5test::FakeServer server([](const vt5test::WireRequest&) { return std::vector<uint8_t>{}; });
    CVT5Api client;
    client.link->ConnectToServer("127.0.0.1", server.port(), nullptr);
    EXPECT_EQ(VT5_ListDevices(&client, &count, &list), VT5_E_WRONG_MODE);
    // A serial given to a context that talks to a server is refused and changes nothing.
    EXPECT_EQ(VT5_Open(&client, "HC000001", nullptr, 0, nullptr), VT5_E_WRONG_STATE);
    EXPECT_EQ(client.link->Mode(), VT5_MODE_CLIENT);
    EXPECT_TRUE(VT5_IsOpen(&client));
}

TEST_F(ApiOpen, NoHcGivesOneAndOpenWithUnknownSerialToo) {
    EXPECT_EQ(VT5_Open(&api, "NOSUCH01", nullptr, 0, nullptr), VT5_E_CANNOT_OPEN);
    hc->unplug();
    EXPECT_EQ(open(), VT5_E_CANNOT_OPEN);
    int32_t count = 0;
    VT5DeviceListEntry* list = nullptr;
    EXPECT_EQ(VT5_ListDevices(&api, &count, &list), VT5_E_CANNOT_OPEN);  // no FTDI device at all
}

TEST_F(ApiOpen, OnlyServerAddressConnectsAsClientOnTheDefaultPort) {
    // Nothing listens on 5937 in the test environment unless another program serves there;
    // either way the context must try the default port and come back in Direct mode.
    int32_t result = VT5_Open(&api, nullptr, "127.0.0.1", 0, "tester");
    if (result == VT5_OK) GTEST_SKIP() << "something serves on 5937";
    EXPECT_EQ(result, VT5_E_CANT_CONNECT);
    EXPECT_EQ(api.link->Mode(), VT5_MODE_DIRECT);
    EXPECT_STREQ(api.serverAddress, "127.0.0.1");
    EXPECT_EQ(api.serverPort, 0);
}

class ApiSwitchedOff : public HcFixture {
protected:
    ApiSwitchedOff() : HcFixture(offConfig()) {}
    static hcsim::HcConfig offConfig() {
        hcsim::HcConfig c;
        c.startMode = hcsim::HcMode::Off;
        return c;
    }
};

TEST_F(ApiSwitchedOff, SilentHcGives35UntilEscSwitchesItOn) {
    EXPECT_EQ(open(), VT5_E_HANDSHAKE);
    EXPECT_FALSE(VT5_IsOpen(&api));
    // As Gantrix does: pulse ESC, wait 3 s, open again.
    EXPECT_EQ(VT5_ESC_control(&api, 200, nullptr, 0), VT5_OK);
    EXPECT_FALSE(VT5_IsOpen(&api));  // the pulse opened the chip itself and closed it again
    platform::sleepMs(3000);
    ASSERT_EQ(open(), VT5_OK);
    EXPECT_EQ(api.bootFlag, 0);
}

TEST_F(ApiSwitchedOff, LongEscPulseStartsBootMode) {
    EXPECT_EQ(VT5_ESC_control(&api, 2000, nullptr, 0), VT5_OK);
    platform::sleepMs(500);
    ASSERT_EQ(open(), VT5_OK);
    EXPECT_EQ(api.bootFlag, 1);
}

TEST_F(ApiSwitchedOff, EscPulseOfZeroLeavesTheLineHigh) {
    EXPECT_EQ(VT5_ESC_control(&api, 0, nullptr, 0), VT5_OK);
    EXPECT_TRUE(hc->with([](hcsim::HcDevice& d) { return d.escHigh(); }));
    EXPECT_EQ(hc->mode(), hcsim::HcMode::Off);  // still held: nothing starts yet
    // Opening the chip again for a RESET pulse turns the other pins back into inputs.
    EXPECT_EQ(VT5_RESET_control(&api, 100, nullptr, 0), VT5_OK);
    EXPECT_FALSE(hc->with([](hcsim::HcDevice& d) { return d.escHigh(); }));
    EXPECT_FALSE(hc->with([](hcsim::HcDevice& d) { return d.resetHigh(); }));
}

TEST_F(ApiSwitchedOff, PulseGoesToTheHcTheContextWasOpenedFor) {
    hcsim::HcConfig config = offConfig();
    config.serial = "HC000002";
    hcsim::SimulatedHc second(bus.bus(), config);
    EXPECT_EQ(VT5_Open(&api, "HC000002", nullptr, 0, nullptr), VT5_E_HANDSHAKE);
    EXPECT_EQ(VT5_ESC_control(&api, 200, nullptr, 0), VT5_OK);
    platform::sleepMs(500);
    EXPECT_EQ(second.mode(), hcsim::HcMode::Firmware);
    EXPECT_EQ(hc->mode(), hcsim::HcMode::Off);  // listed first, but not the one asked for
}

TEST_F(ApiSwitchedOff, PulseWithoutAnyHcGivesOne) {
    hc->unplug();
    EXPECT_EQ(VT5_ESC_control(&api, 200, nullptr, 0), VT5_E_CANNOT_OPEN);
}

}  // namespace
