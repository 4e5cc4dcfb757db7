#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace skyframe {

// What vt5-skyframe renders: the sky, the mount as Starloom's dialog sets it, and the HC's
// exposure requests.
struct Options {
    std::filesystem::path outDir;
    int seed = 2;
    int exposureMs = 1000;
    int gain = 6;
    int frames = 1;
    int intervalMs = 0;   // exposure start to exposure start; 0: back to back
    int64_t startMs = 0;  // the HC's clock at the first exposure
    int focalLength = 176;
    float agSpeed = 0.5f;
    float poleAltitude = 45.0f;  // degrees
    bool southern = false;
    float altitudeError = 0.0f;  // arcseconds
    float azimuthError = 0.0f;   // arcseconds
    float hourAngle = 0.0f;      // hours from the meridian
    float backlash = 0.0f;       // seconds; 0: off
    unsigned guide = 0;          // guide outputs held on (bits as the HC's)
    std::filesystem::path seeingFile;
    float seeingAmplitude = 0.0f;  // arcseconds
    int view = 3;                  // preview brightness: 0 = 1x ... 3 = 8x
    bool help = false;
};

// Parses the arguments (without the program name); on failure returns nothing and says why.
std::optional<Options> ParseOptions(std::span<const std::string_view> args, std::string& error);

std::string UsageText();

}  // namespace skyframe
