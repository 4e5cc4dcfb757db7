// vt5-hcsim: simulated Veltra-5 hand controllers on the virtual USB bus, for demos, manual
// tests and test suites that run programs in separate processes.

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "hcsim/bus/bus_server.h"
#include "hcsim/devices/loopback_device.h"
#include "platform/ftd2xx/vbus/bus_path.h"
#include "platform/ftd2xx/vbus/daemon_backend.h"
#include "platform/ftd2xx/vbus/local_bus.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) {
    stopRequested = 1;
}

struct ChipSpec {
    platform::vbus::ChipIdentity identity;
    std::string device = "loopback";
};

void usage(FILE* to) {
    std::fprintf(to,
                 "usage: vt5-hcsim [--bus PATH] [--paced] [CHIP]...\n"
                 "       vt5-hcsim [--bus PATH] control SERIAL COMMAND...\n"
                 "CHIP:  --serial S [--description TEXT] [--id 0xVVVVPPPP] [--device loopback]\n"
                 "Serves simulated chips on the virtual USB bus until interrupted. Without CHIP,\n"
                 "one chip with serial VT5SIM01 is started. The bus socket is PATH, else\n"
                 "$VT5_USB_BUS, else a per-user default; programs find it the same way.\n");
}

std::unique_ptr<platform::vbus::Device> makeDevice(const std::string& kind) {
    if (kind == "loopback") return std::make_unique<hcsim::LoopbackDevice>();
    return nullptr;
}

int control(int argc, char** argv, int i) {
    if (argc - i < 2) {
        usage(stderr);
        return 2;
    }
    std::string serial = argv[i++];
    std::string command;
    for (; i < argc; ++i)
        command += (command.empty() ? "" : " ") + std::string(argv[i]);
    std::string reply;
    bool ok = platform::vbus::DaemonBackend::control(serial, command, reply);
    std::printf("%s\n", reply.c_str());
    return ok && reply.rfind("error:", 0) != 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<ChipSpec> specs;
    bool paced = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "vt5-hcsim: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        auto current = [&]() -> ChipSpec& {
            if (specs.empty()) {
                std::fprintf(stderr, "vt5-hcsim: %s must follow --serial\n", a.c_str());
                std::exit(2);
            }
            return specs.back();
        };
        if (a == "--bus") {
            ::setenv("VT5_USB_BUS", value(), 1);
        } else if (a == "--paced") {
            paced = true;
        } else if (a == "--serial") {
            ChipSpec spec;
            spec.identity.serial = value();
            spec.identity.description = "Veltra-5 HandController";
            if (spec.identity.serial.empty() || spec.identity.serial.size() > 15) {
                std::fprintf(stderr, "vt5-hcsim: a serial has 1 to 15 characters\n");
                return 2;
            }
            specs.push_back(spec);
        } else if (a == "--description") {
            current().identity.description = value();
        } else if (a == "--id") {
            const char* v = value();
            char* end = nullptr;
            unsigned long id = std::strtoul(v, &end, 0);
            if (!*v || *end || id > 0xFFFFFFFFul) {
                std::fprintf(stderr, "vt5-hcsim: bad --id %s\n", v);
                return 2;
            }
            current().identity.id = static_cast<uint32_t>(id);
        } else if (a == "--device") {
            current().device = value();
        } else if (a == "control") {
            return control(argc, argv, i + 1);
        } else if (a == "-h" || a == "--help") {
            usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "vt5-hcsim: unknown argument %s\n", a.c_str());
            usage(stderr);
            return 2;
        }
    }
    if (specs.empty()) {
        ChipSpec spec;
        spec.identity.serial = "VT5SIM01";
        spec.identity.description = "Veltra-5 HandController";
        specs.push_back(spec);
    }

    platform::vbus::LocalBus bus(0x2001);
    for (const ChipSpec& spec : specs) {
        auto device = makeDevice(spec.device);
        if (!device) {
            std::fprintf(stderr, "vt5-hcsim: unknown device kind %s\n", spec.device.c_str());
            return 2;
        }
        bus.plug(spec.identity, std::move(device))->setPaced(paced);
    }

    hcsim::BusServer server(bus);
    std::string error;
    std::string path = platform::vbus::busSocketPath();
    if (!server.start(path, error)) {
        std::fprintf(stderr, "vt5-hcsim: %s\n", error.c_str());
        return 1;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::printf("vt5-hcsim: virtual USB bus at %s\n", path.c_str());
    std::printf("VT5_USB_BUS=%s\n", path.c_str());
    for (const ChipSpec& spec : specs)
        std::printf("chip %s id 0x%08X \"%s\" (%s)\n", spec.identity.serial.c_str(),
                    spec.identity.id, spec.identity.description.c_str(), spec.device.c_str());
    std::fflush(stdout);
    while (!stopRequested)
        ::usleep(100000);
    server.stop();
    return 0;
}
