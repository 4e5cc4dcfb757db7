#include "tools/vt5-skyframe/skyframe_run.h"

#include <fstream>
#include <memory>
#include <system_error>

#include "starloom/model/sensor.h"
#include "starloom/model/starloom_model.h"
#include "tools/vt5-skyframe/preview_png.h"

namespace skyframe {

namespace {

bool WriteBytes(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                std::ostream& err) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        err << "vt5-skyframe: cannot write " << path.string() << "\n";
        return false;
    }
    return true;
}

// The model as Starloom's start leaves it, with the dialog's settings applied in its order.
void SetUp(starloom::StarloomModel& model, const Options& o) {
    const float exposure = static_cast<float>(o.exposureMs) / 1000.0f;
    model.StartEmulation(o.seeingFile, exposure);
    model.sky().GenerateStarField(o.seed);
    starloom::MountModel& mount = model.mount();
    mount.SetAgSpeed(o.agSpeed);
    mount.SetFocalLength(o.focalLength);
    mount.SetPolarAlignment(o.southern, o.poleAltitude, o.altitudeError / 3600.0f,
                            o.azimuthError / 3600.0f);
    model.SetHourAngle(static_cast<double>(o.hourAngle) * 3600.0);
    mount.SetBacklash(o.backlash > 0.0f, o.backlash);
    mount.SetSeeingAmplitude(o.seeingAmplitude);
    mount.SetAgState(o.guide);
}

}  // namespace

int Run(const Options& o, std::ostream& out, std::ostream& err) {
    std::error_code ec;
    std::filesystem::create_directories(o.outDir, ec);
    if (ec) {
        err << "vt5-skyframe: cannot create " << o.outDir.string() << ": " << ec.message() << "\n";
        return 1;
    }
    if (!o.seeingFile.empty() && !std::ifstream(o.seeingFile)) {
        err << "vt5-skyframe: cannot read the seeing table " << o.seeingFile.string() << "\n";
        return 1;
    }

    auto model = std::make_unique<starloom::StarloomModel>();
    SetUp(*model, o);
    starloom::FrameSynth& frames = model->frames();
    out << "stars: " << model->sky().starCount() << "\n";
    if (!o.seeingFile.empty()) {
        out << "seeing samples: " << model->sky().seeing().count() << "\n";
    }

    for (int n = 1; n <= o.frames; ++n) {
        // The HC's requests: an exposure start, then the frame request at its end.
        const int64_t start = o.startMs + static_cast<int64_t>(n - 1) * o.intervalMs;
        frames.AdvanceTo(start);
        frames.StartExposure(start, static_cast<float>(o.exposureMs) / 1000.0f, o.gain);
        const int64_t end = frames.exposureEnd();
        frames.AdvanceTo(end);
        frames.FinishFrame(end);

        const std::string stem = "frame-" + std::to_string(n);
        const std::span<const uint8_t> bytes = frames.FrameBytes();
        std::string error;
        if (!WriteBytes(o.outDir / (stem + ".bin"), bytes, err)) return 1;
        if (!WritePreviewPng(frames.frameImage(), starloom::kSensorWidth, starloom::kSensorHeight,
                             o.view, o.outDir / (stem + ".png"), error)) {
            err << "vt5-skyframe: " << error << "\n";
            return 1;
        }
        const starloom::ImageOffset offset = model->mount().imageOffset();
        out << stem << ": t " << start << " ms, photons " << frames.photonsEmitted()
            << ", on the sensor " << frames.photonsOnSensor() << ", " << bytes.size()
            << " bytes, image offset (" << offset.dx << ", " << offset.dy << ") px\n";
    }
    return 0;
}

}  // namespace skyframe
