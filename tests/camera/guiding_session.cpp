#include "tests/camera/guiding_session.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

#include "hcsim/camera/camera_emulation_family.h"
#include "vt5api/commands/file_system.h"

namespace camtest {

namespace fs = std::filesystem;
using hcsim::CameraEmulationFamily;

LogDrifts driftsOf(const fs::path& log) {
    LogDrifts d;
    enum { Before, Unguided, Guided } phase = Before;
    double sums[2][2] = {};
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> f;
        std::stringstream s(line);
        for (std::string field; std::getline(s, field, '\t');)
            f.push_back(field);
        if (f.size() < 3) continue;
        if (f[2] == "CALIB RESULT" && phase == Before) phase = Unguided;
        if (f[2] == "AG START") phase = Guided;
        if (f[2] != "AG DRIFT" || phase == Before || f.size() < 5) continue;
        const int k = phase == Guided;
        DriftRms& r = k ? d.guided : d.unguided;
        ++r.frames;
        sums[k][0] += std::pow(std::stod(f[3]), 2);
        sums[k][1] += std::pow(std::stod(f[4]), 2);
    }
    for (int k = 0; k < 2; ++k) {
        DriftRms& r = k ? d.guided : d.unguided;
        if (!r.frames) continue;
        r.ra = std::sqrt(sums[k][0] / r.frames);
        r.dec = std::sqrt(sums[k][1] / r.frames);
    }
    return d;
}

std::string downloadFromCard(CVT5Api& api, const std::string& cardPath, const fs::path& to) {
    int32_t status = 0;
    if (int32_t r = VT5cmd_FS_Open(&api, cardPath.c_str(), VT5_FS_OPEN_READ, &status))
        return "open " + cardPath + ": " + std::to_string(r) + " status " + std::to_string(status);
    std::ofstream out(to, std::ios::binary);
    std::vector<char> piece(VT5_FS_PIECE);
    for (;;) {
        int32_t got = 0;
        if (int32_t r = VT5cmd_FS_Read(&api, piece.data(), VT5_FS_PIECE, &got, &status))
            return "read: " + std::to_string(r) + " status " + std::to_string(status);
        out.write(piece.data(), got);
        if (got < VT5_FS_PIECE) break;
    }
    if (int32_t r = VT5cmd_FS_Close(&api, &status)) return "close: " + std::to_string(r);
    return out ? "" : "cannot write " + to.string();
}

GuidingSession::GuidingSession() {
    hcsim::HcConfig config;
    config.serial = kSerial;
    config.cardDir = bus_.dir().path() / "card";
    fs::create_directories(config.cardDir);
    hc_ = std::make_unique<hcsim::SimulatedHc>(bus_.bus(), config);
}

hcsim::camera::Autoguider::Mode GuidingSession::mode() {
    return hc_->with(
        [](hcsim::HcDevice& d) { return d.family<CameraEmulationFamily>()->autoguider().mode(); });
}

fs::path GuidingSession::logPath() {
    return hc_->with([](hcsim::HcDevice& d) {
        return d.family<CameraEmulationFamily>()->autoguider().log().path();
    });
}

int32_t GuidingSession::run(starloom::EmulationLoop& loop, int64_t ms,
                            const std::function<bool()>& until) {
    for (int64_t t = 0; t < ms; t += kStepMs) {
        if (until && until()) return 0;
        if (int32_t result = loop.Step()) return result;
        platform::sleepMs(kStepMs);
    }
    return 0;
}

std::string GuidingSession::calibrateDriftAndGuide(CVT5Api& api,
                                                   const starloom::EmulationSettings& settings,
                                                   int64_t unguidedMs, int exposeSeconds) {
    using Mode = hcsim::camera::Autoguider::Mode;
    auto model = std::make_unique<starloom::StarloomModel>();
    starloom::EmulationLoop loop(api, *model);
    auto failed = [](const char* step, int32_t code) {
        return std::string(step) + " failed with " + std::to_string(code);
    };
    bool boot = true;
    if (int32_t r = loop.CheckFirmware(boot)) return failed("the protocol version", r);
    if (boot) return "the HC runs its boot loader";
    if (int32_t r = loop.Begin([&] { loop.ApplyAll(settings); })) return failed("the start", r);

    const std::string ok = "ok";
    if (int32_t r = run(loop, 6000)) return failed("a step", r);
    if (control("calibrate") != ok) return "calibrate: " + control("guider");
    // Calibration begins with the next frame and ends back in looping.
    bool begun = false;
    auto calibrated = [&] {
        begun = begun || mode() == Mode::Calibrating;
        return begun && mode() != Mode::Calibrating;
    };
    if (int32_t r = run(loop, 300'000, calibrated)) return failed("a step", r);
    if (control("guider").find("calibrated=yes") == std::string::npos)
        return "not calibrated: " + control("guider");
    if (int32_t r = run(loop, unguidedMs)) return failed("a step", r);
    if (control("expose " + std::to_string(exposeSeconds)) != ok)
        return "expose: " + control("guider");
    // The exposure, its readout and a little more.
    if (int32_t r = run(loop, exposeSeconds * 1000 + 6000)) return failed("a step", r);
    if (mode() != Mode::Guiding) return "not guiding: " + control("guider");
    if (int32_t r = loop.End()) return failed("the stop", r);
    return {};
}

}  // namespace camtest
