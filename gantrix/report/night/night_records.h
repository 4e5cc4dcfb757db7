#pragma once

#include <optional>
#include <string>
#include <vector>

#include "gantrix/report/log_time.h"

namespace report::night {

// One guided exposure of the night, as the summary's table shows it. Values in arcseconds
// are absent where they cannot be known (no star frame, no DEC calibration, no focal length).
struct ExposureRow {
    int k = 0;  // its page, guiexpo_<k>.html
    LogTime start = 0;
    double durationS = 0;
    int frames = 0;
    int guidedFrames = 0;
    int starFrames = 0;
    int starLost = 0;  // guided frames without a star
    std::optional<double> raRms, decRms, totalRms;
    std::optional<double> peak;  // largest distance of a star frame from the lock position
    int corrections = 0;         // RA and DEC corrections together
    std::optional<double> fwhmMedian, fwhmMax;  // pixels
};

// Where the guide star sat and how it looked at one star frame, for the graphs over the night.
struct FramePoint {
    double t = 0;  // seconds after the log's start
    double ra = 0;
    std::optional<double> dec;
    double fwhm = 0;
};

// One sine of the periodic error: amplitude is half its peak-to-peak.
struct PeriodicComponent {
    double periodS = 0;
    double amplitudeArcsec = 0;
};

struct SpectrumPoint {
    double periodS = 0;
    double amplitudeArcsec = 0;
};

struct CurvePoint {
    double t = 0;  // seconds after the log's start
    double value = 0;
};

// The mount's own error over one stretch of continuous guiding.
struct StretchAnalysis {
    double t0 = 0, t1 = 0;  // seconds after the log's start
    int samples = 0;
    bool decCalibrated = false;
    std::vector<CurvePoint> raError;   // arcseconds, linear drift removed
    std::vector<CurvePoint> decError;  // arcseconds, as measured (the drift is the point)
    // Periodic error; empty when the stretch is too short to tell.
    bool peAnalysed = false;
    double pePeakToPeak = 0;
    std::vector<PeriodicComponent> periods;  // strongest first
    std::vector<SpectrumPoint> spectrum;     // by falling period
    std::vector<double> folded;              // mean error per phase bin at the strongest period
    // DEC drift the guider fought, arcseconds per minute, signed as its net correction.
    std::optional<double> decDriftPerMin;

    double Duration() const { return t1 - t0; }
};

struct NightTotals {
    int starFrames = 0;
    std::optional<double> raRms, decRms, totalRms;
    std::optional<double> fwhmMedian;
};

struct NightSummary {
    std::string hcUid;
    std::string firmwareVersion;
    std::string sourceFileName;
    LogTime logStart = 0;
    std::vector<ExposureRow> exposures;
    std::vector<FramePoint> frames;
    NightTotals totals;
    std::vector<StretchAnalysis> stretches;
    int peStretch = -1;  // the stretch the night's periodic error is read from (the longest)
    std::optional<double> pePeakToPeak;
    std::vector<PeriodicComponent> pePeriods;
    bool decCalibrated = false;  // some stretch had a DEC calibration
    std::optional<double> decDriftPerMin;
    std::optional<double> polarErrorArcmin;
    std::optional<double> declinationDeg;  // as given; the error is the smallest one without it
};

}  // namespace report::night
