// Serving one request: every identifier and request code, with its answers, error answers,
// dropped clients and unanswered requests.

#include <sys/socket.h>

#include "hcsim/hc/faults.h"
#include "tests/server/server_fixture.h"

namespace vt5test {
namespace {

using platform::vbus::Bytes;

class ServerRequests : public ServerFixture {
protected:
    void SetUp() override { startServer(); }

    // The client was removed: it sees its connection closed and leaves the list.
    void expectDropped(WireClient& client, size_t clientsLeft) {
        EXPECT_TRUE(client.closedByServer());
        EXPECT_EQ(state().clients.size(), clientsLeft);
    }
    // The client is still served.
    void expectServed(WireClient& client) {
        auto version = askControl(client, VT5_REQ_SERVER_VERSION);
        ASSERT_TRUE(version) << "no answer to ServerVersion";
        EXPECT_EQ(version->identifier, 0x00015C3Du);
        EXPECT_EQ(version->length, 10u);
        EXPECT_EQ(getLe16(version->payload, 0), 0x0120);
    }
    std::optional<WireMessage> dataRead(WireClient& client, uint32_t count) {
        return ask(client, wireMessage(VT5_WIRE_DATA_READ, le32(count)));
    }
    // The chunks of a data read that the server has answered completely.
    std::vector<WireMessage> chunks(WireClient& client) {
        std::vector<WireMessage> all;
        while (auto m = client.receive(0)) {
            all.push_back(*m);
            if (m->identifier != VT5_WIRE_DATA_READ || getLe16(m->payload, 2) == 0xFFFF) break;
        }
        return all;
    }
    static void expectError(const std::optional<WireMessage>& answer, uint16_t code,
                            size_t length) {
        ASSERT_TRUE(answer) << "no error answer";
        EXPECT_EQ(answer->identifier, kErrorAnswer);
        EXPECT_EQ(answer->length, length);
        EXPECT_EQ(getLe16(answer->payload, 0), code);
    }
};

// F8 <counter> 11 FF: the hardware ID query, and the HC's answer to it.
const Bytes kHardwareQuery = {0xF8, 0x05, 0x11, 0xFF};
const Bytes kHardwareAnswer = {0xF8, 0x05, 0x00, 0x08, 0x00, 0x11, 0x01, 0x03};

TEST_F(ServerRequests, ServerVersionDiscardsSurplusPayload) {
    auto c = connect();
    auto version = askControl(*c, VT5_REQ_SERVER_VERSION, {1, 2, 3});
    ASSERT_TRUE(version);
    EXPECT_EQ(version->length, 10u);
    EXPECT_EQ(getLe16(version->payload, 0), 0x0120);
    expectServed(*c);
}

TEST_F(ServerRequests, UnknownRequestsGetNoAnswerAndTheirPayloadStaysUnread) {
    auto c = connect();
    EXPECT_FALSE(ask(*c, wireMessage(0x12345678, {})));
    EXPECT_FALSE(askControl(*c, 0x7777));
    // The payload of an unknown control request is read as the next request.
    EXPECT_FALSE(ask(*c, wireMessage(0x77775C3D, controlRequest(VT5_REQ_SERVER_VERSION))));
    poll();
    auto answer = c->receive();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->identifier, 0x00015C3Du);
    EXPECT_EQ(state().clients.size(), 1u);
    expectServed(*c);
}

TEST_F(ServerRequests, MalformedHeadersDropOnlyTheirClient) {
    auto bystander = connect("bystander");
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case cases[] = {
        {"length 7", wireMessage(VT5_WIRE_DATA_WRITE, {}, 7)},
        {"length 0", wireMessage(0x00015C3D, {}, 0)},
        {"three bytes and gone", {12, 0, 0}},
        {"length without identifier", {8, 0, 0, 0, 0x3D}},
        {"payload cut short", wireMessage(VT5_REQ_LOCK << 16 | 0x5C3D, {0x1C}, 10)},
    };
    for (const Case& c : cases) {
        auto client = connect();
        ASSERT_TRUE(client->send(c.bytes)) << c.name;
        ::shutdown(client->fd(), SHUT_WR);
        poll();
        expectDropped(*client, 1);
    }
    expectServed(*bystander);
}

TEST_F(ServerRequests, DataWriteAndReadCarryCommandAndAnswer) {
    plugHc();
    openHc();
    auto c = connect();
    auto written = ask(*c, wireMessage(VT5_WIRE_DATA_WRITE, kHardwareQuery));
    ASSERT_TRUE(written);
    EXPECT_EQ(written->identifier, VT5_WIRE_DATA_WRITE);
    EXPECT_EQ(written->length, 8u);
    auto answer = dataRead(*c, 8);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->identifier, VT5_WIRE_DATA_READ);
    EXPECT_EQ(answer->length, 20u);
    EXPECT_EQ(getLe16(answer->payload, 0), 0);       // no relayed bytes
    EXPECT_EQ(getLe16(answer->payload, 2), 0xFFFF);  // last
    EXPECT_EQ(Bytes(answer->payload.begin() + 4, answer->payload.end()), kHardwareAnswer);
}

