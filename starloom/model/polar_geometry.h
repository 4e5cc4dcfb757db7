#pragma once

namespace starloom {

struct PolarAlignment {
    bool southern = false;
    float poleAltitude = 45.0f;  // degrees: the observer's latitude
    float altitudeError = 0.0f;  // degrees: polar axis set higher than the pole
    float azimuthError = 0.0f;   // degrees: polar axis turned in azimuth
};

// Where the target drifts to when the mount turns about its misaligned axis while the sky
// turns about the true pole, and how the mount's RA and DEC axes lie in the camera image.
struct PolarView {
    float raDrift = 0.0f;   // pixels
    float decDrift = 0.0f;  // pixels
    float raX = 0.0f;       // image direction of +RA (M_RA)
    float raY = 0.0f;
    float decX = 0.0f;  // image direction of +DEC (M_DEC)
    float decY = 0.0f;
};

// Camera orientation as the rotation (m00, m01; m10, m11) = (a, b; -b, a).
struct CameraOrientation {
    float m00 = 1.0f;
    float m01 = 0.0f;
    float m10 = 0.0f;
    float m11 = 1.0f;
};

// hourAngleSeconds: elapsed simulation time plus the hour angle offset; 0 puts the target on
// the meridian. scale: arcseconds per pixel.
PolarView ComputePolarView(const PolarAlignment& alignment, double hourAngleSeconds, float scale,
                           const CameraOrientation& camera);

}  // namespace starloom
