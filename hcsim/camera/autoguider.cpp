#include "hcsim/camera/autoguider.h"

#include <algorithm>
#include <array>

namespace hcsim::camera {
namespace {

constexpr int64_t kCameraConnectMs = 50;   // from the emulation start to the first exposure
constexpr int64_t kBacklogRetryMs = 1000;  // the PC is not collecting: look again later
constexpr const char* kCameraUid = "VC5-EMULATED";
// Refusals are short: they also go onto the HC's bottom line.
constexpr const char* kNoCamera = "camera emulation off";

// Electrons per pixel value unit of the camera's 12-bit gains.
constexpr std::array<double, 10> kGains{4.579,  3.6599, 3.0641, 2.2977, 1.8401,
                                        1.5422, 1.1532, 0.9266, 0.7777, 0.5839};

Pulses pulseOf(const Calibration::Move& move) {
    switch (move.output) {
        case kRaPlus:
            return {move.ms, 0};
        case kRaMinus:
            return {-move.ms, 0};
        case kDecPlus:
            return {0, move.ms};
        default:
            return {0, -move.ms};
    }
}

}  // namespace

const char* Autoguider::modeName(Mode mode) {
    switch (mode) {
        case Mode::Off:
            return "off";
        case Mode::Looping:
            return "looping";
        case Mode::Calibrating:
            return "calibrating";
        case Mode::Guiding:
            return "guiding";
    }
    return "off";
}

const char* Autoguider::mainExposureName(MainExposure state) {
    switch (state) {
        case MainExposure::Idle:
            return "IDLE";
        case MainExposure::Exposing:
            return "EXPO";
        case MainExposure::Readout:
            return "READOUT";
    }
    return "IDLE";
}

void Autoguider::start(int64_t now, const LogIdentity& who) {
    if (running()) stop(now);
    events_.clear();
    mode_ = Mode::Looping;
    camera_ = Camera::Waiting;
    cameraAt_ = now + kCameraConnectMs;
    frameNumber_ = 0;
    star_.reset();
    track_.reset();
    lock_.reset();
    lastDrift_.reset();
    lostFrames_ = 0;
    wantCalibration_ = wantGuiding_ = false;
    pendingExposure_.reset();
    mainExposure_ = MainExposure::Idle;
    counters_ = {};
    lastError_.clear();
    std::string error;
    if (!log_.open(who.card, who.cardFolder, now, error)) {
        lastError_ = "no guiding log: " + error;
        return;
    }
    log_.write(now, "LOG START", {who.hcUid, who.hardware, who.firmware});
    log_.write(now, "CAM CONN", {kCameraUid, "1288x968", "12bit"});
    log_.write(now, "CAM BIN", {"1"});
    if (calibration_) logCalibration(now);
}

void Autoguider::stop(int64_t now) {
    if (!running()) return;
    advanceTo(now);
    outputs_.allOff(now);
    if (mode_ == Mode::Guiding) log_.write(now, "AG STOP");
    if (mainExposure_ != MainExposure::Idle) setMainExposure(now, MainExposure::Idle, 0);
    log_.write(now, "LOG STOP");
    log_.close(now);
    mode_ = Mode::Off;
    camera_ = Camera::Idle;
    events_.clear();
    wantCalibration_ = wantGuiding_ = false;
    pendingExposure_.reset();
}

std::optional<int64_t> Autoguider::exposureLeft(int64_t now) const {
    if (mainExposure_ != MainExposure::Exposing) return std::nullopt;
    return std::max<int64_t>(mainAt_ - now, 0);
}

void Autoguider::reset(int64_t now) {
    stop(now);
    calibration_.reset();
    lock_.reset();
}

std::optional<int64_t> Autoguider::nextEvent() const {
    if (!running()) return std::nullopt;
    std::optional<int64_t> next = outputs_.nextChange();
    auto earlier = [&](int64_t t) { next = next ? std::min(*next, t) : t; };
    if (mainExposure_ != MainExposure::Idle) earlier(mainAt_);
    if (camera_ != Camera::Idle) earlier(cameraAt_);
    return next;
}

void Autoguider::advanceTo(int64_t now) {
    for (auto t = nextEvent(); t && *t <= now; t = nextEvent()) {
        // At equal times: outputs, then the main camera, then the guide camera.
        if (outputs_.nextChange() == t) {
            outputs_.advanceTo(*t);
        } else if (mainExposure_ != MainExposure::Idle && mainAt_ == *t) {
            if (mainExposure_ == MainExposure::Exposing) {
                setMainExposure(*t, MainExposure::Readout, 0);
                mainAt_ = *t + settings_.readoutMs;
            } else {
                setMainExposure(*t, MainExposure::Idle, 0);
            }
        } else if (camera_ == Camera::Waiting) {
            startExposure(*t);
        } else if (camera_ == Camera::Exposing) {
            requestFrame(*t);
        } else {
            ++counters_.missed;
            log_.write(*t, "CAM ERROR", {"frame missing"});
            frameDone(*t, false);
        }
    }
}

void Autoguider::startExposure(int64_t at) {
    if (events_.backlogged()) {
        cameraAt_ = at + kBacklogRetryMs;
        return;
    }
    exposureMs_ = std::clamp(settings_.exposureMs, 1, int{kMaxExposureMs});
    const auto gain = static_cast<uint8_t>(std::clamp(settings_.gainIndex, 0, 9));
    events_.push(
        exposureStartEvent(static_cast<uint32_t>(at), static_cast<uint16_t>(exposureMs_), gain));
    ++counters_.exposures;
    camera_ = Camera::Exposing;
    cameraAt_ = at + exposureMs_;
}

void Autoguider::requestFrame(int64_t at) {
    events_.push({kEventFrameRequest, static_cast<uint32_t>(at), {}});
    camera_ = Camera::AwaitingFrame;
    cameraAt_ = at + settings_.frameTimeoutMs;
}

bool Autoguider::frameReceived(int64_t now, const uint8_t* data, size_t size) {
    advanceTo(now);
    if (camera_ != Camera::AwaitingFrame) {
        ++counters_.unasked;
        return false;
    }
    DecodedFrame decoded = decodeFrame(data, size, image_);
    switch (decoded.kind) {
        case FrameKind::Image:
            ++counters_.frames;
            break;
        case FrameKind::Empty:
            ++counters_.empty;
            break;
        case FrameKind::Invalid:
            ++counters_.invalid;
            lastError_ = "bad frame: " + decoded.error;
            log_.write(now, "CAM ERROR", {lastError_});
            break;
    }
    frameDone(now, decoded.kind == FrameKind::Image);
    return true;
}

void Autoguider::frameDone(int64_t now, bool decoded) {
    ++frameNumber_;
    takeStar(decoded);
    logFrame(now);
    switch (mode_) {
        case Mode::Looping:
            looping(now);
            break;
        case Mode::Calibrating:
            calibrating(now);
            break;
        case Mode::Guiding:
            guiding(now);
            break;
        case Mode::Off:
            break;
    }
    camera_ = Camera::Waiting;
    cameraAt_ = outputs_.idleFrom(now);
}

void Autoguider::takeStar(bool decoded) {
    star_.reset();
    if (decoded) {
        const Background bg = estimateBackground(image_);
        StarSearch search;
        search.electronsPerUnit =
            kGains[static_cast<size_t>(std::clamp(settings_.gainIndex, 0, 9))];
        if (track_) {
            auto m =
                measureStarNear(image_, bg, search, track_->x, track_->y, settings_.searchRadius);
            if (m && m->snr >= kMinGuideSnr) star_ = m;
        } else {
            star_ = findGuideStar(image_, bg, search);
        }
    }
    if (star_) {
        track_ = Point{star_->x, star_->y};
        lostFrames_ = 0;
    } else if (track_ && ++lostFrames_ > settings_.maxLostFrames && mode_ == Mode::Looping) {
        // Gone for good: the next frame picks a new guide star, with a lock of its own.
        track_.reset();
        lock_.reset();
    }
}

void Autoguider::logFrame(int64_t now) {
    const double fwhm = star_ ? star_->fwhm : 0.0;
    const double snr = star_ ? star_->snr : 0.0;
    log_.write(
        now, "CAM FRAME",
        {std::to_string(frameNumber_), std::to_string(exposureMs_), fixed(fwhm, 2), fixed(snr, 1)});
}

void Autoguider::logDrift(int64_t now, double& ra, double& dec) {
    calibration_->split(star_->x - lock_->x, star_->y - lock_->y, ra, dec);
    lastDrift_ = Point{ra, dec};
    log_.write(now, "AG DRIFT", {fixed(ra, 3), fixed(dec, 3)});
}

void Autoguider::logCalibration(int64_t now) {
    const auto c = calibration_->values();
    log_.write(now, "CALIB RESULT",
               {fixed(c[0], 4), fixed(c[1], 4), fixed(c[2], 4), fixed(c[3], 4), fixed(c[4], 4),
                fixed(c[5], 4)});
}

void Autoguider::looping(int64_t now) {
    if (!star_) return;
    if (wantCalibration_ || (wantGuiding_ && !calibration_)) {
        beginCalibration(now);
        return;
    }
    if (!calibration_) return;
    if (!lock_) lock_ = Point{star_->x, star_->y};
    double ra = 0, dec = 0;
    logDrift(now, ra, dec);
    if (wantGuiding_) beginGuiding(now);
}

void Autoguider::beginCalibration(int64_t now) {
    wantCalibration_ = false;
    calibration_.reset();
    lock_.reset();
    mode_ = Mode::Calibrating;
    calibrator_ = Calibration(settings_.calibration);
    Calibration::Move move = calibrator_.begin({star_->x, star_->y});
    events_.push(calibrationStepEvent(static_cast<uint32_t>(now), move.stepValue));
    outputs_.pulse(now, pulseOf(move));
}

void Autoguider::calibrating(int64_t now) {
    if (!star_) {
        if (lostFrames_ > settings_.maxLostFrames) {
            calibrator_ = Calibration(settings_.calibration);
            lastError_ = "calibration failed: the star was lost";
            events_.push(
                calibrationStepEvent(static_cast<uint32_t>(now), Calibration::kFailedStep));
            log_.write(now, "CALIB FAIL", {"the star was lost"});
            mode_ = Mode::Looping;
            wantGuiding_ = false;
            pendingExposure_.reset();
        }
        return;
    }
    if (auto move = calibrator_.next({star_->x, star_->y})) {
        events_.push(calibrationStepEvent(static_cast<uint32_t>(now), move->stepValue));
        outputs_.pulse(now, pulseOf(*move));
        return;
    }
    finishCalibration(now);
}

void Autoguider::finishCalibration(int64_t now) {
    mode_ = Mode::Looping;
    if (calibrator_.phase() != Calibration::Phase::Done) {
        lastError_ = "calibration failed: " + calibrator_.failure();
        events_.push(calibrationStepEvent(static_cast<uint32_t>(now), Calibration::kFailedStep));
        log_.write(now, "CALIB FAIL", {calibrator_.failure()});
        wantGuiding_ = false;
        pendingExposure_.reset();
        return;
    }
    calibration_ = calibrator_.result();
    events_.push(calibrationStepEvent(static_cast<uint32_t>(now), Calibration::kDoneStep));
    logCalibration(now);
    lock_ = Point{star_->x, star_->y};
    if (wantGuiding_) beginGuiding(now);
}

const char* Autoguider::agMode() const {
    return calibration_ && calibration_->decCalibrated() ? "RA+DEC" : "RA";
}

void Autoguider::beginGuiding(int64_t now) {
    mode_ = Mode::Guiding;
    lock_ = Point{star_->x, star_->y};
    controller_.reset();
    const GuideParameters& g = settings_.guide;
    log_.write(now, "AG START",
               {agMode(), fixed(g.raP, 2), fixed(g.raI, 2), fixed(g.raTolerance, 2),
                fixed(g.decP, 2), fixed(g.decTolerance, 2), fixed(settings_.focalLengthMm, 1)});
    if (pendingExposure_) {
        beginMainExposure(now, *pendingExposure_);
        pendingExposure_.reset();
    }
}

void Autoguider::guiding(int64_t now) {
    if (!star_) return;  // lost: hold the outputs off and wait for it to come back
    double ra = 0, dec = 0;
    logDrift(now, ra, dec);
    outputs_.pulse(now, controller_.correct(ra, dec, *calibration_, settings_.guide));
}

void Autoguider::beginMainExposure(int64_t now, int seconds) {
    setMainExposure(now, MainExposure::Exposing, seconds);
    mainAt_ = now + int64_t{seconds} * 1000;
}

void Autoguider::setMainExposure(int64_t at, MainExposure state, int seconds) {
    mainExposure_ = state;
    log_.write(at, "EXPO STATE", {mainExposureName(state), std::to_string(seconds)});
}

std::string Autoguider::calibrate(int64_t now) {
    advanceTo(now);
    if (!running()) return kNoCamera;
    if (mode_ == Mode::Guiding) return "stop guiding first";
    if (mode_ == Mode::Calibrating) return "calibrating already";
    wantCalibration_ = true;
    return {};
}

std::string Autoguider::startGuiding(int64_t now) {
    advanceTo(now);
    if (!running()) return kNoCamera;
    if (mode_ == Mode::Guiding) return "guiding already";
    wantGuiding_ = true;
    return {};
}

std::string Autoguider::stopGuiding(int64_t now) {
    advanceTo(now);
    if (!running()) return kNoCamera;
    if (mode_ == Mode::Guiding) {
        outputs_.allOff(now);
        log_.write(now, "AG STOP");
    } else if (mode_ == Mode::Calibrating) {
        outputs_.allOff(now);
        events_.push(calibrationStepEvent(static_cast<uint32_t>(now), Calibration::kFailedStep));
        log_.write(now, "CALIB FAIL", {"stopped"});
    }
    mode_ = Mode::Looping;
    wantCalibration_ = wantGuiding_ = false;
    pendingExposure_.reset();
    return {};
}

std::string Autoguider::expose(int64_t now, int seconds) {
    advanceTo(now);
    if (!running()) return kNoCamera;
    if (seconds < 1) return "1 s at least";
    if (mainExposure_ != MainExposure::Idle || pendingExposure_) return "exposure running";
    if (mode_ == Mode::Guiding) {
        beginMainExposure(now, seconds);
    } else {
        pendingExposure_ = seconds;
        wantGuiding_ = true;
    }
    return {};
}

std::string Autoguider::endExposure(int64_t now) {
    advanceTo(now);
    if (pendingExposure_) {
        pendingExposure_.reset();
        return {};
    }
    if (mainExposure_ != MainExposure::Exposing) return "no exposure running";
    setMainExposure(now, MainExposure::Readout, 0);
    mainAt_ = now + settings_.readoutMs;
    return {};
}

void Autoguider::trimmed(int64_t now) {
    advanceTo(now);
    if (mode_ == Mode::Guiding)
        log_.write(now, "AG TRIM", {fixed(settings_.guide.raP, 2), fixed(settings_.guide.raI, 2)});
}

}  // namespace hcsim::camera