TEST_F(ServerRequests, DataReadOf10000WithFiveRelayedBytesComesInThreeChunks) {
    plugHc();
    openHc();
    auto c = connect();
    const Bytes relayed = {0xFB, 0x36, 0x00, 0x05, 0x00};
    server_.link->Broadcast(relayed.data(), 5, -1);
    Bytes fromHc = hcsim::testPattern(9995);
    hcSends(fromHc);
    ASSERT_TRUE(c->send(wireMessage(VT5_WIRE_DATA_READ, le32(10000))));
    poll();
    auto all = chunks(*c);
    ASSERT_EQ(all.size(), 3u);
    const size_t sizes[] = {4096, 4096, 1808};
    Bytes data;
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(all[i].length, 12 + sizes[i]);
        EXPECT_EQ(getLe16(all[i].payload, 0), 1) << "flags of chunk " << i;
        EXPECT_EQ(getLe16(all[i].payload, 2), i == 2 ? 0xFFFF : 0) << "last of chunk " << i;
        data.insert(data.end(), all[i].payload.begin() + 4, all[i].payload.end());
    }
    EXPECT_EQ(Bytes(data.begin(), data.begin() + 5), relayed);
    EXPECT_EQ(Bytes(data.begin() + 5, data.end()), fromHc);
    EXPECT_EQ(queued(0), 0u);
}

TEST_F(ServerRequests, DataReadsThatGetNoChunk) {
    plugHc();
    openHc();
    auto c = connect();
    hcSends({1, 2, 3});
    EXPECT_FALSE(dataRead(*c, 0));
    EXPECT_FALSE(dataRead(*c, 0x80000000));  // a negative count
    // A payload other than 4 bytes: a bare header, and the payload is the next request.
    auto bare = ask(*c, wireMessage(VT5_WIRE_DATA_READ, controlRequest(VT5_REQ_SERVER_VERSION)));
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->identifier, VT5_WIRE_DATA_READ);
    EXPECT_EQ(bare->length, 8u);
    poll();
    auto version = c->receive();
    ASSERT_TRUE(version);
    EXPECT_EQ(version->identifier, 0x00015C3Du);
    // Nothing was taken from the HC meanwhile.
    auto answer = dataRead(*c, 3);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->payload, join({le16(0), le16(0xFFFF), {1, 2, 3}}));
}

TEST_F(ServerRequests, WithoutAnHcDataWriteAndReadAnswerF7C4AndKeepTheClient) {
    auto c = connect();
    expectError(ask(*c, wireMessage(VT5_WIRE_DATA_WRITE, Bytes(5000, 0xF8))), 0xF7C4, 10);
    expectServed(*c);
    expectError(dataRead(*c, 4), 0xF7C4, 10);
    expectServed(*c);
    // Bytes in the relay queue need no HC.
    server_.link->Broadcast(kHardwareAnswer.data(), 8, -1);
    auto answer = dataRead(*c, 8);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->payload, join({le16(1), le16(0xFFFF), kHardwareAnswer}));
}

TEST_F(ServerRequests, FailedTransfersAnswer33DBWithTheDriverStatus) {
    plugHc();
    openHc();
    auto c = connect();
    // The HC sends nothing: the read runs out of time (a virtual second).
    auto silent = dataRead(*c, 4);
    expectError(silent, 0x33DB, 14);
    EXPECT_EQ(getLe32(silent->payload, 2), server_.link->LastDriverStatus());
    expectServed(*c);
    // The chip is pulled out under the open handle.
    hc_->unplug();
    auto failed = ask(*c, wireMessage(VT5_WIRE_DATA_WRITE, kHardwareQuery));
    expectError(failed, 0x33DB, 14);
    EXPECT_NE(getLe32(failed->payload, 2), 0u);
    EXPECT_EQ(getLe32(failed->payload, 2), server_.link->LastDriverStatus());
    expectServed(*c);
}

