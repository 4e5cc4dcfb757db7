// vt5-display: the HC's display from the command line: a snapshot as a PNG file, button
// presses, and how fast a display reader gets updates.

#include <QImage>
#include <QString>
#include <cstdio>
#include <string>
#include <vector>

#include "common/rgb565.h"
#include "platform/clock/clock.h"
#include "tools/cli/command_line.h"
#include "tools/cli/hc_connection.h"
#include "tools/cli/progress.h"
#include "vt5api/commands/display.h"

namespace {

constexpr const char* kClientName = "vt5-display";

struct ButtonName {
    const char* name;
    int32_t code;
};
constexpr ButtonName kButtons[] = {{"esc", VT5_BUTTON_ESC},   {"set", VT5_BUTTON_SET},
                                   {"left", VT5_BUTTON_LEFT}, {"right", VT5_BUTTON_RIGHT},
                                   {"up", VT5_BUTTON_UP},     {"down", VT5_BUTTON_DOWN}};

int32_t ButtonCode(const std::string& name) {
    for (const ButtonName& b : kButtons)
        if (name == b.name) return b.code;
    return -1;
}

int Snapshot(const cli::CommandLine& line, CVT5Api& api, const std::string& path) {
    std::vector<uint16_t> frame(VT5_DISPLAY_PIXELS, 0);
    int32_t result = VT5cmd_ReadDisplaySnapshot(&api, frame.data(), nullptr);
    if (result != VT5_OK) return cli::ReportApiError(line, "Reading the display", result, &api);
    QImage image(VT5_DISPLAY_WIDTH, VT5_DISPLAY_HEIGHT, QImage::Format_RGB32);
    for (int y = 0; y < VT5_DISPLAY_HEIGHT; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < VT5_DISPLAY_WIDTH; ++x)
            row[x] = 0xFF000000u |
                     common::Rgb565ToRgb32(frame[static_cast<size_t>(y) * VT5_DISPLAY_WIDTH + x]);
    }
    if (!image.save(QString::fromLocal8Bit(path.c_str()), "PNG"))
        return line.Fail("cannot write " + path);
    std::printf("%s: %dx%d\n", path.c_str(), VT5_DISPLAY_WIDTH, VT5_DISPLAY_HEIGHT);
    return 0;
}

int Press(const cli::CommandLine& line, CVT5Api& api, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        int32_t code = ButtonCode(name);
        for (bool released : {false, true}) {
            int32_t result = VT5cmd_ButtonEvent(&api, code, released);
            if (result != VT5_OK)
                return cli::ReportApiError(line, "Pressing " + name, result, &api);
        }
        std::printf("pressed %s\n", name.c_str());
    }
    return 0;
}

// Reads updates back to back for `seconds`, one line a second and a summary at the end. Two
// rates tell different things: reads per second is how fast the link answers, changed frames
// per second how often the HC's display actually changed (what a viewer such as Panelcast can
// show at most).
int Watch(const cli::CommandLine& line, CVT5Api& api, long long seconds) {
    std::vector<uint16_t> frame(VT5_DISPLAY_PIXELS, 0);
    std::vector<uint16_t> previous(VT5_DISPLAY_PIXELS, 0);
    cli::Progress progress("watch", static_cast<uint64_t>(seconds), cli::Progress::Unit::Items);
    const int64_t start = platform::nowMs();
    int64_t secondStart = start;
    long long reads = 0, changed = 0, bytes = 0;
    long long secondReads = 0, secondChanged = 0, secondBytes = 0;
    bool fresh = true;
    for (;;) {
        const int64_t now = platform::nowMs();
        if (now - secondStart >= 1000 || now - start >= seconds * 1000) {
            progress.Finish();
            const double span = static_cast<double>(std::max<int64_t>(1, now - secondStart));
            std::printf("%6.1f s  %7.1f reads/s  %5.1f changed frames/s  %8.0f bytes per read\n",
                        (now - start) / 1000.0, secondReads * 1000.0 / span,
                        secondChanged * 1000.0 / span,
                        secondReads ? double(secondBytes) / double(secondReads) : 0.0);
            std::fflush(stdout);
            secondStart = now;
            secondReads = secondChanged = secondBytes = 0;
            progress.Update(static_cast<uint64_t>((now - start) / 1000));
        }
        if (now - start >= seconds * 1000) break;
        int32_t result = VT5cmd_ReadDisplay(&api, frame.data(), nullptr, fresh);
        if (result != VT5_OK) {
            progress.Finish();
            return cli::ReportApiError(line, "Reading the display", result, &api);
        }
        // The first read brings the whole display: that counts as a change.
        if (fresh || frame != previous) {
            ++changed, ++secondChanged;
            previous = frame;
        }
        fresh = false;
        ++reads, ++secondReads;
        bytes += api.bulkAnnounced;
        secondBytes += api.bulkAnnounced;
    }
    const double elapsed = std::max<int64_t>(1, platform::nowMs() - start) / 1000.0;
    std::printf(
        "%lld reads in %.1f s: %.1f reads per second; %lld changed frames, %.1f changed "
        "frames per second; %.0f bytes per read\n",
        reads, elapsed, reads / elapsed, changed, changed / elapsed,
        reads ? double(bytes) / double(reads) : 0.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    cli::CommandLine line(
        "vt5-display",
        "[--serial S | --server HOST[:PORT]] snapshot OUT.png | press BUTTON... | "
        "watch [--seconds N]",
        "The HC's display from the command line:\n"
        "  snapshot OUT.png   writes the display as a 240 x 320 PNG image\n"
        "  press BUTTON...    presses and releases buttons in turn: up down left right esc set\n"
        "  watch              reads display updates back to back and prints the reads per\n"
        "                     second (how fast the link answers), the changed frames per\n"
        "                     second (how often the display changed) and the bytes per read\n",
        {{"--seconds", "", "N", "how long watch reads (default 10)"}}, true);
    if (auto status = line.Parse(argc, argv)) return *status;
    const std::vector<std::string>& args = line.Positional();
    if (args.empty()) return line.UsageError("say snapshot, press or watch");
    const std::string& verb = args[0];
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (verb == "snapshot") {
        if (rest.size() != 1) return line.UsageError("snapshot needs one output file");
    } else if (verb == "press") {
        if (rest.empty()) return line.UsageError("press needs at least one button");
        for (const std::string& name : rest)
            if (ButtonCode(name) < 0)
                return line.UsageError("unknown button " + name +
                                       " (up, down, left, right, esc, set)");
    } else if (verb == "watch") {
        if (!rest.empty()) return line.UsageError("unexpected " + rest[0]);
    } else {
        return line.UsageError("unknown command " + verb);
    }
    if (verb != "watch" && line.Has("--seconds"))
        return line.UsageError("--seconds belongs to watch");
    auto seconds = line.Number("--seconds", 1, 86400, 10);
    if (!seconds) return 2;

    CVT5Api api;
    if (cli::OpenHc(line, api, kClientName) != VT5_OK) return 1;
    cli::HcSession session(api);
    if (verb == "snapshot") return Snapshot(line, api, rest[0]);
    if (verb == "press") return Press(line, api, rest);
    return Watch(line, api, *seconds);
}
