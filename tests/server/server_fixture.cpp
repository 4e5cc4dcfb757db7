#include "tests/server/server_fixture.h"

#include <algorithm>

namespace vt5test {

ServerFixture::ServerFixture() {
    server_.link->SetServerLog([this](const char* line) { log_.emplace_back(line); });
}

ServerFixture::~ServerFixture() {
    VT5_StopServer(&server_);
    VT5_Close(&server_);
}

void ServerFixture::plugHc(hcsim::HcConfig config) {
    hc_ = std::make_unique<hcsim::SimulatedHc>(bus_.bus(), std::move(config));
}

void ServerFixture::startServer(const char* servedSerial) {
    VT5ServerStart start;
    port_ = freeTcpPort();
    start.port = static_cast<uint16_t>(port_);
    std::snprintf(start.servedSerial, sizeof start.servedSerial, "%s", servedSerial);
    ASSERT_EQ(VT5_StartServer(&server_, &start), VT5_OK);
    ASSERT_EQ(start.port, port_);
}

void ServerFixture::openHc() {
    ASSERT_EQ(VT5_Open(&server_, hc_->serial().c_str(), nullptr, 0, nullptr), VT5_OK);
}

void ServerFixture::poll(int passes) {
    for (int i = 0; i < passes; ++i)
        ASSERT_EQ(VT5_PollServer(&server_), VT5_OK);
}

std::unique_ptr<WireClient> ServerFixture::connect(const char* name) {
    auto client = std::make_unique<WireClient>(port_);
    EXPECT_TRUE(client->connected());
    size_t before = state().clients.size();
    for (int i = 0; i < 50 && state().clients.size() == before; ++i)
        poll();
    EXPECT_EQ(state().clients.size(), before + 1) << "the connection was not accepted";
    if (name) {
        auto answer = askControl(*client, VT5_REQ_APPLICATION_ID, applicationIdRecord(name));
        EXPECT_TRUE(answer && answer->identifier == 0xCADD5C3D && answer->length == 8);
    }
    return client;
}

std::optional<WireMessage> ServerFixture::ask(WireClient& client,
                                              const std::vector<uint8_t>& bytes) {
    EXPECT_TRUE(client.send(bytes));
    poll();
    return client.silent() ? std::nullopt : client.receive();
}

std::optional<WireMessage> ServerFixture::askControl(WireClient& client, uint16_t code,
                                                     const std::vector<uint8_t>& payload) {
    return ask(client, controlRequest(code, payload));
}

uint32_t ServerFixture::lock(WireClient& client, uint16_t sectionCode) {
    auto answer = askControl(client, VT5_REQ_LOCK, le16(sectionCode));
    return answer ? answer->identifier : 0;
}

uint32_t ServerFixture::unlock(WireClient& client, uint16_t sectionCode) {
    auto answer = askControl(client, VT5_REQ_UNLOCK, le16(sectionCode));
    return answer ? answer->identifier : 0;
}

std::vector<VT5ServerClient> ServerFixture::clients() {
    std::vector<VT5ServerClient> entries(
        static_cast<size_t>(VT5_GetServerClients(&server_, nullptr)));
    EXPECT_EQ(VT5_GetServerClients(&server_, entries.data()), static_cast<int32_t>(entries.size()));
    return entries;
}

size_t ServerFixture::queued(int client) const {
    return state().clients.at(static_cast<size_t>(client))->relayQueue.size();
}

void ServerFixture::hcSends(const platform::vbus::Bytes& bytes) {
    hc_->with([&](hcsim::HcDevice&, platform::TimePoint, platform::vbus::Bytes& out) {
        out.insert(out.end(), bytes.begin(), bytes.end());
    });
}

std::vector<uint8_t> applicationIdRecord(const std::string& name) {
    std::vector<uint8_t> record(32, 0);
    record[0] = 29;
    std::copy_n(name.begin(), std::min<size_t>(name.size(), 31), record.begin() + 1);
    return record;
}

}  // namespace vt5test
