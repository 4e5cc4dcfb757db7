// vt5-server: the API server without a window, for a small computer at the telescope. It
// holds the HC's USB connection and shares it with Starloom, Flashwell, Panelcast and
// Gantrix elsewhere on the network until it is stopped by a signal.

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gantrix/server/server_thread.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) {
    stopRequested = 1;
}

void usage(FILE* to) {
    std::fprintf(to,
                 "usage: vt5-server [--port P] [--serial S]\n"
                 "Serves the Veltra-5 HC with serial S (default: the first one that is\n"
                 "plugged in, when the first client asks) on TCP port P (default 5937)\n"
                 "until interrupted.\n");
}

void log(const char* line) {
    std::fprintf(stderr, "vt5-server: %s\n", line);
}

std::string describe(const ServerStatus& s) {
    if (!s.deviceOpen) return "no HC open";
    char text[96];
    std::snprintf(text, sizeof text, "HC %s open, %s mode, protocol 0x%04X", s.openSerial,
                  s.bootFlag ? "BOOT" : "firmware", s.protocolVersion);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    long port = 0;
    std::string serial;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if ((a == "--port" || a == "--serial") && i + 1 >= argc) {
            std::fprintf(stderr, "vt5-server: %s needs a value\n", a.c_str());
            return 2;
        }
        if (a == "--port") {
            char* end = nullptr;
            port = std::strtol(argv[++i], &end, 10);
            if (*end || port < 0 || port > 65535) {
                std::fprintf(stderr, "vt5-server: bad port %s\n", argv[i]);
                return 2;
            }
        } else if (a == "--serial") {
            serial = argv[++i];
            if (serial.size() > 8) {
                std::fprintf(stderr, "vt5-server: a serial has at most 8 characters\n");
                return 2;
            }
        } else if (a == "-h" || a == "--help") {
            usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "vt5-server: unknown argument %s\n", a.c_str());
            usage(stderr);
            return 2;
        }
    }

    ServerThread server;
    server.SetServerLog(log);
    server.SetErrorReport([](const std::string& text) { log(text.c_str()); });
    server.WithStatus([&](ServerStatus& s) {
        s.configuredPort = static_cast<int32_t>(port);
        std::snprintf(s.servedSerial, sizeof s.servedSerial, "%s", serial.c_str());
        s.openPending = !serial.empty();
        return 0;
    });
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    server.StartServerThread();

    std::string lastDevice;
    bool announced = false;
    while (!stopRequested) {
        int32_t portInUse = 0;
        if (!server.IsServerRunning(nullptr, &portInUse)) break;
        std::string device = server.WithStatus([&](const ServerStatus& s) {
            if (!announced && s.state == ServerStatus::kActive) {
                std::fprintf(stderr, "vt5-server: listening on port %d\n", s.portInUse);
                if (s.servedSerial[0] && s.openResult != VT5_OK &&
                    s.openResult != VT5_E_INVALID_RETURN)
                    std::fprintf(stderr, "vt5-server: HC %s not opened: %d %s\n", s.servedSerial,
                                 s.openResult, VT5_GetErrorText(s.openResult));
                announced = true;
            }
            return describe(s);
        });
        if (device != lastDevice) log(device.c_str());
        lastDevice = device;
        ::usleep(50000);
    }
    server.StopServerThread();
    int32_t result = server.WithStatus([](const ServerStatus& s) { return s.threadResult; });
    if (result != VT5_OK) {
        std::fprintf(stderr, "vt5-server: stopped with %d: %s\n", result, VT5_GetErrorText(result));
        return 1;
    }
    log("stopped");
    return 0;
}
