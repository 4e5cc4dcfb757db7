#include "gantrix/report/night/exposure_rows.h"

#include <algorithm>
#include <cmath>

#include "gantrix/report/exposure_statistics.h"

namespace report::night {

std::optional<double> StandardDeviation(const std::vector<double>& values) {
    if (values.empty()) return std::nullopt;
    double sum = 0;
    for (double v : values)
        sum += v;
    const double mean = sum / double(values.size());
    double squares = 0;
    for (double v : values)
        squares += (v - mean) * (v - mean);
    return std::sqrt(squares / double(values.size()));
}

std::optional<double> Median(std::vector<double> values) {
    if (values.empty()) return std::nullopt;
    const size_t half = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(half), values.end());
    const double upper = values[half];
    if (values.size() % 2 == 1) return upper;
    const double lower = *std::max_element(values.begin(), values.begin() + std::ptrdiff_t(half));
    return (lower + upper) / 2;
}

namespace {

std::optional<double> Total(std::optional<double> ra, std::optional<double> dec) {
    if (!ra || !dec) return std::nullopt;
    return std::hypot(*ra, *dec);
}

}  // namespace

void ExposureRows(const std::vector<const ExposureRecord*>& exposures, LogTime logStart,
                  NightSummary& night) {
    std::vector<double> nightRa, nightDec, nightFwhm;
    int k = 0;
    for (const ExposureRecord* exposure : exposures) {
        const ExposureStatistics& statistics = exposure->statistics;
        ExposureRow row;
        row.k = ++k;
        row.start = exposure->startTime;
        row.durationS = double(exposure->endTime - exposure->startTime) / 1000.0;
        row.frames = int(exposure->frames.size());
        const double scale = PixelScale(exposure->focalLength, exposure->binning);
        const bool arcseconds = scale > 0;
        const bool dec = arcseconds && exposure->DecCalibrated();

        std::vector<double> ra, decValues, fwhm;
        double peak = 0;
        double t = double(exposure->startTime - logStart) / 1000.0;
        for (const FrameRecord& frame : exposure->frames) {
            const double frameTime = t;
            t += frame.interval;
            if (frame.guided != 0) ++row.guidedFrames;
            if (frame.star == 0) {
                if (frame.guided != 0) ++row.starLost;
                continue;
            }
            ++row.starFrames;
            fwhm.push_back(frame.fwhm);
            if (!arcseconds) continue;
            const double r = scale * frame.raDrift;
            const double d = scale * frame.decDrift;
            ra.push_back(r);
            if (dec) decValues.push_back(d);
            peak = std::max(peak, dec ? std::hypot(r, d) : std::abs(r));
            night.frames.push_back(
                {frameTime, r, dec ? std::optional<double>(d) : std::nullopt, frame.fwhm});
        }
        row.raRms = StandardDeviation(ra);
        if (dec) row.decRms = StandardDeviation(decValues);
        row.totalRms = Total(row.raRms, row.decRms);
        if (!ra.empty()) row.peak = peak;
        row.corrections = statistics.raCorrections + (dec ? statistics.decCorrections : 0);
        row.fwhmMedian = Median(fwhm);
        if (!fwhm.empty()) row.fwhmMax = *std::max_element(fwhm.begin(), fwhm.end());
        night.totals.starFrames += row.starFrames;
        nightRa.insert(nightRa.end(), ra.begin(), ra.end());
        nightDec.insert(nightDec.end(), decValues.begin(), decValues.end());
        nightFwhm.insert(nightFwhm.end(), fwhm.begin(), fwhm.end());
        night.exposures.push_back(row);
    }
    night.totals.raRms = StandardDeviation(nightRa);
    night.totals.decRms = StandardDeviation(nightDec);
    night.totals.totalRms = Total(night.totals.raRms, night.totals.decRms);
    night.totals.fwhmMedian = Median(std::move(nightFwhm));
}

}  // namespace report::night
