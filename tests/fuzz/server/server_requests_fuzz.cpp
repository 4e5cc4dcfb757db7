// Arbitrary bytes from a client of the API server: a real server with a simulated HC behind
// it on the virtual clock must neither crash, leak nor hang, and must end with the client
// either still served or removed. The client reaches the server through a socket pair, so
// that no input binds a port.

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

// A connected pair: the client's end and the server's.
bool Pair(platform::UniqueFd& client, platform::UniqueFd& server) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return false;
    client = platform::UniqueFd(fds[0]);
    server = platform::UniqueFd(fds[1]);
    int big = 1 << 20;
    ::setsockopt(fds[0], SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
    ::setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
    return true;
}

// Whatever the server answered, read and thrown away, so that it never waits to send.
void Drain(int fd) {
    uint8_t buffer[65536];
    while (::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
    }
}

}  // namespace

// The simulated HC is built once: building it costs far more than serving an input. Each
// input power-cycles it into the mode it asks for, without faults, so that inputs do not
// depend on each other beyond what survives a power cycle.
struct Bench {
    platform::VirtualClock clock;
    platform::ScopedClock useClock{clock};
    platform::vbus::LocalBus bus;
    platform::ftd2xx::ScopedBackend attach{bus};
    hcsim::SimulatedHc hc{bus, {}};
};

hcsim::SimulatedHc& FreshHc(hcsim::HcMode mode) {
    static Bench* bench = new Bench;  // lives as long as the process
    bench->hc.clearFaults();
    bench->hc.clearReceived();
    bench->hc.powerOff();
    bench->hc.powerOn(mode);
    return bench->hc;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 100000) return 0;
    // The first byte: bit 0 the HC is open, bit 1 a second client listens, bit 2 the HC
    // runs its boot loader.
    uint8_t plan = size ? data[0] : 0;
    const uint8_t* request = size ? data + 1 : data;
    size_t count = size ? size - 1 : 0;

    hcsim::SimulatedHc& hc = FreshHc(plan & 4 ? hcsim::HcMode::Boot : hcsim::HcMode::Firmware);
    CVT5Api server;
    if (server.link->StartServerUnlistened("") != VT5_OK) return 0;
    if (plan & 1) VT5_Open(&server, hc.serial().c_str(), nullptr, 0, nullptr);

    platform::UniqueFd bystander, bystanderEnd;
    if ((plan & 2) && Pair(bystander, bystanderEnd))
        server.link->AdoptServerClient(std::move(bystanderEnd));
    platform::UniqueFd client, clientEnd;
    if (!Pair(client, clientEnd)) return 0;
    size_t before = server.link->ServerState()->clients.size();
    server.link->AdoptServerClient(std::move(clientEnd));
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
    // What this input made the HC hold goes with this input, so that the memory in use
    // is the same before and after it and libFuzzer's leak check is not set off for nothing.
    hc.powerOff();
    hc.clearReceived();
    return 0;
}
