#include "tools/vt5-emulate/emulate_run.h"

#include <cmath>
#include <memory>

#include "platform/clock/clock.h"
#include "tools/cli/hc_connection.h"
#include "tools/cli/progress.h"

namespace emulate {

namespace {

constexpr int kTimerMs = 5;  // Starloom's emulation timer

struct Totals {
    int frames = 0;
    int empty = 0;
    int64_t bytes = 0;
};

}  // namespace

std::string OutputsText(unsigned outputs) {
    static constexpr const char* kNames[4] = {"RA+", "RA-", "DEC+", "DEC-"};
    std::string text;
    for (int bit = 0; bit < 4; ++bit)
        if (outputs & (1u << bit)) text += (text.empty() ? "" : " ") + std::string(kNames[bit]);
    return text.empty() ? "none" : text;
}

std::string FrameLine(const starloom::FrameSent& f) {
    char line[160];
    if (f.skipped)
        std::snprintf(line, sizeof line,
                      "%lld ms: no exposure open, sent the empty frame (%d bytes), outputs %s",
                      static_cast<long long>(f.time), f.bytes, OutputsText(f.outputs).c_str());
    else
        std::snprintf(line, sizeof line,
                      "%lld ms: exposure %d ms, gain %d, sent %d bytes, outputs %s",
                      static_cast<long long>(f.time), f.exposureMs, f.gain, f.bytes,
                      OutputsText(f.outputs).c_str());
    return line;
}

int Run(const cli::CommandLine& line, const Options& options, CVT5Api& api,
        const std::atomic<bool>& stop, std::FILE* out) {
    auto model = std::make_unique<starloom::StarloomModel>();
    starloom::EmulationLoop loop(api, *model);
    loop.SetSeeingFile(options.seeingFile);

    bool boot = false;
    int32_t result = loop.CheckFirmware(boot);
    if (result != VT5_OK) return cli::ReportApiError(line, "Reading the HC's mode", result, &api);
    if (boot) return line.Fail("Starloom needs the Firmware running (the HC is in BOOT mode)");
    result = loop.Begin([&] { loop.ApplyAll(options.settings); });
    if (result != VT5_OK)
        return cli::ReportApiError(line, "Starting the camera emulation", result, &api);

    const auto total = static_cast<uint64_t>(options.seconds * 1000.0);
    const bool timed = total > 0;
    cli::Progress bar("emulating, seconds", static_cast<uint64_t>(std::ceil(options.seconds)),
                      cli::Progress::Unit::Items);
    if (!timed) bar.Finish();
    Totals totals;
    loop.SetFrameSink([&](const starloom::FrameSent& frame) {
        bar.Finish();
        std::fprintf(out, "%s\n", FrameLine(frame).c_str());
        std::fflush(out);
        ++totals.frames;
        totals.empty += frame.skipped ? 1 : 0;
        totals.bytes += frame.bytes;
    });
    if (options.trace) {
        loop.SetTraceSink([&](const std::string& text) {
            bar.Finish();
            // The trace's own line ends are "\r\n"; a terminal and a pipe both want '\n'.
            std::string plain = text.substr(0, text.find_last_not_of("\r\n") + 1);
            std::fprintf(out, "  %s\n", plain.c_str());
        });
    }

    const platform::TimePoint start = platform::now();
    const platform::TimePoint end = start + platform::Millis(total);
    while (!stop && (!timed || platform::now() < end)) {
        result = loop.Step();
        if (result != VT5_OK) {
            bar.Finish();
            loop.End();  // a try: the HC may well be gone
            return cli::ReportApiError(line, "Emulation step", result, &api);
        }
        if (timed)
            bar.Update(static_cast<uint64_t>(
                std::chrono::duration_cast<std::chrono::seconds>(platform::now() - start).count()));
        platform::sleepMs(kTimerMs);
    }
    bar.Finish();
    result = loop.End();
    const double seconds = std::chrono::duration<double>(platform::now() - start).count();
    std::fprintf(out, "%d frames (%d empty), %lld bytes in %.1f s\n", totals.frames, totals.empty,
                 static_cast<long long>(totals.bytes), seconds);
    std::fflush(out);
    if (result != VT5_OK)
        return cli::ReportApiError(line, "Stopping the camera emulation", result, &api);
    return 0;
}

}  // namespace emulate
