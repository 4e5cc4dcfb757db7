// vt5-doctor: checks what stands between this computer and a real hand controller: every
// FT230X that libusb sees, whether it can be opened (and why not), its CBUS pin functions,
// latency timer, and whether the HC behind it answers.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/cli/command_line.h"
#include "tools/vt5-doctor/chip_check.h"
#include "tools/vt5-doctor/handshake.h"

int main(int argc, char** argv) {
    cli::CommandLine line(
        "vt5-doctor", "[--serial S]",
        "Checks the FTDI FT230X chips (USB 0403:6015) of hand controllers plugged into this\n"
        "computer: bus, port, serial and description of each, whether it can be opened and,\n"
        "if not, why and how to mend it, the CBUS pin functions in its EEPROM, its latency\n"
        "timer, and whether the HC behind it answers. Exit status 0 when everything works,\n"
        "1 with one line per problem on standard error.\n",
        {{"--serial", "", "S", "check only the chip with serial S"}}, false);
    if (auto status = line.Parse(argc, argv)) return *status;
    if (!line.Positional().empty()) return line.UsageError("unexpected " + line.Positional()[0]);
    // Real chips only: the virtual bus of simulated HCs is not what users come here for.
    ::setenv("VT5_USB_BACKENDS", "ftdi", 1);

    std::string error;
    std::string serial = line.Value("--serial");
    auto chips = doctor::CheckChips(serial, error);
    if (!error.empty()) return line.Fail(error);
    if (chips.empty())
        return line.Fail(serial.empty()
                             ? "no FT230X (USB 0403:6015) found: plug in the HC's USB cable "
                               "(lsusb lists what the computer sees)"
                             : "no FT230X with serial " + serial + " found");
    int problems = 0;
    for (auto& chip : chips) {
        if (chip.problems.empty()) doctor::CheckHandshake(chip);
        std::printf("Bus %03d port %s: FT230X, serial %s, \"%s\" (%s)\n", chip.bus,
                    chip.port.c_str(), chip.serial.empty() ? "unknown" : chip.serial.c_str(),
                    chip.description.c_str(), chip.devNode.c_str());
        for (const auto& fact : chip.facts)
            std::printf("  %s\n", fact.c_str());
        for (const auto& problem : chip.problems) {
            std::printf("  problem: %s\n", problem.c_str());
            std::fprintf(stderr, "vt5-doctor: %s on bus %03d port %s: %s\n",
                         chip.serial.empty() ? "FT230X" : chip.serial.c_str(), chip.bus,
                         chip.port.c_str(), problem.c_str());
            ++problems;
        }
        if (chip.problems.empty()) std::printf("  ok: the suite can use this HC\n");
    }
    return problems ? 1 : 0;
}
