// vt5-server: the API server without a window, for a small computer at the telescope. It
// holds the HC's USB connection and shares it with Starloom, Flashwell, Panelcast and
// Gantrix elsewhere on the network until it is stopped by a signal.

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gantrix/server/network_settings.h"
#include "gantrix/server/server_thread.h"
#include "tools/cli/command_line.h"
#include "tools/vt5-server/service_log.h"
#include "tools/vt5-server/service_notify.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) {
    stopRequested = 1;
}

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text;
}

// "listening on port 5937", and where and for whom when that was limited.
std::string Listening(const ServerStatus& s) {
    std::string text = "listening on port " + std::to_string(s.portInUse);
    if (!s.listenAddresses.empty()) text += " at " + Joined(s.listenAddresses);
    if (!s.allowedNetworks.empty()) text += ", serving " + Joined(s.allowedNetworks) + " only";
    return text;
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
    cli::CommandLine line(
        "vt5-server", "[--port P] [--serial S] [--listen ADDRESS]... [--allow NETWORK]...",
        "Serves the Veltra-5 HC with serial S (default: the first one that is\n"
        "plugged in, when the first client asks) on TCP port P (default 5937)\n"
        "until interrupted.\n"
        "\n"
        "Anyone who can reach the port can do everything the programs can: read,\n"
        "write and delete the SD card's files, update the firmware, switch the HC\n"
        "off. There is no password. Limit who reaches it with --allow (or a\n"
        "firewall), and reach a telescope over the internet through an SSH tunnel\n"
        "rather than an open port:\n"
        "  ssh -L 5937:localhost:5937 telescope-pc\n"
        "then connect the programs to localhost.\n",
        {{"--port", "", "P", "the TCP port to listen on (5937)"},
         {"--serial", "", "S", "the HC to serve"},
         {"--listen", "", "ADDRESS",
          "listen on this address or host name only (repeatable; default: every IPv4 address)",
          true},
         {"--allow", "", "NETWORK",
          "serve clients from this network only, e.g. 127.0.0.0/8, 192.168.1.0/24, fd00::/8 or "
          "one address (repeatable; default: anyone); others are disconnected at once and logged",
          true}},
        false);
    if (auto status = line.Parse(argc, argv)) return *status;
    if (!line.Positional().empty()) return line.UsageError("unexpected " + line.Positional()[0]);
    auto port = line.Number("--port", 0, 65535, 0);
    if (!port) return 2;
    std::string serial = line.Value("--serial");
    if (serial.size() > 8) return line.UsageError("a serial has at most 8 characters");
    // Each of these options may come again and may hold a list ("10.0.0.0/8,fd00::/8").
    std::vector<std::string> listen, allow;
    for (const char* option : {"--listen", "--allow"}) {
        std::vector<std::string>& items = option == std::string("--listen") ? listen : allow;
        for (const std::string& value : line.Values(option)) {
            std::vector<std::string> given = SplitAddressList(value);
            if (given.empty()) return line.UsageError(std::string(option) + " needs an address");
            items.insert(items.end(), given.begin(), given.end());
        }
    }
    for (const std::string& item : allow) {
        VT5Network network;
        std::string error;
        if (!VT5ParseNetwork(item, network, error)) return line.UsageError("--allow: " + error);
    }

    const service::ServiceLog log;
    const service::ServiceNotifier manager;
    using service::Priority;
    ServerThread server;
    server.SetServerLog([&log](const char* text) { log.Write(Priority::kInfo, text); });
    server.SetErrorReport([&log](const std::string& text) { log.Write(Priority::kError, text); });
    server.WithStatus([&](ServerStatus& s) {
        s.configuredPort = static_cast<int32_t>(*port);
        std::snprintf(s.servedSerial, sizeof s.servedSerial, "%s", serial.c_str());
        s.openPending = !serial.empty();
        s.listenAddresses = listen;
        s.allowedNetworks = allow;
        return 0;
    });
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);
    server.StartServerThread();

    std::string lastDevice;
    bool announced = false;
    bool ended = false;
    while (!stopRequested) {
        int32_t portInUse = 0;
        if (!server.IsServerRunning(nullptr, &portInUse)) {
            ended = true;
            break;
        }
        std::string device = server.WithStatus([&](const ServerStatus& s) {
            if (!announced && s.state == ServerStatus::kActive) {
                log.Write(Priority::kNotice, Listening(s));
                if (s.allowedNetworks.empty())
                    log.Write(Priority::kNotice,
                              "every client that reaches the port is served (--allow limits who)");
                if (s.servedSerial[0] && s.openResult != VT5_OK &&
                    s.openResult != VT5_E_INVALID_RETURN)
                    log.Write(Priority::kWarning,
                              std::string("HC ") + s.servedSerial +
                                  " not opened: " + std::to_string(s.openResult) + " " +
                                  VT5_GetErrorText(s.openResult));
                announced = true;
                manager.Notify("READY=1\nSTATUS=listening on port " + std::to_string(s.portInUse));
            }
            return describe(s);
        });
        if (announced && device != lastDevice) {
            log.Write(Priority::kInfo, device);
            manager.Notify("STATUS=" + device);
        }
        if (announced) lastDevice = device;
        ::usleep(50000);
    }
    if (ended && !announced) {
        // The thread ended before it listened: say why, as the server found it.
        std::string why = server.WithStatus([](const ServerStatus& s) {
            return s.startFailure.empty() ? std::string(VT5_GetErrorText(s.threadResult))
                                          : s.startFailure;
        });
        log.Write(Priority::kError, "can't start: " + why);
        manager.Notify("STATUS=can't start: " + why);
        return 1;
    }
    // Clients see their connections closed and the HC is closed before the process ends.
    manager.Notify("STOPPING=1\nSTATUS=stopping");
    server.StopServerThread();
    int32_t result = server.WithStatus([](const ServerStatus& s) { return s.threadResult; });
    if (result != VT5_OK) {
        log.Write(Priority::kError,
                  "stopped with " + std::to_string(result) + ": " + VT5_GetErrorText(result));
        return 1;
    }
    log.Write(Priority::kInfo, "stopped");
    return 0;
}
