#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

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

// The images of an exposure as independent jobs of one or two images each. Once the tracking
// errors are in arcseconds, the jobs of any number of exposures can run on any threads.
enum class GraphJob { kRa, kDec, kTrackingError, kFwhm, kCalibration, kPointSpread };

// The jobs of an exposure: the DEC ones only with DEC calibration.
std::vector<GraphJob> GraphJobsOf(const ExposureRecord& exposure);

// The JPEG files of one exposure, encoded in memory, in the order they are written.
struct EncodedGraphs {
    static constexpr size_t kFiles = 8;
    struct File {
        bool present = false;   // drawn for this exposure
        bool complete = false;  // encoded without failure
        std::string bytes;
    };
    File files[kFiles];
    // Each job sets only its own scales, so jobs of one exposure may fill them at once.
    GraphScales scales;
};

// Draws the images of one job and encodes them into `out`. The exposure's tracking errors
// must already be in arcseconds.
void RunGraphJob(const ExposureRecord& exposure, GraphJob job, EncodedGraphs& out);

// Converts the tracking errors of every exposure to arcseconds and encodes all their images
// on up to `threads` threads; the result is the same for any number of threads.
std::vector<EncodedGraphs> EncodeGraphs(const std::vector<ExposureRecord*>& exposures, int threads);

// Writes the files of exposure k (1-based page number) into reportFolder/dat in their order.
// False as soon as one cannot be written or was not encoded whole (files written before stay,
// and so do the bytes the encoder made of that one before it failed).
// The names of the files written (in dat) are added to written when it is given.
bool WriteEncodedGraphs(const EncodedGraphs& graphs, int k, const std::string& reportFolder,
                        std::set<std::string>* written = nullptr);

// True for a name the report gives the image files in dat ("guiexp_<k>_ra_graph.jpg", ...).
bool IsGraphFileName(std::string_view name);

// Draws the graphs of exposure k (1-based page number) and writes them as JPEG files to
// reportFolder/dat; converts its tracking errors to arcseconds on the way. False as soon as a
// file cannot be written (files written before stay).
bool WriteExposureGraphs(ExposureRecord& exposure, int k, const std::string& reportFolder,
                         GraphScales& scales);

}  // namespace report
