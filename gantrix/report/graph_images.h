#pragma once

#include <string>

#include "common/bitmap_rect.h"
#include "gantrix/report/log_records.h"

namespace report {

// Heights of the frame graphs; their width is ColumnsPerFrame(N) * N.
constexpr int kDriftGraphHeight = 161;
constexpr int kSignalGraphHeight = 101;
constexpr int kSpreadImageSize = 256;
// Frame graphs are shown at most this wide on the page.
constexpr int kMaxGraphDisplayWidth = 720;

enum class Axis { kRa, kDec };

// The scales a page prints beside the graphs of its exposure.
struct GraphScales {
    float raDriftScale = 0;  // pixels at the top of the drift graph
    int raSignalPercent = 0;
    float decDriftScale = 0;
    int decSignalPercent = 0;
    float gridScale = 0;  // arcseconds per cell of the point spread grid
};

// Image columns per frame: as many as fit 720 pixels, at most 7; 1 when there are more frames.
int ColumnsPerFrame(int frames);
int GraphWidth(int frames);

// Full scale of a drift graph in pixels: the largest drift plus a little.
float DriftScale(float driftMin, float driftMax);
// Full scale of a guide signal graph in percent, 1..101.
int SignalPercent(float signalMin, float signalMax);
// A round grid scale (..., 0.5, 1, 2, 5, 10, 20, ...) near target arcseconds; 0.01 at least.
float GridScale(float target);

// The drift and guide signal graphs of one axis; returns the drift scale and signal percent.
void DrawDriftGraphs(const ExposureRecord& exposure, Axis axis, CBitmapRect& drift,
                     CBitmapRect& signal, GraphScales& scales);
// Tracking errors must already be in arcseconds.
void DrawTrackingErrorGraph(const ExposureRecord& exposure, CBitmapRect& bitmap);
void DrawFwhmGraph(const ExposureRecord& exposure, CBitmapRect& bitmap);
void DrawCalibrationVectors(const Calibration& calibration, CBitmapRect& bitmap);
// Returns the grid scale.
float DrawPointSpread(const ExposureRecord& exposure, CBitmapRect& bitmap);

// Rewrites the exposure's tracking errors (frames, min and max) from pixels in arcseconds.
void ConvertTrackingErrors(ExposureRecord& exposure);

// Every image of one exposure; the DEC graphs and spread images stay 0 x 0 without DEC
// calibration.
struct ExposureGraphs {
    CBitmapRect raDrift, raSignal, decDrift, decSignal, trackingError, fwhm, calibration,
        pointSpread;
    GraphScales scales;
};

// Draws every image of an exposure; converts its tracking errors to arcseconds on the way.
void DrawExposureGraphs(ExposureRecord& exposure, ExposureGraphs& graphs);

// Draws the graphs of exposure k (1-based page number) and writes them as JPEG files to
// reportFolder/dat; converts its tracking errors to arcseconds on the way. False as soon as a
// file cannot be written (files written before stay).
bool WriteExposureGraphs(ExposureRecord& exposure, int k, const std::string& reportFolder,
                         GraphScales& scales);

}  // namespace report
