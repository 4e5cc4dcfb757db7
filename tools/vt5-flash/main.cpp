// vt5-flash: Flashwell from the command line. Shows what a firmware file holds, the device
// information of an HC, and updates the HC and its camera from a firmware file, directly over
// USB or through an API server.

#include <cstdio>
#include <string>

#include "flashwell/firmware/firmware_file.h"
#include "flashwell/procedure/device_info.h"
#include "flashwell/procedure/update_procedure.h"
#include "tools/cli/command_line.h"
#include "tools/cli/terminal_text.h"
#include "tools/vt5-flash/console_view.h"
#include "vt5api/api/vt5api.h"

namespace {

VT5ConnectionTarget TargetOf(const cli::CommandLine& line) {
    VT5ConnectionTarget target;
    target.serial = line.target().serial;
    target.host = line.target().host;
    target.port = line.target().port;
    return target;
}

// Loads FILE; the load result, with the loader's text on standard error when it failed.
int Load(const cli::CommandLine& line, const std::string& path, LoadedFirmware& firmware) {
    const int result = LoadFirmwareFile(path, firmware);
    if (result != kFirmwareLoaded)
        line.Fail(path + ": " + FirmwareLoadText(result) + " (load result " +
                  std::to_string(result) + ")");
    return result;
}

int Info(const cli::CommandLine& line, const std::string& path) {
    LoadedFirmware firmware;
    const int result = Load(line, path, firmware);
    if (result == kFirmwareLoaded)
        std::fputs(cli::ForTerminal(stdout, TerminalText(ContentSummary(firmware)), "\n").c_str(),
                   stdout);
    return result;
}

int DevInfo(const cli::CommandLine& line) {
    CVT5Api api;
    ConsoleView view(line, false);
    return RunDeviceInfo(api, TargetOf(line), view) ? 0 : 1;
}

int Update(const cli::CommandLine& line, const std::string& path) {
    LoadedFirmware firmware;
    if (Load(line, path, firmware) != kFirmwareLoaded) return 1;
    UpdateChoice choice{line.Has("--hc"), line.Has("--camera")};
    if (!choice.hc && !choice.camera) choice = {true, true};
    // The dialog does nothing at all here; a script deserves a reason.
    if (choice.hc && !firmware.hc.HasPayload()) return line.Fail(path + " holds no HC firmware");
    if (choice.camera && !firmware.camera.HasPayload())
        return line.Fail(path + " holds no camera firmware");
    CVT5Api api;
    ConsoleView view(line, line.Has("--yes"));
    const UpdateOutcome outcome = RunUpdate(api, TargetOf(line), firmware, choice, view);
    view.EndLog();
    return outcome == UpdateOutcome::Done ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    cli::CommandLine line(
        "vt5-flash",
        "info FILE | devinfo | update FILE [--hc] [--camera] [--yes] "
        "[--serial S | --server HOST[:PORT]]",
        "  info FILE     prints what a firmware file holds; the exit status is the load\n"
        "                result: 0 loaded, 1 can't open, 2 reading error, 3 wrong contents,\n"
        "                4 out of memory\n"
        "  devinfo       prints the device information of the HC (in BOOT mode with its\n"
        "                camera's)\n"
        "  update FILE   updates the HC in BOOT mode and its camera from FILE (both parts\n"
        "                unless --hc or --camera names one), with the updater's log\n",
        {{"--hc", "", "", "update the HC's firmware"},
         {"--camera", "", "", "update the camera's firmware"},
         {"--yes", "", "",
          "answer Yes to the question before firmware that may not support "
          "the HC's board"}},
        true);
    if (auto status = line.Parse(argc, argv)) return *status;
    const auto& words = line.Positional();
    if (words.empty()) return line.UsageError("which command: info, devinfo or update?");
    const std::string& command = words[0];
    const size_t wanted = command == "devinfo" ? 1 : 2;
    if (command != "info" && command != "devinfo" && command != "update")
        return line.UsageError("unknown command " + command);
    if (words.size() < wanted) return line.UsageError(command + " needs a firmware FILE");
    if (words.size() > wanted) return line.UsageError("unexpected " + words[wanted]);
    if (command == "info") return Info(line, words[1]);
    if (command == "devinfo") return DevInfo(line);
    return Update(line, words[1]);
}
