#include "gantrix/report/graph_images.h"

#include <filesystem>

#include "gantrix/report/file_bytes.h"
#include "gantrix/report/jpeg_writer.h"
#include "gantrix/report/parallel_for.h"
#include "gantrix/report/report_files.h"

namespace report {

namespace {

constexpr int kJpegQuality = 75;

// The image files of an exposure in the order they are written, with the job that draws each.
struct GraphFile {
    GraphJob job;
    const char* suffix;
    CBitmapRect ExposureGraphs::*image;
};
constexpr GraphFile kGraphFiles[EncodedGraphs::kFiles] = {
    {GraphJob::kRa, "_ra_graph.jpg", &ExposureGraphs::raDrift},
    {GraphJob::kRa, "_raag_graph.jpg", &ExposureGraphs::raSignal},
    {GraphJob::kDec, "_dec_graph.jpg", &ExposureGraphs::decDrift},
    {GraphJob::kDec, "_decag_graph.jpg", &ExposureGraphs::decSignal},
    {GraphJob::kTrackingError, "_track_err.jpg", &ExposureGraphs::trackingError},
    {GraphJob::kFwhm, "_fwhm.jpg", &ExposureGraphs::fwhm},
    {GraphJob::kCalibration, "_calib.jpg", &ExposureGraphs::calibration},
    {GraphJob::kPointSpread, "_ptspread.jpg", &ExposureGraphs::pointSpread},
};

// Draws the images of one job into graphs; only the job's own scales are set.
void DrawGraphJob(const ExposureRecord& exposure, GraphJob job, ExposureGraphs& graphs,
                  GraphScales& scales) {
    switch (job) {
        case GraphJob::kRa:
            DrawDriftGraphs(exposure, Axis::kRa, graphs.raDrift, graphs.raSignal, scales);
            break;
        case GraphJob::kDec:
            DrawDriftGraphs(exposure, Axis::kDec, graphs.decDrift, graphs.decSignal, scales);
            break;
        case GraphJob::kTrackingError:
            DrawTrackingErrorGraph(exposure, graphs.trackingError);
            break;
        case GraphJob::kFwhm:
            DrawFwhmGraph(exposure, graphs.fwhm);
            break;
        case GraphJob::kCalibration:
            DrawCalibrationVectors(exposure.calibration, graphs.calibration);
            break;
        case GraphJob::kPointSpread:
            scales.gridScale = DrawPointSpread(exposure, graphs.pointSpread);
            break;
    }
}

}  // namespace

std::vector<GraphJob> GraphJobsOf(const ExposureRecord& exposure) {
    if (!exposure.DecCalibrated()) {
        return {GraphJob::kRa, GraphJob::kTrackingError, GraphJob::kFwhm};
    }
    return {GraphJob::kRa,   GraphJob::kDec,         GraphJob::kTrackingError,
            GraphJob::kFwhm, GraphJob::kCalibration, GraphJob::kPointSpread};
}

void DrawExposureGraphs(ExposureRecord& exposure, ExposureGraphs& graphs) {
    ConvertTrackingErrors(exposure);
    for (GraphJob job : GraphJobsOf(exposure))
        DrawGraphJob(exposure, job, graphs, graphs.scales);
}

void RunGraphJob(const ExposureRecord& exposure, GraphJob job, EncodedGraphs& out) {
    ExposureGraphs graphs;
    DrawGraphJob(exposure, job, graphs, out.scales);
    for (size_t i = 0; i < EncodedGraphs::kFiles; ++i) {
        if (kGraphFiles[i].job != job) continue;
        EncodedGraphs::File& file = out.files[i];
        file.present = true;
        file.complete = EncodeJpeg(file.bytes, graphs.*kGraphFiles[i].image, kJpegQuality) == 0;
    }
}

std::vector<EncodedGraphs> EncodeGraphs(const std::vector<ExposureRecord*>& exposures,
                                        int threads) {
    struct Job {
        size_t exposure;
        GraphJob job;
    };
    std::vector<Job> jobs;
    for (size_t i = 0; i < exposures.size(); ++i) {
        ConvertTrackingErrors(*exposures[i]);
        for (GraphJob job : GraphJobsOf(*exposures[i]))
            jobs.push_back({i, job});
    }
    std::vector<EncodedGraphs> encoded(exposures.size());
    ParallelFor(jobs.size(), threads, [&](size_t j) {
        RunGraphJob(*exposures[jobs[j].exposure], jobs[j].job, encoded[jobs[j].exposure]);
    });
    return encoded;
}

bool WriteEncodedGraphs(const EncodedGraphs& graphs, int k, const std::string& reportFolder,
                        std::set<std::string>* written) {
    const std::string stem = "guiexp_" + std::to_string(k);
    const std::filesystem::path dat = std::filesystem::path(reportFolder) / "dat";
    for (size_t i = 0; i < EncodedGraphs::kFiles; ++i) {
        const EncodedGraphs::File& file = graphs.files[i];
        if (!file.present) continue;
        // Nothing encoded (a canvas that could not be had): no empty file.
        if (!file.complete && file.bytes.empty()) return false;
        const std::string name = stem + kGraphFiles[i].suffix;
        if (!WriteFileBytes((dat / name).string(), file.bytes) || !file.complete) return false;
        if (written) written->insert(name);
    }
    return true;
}

bool IsGraphFileName(std::string_view name) {
    for (const GraphFile& file : kGraphFiles) {
        if (IsNumberedName(name, "guiexp_", file.suffix)) return true;
    }
    return false;
}

bool WriteExposureGraphs(ExposureRecord& exposure, int k, const std::string& reportFolder,
                         GraphScales& scales) {
    const std::vector<EncodedGraphs> encoded = EncodeGraphs({&exposure}, 1);
    scales = encoded.front().scales;
    return WriteEncodedGraphs(encoded.front(), k, reportFolder);
}

}  // namespace report
