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

void DrawExposureGraphs(ExposureRecord& exposure, ExposureGraphs& graphs) {
    DrawDriftGraphs(exposure, Axis::kRa, graphs.raDrift, graphs.raSignal, graphs.scales);
    if (exposure.DecCalibrated()) {
        DrawDriftGraphs(exposure, Axis::kDec, graphs.decDrift, graphs.decSignal, graphs.scales);
    }
    ConvertTrackingErrors(exposure);
    DrawTrackingErrorGraph(exposure, graphs.trackingError);
    DrawFwhmGraph(exposure, graphs.fwhm);
    if (exposure.DecCalibrated()) {
        DrawCalibrationVectors(exposure.calibration, graphs.calibration);
        graphs.scales.gridScale = DrawPointSpread(exposure, graphs.pointSpread);
    }
}

bool WriteExposureGraphs(ExposureRecord& exposure, int k, const std::string& reportFolder,
                         GraphScales& scales) {
    ExposureGraphs graphs;
    DrawExposureGraphs(exposure, graphs);
    scales = graphs.scales;
    const GraphFiles files(reportFolder, k);
    if (!files.Write(graphs.raDrift, "_ra_graph.jpg") ||
        !files.Write(graphs.raSignal, "_raag_graph.jpg")) {
        return false;
    }
    if (exposure.DecCalibrated() && (!files.Write(graphs.decDrift, "_dec_graph.jpg") ||
                                     !files.Write(graphs.decSignal, "_decag_graph.jpg"))) {
        return false;
    }
    if (!files.Write(graphs.trackingError, "_track_err.jpg") ||
        !files.Write(graphs.fwhm, "_fwhm.jpg")) {
        return false;
    }
    return !exposure.DecCalibrated() || (files.Write(graphs.calibration, "_calib.jpg") &&
                                         files.Write(graphs.pointSpread, "_ptspread.jpg"));
}

}  // namespace report
