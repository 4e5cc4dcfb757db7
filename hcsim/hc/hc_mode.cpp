#include "hcsim/hc/hc_mode.h"

namespace hcsim {

const char* modeName(HcMode mode) {
    switch (mode) {
        case HcMode::Off:
            return "off";
        case HcMode::Firmware:
            return "firmware";
        case HcMode::Boot:
            return "boot";
    }
    return "off";
}

std::optional<HcMode> parseMode(std::string_view name) {
    if (name == "off") return HcMode::Off;
    if (name == "firmware") return HcMode::Firmware;
    if (name == "boot") return HcMode::Boot;
    return std::nullopt;
}

}  // namespace hcsim