TEST_F(ServerRequests, OpenDeviceAnswersTheIdentityOrTheFailureForm) {
    auto c = connect();
    // No HC plugged in: the failure form with VT5_Open's code, and the client stays.
    auto failed = askControl(*c, VT5_REQ_OPEN_DEVICE);
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->identifier, 0x005F5C3Du);
    EXPECT_EQ(failed->payload, join({le16(1234), le16(VT5_E_CANNOT_OPEN), le16(0), le16(0)}));
    expectServed(*c);

    hcsim::HcConfig boot;
    boot.startMode = hcsim::HcMode::Boot;
    plugHc(boot);
    auto identity = askControl(*c, VT5_REQ_OPEN_DEVICE);
    ASSERT_TRUE(identity);
    const std::vector<uint8_t>& table = server_.link->CommandTable();
    ASSERT_FALSE(table.empty());
    EXPECT_EQ(identity->payload, join({le16(0xFFFF), le16(0x0014), le16(0x0001),
                                       le16(static_cast<uint16_t>(table.size())), table}));
    EXPECT_TRUE(hcOpen());
    // The table is the one the HC sent at the handshake.
    EXPECT_EQ(table,
              hc_->with([](hcsim::HcDevice& d) { return d.table(hcsim::HcMode::Boot).encode(); }));
}

TEST_F(ServerRequests, OpenDeviceLooksOnlyForTheServedSerial) {
    VT5_StopServer(&server_);
    startServer("OTHER");
    plugHc();
    auto c = connect();
    auto failed = askControl(*c, VT5_REQ_OPEN_DEVICE);
    ASSERT_TRUE(failed);
    EXPECT_EQ(getLe16(failed->payload, 0), 1234);
    EXPECT_FALSE(hcOpen());
    hcsim::HcConfig other;
    other.serial = "OTHER";
    hcsim::SimulatedHc served(bus_.bus(), other);
    auto identity = askControl(*c, VT5_REQ_OPEN_DEVICE);
    ASSERT_TRUE(identity);
    EXPECT_EQ(getLe16(identity->payload, 0), 0);
    EXPECT_STREQ(server_.link->OpenSerial(), "OTHER");
    VT5_Close(&server_);
}

TEST_F(ServerRequests, SerialAndDescriptionAreFixedFields) {
    auto c = connect();
    auto serial = askControl(*c, VT5_REQ_QUERY_SERIAL);
    ASSERT_TRUE(serial);
    EXPECT_EQ(serial->payload, Bytes(8, 0));
    auto descr = askControl(*c, VT5_REQ_QUERY_DESCR);
    ASSERT_TRUE(descr);
    EXPECT_EQ(descr->payload, Bytes(64, 0));

    plugHc();
    openHc();
    serial = askControl(*c, VT5_REQ_QUERY_SERIAL);
    ASSERT_TRUE(serial);
    EXPECT_EQ(serial->identifier, 0x0F705C3Du);
    EXPECT_EQ(std::string(serial->payload.begin(), serial->payload.end()), "VT5SIM01");
    descr = askControl(*c, VT5_REQ_QUERY_DESCR);
    ASSERT_TRUE(descr);
    EXPECT_EQ(descr->identifier, 0x0F7D5C3Du);
    ASSERT_EQ(descr->length, 72u);
    EXPECT_STREQ(reinterpret_cast<const char*>(descr->payload.data()), "Veltra-5 HandController");
}

TEST_F(ServerRequests, LinePulsesDriveTheControlLinesOnTheVirtualClock) {
    auto c = connect();
    // No HC at all: the pulse cannot open one.
    auto none = askControl(*c, VT5_REQ_LINE_PULSE, {0, 200, 0});
    ASSERT_TRUE(none);
    EXPECT_EQ(getLe32(none->payload, 0), uint32_t(VT5_E_CANNOT_OPEN));

    hcsim::HcConfig off;
    off.startMode = hcsim::HcMode::Off;
    plugHc(off);
    auto before = platform::now();
    auto on = askControl(*c, VT5_REQ_LINE_PULSE, {VT5_LINE_ESC, 0xFF, 0xFF});
    ASSERT_TRUE(on);
    EXPECT_EQ(on->identifier, 0x24095C3Du);
    EXPECT_EQ(on->length, 12u);
    EXPECT_EQ(getLe32(on->payload, 0), 0u);
    EXPECT_GE(platform::now() - before, platform::Millis(65535));
    EXPECT_FALSE(hcOpen());  // opened for the pulse only
    platform::sleepMs(200);
    EXPECT_EQ(hc_->mode(), hcsim::HcMode::Boot);  // a long ESC pulse starts the boot loader

    // RESET restarts a running HC into its firmware.
    auto reset = askControl(*c, VT5_REQ_LINE_PULSE, {VT5_LINE_RESET, 50, 0});
    ASSERT_TRUE(reset);
    EXPECT_EQ(getLe32(reset->payload, 0), 0u);
    platform::sleepMs(200);
    EXPECT_EQ(hc_->mode(), hcsim::HcMode::Firmware);

    // A pulse needs its three bytes.
    askControl(*c, VT5_REQ_LINE_PULSE, {0, 1});
    expectDropped(*c, 0);
}

