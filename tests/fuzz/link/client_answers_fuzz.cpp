// Arbitrary bytes as a server's answers: the client link and the API context above it must
// neither crash nor hang nor leak, whatever a server sends.

#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/posix/socket_io.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/commands/identity.h"

namespace {

// The server end sends the input and then only listens: what the client sends stays unread
// in its socket, which holds far more than the few requests a run makes.
bool Connect(const uint8_t* data, size_t size, platform::UniqueFd& client,
             platform::UniqueFd& server) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return false;
    client.reset(fds[0]);
    server.reset(fds[1]);
    int big = 1 << 20;
    ::setsockopt(server.get(), SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
    ::setsockopt(server.get(), SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
    if (size && !platform::sendAll(server.get(), data, size)) return false;
    ::shutdown(server.get(), SHUT_WR);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 200000) return 0;
    // The first byte picks what the client does with the answers.
    uint8_t plan = size ? data[0] : 0;
    platform::UniqueFd client, server;
    if (!Connect(size ? data + 1 : data, size ? size - 1 : 0, client, server)) return 0;
    CVT5Api api;
    api.link->AttachClientSocket(std::move(client));
    if (plan & 1) {
        // The API context on top: identity, device information, a system change.
        VT5DeviceInfo info{};
        VT5cmd_GetDeviceInfo(&api, &info);
        if (plan & 2) VT5cmd_SystemChange(&api, plan >> 6 & 3);
        return 0;
    }
    CVT5Link& link = *api.link;
    std::vector<uint8_t> table;
    uint16_t mode = 0, version = 0, second = 0;
    uint8_t buffer[5000];
    int32_t count = 0, relayed = 0, r = 0, w = 0;
    const uint8_t bytes[4] = {0xF8, 1, 0x01, 0xFF};
    for (int round = 0; round < 4 && link.IsOpen(); ++round) {
        link.QueryReadBufLen(&count);
        link.OpenDevice(&mode, &version, &second, &table);
        link.Read(buffer, static_cast<int32_t>(sizeof buffer), &relayed);
        link.Lock(0xF51C);
        link.QuerySerial();
        link.QueryDescr();
        link.SetTimeouts(-1, 500, &r, &w);
        link.Write(bytes, 4);
        link.SystemChange(1);
        link.AsyncRelay(bytes, 4);
        link.Unlock(0);
    }
    return 0;
}
