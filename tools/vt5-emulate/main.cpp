// vt5-emulate: Starloom's camera emulation without a window, for scripts at the telescope.

#include <atomic>
#include <csignal>
#include <cstdio>

#include "tools/cli/hc_connection.h"
#include "tools/vt5-emulate/emulate_options.h"
#include "tools/vt5-emulate/emulate_run.h"

namespace {

std::atomic<bool> interrupted{false};

void Interrupt(int) {
    interrupted = true;
}

}  // namespace

int main(int argc, char** argv) {
    cli::CommandLine line = emulate::MakeCommandLine();
    if (auto status = line.Parse(argc, argv)) return *status;
    if (!line.Positional().empty()) return line.UsageError("unexpected " + line.Positional()[0]);
    auto options = emulate::ReadOptions(line);
    if (!options) return 2;

    // Interrupted, the run still switches the HC's emulation off before it ends.
    std::signal(SIGINT, Interrupt);
    std::signal(SIGTERM, Interrupt);

    CVT5Api api;
    if (cli::OpenHc(line, api, "vt5-emulate") != VT5_OK) return 1;
    cli::HcSession session(api);
    int status = emulate::Run(line, *options, api, interrupted, stdout);
    return status == 0 && interrupted ? 130 : status;
}
