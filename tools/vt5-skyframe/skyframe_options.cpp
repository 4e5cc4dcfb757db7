#include "tools/vt5-skyframe/skyframe_options.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <map>
#include <sstream>

#include "starloom/model/mount_model.h"

namespace skyframe {

namespace {

template <typename T>
bool ParseNumber(std::string_view text, T& value) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || next != end) return false;
    if constexpr (std::is_floating_point_v<T>) return std::isfinite(value);
    return true;
}

// "ra+,dec-", "none" or a number 0 to 15.
bool ParseGuide(std::string_view text, unsigned& bits) {
    if (ParseNumber(text, bits)) return bits <= starloom::kAgAll;
    bits = 0;
    if (text == "none") return true;
    static const std::map<std::string_view, unsigned, std::less<>> kNames{
        {"ra+", starloom::kAgRaPlus},
        {"ra-", starloom::kAgRaMinus},
        {"dec+", starloom::kAgDecPlus},
        {"dec-", starloom::kAgDecMinus}};
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const auto found = kNames.find(text.substr(0, comma));
        if (found == kNames.end()) return false;
        bits |= found->second;
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
    }
    return bits != 0;
}

struct Range {
    double min;
    double max;
};

template <typename T>
std::function<bool(std::string_view)> Number(T& field, Range range) {
    return [&field, range](std::string_view text) {
        T value{};
        if (!ParseNumber(text, value) || value < range.min || value > range.max) return false;
        field = value;
        return true;
    };
}

}  // namespace

std::optional<Options> ParseOptions(std::span<const std::string_view> args, std::string& error) {
    Options o;
    const std::map<std::string_view, std::function<bool(std::string_view)>, std::less<>> valued{
        {"--out",
         [&o](std::string_view t) {
             o.outDir = std::filesystem::path(t);
             return !t.empty();
         }},
        {"--seed", Number(o.seed, {-2147483648.0, 2147483647.0})},
        {"--exposure", Number(o.exposureMs, {1, 4095})},
        {"--gain", Number(o.gain, {0, 15})},
        {"--frames", Number(o.frames, {1, 100000})},
        {"--interval", Number(o.intervalMs, {0, 86400000})},
        {"--start", Number(o.startMs, {0, 2147483647.0})},
        {"--focal-length", Number(o.focalLength, {1, 100000})},
        {"--ag-speed",
         [&o](std::string_view t) {
             return ParseNumber(t, o.agSpeed) && (o.agSpeed == 1.0f || o.agSpeed == 0.5f ||
                                                  o.agSpeed == 0.25f || o.agSpeed == 0.125f);
         }},
        {"--pole-altitude", Number(o.poleAltitude, {0, 90})},
        {"--alt-error", Number(o.altitudeError, {-36000, 36000})},
        {"--az-error", Number(o.azimuthError, {-36000, 36000})},
        {"--hour-angle", Number(o.hourAngle, {-24, 24})},
        {"--backlash", Number(o.backlash, {0, 3600})},
        {"--guide", [&o](std::string_view t) { return ParseGuide(t, o.guide); }},
        {"--seeing",
         [&o](std::string_view t) {
             o.seeingFile = std::filesystem::path(t);
             return !t.empty();
         }},
        {"--seeing-amplitude", Number(o.seeingAmplitude, {0, 3600})},
        {"--view", Number(o.view, {0, 3})},
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view name = args[i];
        std::optional<std::string_view> value;
        if (const std::size_t eq = name.find('='); eq != std::string_view::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        if ((name == "--help" || name == "-h") && !value) {
            o.help = true;
            return o;
        }
        if (name == "--southern" && !value) {
            o.southern = true;
            continue;
        }
        const auto option = valued.find(name);
        if (option == valued.end()) {
            error = "unknown option " + std::string(args[i]);
            return std::nullopt;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                error = std::string(name) + " needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        if (!option->second(*value)) {
            error = "bad value for " + std::string(name) + ": \"" + std::string(*value) + "\"";
            return std::nullopt;
        }
    }
    if (o.outDir.empty()) {
        error = "--out DIR is required";
        return std::nullopt;
    }
    if (o.intervalMs == 0) o.intervalMs = o.exposureMs;
    if (o.intervalMs < o.exposureMs) {
        error = "--interval must not be shorter than --exposure";
        return std::nullopt;
    }
    return o;
}

std::string UsageText() {
    std::ostringstream s;
    s << "Usage: vt5-skyframe --out DIR [options]\n"
         "Renders Starloom's emulated guide camera frames without an HC: each frame's\n"
         "compressed bytes (frame-N.bin) and a preview as Starloom shows it (frame-N.png).\n"
         "\n"
         "Sky and camera:\n"
         "  --seed N              star field seed (2); -1 gives the empty field\n"
         "  --exposure MS         exposure time, 1 to 4095 ms (1000)\n"
         "  --gain N              gain index as the HC requests it, 0 to 15 (6)\n"
         "  --frames N            number of frames (1)\n"
         "  --interval MS         exposure start to exposure start (the exposure time)\n"
         "  --start MS            the HC's clock at the first exposure (0)\n"
         "  --seeing FILE         seeing table in the format of seeing.csv (none)\n"
         "  --seeing-amplitude A  seeing in arcseconds (0: no seeing)\n"
         "  --view N              preview brightness 0 = 1x ... 3 = 8x (3)\n"
         "Mount:\n"
         "  --focal-length MM     guide scope focal length (176)\n"
         "  --ag-speed F          guide speed: 1, 0.5, 0.25 or 0.125 of sidereal (0.5)\n"
         "  --pole-altitude DEG   altitude of the celestial pole (45)\n"
         "  --southern            southern hemisphere\n"
         "  --alt-error ARCSEC    polar axis set higher than the pole (0)\n"
         "  --az-error ARCSEC     polar axis turned in azimuth (0)\n"
         "  --hour-angle H        target's hours from the meridian at the start (0)\n"
         "  --backlash S          DEC backlash in seconds of guiding (0: off)\n"
         "  --guide OUTPUTS       guide outputs held on: ra+,ra-,dec+,dec- or none (none)\n"
         "\n"
         "  -h, --help            show this help and exit\n"
         "      --version         show the suite's version and exit\n";
    return s.str();
}

}  // namespace skyframe
