#include "starloom/model/mount_model.h"

#include <algorithm>
#include <cmath>

#include "starloom/model/sensor.h"

namespace starloom {

MountModel::MountModel() {
    imageScale_ = ImageScale(focalLength_);
    UpdateGuideSpeeds();
    responseKernel_[0] = 1.0f;
}

float MountModel::ImageScale(int focalLengthMm) {
    return static_cast<float>(kPixelSizeUm) / (static_cast<float>(focalLengthMm) * 1000.0f) *
           360.0f / 6.2831855f * 3600.0f;
}

bool MountModel::SetFocalLength(int focalLengthMm) {
    if (focalLengthMm < 1) return false;
    focalLength_ = focalLengthMm;
    imageScale_ = ImageScale(focalLengthMm);
    UpdateGuideSpeeds();
    return true;
}

void MountModel::SetAgSpeed(float fraction) {
    if (fraction >= 0.0f) agSpeed_ = fraction;
    UpdateGuideSpeeds();
}

void MountModel::UpdateGuideSpeeds() {
    raGuideSpeed_ = kSiderealRate / imageScale_ * agSpeed_;
    decGuideSpeed_ = raGuideSpeed_;
}

void MountModel::SetPolarAlignment(bool southern, float poleAltitude, float altitudeError,
                                   float azimuthError) {
    alignment_ = {southern, poleAltitude, altitudeError, azimuthError};
}

void MountModel::SetHourAngle(double seconds, int64_t clockMs, int64_t referenceMs) {
    hourAngleOffset_ =
        clockMs < 0 ? seconds : seconds - static_cast<double>(clockMs - referenceMs) / 1000.0;
}

void MountModel::SetBacklash(bool enabled, float seconds) {
    decBacklash_ = enabled && seconds > 0.0f && std::isfinite(seconds) ? seconds : 0.0f;
    backlashPosition_ = backlashPosition_ < 0.0f ? 0.0f : std::min(backlashPosition_, decBacklash_);
}

void MountModel::SetResponseDelay(int steps) {
    responseKernel_.fill(0.0f);
    if (steps >= 0 && steps <= kMaxResponseDelay) {
        responseKernel_[std::min(10 * steps, kHistory - 1)] = 1.0f;
    }
}

void MountModel::SetPeriodicError(int type, double hourAngleOffset, float amplitude,
                                  SkyRandom& random) {
    hourAngleOffset_ = hourAngleOffset;
    raGuidePosition_ = 0.0f;
    decGuidePosition_ = 0.0f;
    BuildPeriodicError(periodicError_, type, amplitude, random);
}

void MountModel::SetCameraAngle(float cosAngle, float sinAngle) {
    const float length = std::sqrt(cosAngle * cosAngle + sinAngle * sinAngle);
    if (!(length > 0.0f) || !std::isfinite(length)) return;
    const float a = cosAngle / length;
    const float b = sinAngle / length;
    camera_ = {a, b, -b, a};
}

float MountModel::BacklashFraction() const {
    if (decBacklash_ <= 1e-6f) return 0.0f;
    return std::clamp(backlashPosition_ / decBacklash_, 0.0f, 1.0f);
}

void MountModel::ResetGuideState() {
    agState_ = 0;
    SetCameraAngle(1.0f, 0.0f);
    hourAngleOffset_ = 0.0;
    imageOffset_ = {};
    raGuidePosition_ = 0.0f;
    decGuidePosition_ = 0.0f;
    raHistory_.fill(0);
    responseKernel_.fill(0.0f);
    responseKernel_[0] = 1.0f;
}

PolarView MountModel::View(int64_t clockMs, int64_t referenceMs) const {
    const double elapsed = static_cast<double>(clockMs - referenceMs) / 1000.0;
    return ComputePolarView(alignment_, elapsed + hourAngleOffset_, imageScale_, camera_);
}

void MountModel::StepRaGuide() {
    std::copy(raHistory_.begin() + 1, raHistory_.end(), raHistory_.begin());
    const bool plus = (agState_ & kAgRaPlus) != 0;
    const bool minus = (agState_ & kAgRaMinus) != 0;
    raHistory_.back() = static_cast<int8_t>(plus == minus ? 0 : plus ? 1 : -1);

    float response = 0.0f;
    for (int i = 0; i < kHistory; ++i)
        response += raHistory_[kHistory - 1 - i] * responseKernel_[i];
    raGuidePosition_ += raGuideSpeed_ * response * kStepMs * 0.001;
}

void MountModel::StepDecGuide() {
    if (agState_ & kAgDecPlus) backlashPosition_ += 0.01;
    if (agState_ & kAgDecMinus) backlashPosition_ -= 0.01;
    // The drive moves only for the guiding that pushes it past either end of its play.
    float excess = 0.0f;
    if (backlashPosition_ > decBacklash_) {
        excess = backlashPosition_ - decBacklash_;
        backlashPosition_ = decBacklash_;
    } else if (backlashPosition_ < 0.0f) {
        excess = backlashPosition_;
        backlashPosition_ = 0.0f;
    }
    decGuidePosition_ += decGuideSpeed_ * excess;
}

ImageOffset MountModel::MountStep(int64_t clockMs, int64_t referenceMs, SkyRandom& random,
                                  const SeeingTable& seeing) {
    const PolarView view = View(clockMs, referenceMs);
    StepRaGuide();
    StepDecGuide();
    const float pe = periodicError_.At(static_cast<double>(clockMs - referenceMs) / 1000.0);
    random.rand();
    random.rand();
    const SeeingSample sample = SeeingOffset(seeing, clockMs).value_or(SeeingSample{0.0f, 0.0f});

    const float ra = view.raDrift + raGuidePosition_ + pe / imageScale_;
    const float dec = view.decDrift + decGuidePosition_;
    ImageOffset offset{view.raX * ra + view.decX * dec, view.raY * ra + view.decY * dec};

    const float seeingRa = seeingAmplitude_ * sample.column2 / imageScale_;
    const float seeingDec = seeingAmplitude_ * sample.column1 / imageScale_;
    offset.dx += view.raX * seeingRa + view.decX * seeingDec;
    offset.dy += view.raY * seeingRa + view.decY * seeingDec;
    imageOffset_ = offset;
    return offset;
}

}  // namespace starloom
