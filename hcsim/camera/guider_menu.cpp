// The guider on the HC's display: its page in the main menu and its live line.

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "hcsim/camera/camera_emulation_family.h"

namespace hcsim {
namespace {

using camera::Autoguider;

// The next value of `steps` from `value` in direction `step` (-1 or +1), stopping at the ends.
template <size_t N>
int stepThrough(const int (&steps)[N], int value, int step) {
    const int* at = std::lower_bound(steps, steps + N, value);
    auto i = static_cast<int>(at - steps) + (step > 0 && at != steps + N && *at == value ? 1 : 0);
    if (step < 0) --i;
    return steps[std::clamp(i, 0, static_cast<int>(N) - 1)];
}

std::string minutes(int64_t ms) {
    const int64_t s = (ms + 999) / 1000;
    char text[24];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(s / 60),
                  static_cast<long long>(s % 60));
    return text;
}

}  // namespace

void CameraEmulationFamily::addMenuItems(HcMode mode, std::vector<MenuItem>& items) {
    if (mode != HcMode::Firmware) return;
    // SET carries the request out, or says on the bottom line why not.
    auto request = [this](std::string done, auto action) {
        return [this, done, action](MenuContext& c) {
            const std::string problem = action(hcMs(c.now()));
            c.showMessage(problem.empty() ? done : problem);
        };
    };
    std::vector<MenuItem> page{
        {"Guided expo",
         request("Exposure begins",
                 [this](int64_t t) { return guider_.expose(t, menuExposureSeconds_); }),
         [this] { return minutes(menuExposureSeconds_ * 1000); },
         [this](MenuContext&, int step) {
             menuExposureSeconds_ = stepThrough(kMenuExposures, menuExposureSeconds_, step);
         }},
        {"End exposure",
         request("Exposure ends", [this](int64_t t) { return guider_.endExposure(t); }),
         {},
         {}},
        {"Calibrate",
         request("Calibrating", [this](int64_t t) { return guider_.calibrate(t); }),
         {},
         {}},
        {"Guiding",
         [this](MenuContext& c) {
             const int64_t t = hcMs(c.now());
             const bool on = guider_.mode() == Autoguider::Mode::Guiding || guider_.guidingWanted();
             const std::string problem = on ? guider_.stopGuiding(t) : guider_.startGuiding(t);
             c.showMessage(problem.empty() ? (on ? "Guiding stopped" : "Guiding starts") : problem);
         },
         [this] {
             return std::string(guider_.mode() == Autoguider::Mode::Guiding ? "On"
                                : guider_.guidingWanted()                   ? "Soon"
                                                                            : "Off");
         },
         {}},
        {"Guide cam",
         {},
         [this] { return std::to_string(guider_.settings().exposureMs) + " ms"; },
         [this](MenuContext&, int step) {
             auto& ms = guider_.settings().exposureMs;
             ms = stepThrough(kMenuGuideExposures, ms, step);
         }},
    };
    items.push_back({"Guider", [page](MenuContext& c) { c.openPage("Guider", page); }, {}, {}});
}

std::optional<std::string> CameraEmulationFamily::liveLine(platform::TimePoint now) const {
    const Autoguider& g = guider_;
    if (!g.running()) return std::nullopt;
    const int64_t t = hcMs(now);
    switch (g.mode()) {
        case Autoguider::Mode::Calibrating:
            return "CALIBRATING";
        case Autoguider::Mode::Looping:
            if (!g.star()) return "NO GUIDE STAR";
            return "STAR SNR " + std::to_string(static_cast<int>(g.star()->snr));
        case Autoguider::Mode::Guiding:
        case Autoguider::Mode::Off:
            break;
    }
    if (!g.star()) return "STAR LOST";
    // Every other second the time left of a running exposure.
    if (auto left = g.exposureLeft(t); left && (t / 1000) % 2) return "EXPO " + minutes(*left);
    if (!g.lastDrift()) return "GUIDING";
    // Arcseconds per pixel of the guide camera at the HC's focal length.
    const double scale = 3.75e-3 / g.settings().focalLengthMm * 206264.8;
    char text[40];
    std::snprintf(text, sizeof text, "RA%+.1f\" DE%+.1f\"", g.lastDrift()->x * scale,
                  g.lastDrift()->y * scale);
    return text;
}

}  // namespace hcsim
