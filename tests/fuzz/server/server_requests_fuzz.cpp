// Arbitrary bytes from a client of the API server: a real server with a simulated HC behind
// it on the virtual clock must neither crash, leak nor hang, and must end with the client
// either still served or removed.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstddef>
#include <cstdint>

#include "hcsim/hc/simulated_hc.h"
#include "platform/clock/clock.h"
#include "platform/ftd2xx/driver.h"
#include "platform/posix/socket_io.h"
#include "vt5api/api/vt5server.h"
#include "vt5api/link/vt5link_server.h"

namespace {

platform::UniqueFd Connect(int port) {
    platform::UniqueFd fd(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (!fd || ::connect(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return {};
    int big = 1 << 20;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
    return fd;
}

int ListeningPort(const CVT5Api& api) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    ::getsockname(api.link->ServerState()->listener.get(), reinterpret_cast<sockaddr*>(&addr),
                  &len);
    return ntohs(addr.sin_port);
}

// Whatever the server answered, read and thrown away, so that it never waits to send.
void Drain(int fd) {
    uint8_t buffer[65536];
    while (::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
    }
}

int StartOnSomePort(CVT5Api& api) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        platform::UniqueFd probe(::socket(AF_INET, SOCK_STREAM, 0));
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        socklen_t len = sizeof addr;
        ::bind(probe.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::getsockname(probe.get(), reinterpret_cast<sockaddr*>(&addr), &len);
        probe.reset();
        VT5ServerStart start;
        start.port = ntohs(addr.sin_port);
        if (VT5_StartServer(&api, &start) == VT5_OK) return start.port;
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 100000) return 0;
    // The first byte: bit 0 the HC is open, bit 1 a second client listens, bit 2 the HC
    // runs its boot loader.
    uint8_t plan = size ? data[0] : 0;
    const uint8_t* request = size ? data + 1 : data;
    size_t count = size ? size - 1 : 0;

    platform::VirtualClock clock;
    platform::ScopedClock useClock(clock);
    platform::vbus::LocalBus bus;
    platform::ftd2xx::ScopedBackend attach(bus);
    hcsim::HcConfig config;
    if (plan & 4) config.startMode = hcsim::HcMode::Boot;
    hcsim::SimulatedHc hc(bus, config);
    CVT5Api server;
    if (!StartOnSomePort(server)) return 0;
    if (plan & 1) VT5_Open(&server, "VT5SIM01", nullptr, 0, nullptr);
    int port = ListeningPort(server);

    platform::UniqueFd bystander;
    if (plan & 2) {
        bystander = Connect(port);
        VT5_PollServer(&server);
    }
    platform::UniqueFd client = Connect(port);
    if (!client) return 0;
    size_t before = server.link->ServerState()->clients.size();
    for (int i = 0; i < 20 && server.link->ServerState()->clients.size() == before; ++i)
        VT5_PollServer(&server);
    if (count && !platform::sendAll(client.get(), request, count)) return 0;
    ::shutdown(client.get(), SHUT_WR);
    // Every pass serves one request at least; the end of the input removes the client.
    size_t passes = count / 8 + 16;
    for (size_t i = 0; i < passes && server.link->Mode() == VT5_MODE_SERVER; ++i) {
        if (VT5_PollServer(&server) != VT5_OK) break;
        Drain(client.get());
        if (bystander) Drain(bystander.get());
        if (server.link->ServerState()->clients.size() <= before) break;
    }
    VT5_StopServer(&server);
    return 0;
}
