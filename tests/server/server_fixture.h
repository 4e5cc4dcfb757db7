#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hcsim/hc/simulated_hc.h"
#include "platform/clock/clock.h"
#include "tests/support/bus_fixture.h"
#include "tests/support/wire_client.h"
#include "vt5api/api/vt5server.h"
#include "vt5api/link/vt5link_server.h"

namespace vt5test {

// A Server-mode API context driven from the test's own thread, with a simulated HC behind it
// on a virtual clock: raw clients send wire messages, poll() runs scheduling passes, and the
// answers and the server state are checked exactly, with no threads and no races.
class ServerFixture : public ::testing::Test {
protected:
    ServerFixture();
    ~ServerFixture() override;

    // Plugs in a simulated HC (none is plugged at the start).
    void plugHc(hcsim::HcConfig config = {});
    // VT5_StartServer on a free port.
    void startServer(const char* servedSerial = "");
    // Opens the HC on the server's context, as the first client's OpenDevice would.
    void openHc();
    bool hcOpen() { return VT5_IsOpen(&server_); }

    // Scheduling passes (each waits up to 20 ms for a readable socket).
    void poll(int passes = 1);
    // A raw client, accepted by the server and, when a name is given, announced under it.
    std::unique_ptr<WireClient> connect(const char* name = nullptr);
    // Sends the bytes, runs one pass and returns the answer, if any came.
    std::optional<WireMessage> ask(WireClient& client, const std::vector<uint8_t>& bytes);
    std::optional<WireMessage> askControl(WireClient& client, uint16_t code,
                                          const std::vector<uint8_t>& payload = {});
    // Lock / Unlock with a section code; the answer's identifier (0 for none).
    uint32_t lock(WireClient& client, uint16_t sectionCode);
    uint32_t unlock(WireClient& client, uint16_t sectionCode);

    const VT5ServerState& state() const { return *server_.link->ServerState(); }
    std::vector<VT5ServerClient> clients();
    size_t queued(int client) const;
    // Bytes the HC sends to the PC unasked.
    void hcSends(const platform::vbus::Bytes& bytes);

    platform::VirtualClock clock_;
    platform::ScopedClock useClock_{clock_};
    BusFixture bus_;
    std::unique_ptr<hcsim::SimulatedHc> hc_;
    CVT5Api server_;
    std::vector<std::string> log_;
    int port_ = 0;
};

// Identifiers of the answers.
constexpr uint32_t kLockAnswer = 0xACCE5C3D;
constexpr uint32_t kUnlockAnswer = 0x7E1E5C3D;
constexpr uint32_t kErrorAnswer = 0x0E77C0DE;

// Section codes.
constexpr uint16_t kCtrl = 0xC781;
constexpr uint16_t kFs = 0xF51C;
constexpr uint16_t kEsky = 0x5A74;

// The 32-byte ApplicationId record of a name.
std::vector<uint8_t> applicationIdRecord(const std::string& name);

}  // namespace vt5test
