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
#include "tools/cli/command_line.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) {
    stopRequested = 1;
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
    cli::CommandLine line("vt5-server", "[--port P] [--serial S]",
                          "Serves the Veltra-5 HC with serial S (default: the first one that is\n"
                          "plugged in, when the first client asks) on TCP port P (default 5937)\n"
                          "until interrupted.\n",
                          {{"--port", "", "P", "the TCP port to listen on (5937)"},
                           {"--serial", "", "S", "the HC to serve"}},
                          false);
    if (auto status = line.Parse(argc, argv)) return *status;
    if (!line.Positional().empty()) return line.UsageError("unexpected " + line.Positional()[0]);
    auto port = line.Number("--port", 0, 65535, 0);
    if (!port) return 2;
    std::string serial = line.Value("--serial");
    if (serial.size() > 8) return line.UsageError("a serial has at most 8 characters");

    ServerThread server;
    server.SetServerLog(log);
    server.SetErrorReport([](const std::string& text) { log(text.c_str()); });
    server.WithStatus([&](ServerStatus& s) {
        s.configuredPort = static_cast<int32_t>(*port);
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
