// The client side of the wire protocol against a scripted server.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/fake_server.h"
#include "vt5api/api/vt5_errors.h"
#include "vt5api/link/vt5link.h"
#include "vt5api/link/wire.h"

using vt5test::FakeServer;
using vt5test::WireRequest;

namespace {

std::vector<uint8_t> chunk(uint16_t flags, uint16_t last, const std::vector<uint8_t>& data) {
    return FakeServer::message(
        VT5_WIRE_DATA_READ, FakeServer::cat({FakeServer::u16(flags), FakeServer::u16(last), data}));
}

std::vector<uint8_t> errorAnswer(uint16_t code, std::vector<uint8_t> extra = {}) {
    return FakeServer::message(VT5_WIRE_ERROR, FakeServer::cat({FakeServer::u16(code), extra}));
}

class LinkClient : public ::testing::Test {
protected:
    void serve(FakeServer::Handler handler) {
        server = std::make_unique<FakeServer>(std::move(handler));
        ASSERT_EQ(link.ConnectToServer("127.0.0.1", server->port(), "tester"), VT5_OK);
        ASSERT_EQ(link.Mode(), VT5_MODE_CLIENT);
    }

    CVT5Link link;
    std::unique_ptr<FakeServer> server;
};

TEST_F(LinkClient, ConnectAnnouncesVersionAndApplicationId) {
    serve([](const WireRequest&) { return std::vector<uint8_t>{}; });
    auto requests = server->requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].identifier, 0x00015C3Du);
    EXPECT_TRUE(requests[0].payload.empty());
    EXPECT_EQ(requests[1].identifier, 0xCADD5C3Du);
    ASSERT_EQ(requests[1].payload.size(), 32u);
    EXPECT_EQ(requests[1].payload[0], 29);
    EXPECT_STREQ(reinterpret_cast<const char*>(requests[1].payload.data() + 1), "tester");
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(link.Disconnect(), VT5_OK);
    EXPECT_EQ(link.Mode(), VT5_MODE_DIRECT);
    EXPECT_FALSE(link.IsOpen());
}

TEST_F(LinkClient, RefusedConnectLeavesDirectMode) {
    int port = 0;
    {
        FakeServer gone([](const WireRequest&) { return std::vector<uint8_t>{}; });
        port = gone.port();
    }
    EXPECT_EQ(link.ConnectToServer("127.0.0.1", port, nullptr), VT5_E_CANT_CONNECT);
    EXPECT_EQ(link.Mode(), VT5_MODE_DIRECT);
    EXPECT_EQ(link.LastSocketError(), 13);
    EXPECT_EQ(link.ConnectToServer("no.such.host.invalid", 5937, nullptr), VT5_E_CANT_CONNECT);
}

TEST_F(LinkClient, ReadCopiesAtMostTheCountAndCountsRelayedChunks) {
    serve([](const WireRequest& r) {
        EXPECT_EQ(r.identifier, VT5_WIRE_DATA_READ);
        return FakeServer::cat({chunk(1, 0, {1, 2, 3}), chunk(0, 0xFFFF, {4, 5, 6, 7})});
    });
    uint8_t buf[5] = {};
    int32_t relayed = -1;
    EXPECT_EQ(link.Read(buf, 5, &relayed), 5);
    EXPECT_EQ(relayed, 1);
    EXPECT_THAT(buf, ::testing::ElementsAre(1, 2, 3, 4, 5));
    auto requests = server->requests();
    EXPECT_EQ(requests.back().payload, FakeServer::u32(5));
    EXPECT_TRUE(link.IsOpen());
}

TEST_F(LinkClient, ReadWithBadLastWordClosesTheConnection) {
    serve([](const WireRequest&) { return chunk(0, 0x0001, {1}); });
    uint8_t b = 0;
    EXPECT_EQ(link.Read(&b, 1), 0);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(link.Mode(), VT5_MODE_DIRECT);
}

TEST_F(LinkClient, OpenDeviceAnswers) {
    struct Case {
        const char* name;
        std::vector<uint8_t> answer;
        int32_t result;
    };
    const std::vector<uint8_t> table = {1, 0xF8, 1, 0x01, 0};
    const Case cases[] = {
        {"failure form",
         FakeServer::message(0x005F5C3D, FakeServer::cat({FakeServer::u16(1234), FakeServer::u16(9),
                                                          FakeServer::u16(0), FakeServer::u16(0)})),
         9},
        {"other control id",
         FakeServer::message(0x12345C3D,
                             FakeServer::cat({FakeServer::u16(0xFFFF), FakeServer::u16(0x15),
                                              FakeServer::u16(2), FakeServer::u16(5), table})),
         VT5_OK},
        {"length 15", FakeServer::message(0x005F5C3D, {0, 0, 1, 0, 0, 0, 0}), VT5_E_PROTOCOL},
        {"table longer than sent",
         FakeServer::message(0x005F5C3D,
                             FakeServer::cat({FakeServer::u16(0), FakeServer::u16(1),
                                              FakeServer::u16(0), FakeServer::u16(9), table})),
         VT5_E_PROTOCOL},
        {"not a control id", FakeServer::message(0x005F5C3E, std::vector<uint8_t>(8)),
         VT5_E_PROTOCOL},
    };
    for (const Case& c : cases) {
        serve([&](const WireRequest&) { return c.answer; });
        uint16_t mode = 0, version = 0, second = 0;
        std::vector<uint8_t> got;
        EXPECT_EQ(link.OpenDevice(&mode, &version, &second, &got), c.result) << c.name;
        if (c.result == VT5_OK) {
            EXPECT_EQ(mode, 0xFFFF);
            EXPECT_EQ(version, 0x15);
            EXPECT_EQ(second, 2);
            EXPECT_EQ(got, table);
        }
        link.Disconnect();
    }
}

