#pragma once

#include <array>
#include <cstdint>

#include "starloom/model/periodic_error.h"
#include "starloom/model/polar_geometry.h"
#include "starloom/model/seeing_table.h"
#include "starloom/model/sky_random.h"

namespace starloom {

// Guide output bits (the HC's ST-4 style outputs).
enum AgBits : unsigned {
    kAgRaPlus = 1u << 0,
    kAgRaMinus = 1u << 1,
    kAgDecPlus = 1u << 2,
    kAgDecMinus = 1u << 3,
    kAgAll = 0x0Fu,
};

struct ImageOffset {
    float dx = 0.0f;  // pixels
    float dy = 0.0f;
};

// The guide scope on an equatorial mount: turns the settings, the time, the drive's periodic
// error and the guide outputs into the image offset of each 10 ms step.
class MountModel {
public:
    static constexpr int kStepMs = 10;
    static constexpr int kHistory = 100;          // steps of RA commands remembered
    static constexpr int kMaxResponseDelay = 10;  // in 10-step units
    static constexpr int kDefaultFocalLength = 176;
    static constexpr float kDefaultAgSpeed = 0.5f;
    static constexpr float kSiderealRate = 15.04f;  // arcseconds per second

    MountModel();

    // Arcseconds per pixel for a focal length in mm.
    static float ImageScale(int focalLengthMm);

    // Focal lengths below 1 mm are refused (false) and leave the scale as it was.
    bool SetFocalLength(int focalLengthMm);
    // Fraction of the sidereal rate; negative keeps the current one.
    void SetAgSpeed(float fraction);
    // Angles in degrees.
    void SetPolarAlignment(bool southern, float poleAltitude, float altitudeError,
                           float azimuthError);
    // Puts the target this many seconds from the meridian now; clockMs < 0 means the
    // simulation clock has not started.
    void SetHourAngle(double seconds, int64_t clockMs, int64_t referenceMs);
    // Dead time of the DEC drive in seconds of guiding; negative or non-finite times count as 0.
    void SetBacklash(bool enabled, float seconds);
    // RA drive answers after steps x 10 ms (0 to 10); other values make RA guiding inert.
    void SetResponseDelay(int steps);
    void SetPeriodicError(int type, double hourAngleOffset, float amplitude, SkyRandom& random);
    // Normalised; a zero vector is ignored.
    void SetCameraAngle(float cosAngle, float sinAngle);
    void SetAgState(unsigned bits) { agState_ = bits & kAgAll; }
    void SetSeeingAmplitude(float arcseconds) { seeingAmplitude_ = arcseconds; }

    // Backlash position / DEC backlash, 0 to 1 (0 without backlash).
    float BacklashFraction() const;

    // What every emulation start clears: guide outputs, RA history, guide positions, hour
    // angle offset, camera orientation; the response kernel returns to a pulse at 0.
    void ResetGuideState();

    // One 10 ms step; clockMs has already advanced. Draws two numbers from the sky's
    // generator (they move the photon generator's future reseeds).
    ImageOffset MountStep(int64_t clockMs, int64_t referenceMs, SkyRandom& random,
                          const SeeingTable& seeing);

    float imageScale() const { return imageScale_; }
    float raGuideSpeed() const { return raGuideSpeed_; }
    float decGuideSpeed() const { return decGuideSpeed_; }
    float agSpeed() const { return agSpeed_; }
    int focalLength() const { return focalLength_; }
    const PolarAlignment& polarAlignment() const { return alignment_; }
    double hourAngleOffset() const { return hourAngleOffset_; }
    float decBacklash() const { return decBacklash_; }
    float backlashPosition() const { return backlashPosition_; }
    float raGuidePosition() const { return raGuidePosition_; }
    float decGuidePosition() const { return decGuidePosition_; }
    unsigned agState() const { return agState_; }
    float seeingAmplitude() const { return seeingAmplitude_; }
    const PeriodicErrorTable& periodicError() const { return periodicError_; }
    ImageOffset imageOffset() const { return imageOffset_; }
    // The polar geometry at this step's time.
    PolarView View(int64_t clockMs, int64_t referenceMs) const;

private:
    void UpdateGuideSpeeds();
    void StepRaGuide();
    void StepDecGuide();

    int focalLength_ = kDefaultFocalLength;
    float imageScale_ = 0.0f;
    float agSpeed_ = kDefaultAgSpeed;
    float raGuideSpeed_ = 0.0f;  // pixels per second
    float decGuideSpeed_ = 0.0f;
    PolarAlignment alignment_;
    double hourAngleOffset_ = 0.0;  // seconds
    float decBacklash_ = 0.0f;      // seconds
    float seeingAmplitude_ = 0.0f;  // arcseconds
    CameraOrientation camera_;

    unsigned agState_ = 0;
    std::array<int8_t, kHistory> raHistory_{};  // newest last
    std::array<float, kHistory> responseKernel_{};
    float raGuidePosition_ = 0.0f;   // pixels
    float decGuidePosition_ = 0.0f;  // pixels
    float backlashPosition_ = 0.0f;  // seconds, 0 to the DEC backlash
    PeriodicErrorTable periodicError_;
    ImageOffset imageOffset_;
};

}  // namespace starloom
