// vt5-info: lists the free Veltra-5 HCs on this computer and shows the device information of
// one, directly over USB or through an API server.

#include <cstdio>
#include <string>

#include "platform/clock/clock.h"
#include "tools/cli/command_line.h"
#include "tools/cli/hc_connection.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/commands/identity.h"

namespace {

int List(const cli::CommandLine& line, CVT5Api& api) {
    int32_t count = 0;
    VT5DeviceListEntry* entries = nullptr;
    int32_t result = VT5_ListDevices(&api, &count, &entries);
    if (result == VT5_E_CANNOT_OPEN) {
        std::printf("No FTDI devices attached.\n");
        return 0;
    }
    if (result != VT5_OK) return cli::ReportApiError(line, "Listing the HCs", result, &api);
    std::printf("%d free HC%s:\n", count, count == 1 ? "" : "s");
    for (int32_t i = 0; i < count; ++i)
        std::printf("  %-8s  location 0x%04X  \"%s\"\n", entries[i].serial, entries[i].location,
                    entries[i].description);
    VT5_FreeDeviceList(entries);
    return 0;
}

void Print(const VT5DeviceInfo& info) {
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
    cli::CommandLine line(
        "vt5-info", "[--serial S | --server HOST[:PORT]] [--list] [--hold SECONDS]",
        "Lists the free HCs on this computer and prints the device information of the HC\n"
        "with serial S (default: the first one), or of the HC an API server shares.\n",
        {{"--list", "", "", "only list the free HCs"},
         {"--hold", "", "SECONDS",
          "keep the connection open that long afterwards (to see it in a server's client "
          "list)"}},
        true);
    if (auto status = line.Parse(argc, argv)) return *status;
    if (!line.Positional().empty()) return line.UsageError("unexpected " + line.Positional()[0]);
    auto hold = line.Number("--hold", 0, 86400, 0);
    if (!hold) return 2;

    CVT5Api api;
    if (!line.target().viaServer() && List(line, api) != 0) return 1;
    if (line.Has("--list")) return 0;
    if (cli::OpenHc(line, api, "vt5-info") != VT5_OK) return 1;
    cli::HcSession session(api);
    VT5DeviceInfo info{};
    int32_t result = VT5cmd_GetDeviceInfo(&api, &info);
    if (result != VT5_OK)
        return cli::ReportApiError(line, "Reading the device information", result, &api);
    Print(info);
    if (*hold > 0) {
        std::fflush(stdout);
        platform::sleepMs(*hold * 1000);
    }
    return 0;
}