TEST_F(LinkClient, ErrorAnswersAndLengthChecks) {
    struct Case {
        const char* name;
        std::function<int32_t(CVT5Link&)> call;
        std::vector<uint8_t> answer;
        int32_t result;
    };
    auto readBufLen = [](CVT5Link& l) {
        int32_t n = 0;
        return l.QueryReadBufLen(&n);
    };
    auto lock = [](CVT5Link& l) { return l.Lock(0xF51C); };
    const Case cases[] = {
        {"QueryReadBufLen length 11", readBufLen, FakeServer::message(0x9E225C3D, {1, 0, 0}),
         VT5_E_PROTOCOL},
        {"Lock length 10", lock, FakeServer::message(0xACCE5C3D, {0, 0}), VT5_E_PROTOCOL},
        {"Lock refused", lock, errorAnswer(0x4823), VT5_E_LOCK},
        {"no HC on the server", lock, errorAnswer(0xF7C4), VT5_E_NO_LINK},
        {"unknown error answer", lock, errorAnswer(0x1234), VT5_E_PROTOCOL},
        {"unknown async at the server", readBufLen, errorAnswer(0x575E), VT5_E_PROTOCOL},
        {"transfer failed", lock, errorAnswer(0x33DB, FakeServer::u32(4)), VT5_E_COMMUNICATION},
    };
    for (const Case& c : cases) {
        serve([&](const WireRequest&) { return c.answer; });
        EXPECT_EQ(c.call(link), c.result) << c.name;
        link.Disconnect();
    }
    EXPECT_STREQ(link.GetErrorText(), "(not available for Client) (code 4 ($4))");
}

TEST_F(LinkClient, SetTimeoutsSendsFFFFForKeep) {
    serve([](const WireRequest& r) {
        EXPECT_EQ(r.payload, (std::vector<uint8_t>{0xFF, 0xFF, 0xF4, 0x01}));
        return FakeServer::message(r.identifier,
                                   FakeServer::cat({FakeServer::u16(1000), FakeServer::u16(1000)}));
    });
    int32_t prevRead = 0, prevWrite = 0;
    EXPECT_EQ(link.SetTimeouts(-1, 500, &prevRead, &prevWrite), 0);
    EXPECT_EQ(prevRead, 1000);
    EXPECT_EQ(prevWrite, 1000);
}

TEST_F(LinkClient, QueriesAndWritesCloseOnFailure) {
    serve([](const WireRequest& r) -> std::vector<uint8_t> {
        if (r.identifier == 0x0F705C3D)
            return FakeServer::message(r.identifier, {'A', 'B', 0, 0, 0, 0, 0, 0});
        if (r.identifier == VT5_WIRE_DATA_WRITE)
            return FakeServer::message(VT5_WIRE_DATA_WRITE, {});
        return FakeServer::message(0x0F7D5C3D, {});  // too short for a description
    });
    EXPECT_STREQ(link.QuerySerial(), "AB");
    const uint8_t bytes[3] = {0xF8, 1, 0xFF};
    EXPECT_EQ(link.Write(bytes, 3), 3);
    EXPECT_EQ(server->requests().back().payload, std::vector<uint8_t>(bytes, bytes + 3));
    EXPECT_STREQ(link.QueryDescr(), "");
    EXPECT_FALSE(link.IsOpen());
    // Closed means back in Direct mode, where no device is open.
    EXPECT_EQ(link.Write(bytes, 3), 0);
    EXPECT_STREQ(link.GetErrorText(), "Device not open in Write()");
}

TEST_F(LinkClient, ServerThatHangsUpGivesFourNot360) {
    serve([](const WireRequest&) { return std::vector<uint8_t>{}; });
    server.reset();  // closes the connection
    int32_t n = 0;
    EXPECT_EQ(link.QueryReadBufLen(&n), VT5_E_TCP);
}

TEST_F(LinkClient, LinePulseClampsAndWaitsBeyondTheUsualTimeout) {
    serve([](const WireRequest& r) {
        if (r.payload[0] == VT5_LINE_RESET) {
            // Longer than the socket's usual 5000 ms: only a raised time-out sees it.
            std::this_thread::sleep_for(std::chrono::milliseconds(5300));
        }
        return FakeServer::message(r.identifier, FakeServer::u32(0));
    });
    EXPECT_EQ(link.LinePulse(VT5_LINE_ESC, 70000), VT5_OK);
    EXPECT_EQ(server->requests().back().payload, (std::vector<uint8_t>{0, 0xFF, 0xFF}));
    EXPECT_EQ(link.LinePulse(VT5_LINE_RESET, 1000), VT5_OK);
    EXPECT_EQ(server->requests().back().payload, (std::vector<uint8_t>{15, 0xE8, 0x03}));
}

}  // namespace
