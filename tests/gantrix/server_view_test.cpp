// The texts the API server dialog and the main dialog make of the server's status.

#include <gtest/gtest.h>

#include <cstring>

#include "gantrix/app/server_view.h"
#include "tests/options/temp_registry.h"
#include "vt5api/options/named_devices.h"

namespace {

ServerSnapshot Active(const char* openSerial = "") {
    ServerSnapshot s;
    s.state = ServerStatus::kActive;
    s.deviceOpen = *openSerial != '\0';
    s.openSerial = openSerial;
    return s;
}

class ServerViewTest : public ::testing::Test {
protected:
    vt5test::TempRegistry registry;
};

TEST_F(ServerViewTest, StateTextNamesTheOpenHc) {
    SetNamedDevice("HC000042", "Observatory pier", 0);
    ServerSnapshot off;
    EXPECT_EQ(StateText(off), "OFF");
    ServerSnapshot starting;
    starting.state = ServerStatus::kStarting;
    EXPECT_EQ(StateText(starting), "Starting...");
    EXPECT_EQ(StateText(Active()), "Active");
    EXPECT_EQ(StateText(Active("HC000042")), "Active (open to 'Observatory pier')");
    EXPECT_EQ(StateText(Active("HC000007")), "Active (open to 'HC000007')");
}

TEST_F(ServerViewTest, TheReasonIsShownOnlyWhileTheServerIsOff) {
    const char* reason = "TCP port 5937 is in use by vt5-server (process 4242)";
    struct Case {
        uint8_t state;
        std::string shown;
    };
    const Case cases[] = {
        {ServerStatus::kOff, reason}, {ServerStatus::kStarting, ""}, {ServerStatus::kActive, ""}};
    for (const Case& c : cases) {
        ServerStatus status;
        status.state = c.state;
        status.startFailure = reason;
        EXPECT_EQ(StateReasonText(TakeSnapshot(status)), c.shown) << int(c.state);
    }
    EXPECT_EQ(StateReasonText(ServerSnapshot{}), "");
}

TEST_F(ServerViewTest, DeviceTextShowsModeAndProtocolWords) {
    ServerSnapshot firmware = Active("HC000042");
    firmware.protocolVersion = 0x0112;
    firmware.secondProtocolWord = 0x0003;
    EXPECT_EQ(DeviceText(firmware), " Fw. mode\n Ver.: 1.12 / 0003");

    ServerSnapshot boot = Active("HC000042");
    boot.bootFlag = 1;
    boot.protocolVersion = 0x0014;
    boot.secondProtocolWord = 0x00A1;
    EXPECT_EQ(DeviceText(boot), " BOOT mode\n Ver.: 1.4 / 00a1");

    EXPECT_EQ(DeviceText(Active()), "") << "no HC open";
    ServerSnapshot stopped = firmware;
    stopped.state = ServerStatus::kOff;
    EXPECT_EQ(DeviceText(stopped), "");
}

TEST_F(ServerViewTest, ClientColumns) {
    VT5ServerClient client{};
    std::strcpy(client.address, "192.168.1.7");
    client.port = 50123;
    EXPECT_EQ(ClientAddressText(client), "192.168.1.7 : 50123");
    EXPECT_EQ(SectionText(0), "");
    EXPECT_EQ(SectionText(2), "FS ");
    EXPECT_EQ(SectionText(6), "FS ESKY ");
    EXPECT_EQ(SectionText(7), "CTRL FS ESKY ");
}

TEST_F(ServerViewTest, ServerLabelTrimsTheName) {
    SetNamedDevice("HC000042", "  Observatory pier ", 0);
    EXPECT_EQ(ServerLabelText(false, "HC000042"), "Control the Veltra-5 API Server");
    EXPECT_EQ(ServerLabelText(true, ""), "Control the Veltra-5 API Server\r\n(ACTIVE)");
    EXPECT_EQ(ServerLabelText(true, "HC000042"),
              "Control the Veltra-5 API Server\r\n(ACTIVE with: 'Observatory pier')");
    EXPECT_EQ(ServerLabelText(true, "HC000007"),
              "Control the Veltra-5 API Server\r\n(ACTIVE with: 'HC000007')");
}

}  // namespace
