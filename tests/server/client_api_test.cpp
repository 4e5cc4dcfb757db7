// The Client-mode paths of the API context against Gantrix's server thread: opening through
// the server, lock and unlock around every command, remote control-line pulses, relayed
// asynchronous messages and the system change, with the same results as directly.

#include <cstring>

#include "hcsim/hc/faults.h"
#include "tests/server/thread_fixture.h"
#include "tests/support/wire_client.h"
#include "vt5api/commands/identity.h"
#include "vt5api/link/wire.h"

namespace vt5test {
namespace {

constexpr uint32_t kQueryReadBufLen = 0x9E225C3D;
constexpr uint32_t kAsyncRelay = 0x3D625C3D;
constexpr uint32_t kLock = 0xACCE5C3D;
constexpr uint32_t kUnlock = 0x7E1E5C3D;
constexpr uint16_t kFs = 0xF51C;

// The payloads of one connection's Lock and Unlock requests, as "L f51c" / "U 0".
std::vector<std::string> lockRequests(const WireTap& tap, int connection) {
    std::vector<std::string> out;
    for (const TappedRequest& r : tap.requests()) {
        if (r.connection != connection || (r.identifier != kLock && r.identifier != kUnlock))
            continue;
        char text[16];
        std::snprintf(text, sizeof text, "%c %x", r.identifier == kLock ? 'L' : 'U',
                      getLe16(r.payload, 0));
        out.emplace_back(text);
    }
    return out;
}

size_t countOf(const std::vector<uint32_t>& ids, uint32_t id) {
    return static_cast<size_t>(std::count(ids.begin(), ids.end(), id));
}

class ClientApi : public ThreadFixture {
protected:
    void SetUp() override {
        plugHc();
        startServer();
    }
};

TEST_F(ClientApi, OpenRulesInClientAndServerMode) {
    CVT5Api api;
    ASSERT_EQ(openClient(api, "Starloom"), VT5_OK);
    EXPECT_EQ(api.link->Mode(), VT5_MODE_CLIENT);
    int32_t boot = -1, version = 0, second = 0;
    VT5_GetProtocolInfo(&api, &boot, &version, &second);
    EXPECT_EQ(boot, 0);
    EXPECT_EQ(version, 0x0112);
    EXPECT_EQ(second, 0x0003);
    EXPECT_EQ(tap_->identifiers(0),
              (std::vector<uint32_t>{0x00015C3D, 0xCADD5C3D, kQueryReadBufLen, 0x005F5C3D}));

    // A serial, or a server address while connected: 400, and nothing changes.
    EXPECT_EQ(VT5_Open(&api, "VT5SIM01", nullptr, 0, nullptr), VT5_E_WRONG_STATE);
    EXPECT_EQ(VT5_Open(&api, nullptr, "127.0.0.1", tap_->port(), "again"), VT5_E_WRONG_STATE);
    EXPECT_EQ(tap_->identifiers(1).size(), 0u);
    EXPECT_TRUE(VT5_IsOpen(&api));
    int32_t count = 0;
    VT5DeviceListEntry* list = nullptr;
    EXPECT_EQ(VT5_ListDevices(&api, &count, &list), VT5_E_WRONG_MODE);
    uint8_t hardware = 0;
    EXPECT_EQ(VT5cmd_GetHardwareID(&api, &hardware), VT5_OK);
    EXPECT_EQ(hardware, 3);

    // Closing returns to Direct mode; the next command reconnects by itself.
    EXPECT_EQ(VT5_Close(&api), VT5_OK);
    EXPECT_EQ(api.link->Mode(), VT5_MODE_DIRECT);
    EXPECT_EQ(VT5cmd_GetHardwareID(&api, &hardware), VT5_OK);
    EXPECT_EQ(api.link->Mode(), VT5_MODE_CLIENT);
    EXPECT_EQ(tap_->identifiers(1).front(), 0x00015C3Du);

    // A server context takes no server address without a serial.
    CVT5Api other;
    VT5ServerStart start;
    start.port = static_cast<uint16_t>(freeTcpPort());
    ASSERT_EQ(VT5_StartServer(&other, &start), VT5_OK);
    EXPECT_EQ(VT5_Open(&other, nullptr, "127.0.0.1", port_, nullptr), VT5_E_WRONG_STATE);

    // Nobody listening: 350, and the context stays Direct.
    CVT5Api lonely;
    EXPECT_EQ(VT5_Open(&lonely, nullptr, "127.0.0.1", freeTcpPort(), nullptr), VT5_E_CANT_CONNECT);
    EXPECT_EQ(lonely.link->Mode(), VT5_MODE_DIRECT);
}

TEST_F(ClientApi, ReopeningUsesTheStoredArguments) {
    // Directly: the HC that was asked for, not the first one found.
    hcsim::HcConfig second;
    second.serial = "HC000002";
    hcsim::SimulatedHc other(bus_.bus(), second);
    uint8_t hardware = 0;
    {
        CVT5Api direct;
        ASSERT_EQ(VT5_Open(&direct, "HC000002", nullptr, 0, nullptr), VT5_OK);
        ASSERT_EQ(VT5_Close(&direct), VT5_OK);
        EXPECT_EQ(VT5cmd_GetHardwareID(&direct, &hardware), VT5_OK);
        EXPECT_STREQ(direct.link->OpenSerial(), "HC000002");
    }
    // Through the server: the same server, under the same name.
    CVT5Api client;
    ASSERT_EQ(openClient(client, "Updater"), VT5_OK);
    ASSERT_EQ(VT5_Close(&client), VT5_OK);
    EXPECT_EQ(VT5cmd_GetHardwareID(&client, &hardware), VT5_OK);
    EXPECT_EQ(client.link->Mode(), VT5_MODE_CLIENT);
    std::vector<TappedRequest> names;
    for (const TappedRequest& r : tap_->requests())
        if (r.identifier == 0xCADD5C3D) names.push_back(r);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[1].connection, 1);
    EXPECT_STREQ(reinterpret_cast<const char*>(names[1].payload.data() + 1), "Updater");
}

TEST_F(ClientApi, EveryCommandLocksAndUnlocksItsSection) {
    CVT5Api api;
    ASSERT_EQ(openClient(api, "Gantrix - FileSystem"), VT5_OK);
    VT5DeviceInfo info{};
    ASSERT_EQ(VT5cmd_GetDeviceInfo(&api, &info), VT5_OK);
    // The outer series and each of its four queries, all with section 0.
    std::vector<std::string> series = {"L 0", "L 0", "U 0", "L 0", "U 0",
                                       "L 0", "U 0", "L 0", "U 0", "U 0"};
    EXPECT_EQ(lockRequests(*tap_, 0), series);
    // Data writes and reads happen only under the lock.
    int depth = 0;
    for (const TappedRequest& r : tap_->requests()) {
        if (r.identifier == kLock) ++depth;
        if (r.identifier == kUnlock) --depth;
        if (r.identifier == VT5_WIRE_DATA_WRITE || r.identifier == VT5_WIRE_DATA_READ) {
            EXPECT_GT(depth, 0);
        }
    }

    // A command of a section keeps it on success and gives it up on failure.
    auto query = [&api](int32_t fail) {
        return [&api, fail]() -> int32_t {
            int32_t result = api.BeginCommand(0xF8);
            if (result == VT5_OK) result = api.AddParam(0x11, nullptr, 0);
            if (result == VT5_OK) result = api.Exchange();
            return result != VT5_OK ? result : fail;
        };
    };
    tap_->clear();
    ASSERT_EQ(api.RunCommand(kFs, query(VT5_OK)), VT5_OK);
    EXPECT_EQ(lockRequests(*tap_, 0), (std::vector<std::string>{"L f51c", "U 0"}));
    ASSERT_TRUE(server_.WithStatus([](ServerStatus& s) {
        s.listRefreshRequest = true;
        return true;
    }));
    tap_->clear();
    EXPECT_EQ(api.RunCommand(kFs, query(VT5_E_NO_ANSWER_PARAMETER)), VT5_E_NO_ANSWER_PARAMETER);
    EXPECT_EQ(lockRequests(*tap_, 0), (std::vector<std::string>{"L f51c", "U f51c"}));

    // While this client owns FS, another one's FS command is refused with 8.
    ASSERT_EQ(api.RunCommand(kFs, query(VT5_OK)), VT5_OK);
    CVT5Api other;
    ASSERT_EQ(openClient(other, "Starloom"), VT5_OK);
    EXPECT_EQ(other.RunCommand(kFs, query(VT5_OK)), VT5_E_LOCK);
    uint8_t hardware = 0;
    EXPECT_EQ(VT5cmd_GetHardwareID(&other, &hardware), VT5_OK);
}

TEST_F(ClientApi, RemotePulsesConnectUnderTheirOwnNames) {
    hc_.reset();
    hcsim::HcConfig off;
    off.startMode = hcsim::HcMode::Off;
    plugHc(off);
    CVT5Api api;
    EXPECT_EQ(VT5_ESC_control(&api, 200, "127.0.0.1", port_), VT5_OK);
    EXPECT_FALSE(VT5_IsOpen(&api));  // the connection was made for the pulse only
    EXPECT_EQ(api.link->Mode(), VT5_MODE_DIRECT);
    platform::sleepMs(3000);  // as Gantrix waits after its pulse
    EXPECT_EQ(hc_->mode(), hcsim::HcMode::Firmware);
    ASSERT_EQ(openClient(api, "Panelcast"), VT5_OK);

    // Over an existing connection the pulse leaves it open.
    EXPECT_EQ(VT5_RESET_control(&api, 100, nullptr, 0), VT5_OK);
    EXPECT_TRUE(VT5_IsOpen(&api));
    CVT5Api fresh;
    EXPECT_EQ(VT5_RESET_control(&fresh, 100, "127.0.0.1", port_), VT5_OK);
    server_.StopServerThread();
    stopServer();
    // Each left under its name: as clients end (disconnected), or when the server stopped.
    for (const char* name : {"\"(VT5_ESC_control)\"", "\"(VT5_RESET_control)\""})
        EXPECT_TRUE(logged({name, "disconnected"}) || logged({name, "removed"})) << name;
    EXPECT_EQ(countOf(tap_->identifiers(0), 0x24095C3D), 1u);  // Panelcast's
}

TEST_F(ClientApi, SystemChangeGoesThroughTheServerAndReachesTheOthers) {
    CVT5Api a, b;
    ASSERT_EQ(openClient(a, "A"), VT5_OK);
    ASSERT_EQ(openClient(b, "B"), VT5_OK);
    EXPECT_EQ(VT5cmd_SystemChange(&a, 2), VT5_OK);
    EXPECT_FALSE(VT5_IsOpen(&a));
    EXPECT_EQ(hc_->mode(), hcsim::HcMode::Boot);
    std::vector<uint32_t> ids = tap_->identifiers(0);
    EXPECT_EQ(ids.back(), 0xB0445C3Du);

    // B learns of it from its relay queue before its next command, and does not relay it back.
    uint8_t hardware = 0;
    EXPECT_EQ(VT5cmd_GetHardwareID(&b, &hardware), VT5_E_MODE_CHANGED);
    EXPECT_EQ(countOf(tap_->identifiers(1), kAsyncRelay), 0u);
    EXPECT_EQ(VT5cmd_GetHardwareID(&b, &hardware), VT5_OK);
    int32_t boot = 0;
    VT5_GetProtocolInfo(&b, &boot, nullptr, nullptr);
    EXPECT_EQ(boot, 1);
    VT5_GetProtocolInfo(&a, &boot, nullptr, nullptr);
    EXPECT_EQ(boot, 0);  // closed
    EXPECT_EQ(VT5cmd_GetProtocolVersion(&a, &boot, nullptr, nullptr), VT5_OK);
    EXPECT_EQ(boot, 1);
}

TEST_F(ClientApi, AsynchronousMessageReadInAnExchangeIsReportedToTheServer) {
    CVT5Api a, b;
    ASSERT_EQ(openClient(a, "A"), VT5_OK);
    ASSERT_EQ(openClient(b, "B"), VT5_OK);
    // The HC says it powers off instead of answering A's next command.
    hc_->inject(hcsim::Fault::asyncBefore(0x36));
    hc_->inject(hcsim::Fault::truncated(1000));
    uint8_t hardware = 0;
    EXPECT_EQ(VT5cmd_GetHardwareID(&a, &hardware), VT5_E_POWERED_OFF);
    std::vector<TappedRequest> relayed;
    for (const TappedRequest& r : tap_->requests())
        if (r.identifier == kAsyncRelay) relayed.push_back(r);
    ASSERT_EQ(relayed.size(), 1u);
    EXPECT_EQ(relayed[0].connection, 0);
    EXPECT_EQ(relayed[0].payload, (std::vector<uint8_t>{0xFB, 0x36, 0x00, 0x05, 0x00}));
    // B gets it from its queue, and the connection recovers.
    EXPECT_EQ(VT5cmd_GetHardwareID(&b, &hardware), VT5_E_POWERED_OFF);
    EXPECT_EQ(countOf(tap_->identifiers(1), kAsyncRelay), 0u);
    EXPECT_EQ(VT5cmd_GetHardwareID(&b, &hardware), VT5_OK);
    EXPECT_EQ(VT5cmd_GetHardwareID(&a, &hardware), VT5_OK);
}

// The results and records of the families, directly and through the server.
struct Outcome {
    int32_t deviceInfo;
    VT5DeviceInfo info;
    int32_t hardware;
    int32_t systemChange;
    hcsim::HcMode after;
};

Outcome runFamilies(CVT5Api& api, hcsim::SimulatedHc& hc, int faultCase, int changeType) {
    Outcome o{};
    std::memset(&o.info, 0, sizeof o.info);
    o.deviceInfo = VT5cmd_GetDeviceInfo(&api, &o.info);
    switch (faultCase) {
        case 1:
            hc.inject(hcsim::Fault::wrongCounter());
            break;
        case 2:
            hc.inject(hcsim::Fault::answerType(32));
            break;
        case 3:
            hc.inject(hcsim::Fault::counterF0());
            break;
        default:
            break;
    }
    uint8_t hardware = 0;
    o.hardware = VT5cmd_GetHardwareID(&api, &hardware);
    o.systemChange = VT5cmd_SystemChange(&api, changeType);
    platform::sleepMs(3000);
    o.after = hc.mode();
    return o;
}

TEST_F(ClientApi, FamiliesGiveTheSameResultsThroughTheServerAsDirectly) {
    struct Case {
        hcsim::HcMode mode;
        int fault;
        int changeType;
    };
    const Case cases[] = {
        {hcsim::HcMode::Firmware, 0, 1},
        {hcsim::HcMode::Firmware, 1, 2},
        {hcsim::HcMode::Boot, 2, 1},
        {hcsim::HcMode::Boot, 3, 0},
    };
    stopServer();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "mode " << hcsim::modeName(c.mode) << " fault " << c.fault);
        hcsim::HcConfig config;
        config.startMode = c.mode;
        config.challenge = std::array<uint8_t, 4>{1, 2, 3, 4};
        hc_.reset();
        plugHc(config);
        Outcome direct;
        {
            CVT5Api api;
            ASSERT_EQ(VT5_Open(&api, "VT5SIM01", nullptr, 0, nullptr), VT5_OK);
            direct = runFamilies(api, *hc_, c.fault, c.changeType);
        }
        hc_.reset();
        plugHc(config);
        startServer();
        Outcome served;
        {
            CVT5Api api;
            ASSERT_EQ(openClient(api, "families"), VT5_OK);
            served = runFamilies(api, *hc_, c.fault, c.changeType);
        }
        stopServer();
        EXPECT_EQ(served.deviceInfo, direct.deviceInfo);
        EXPECT_EQ(direct.deviceInfo, VT5_OK);
        EXPECT_STREQ(served.info.serial, direct.info.serial);
        EXPECT_STREQ(served.info.description, direct.info.description);
        EXPECT_EQ(served.info.bootFlag, direct.info.bootFlag);
        EXPECT_EQ(served.info.protocolVersion, direct.info.protocolVersion);
        EXPECT_EQ(served.info.secondProtocolWord, direct.info.secondProtocolWord);
        EXPECT_EQ(served.info.chipId[0], direct.info.chipId[0]);
        EXPECT_EQ(served.info.chipId[1], direct.info.chipId[1]);
        EXPECT_STREQ(served.info.uniqueId, direct.info.uniqueId);
        EXPECT_EQ(served.info.hardwareId, direct.info.hardwareId);
        EXPECT_STREQ(served.info.deviceText, direct.info.deviceText);
        EXPECT_EQ(served.hardware, direct.hardware);
        EXPECT_EQ(served.systemChange, direct.systemChange);
        EXPECT_EQ(served.after, direct.after);
    }
}

}  // namespace
}  // namespace vt5test
