#pragma once

#include "hcsim/camera/calibration.h"

namespace hcsim::camera {

// The guide algorithm's settings as the HC's menu offers them (and the log records them).
struct GuideParameters {
    float raP = 0.7f;            // share of the RA drift corrected at once
    float raI = 0.1f;            // share of the summed RA drift corrected
    float raTolerance = 0.1f;    // pixels of RA drift left to the integral alone
    float decP = 0.6f;           // share of the DEC drift corrected
    float decTolerance = 0.15f;  // pixels of DEC drift left uncorrected
    int maxPulseMs = 2000;
    int minPulseMs = 10;  // shorter pulses are not worth switching a relay for
};

// Pulse lengths in ms: positive for the plus output, negative for minus, 0 for none.
struct Pulses {
    int raMs = 0;
    int decMs = 0;
};

// RA: proportional and integral; DEC: proportional with a tolerance (a DEC drive with
// backlash must not be pushed back and forth by seeing).
class GuideController {
public:
    void reset() { raSum_ = 0; }
    Pulses correct(double raDrift, double decDrift, const CalibrationResult& calibration,
                   const GuideParameters& p);
    double raSum() const { return raSum_; }

private:
    double raSum_ = 0;  // pixels of RA drift summed over the frames guided
};

}  // namespace hcsim::camera
