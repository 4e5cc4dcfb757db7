#include "hcsim/camera/camera_emulation_family.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>

#include "hcsim/card/file_system_family.h"
#include "hcsim/hc/hc_device.h"

namespace hcsim {

using namespace protocol;
using camera::Autoguider;

namespace {

constexpr const char* kHelp =
    "guider | guider set exposure|gain|focal-length|ra-p|ra-i|ra-tolerance|dec-p|"
    "dec-tolerance|max-pulse|calibration-step|calibration-distance VALUE | calibrate | "
    "guide start|stop | expose SECONDS|stop";

std::string reply(const std::string& problem) {
    return problem.empty() ? "ok" : "error: " + problem;
}

std::optional<double> decimal(const std::string& word, double min, double max) {
    if (word.empty()) return std::nullopt;
    char* end = nullptr;
    double v = std::strtod(word.c_str(), &end);
    if (*end || !std::isfinite(v) || v < min || v > max) return std::nullopt;
    return v;
}

}  // namespace

CameraEmulationFamily::CameraEmulationFamily(HcDevice& hc) : hc_(hc) {
    log_.setClock([this](int64_t ms) { return origin_ + platform::Millis(ms); });
}

void CameraEmulationFamily::addCommands(HcMode mode, CommandTable& table) {
    if (mode != HcMode::Firmware) return;
    table.add({kCameraEmulation,
               {{kStart, 0}, {kStop, 0}, {kEvents, 0}},
               kFrameLimit,
               [this](const Call& call, Answer& answer) { handle(call, answer); }});
}

void CameraEmulationFamily::restart() {
    guider_.reset(lastMs_);
}

void CameraEmulationFamily::started(HcMode, platform::TimePoint at) {
    origin_ = at;
    lastMs_ = 0;
}

int64_t CameraEmulationFamily::hcMs(platform::TimePoint t) const {
    if (t <= origin_) return 0;
    return std::chrono::duration_cast<platform::Millis>(t - origin_).count();
}

void CameraEmulationFamily::onTick(platform::TimePoint now, Bytes&) {
    lastMs_ = hcMs(now);
    guider_.advanceTo(lastMs_);
}

platform::TimePoint CameraEmulationFamily::nextEvent() const {
    auto next = guider_.nextEvent();
    return next ? origin_ + platform::Millis(*next) : platform::TimePoint::max();
}

camera::LogIdentity CameraEmulationFamily::identity() const {
    const HcConfig& config = hc_.config();
    camera::LogIdentity who;
    for (uint8_t c : uniqueIdOf(config)) {
        if (!c) break;
        who.hcUid += static_cast<char>(c);
    }
    char text[16];
    std::snprintf(text, sizeof text, "%04u", unsigned{config.hardwareId});
    who.hardware = text;
    std::snprintf(text, sizeof text, "%x.%02x", config.firmwareVersion >> 8,
                  config.firmwareVersion & 0xFFu);
    who.firmware = text;
    if (auto* fileSystem = hc_.family<FileSystemFamily>()) who.card = &fileSystem->card();
    who.cardFolder = config.cardDir;
    return who;
}

void CameraEmulationFamily::handle(const Call& call, Answer& answer) {
    const int64_t now = hcMs(call.at);
    lastMs_ = now;
    guider_.advanceTo(now);
    for (const Param& p : call.message.params) {
        if (p.id == kStart) {
            guider_.start(now, identity());
            Bytes time;
            appendLe32(time, static_cast<uint32_t>(now));
            answer.add(kEvents, time);
        } else if (p.id == kStop) {
            guider_.stop(now);
        } else if (p.id == kEvents) {
            if (!guider_.running()) {
                answer.refuse(kCannotExecute);
                return;
            }
            guider_.events().collect(answer, kMaxMessage - kAnswerHeader - answer.entries.size());
        }
    }
    if (call.message.bulkSize) {
        if (!guider_.running()) {
            answer.refuse(kCannotExecute);
            return;
        }
        guider_.frameReceived(now, call.message.bulk.data(), call.message.bulk.size());
    }
}

std::string CameraEmulationFamily::status() const {
    const Autoguider& g = guider_;
    std::ostringstream s;
    s << "ok emulation=" << (g.running() ? "on" : "off")
      << " mode=" << Autoguider::modeName(g.mode());
    if (g.star())
        s << " star=" << camera::fixed(g.star()->x, 2) << ',' << camera::fixed(g.star()->y, 2)
          << " fwhm=" << camera::fixed(g.star()->fwhm, 2)
          << " snr=" << camera::fixed(g.star()->snr, 1);
    else
        s << " star=none";
    if (g.calibration())
        s << " calibrated=yes ra-rate=" << camera::fixed(g.calibration()->raRate, 3)
          << " dec-rate=" << camera::fixed(g.calibration()->decRate, 3);
    else
        s << " calibrated=no";
    const auto& c = g.counters();
    s << " outputs=" << g.outputs()
      << " exposure=" << Autoguider::mainExposureName(g.mainExposure())
      << " exposures=" << c.exposures << " frames=" << c.frames << " empty=" << c.empty
      << " invalid=" << c.invalid << " missed=" << c.missed << " unasked=" << c.unasked
      << " events=" << g.events().size();
    if (!g.log().path().empty()) s << " log=" << g.log().path().string();
    if (!g.log().error().empty()) s << " log-error=\"" << g.log().error() << '"';
    if (!g.lastError().empty()) s << " error=\"" << g.lastError() << '"';
    return s.str();
}

std::string CameraEmulationFamily::set(const std::string& name, const std::string& value,
                                       int64_t now) {
    auto& s = guider_.settings();
    struct Setting {
        const char* name;
        double min, max;
        std::function<void(double)> apply;
    };
    const Setting settings[] = {
        {"exposure", 10, camera::kMaxExposureMs, [&](double v) { s.exposureMs = int(v); }},
        {"gain", 0, 9, [&](double v) { s.gainIndex = int(v); }},
        {"focal-length", 1, 20000, [&](double v) { s.focalLengthMm = int(v); }},
        {"ra-p", 0, 2, [&](double v) { s.guide.raP = float(v); }},
        {"ra-i", 0, 1, [&](double v) { s.guide.raI = float(v); }},
        {"ra-tolerance", 0, 20, [&](double v) { s.guide.raTolerance = float(v); }},
        {"dec-p", 0, 2, [&](double v) { s.guide.decP = float(v); }},
        {"dec-tolerance", 0, 20, [&](double v) { s.guide.decTolerance = float(v); }},
        {"max-pulse", 10, 10000, [&](double v) { s.guide.maxPulseMs = int(v); }},
        {"calibration-step", 10, 10000, [&](double v) { s.calibration.stepMs = int(v); }},
        {"calibration-distance", 2, 200, [&](double v) { s.calibration.distance = v; }},
    };
    for (const Setting& setting : settings) {
        if (name != setting.name) continue;
        auto v = decimal(value, setting.min, setting.max);
        if (!v) {
            std::ostringstream range;
            range << name << " takes " << setting.min << " to " << setting.max;
            return range.str();
        }
        setting.apply(*v);
        if (name == "ra-p" || name == "ra-i") guider_.trimmed(now);
        return {};
    }
    return "unknown setting " + name;
}

std::optional<std::string> CameraEmulationFamily::control(const std::vector<std::string>& w,
                                                          platform::TimePoint now, Bytes&) {
    const std::string& verb = w[0];
    if (verb != "guider" && verb != "calibrate" && verb != "guide" && verb != "expose")
        return std::nullopt;
    const int64_t t = hcMs(now);
    guider_.advanceTo(t);
    if (verb == "guider") {
        if (w.size() == 1) return status();
        if (w.size() == 4 && w[1] == "set") return reply(set(w[2], w[3], t));
        return reply("usage: guider | guider set NAME VALUE");
    }
    if (verb == "calibrate") {
        if (w.size() != 1) return reply("usage: calibrate");
        return reply(guider_.calibrate(t));
    }
    if (verb == "guide") {
        if (w.size() == 2 && w[1] == "start") return reply(guider_.startGuiding(t));
        if (w.size() == 2 && w[1] == "stop") return reply(guider_.stopGuiding(t));
        return reply("usage: guide start|stop");
    }
    if (w.size() == 2 && w[1] == "stop") return reply(guider_.endExposure(t));
    auto seconds = w.size() == 2 ? decimal(w[1], 1, 86400) : std::nullopt;
    if (!seconds || *seconds != std::floor(*seconds))
        return reply("usage: expose SECONDS (1 to 86400) | expose stop");
    return reply(guider_.expose(t, static_cast<int>(*seconds)));
}

std::string CameraEmulationFamily::controlHelp() const {
    return kHelp;
}

}  // namespace hcsim
