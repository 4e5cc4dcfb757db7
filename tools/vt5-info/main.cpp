// vt5-info: lists the free Veltra-5 HCs on this computer and shows the device information of
// one, directly over USB or through an API server.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/clock/clock.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/commands/identity.h"

namespace {

void usage(FILE* to) {
    std::fprintf(to,
                 "usage: vt5-info [--serial S] [--server HOST[:PORT]] [--list] [--hold SECONDS]\n"
                 "Lists the free HCs on this computer and prints the device information of\n"
                 "the HC with serial S (default: the first one), or of the HC an API server\n"
                 "shares (port 5937 unless given). --list only lists. --hold keeps the\n"
                 "connection open that long afterwards (to see it in a server's client list).\n");
}

int fail(const char* step, int32_t code, CVT5Api& api) {
    std::printf("%s: Veltra-5 API error code %d: %s\n", step, code, VT5_GetErrorText(code));
    const char* detail = api.link ? api.link->GetErrorText() : "";
    if (detail && *detail) std::printf("  (%s)\n", detail);
    return 1;
}

int list(CVT5Api& api) {
    int32_t count = 0;
    VT5DeviceListEntry* entries = nullptr;
    int32_t result = VT5_ListDevices(&api, &count, &entries);
    if (result == VT5_E_CANNOT_OPEN) {
        std::printf("No FTDI devices attached.\n");
        return 0;
    }
    if (result != VT5_OK) return fail("Listing the HCs", result, api);
    std::printf("%d free HC%s:\n", count, count == 1 ? "" : "s");
    for (int32_t i = 0; i < count; ++i)
        std::printf("  %-8s  location 0x%04X  \"%s\"\n", entries[i].serial, entries[i].location,
                    entries[i].description);
    VT5_FreeDeviceList(entries);
    return 0;
}

void print(const VT5DeviceInfo& info) {
    std::printf("Serial:            %s\n", info.serial);
    std::printf("Description:       %s\n", info.description);
    std::printf("Mode:              %s\n", info.bootFlag ? "BOOT mode" : "Firmware");
    std::printf("Protocol version:  0x%04X\n", info.protocolVersion);
    std::printf("Second word:       0x%04X\n", info.secondProtocolWord);
    std::printf("Chip ID:           %08X %08X\n", info.chipId[1], info.chipId[0]);
    std::printf("Unique ID:         %s\n", info.uniqueId);
    std::printf("Hardware ID:       %u\n", info.hardwareId);
    std::printf("Device text:       %s\n", info.deviceText);
}

}  // namespace

int main(int argc, char** argv) {
    std::string serial, host;
    int32_t port = 0;
    bool listOnly = false;
    long holdSeconds = 0;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if ((a == "--serial" || a == "--server" || a == "--hold") && i + 1 >= argc) {
            std::fprintf(stderr, "vt5-info: %s needs a value\n", a.c_str());
            return 2;
        }
        if (a == "--serial") {
            serial = argv[++i];
        } else if (a == "--server") {
            host = argv[++i];
            auto colon = host.rfind(':');
            if (colon != std::string::npos) {
                char* end = nullptr;
                long p = std::strtol(host.c_str() + colon + 1, &end, 10);
                if (*end || p < 1 || p > 65535) {
                    std::fprintf(stderr, "vt5-info: bad port in %s\n", host.c_str());
                    return 2;
                }
                port = static_cast<int32_t>(p);
                host.resize(colon);
            }
        } else if (a == "--hold") {
            char* end = nullptr;
            holdSeconds = std::strtol(argv[++i], &end, 10);
            if (*end || holdSeconds < 0 || holdSeconds > 86400) {
                std::fprintf(stderr, "vt5-info: bad --hold %s\n", argv[i]);
                return 2;
            }
        } else if (a == "--list") {
            listOnly = true;
        } else if (a == "-h" || a == "--help") {
            usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "vt5-info: unknown argument %s\n", a.c_str());
            usage(stderr);
            return 2;
        }
    }

    CVT5Api api;
    if (host.empty() && list(api) != 0) return 1;
    if (listOnly) return 0;
    int32_t result = host.empty() ? VT5_Open(&api, serial.c_str(), nullptr, 0, nullptr)
                                  : VT5_Open(&api, nullptr, host.c_str(), port, "vt5-info");
    if (result != VT5_OK) return fail("Opening the HC", result, api);
    VT5DeviceInfo info{};
    result = VT5cmd_GetDeviceInfo(&api, &info);
    if (result != VT5_OK) return fail("Reading the device information", result, api);
    print(info);
    if (holdSeconds > 0) {
        std::fflush(stdout);
        platform::sleepMs(holdSeconds * 1000);
    }
    VT5_Close(&api);
    return 0;
}
