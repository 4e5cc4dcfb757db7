#include "tools/vt5-emulate/emulate_options.h"

#include <cmath>
#include <map>

namespace emulate {

namespace {

// "east", "meridian" and "west" stand for the hours Starloom's buttons put in.
std::optional<double> HoursFromMeridian(const cli::CommandLine& line) {
    static const std::map<std::string, double, std::less<>> kNamed = {
        {"east", -6.0}, {"meridian", 0.0}, {"west", 6.0}};
    if (auto named = kNamed.find(line.Value("--hour-angle")); named != kNamed.end())
        return named->second;
    return line.Real("--hour-angle", -24.0, 24.0, 0.0);
}

// 1, 0.5, 0.25 or 0.125 of the sidereal rate: the selection 0 to 3 of Starloom's list.
std::optional<int> AgSpeedSelection(const cli::CommandLine& line) {
    auto speed = line.Real("--ag-speed", 0.125, 1.0, 0.5);
    if (!speed) return std::nullopt;
    for (int selection = 0; selection < 4; ++selection)
        if (*speed == std::ldexp(1.0, -selection)) return selection;
    line.Fail("bad --ag-speed " + line.Value("--ag-speed") + " (1, 0.5, 0.25 or 0.125)");
    return std::nullopt;
}

}  // namespace

cli::CommandLine MakeCommandLine() {
    return cli::CommandLine(
        "vt5-emulate", "[--serial S | --server HOST[:PORT]] [--seconds N] [settings]",
        "Emulates the guide camera for an HC as Starloom does, without a window: renders the\n"
        "frames the HC asks for from the sky and mount model, sends them, and feeds the HC's\n"
        "guide outputs back into the mount. Prints one line per frame and ends after N seconds\n"
        "(or when interrupted), switching the HC's camera emulation off again.\n",
        {{"--seconds", "", "N", "how long to emulate (default: until interrupted)"},
         {"--seed", "", "N", "star field seed (2); -1 gives the empty field"},
         {"--ag-speed", "", "F", "guide speed: 1, 0.5, 0.25 or 0.125 of sidereal (0.5)"},
         {"--focal-length", "", "MM", "guide scope focal length (176)"},
         {"--southern", "", "", "southern hemisphere"},
         {"--pole-altitude", "", "DEG", "altitude of the celestial pole (45)"},
         {"--alt-error", "", "ARCSEC", "polar axis set higher than the pole (0)"},
         {"--az-error", "", "ARCSEC", "polar axis turned in azimuth (0)"},
         {"--hour-angle", "", "H", "hours from the meridian, or east, meridian, west (0)"},
         {"--backlash", "", "S", "DEC backlash in seconds of guiding (0: off)"},
         {"--seeing-fwhm", "", "ARCSEC", "seeing as star FWHM in arcseconds (2); 0: none"},
         {"--seeing", "", "FILE",
          "seeing table (seeing.csv in the current folder; without one, built-in motion)"},
         {"--trace", "", "", "also print each event the HC sends"}},
        true);
}

std::optional<Options> ReadOptions(const cli::CommandLine& line) {
    Options o;
    starloom::MountSettings& mount = o.settings.mount;
    auto seconds = line.Real("--seconds", 0.0, 1e7, 0.0);
    auto seed = line.Number("--seed", INT32_MIN, INT32_MAX, starloom::StarloomModel::kStartSeed);
    auto agSpeed = AgSpeedSelection(line);
    auto focal = line.Number("--focal-length", 1, 100000, mount.focalLength);
    auto pole = line.Real("--pole-altitude", 0.0, 90.0, mount.poleAltitude);
    auto altError = line.Real("--alt-error", -36000.0, 36000.0, 0.0);
    auto azError = line.Real("--az-error", -36000.0, 36000.0, 0.0);
    auto hours = HoursFromMeridian(line);
    auto backlash = line.Real("--backlash", 0.0, 3600.0, 0.0);
    auto seeing =
        line.Real("--seeing-fwhm", 0.0, starloom::kMaxSeeingFwhm, starloom::kDefaultSeeingFwhm);
    if (!seconds || !seed || !agSpeed || !focal || !pole || !altError || !azError || !hours ||
        !backlash || !seeing)
        return std::nullopt;
    o.seconds = *seconds;
    o.settings.seed = static_cast<int32_t>(*seed);
    mount.agSpeedSelection = *agSpeed;
    mount.focalLength = static_cast<int>(*focal);
    mount.southern = line.Has("--southern");
    mount.poleAltitude = static_cast<float>(*pole);
    mount.altitudeError = static_cast<float>(*altError);
    mount.azimuthError = static_cast<float>(*azError);
    o.settings.hoursFromMeridian = *hours;
    o.settings.backlash = *backlash > 0.0;
    o.settings.backlashSeconds = static_cast<float>(*backlash);
    o.settings.seeingFwhm = static_cast<float>(*seeing);
    if (line.Has("--seeing")) o.seeingFile = line.Value("--seeing");
    o.trace = line.Has("--trace");
    return o;
}

}  // namespace emulate