TEST_F(ServerRequests, SetTimeoutsKeepsFFFFAndAnswersThePreviousValues) {
    auto c = connect();
    auto closed = askControl(*c, VT5_REQ_SET_TIMEOUTS, join({le16(0xFFFF), le16(500)}));
    ASSERT_TRUE(closed);
    EXPECT_EQ(closed->payload, join({le16(0xFFFF), le16(0xFFFF)}));  // no HC open

    plugHc();
    openHc();
    auto answer = askControl(*c, VT5_REQ_SET_TIMEOUTS, join({le16(0xFFFF), le16(500)}));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->identifier, 0x68AC5C3Du);
    EXPECT_EQ(answer->payload, join({le16(1000), le16(1000)}));
    EXPECT_EQ(server_.link->ReadTimeout(), 1000);
    EXPECT_EQ(server_.link->WriteTimeout(), 500);
    // No client makes the server's reads wait for ever.
    ASSERT_TRUE(askControl(*c, VT5_REQ_SET_TIMEOUTS, join({le16(0), le16(0)})));
    EXPECT_EQ(server_.link->ReadTimeout(), 0xFFFE);
    EXPECT_EQ(server_.link->WriteTimeout(), 0xFFFE);
    expectError(dataRead(*c, 4), 0x33DB, 14);

    askControl(*c, VT5_REQ_SET_TIMEOUTS, {0xE8, 0x03, 0xF4});
    expectDropped(*c, 0);
}

TEST_F(ServerRequests, ApplicationIdRules) {
    struct Case {
        const char* name;
        Bytes payload;
        const char* id;  // null: the client is dropped
    };
    Bytes longName = applicationIdRecord(std::string(31, 'x'));
    Bytes twoRecords = join({applicationIdRecord("first"), applicationIdRecord("second")});
    Bytes wrongTag = applicationIdRecord("Panelcast");
    wrongTag[0] = 28;
    const Case cases[] = {
        {"one record", applicationIdRecord("Panelcast"), "Panelcast"},
        {"31 characters, unterminated", longName, "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"},
        {"two records: more than 48 bytes", twoRecords, nullptr},
        {"40 bytes", join({applicationIdRecord("Updater"), Bytes(8, 0)}), nullptr},
        {"empty payload", {}, nullptr},
        {"empty text", applicationIdRecord(""), nullptr},
        {"tag 28", wrongTag, nullptr},
    };
    for (const Case& c : cases) {
        auto client = connect();
        auto answer = askControl(*client, VT5_REQ_APPLICATION_ID, c.payload);
        if (c.id) {
            ASSERT_TRUE(answer) << c.name;
            EXPECT_EQ(answer->identifier, 0xCADD5C3Du) << c.name;
            EXPECT_EQ(answer->length, 8u) << c.name;
            EXPECT_EQ(clients().at(0).applicationId, std::string(c.id)) << c.name;
            client->close();
            poll();
        } else {
            EXPECT_FALSE(answer) << c.name;
            expectDropped(*client, 0);
        }
        ASSERT_EQ(state().clients.size(), 0u) << c.name;
    }
}

TEST_F(ServerRequests, ShortPayloadsOfTheOtherRequestsDropTheClient) {
    plugHc();
    openHc();
    const std::pair<uint16_t, Bytes> cases[] = {
        {VT5_REQ_LOCK, {0x1C}},
        {VT5_REQ_UNLOCK, {}},
        {VT5_REQ_SYSTEM_CHANGE, {}},
        {VT5_REQ_ASYNC_RELAY, {}},
    };
    for (const auto& [code, payload] : cases) {
        auto client = connect();
        EXPECT_FALSE(askControl(*client, code, payload)) << std::hex << code;
        expectDropped(*client, 0);
    }
    EXPECT_EQ(hc_->mode(), hcsim::HcMode::Firmware);
}

TEST_F(ServerRequests, SystemChangeOfAnUnknownTypeIsRefusedWith200) {
    plugHc();
    openHc();
    auto c = connect();
    hc_->clearReceived();
    auto answer = askControl(*c, VT5_REQ_SYSTEM_CHANGE, {3});
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->identifier, 0xB0445C3Du);
    EXPECT_EQ(getLe32(answer->payload, 0), uint32_t(VT5_E_BAD_ARGUMENT));
    EXPECT_TRUE(hc_->received().empty());
}

}  // namespace
}  // namespace vt5test
