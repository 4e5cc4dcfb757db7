#include "gantrix/report/graph_images.h"

#include <filesystem>

#include "gantrix/report/jpeg_writer.h"

namespace report {

namespace {

constexpr int kJpegQuality = 75;

class GraphFiles {
public:
    GraphFiles(const std::string& reportFolder, int k)
        : prefix_((std::filesystem::path(reportFolder) / "dat" / ("guiexp_" + std::to_string(k)))
                      .string()) {}

    // Writes reportFolder/dat/guiexp_<k><suffix>.
    bool Write(const CBitmapRect& bitmap, const char* suffix) const {
        return WriteJpeg(prefix_ + suffix, bitmap, kJpegQuality) == 0;
    }

private:
    std::string prefix_;
};

}  // namespace

bool WriteExposureGraphs(ExposureRecord& exposure, int k, const std::string& reportFolder,
                         GraphScales& scales) {
    const GraphFiles files(reportFolder, k);
    CBitmapRect drift, signal;
    DrawDriftGraphs(exposure, Axis::kRa, drift, signal, scales);
    if (!files.Write(drift, "_ra_graph.jpg") || !files.Write(signal, "_raag_graph.jpg")) {
        return false;
    }
    if (exposure.DecCalibrated()) {
        DrawDriftGraphs(exposure, Axis::kDec, drift, signal, scales);
        if (!files.Write(drift, "_dec_graph.jpg") || !files.Write(signal, "_decag_graph.jpg")) {
            return false;
        }
    }

    ConvertTrackingErrors(exposure);
    DrawTrackingErrorGraph(exposure, drift);
    if (!files.Write(drift, "_track_err.jpg")) return false;
    DrawFwhmGraph(exposure, signal);
    if (!files.Write(signal, "_fwhm.jpg")) return false;

    if (exposure.DecCalibrated()) {
        CBitmapRect spread;
        DrawCalibrationVectors(exposure.calibration, spread);
        if (!files.Write(spread, "_calib.jpg")) return false;
        scales.gridScale = DrawPointSpread(exposure, spread);
        if (!files.Write(spread, "_ptspread.jpg")) return false;
    }
    return true;
}

}  // namespace report
