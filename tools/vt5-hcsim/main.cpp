// vt5-hcsim: simulated Veltra-5 hand controllers on the virtual USB bus, for demos, manual
// tests and test suites that run programs in separate processes.

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "hcsim/bus/bus_server.h"
#include "hcsim/devices/loopback_device.h"
#include "hcsim/hc/hc_device.h"
#include "platform/ftd2xx/vbus/bus_path.h"
#include "platform/ftd2xx/vbus/daemon_backend.h"
#include "platform/ftd2xx/vbus/local_bus.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) {
    stopRequested = 1;
}

struct ChipSpec {
    hcsim::HcConfig hc;
    std::string device = "hc";
};

void usage(FILE* to) {
    std::fprintf(
        to,
        "Usage: vt5-hcsim [--bus PATH] [--paced] [OPTION]... [--serial S [OPTION]...]...\n"
        "   or: vt5-hcsim [--bus PATH] control SERIAL COMMAND...\n"
        "\n"
        "Serves simulated Veltra-5 HCs on the virtual USB bus until interrupted. Each --serial\n"
        "starts one chip (serial of 1 to 15 characters); options before the first --serial\n"
        "apply to every chip, options after one to that chip. Without --serial, one chip\n"
        "with serial VT5SIM01 is started. The bus socket is PATH, else $VT5_USB_BUS, else a\n"
        "per-user default; programs find it the same way.\n"
        "OPTION:\n"
        "  --mode off|firmware|boot   what the HC runs at start (firmware); off: it waits\n"
        "                             for an ESC pulse of 200 ms (firmware) or 2000 ms (BOOT)\n"
        "  --device hc|loopback       the device behind the chip (hc)\n"
        "  --card DIR                 back the HC's SD card with folder DIR (default: no\n"
        "                             card inserted)\n"
        "  --description TEXT         USB description (\"Veltra-5 HandController\")\n"
        "  --id 0xVVVVPPPP            USB vendor and product (0x04036015)\n"
        "  --fw-version N             protocol version of the firmware (0x0112)\n"
        "  --boot-version N           protocol version of the boot loader (0x0014)\n"
        "  --unique-id TEXT           unique ID, up to 16 characters (derived from the serial)\n"
        "  --hardware-id N            hardware ID (3)\n"
        "  --device-text TEXT         device text, up to 32 characters\n"
        "COMMAND (a running HC, by its chip's serial):\n"
        "  status | power-off | power-on firmware|boot | mode firmware|boot | reset |\n"
        "  async CODE | fault KIND [VALUES] [N] | fault clear | help\n"
        "  press esc|set|left|right|up|down (the HC's own buttons) |\n"
        "  delivery framed|streamed|auto (how display updates reach the PC) |\n"
        "  guider | guider set NAME VALUE | calibrate | guide start|stop |\n"
        "  expose SECONDS|stop     the camera emulation's autoguider (see help) |\n"
        "  firmware (what the HC and its camera have installed) | camera attach|detach\n"
        "\n"
        "  -h, --help                 show this help and exit\n"
        "      --version              show the suite's version and exit\n");
}

std::unique_ptr<platform::vbus::Device> makeDevice(const ChipSpec& spec) {
    if (spec.device == "hc") return std::make_unique<hcsim::HcDevice>(spec.hc);
    if (spec.device == "loopback") return std::make_unique<hcsim::LoopbackDevice>();
    return nullptr;
}

[[noreturn]] void fail(const std::string& text) {
    std::fprintf(stderr, "vt5-hcsim: %s\n", text.c_str());
    std::exit(2);
}

unsigned long numberOption(const std::string& name, const char* v, unsigned long max) {
    char* end = nullptr;
    unsigned long n = std::strtoul(v, &end, 0);
    if (!*v || *end || *v == '-' || n > max) fail("bad " + name + " " + v);
    return n;
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
    ChipSpec defaults;
    std::vector<ChipSpec> specs;
    bool paced = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) fail(a + " needs a value");
            return argv[++i];
        };
        ChipSpec& current = specs.empty() ? defaults : specs.back();
        if (a == "--bus") {
            ::setenv("VT5_USB_BUS", value(), 1);
        } else if (a == "--paced") {
            paced = true;
        } else if (a == "--serial") {
            ChipSpec spec = defaults;
            spec.hc.serial = value();
            if (spec.hc.serial.empty() || spec.hc.serial.size() > 15)
                fail("a serial has 1 to 15 characters");
            specs.push_back(spec);
        } else if (a == "--mode") {
            std::string v = value();
            auto mode = hcsim::parseMode(v);
            if (!mode) fail("--mode is off, firmware or boot, not " + v);
            current.hc.startMode = *mode;
        } else if (a == "--card") {
            std::string v = value();
            std::error_code ec;
            if (!std::filesystem::is_directory(v, ec)) fail("--card needs a folder, not " + v);
            current.hc.cardDir = std::filesystem::absolute(v);
        } else if (a == "--description") {
            current.hc.description = value();
        } else if (a == "--id") {
            current.hc.usbId = static_cast<uint32_t>(numberOption(a, value(), 0xFFFFFFFFul));
        } else if (a == "--fw-version") {
            current.hc.firmwareVersion = static_cast<uint16_t>(numberOption(a, value(), 0xFFFF));
        } else if (a == "--boot-version") {
            current.hc.bootVersion = static_cast<uint16_t>(numberOption(a, value(), 0xFFFF));
        } else if (a == "--unique-id") {
            std::string v = value();
            if (v.size() > 16) fail("a unique ID has at most 16 characters");
            current.hc.uniqueId = hcsim::textField<16>(v);
        } else if (a == "--hardware-id") {
            current.hc.hardwareId = static_cast<uint8_t>(numberOption(a, value(), 0xFF));
        } else if (a == "--device-text") {
            std::string v = value();
            if (v.size() > 32) fail("a device text has at most 32 characters");
            current.hc.deviceText = hcsim::textField<32>(v);
        } else if (a == "--device") {
            current.device = value();
            if (current.device != "hc" && current.device != "loopback")
                fail("unknown device kind " + current.device);
        } else if (a == "control") {
            return control(argc, argv, i + 1);
        } else if (a == "-h" || a == "--help") {
            usage(stdout);
            return 0;
        } else if (a == "--version") {
            std::printf("vt5-hcsim (Veltra-5 PC suite) %s\n", VT5_VERSION);
            return 0;
        } else {
            std::fprintf(stderr, "vt5-hcsim: unknown argument %s\n", a.c_str());
            usage(stderr);
            return 2;
        }
    }
    if (specs.empty()) specs.push_back(defaults);

    platform::vbus::LocalBus bus(0x2001);
    for (const ChipSpec& spec : specs) {
        platform::vbus::ChipIdentity identity;
        identity.id = spec.hc.usbId;
        identity.serial = spec.hc.serial;
        identity.description = spec.hc.description;
        bus.plug(identity, makeDevice(spec))->setPaced(paced);
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
    for (const ChipSpec& spec : specs) {
        std::string kind = spec.device == "hc"
                               ? std::string("hc, ") + hcsim::modeName(spec.hc.startMode)
                               : spec.device;
        std::printf("chip %s id 0x%08X \"%s\" (%s)\n", spec.hc.serial.c_str(), spec.hc.usbId,
                    spec.hc.description.c_str(), kind.c_str());
    }
    std::fflush(stdout);
    while (!stopRequested)
        ::usleep(100000);
    server.stop();
    return 0;
}
