#include "gantrix/report/night/mount_stretches.h"

#include <algorithm>
#include <cmath>

#include "gantrix/report/exposure_statistics.h"

namespace report::night {

namespace {

// The rate on either side of a bridged gap is fitted over this much of the curve.
constexpr double kJoinWindowS = 60;

struct Line {
    double at = 0;     // value at the reference time
    double slope = 0;  // per second
};

// Least-squares line through the samples' values (selected by `value`) at reference time t.
template <typename Value>
Line FitLine(const MountSample* begin, const MountSample* end, double t, Value value) {
    const double n = double(end - begin);
    double st = 0, sv = 0;
    for (const MountSample* s = begin; s != end; ++s) {
        st += s->t - t;
        sv += value(*s);
    }
    const double mt = st / n, mv = sv / n;
    double stt = 0, stv = 0;
    for (const MountSample* s = begin; s != end; ++s) {
        const double dt = s->t - t - mt;
        stt += dt * dt;
        stv += dt * (value(*s) - mv);
    }
    Line line;
    line.slope = stt > 0 ? stv / stt : 0;
    line.at = mv - line.slope * mt;
    return line;
}

// Shifts `next` so that its error continues the stretch's across the gap between them.
void Bridge(const std::vector<MountSample>& before, std::vector<MountSample>& next, bool withDec) {
    const double tA = before.back().t;
    const double tB = next.front().t;
    auto tail = before.end();
    while (tail != before.begin() && tA - (tail - 1)->t <= kJoinWindowS)
        --tail;
    auto head = next.begin();
    while (head != next.end() && head->t - tB <= kJoinWindowS)
        ++head;
    const auto fit = [&](auto value, double& shift) {
        const Line a = FitLine(&*tail, before.data() + before.size(), tA, value);
        const Line b = FitLine(next.data(), next.data() + (head - next.begin()), tB, value);
        shift = a.at + 0.5 * (a.slope + b.slope) * (tB - tA) - b.at;
    };
    double raShift = 0, decShift = 0;
    fit([](const MountSample& s) { return s.ra; }, raShift);
    if (withDec) fit([](const MountSample& s) { return s.dec; }, decShift);
    for (MountSample& s : next) {
        s.ra += raShift;
        s.dec += decShift;
    }
}

bool SameSetup(const ExposureRecord& a, const ExposureRecord& b) {
    return a.calibration == b.calibration &&
           PixelScale(a.focalLength, a.binning) == PixelScale(b.focalLength, b.binning);
}

}  // namespace

std::vector<MountStretch> MountStretches(const std::vector<const ExposureRecord*>& exposures,
                                         LogTime logStart) {
    std::vector<MountStretch> stretches;
    MountStretch current;
    const ExposureRecord* currentSetup = nullptr;
    const auto close = [&] {
        if (current.samples.size() >= 2) stretches.push_back(std::move(current));
        current = {};
        currentSetup = nullptr;
    };

    for (const ExposureRecord* exposure : exposures) {
        const double scale = PixelScale(exposure->focalLength, exposure->binning);
        const double startS = double(exposure->startTime - logStart) / 1000.0;
        if (scale <= 0) {
            close();
            continue;
        }
        if (currentSetup != nullptr && !SameSetup(*currentSetup, *exposure)) close();
        const bool dec = exposure->DecCalibrated();
        const double raRate = exposure->calibration[2];
        const double decRate = exposure->calibration[5];
        // The first CAM FRAME's own time is not kept; the exposure's start stands in for it.
        double t = startS;
        double raMoved = 0, decMoved = 0;  // pixels the corrections moved the star so far
        std::vector<MountSample> segment;
        const auto endSegment = [&] {
            if (segment.empty()) return;
            if (!current.samples.empty() &&
                segment.front().t - current.samples.back().t > kMaxBridgedGapS) {
                close();
            }
            if (current.samples.empty()) {
                current.decCalibrated = dec;
                current.segmentStarts = {0};
                current.samples = std::move(segment);
            } else {
                Bridge(current.samples, segment, dec);
                current.segmentStarts.push_back(current.samples.size());
                current.samples.insert(current.samples.end(), segment.begin(), segment.end());
            }
            currentSetup = exposure;
            segment.clear();
        };
        for (const FrameRecord& frame : exposure->frames) {
            if (frame.guided == 0) {
                endSegment();
                close();
            } else if (frame.star != 0) {
                segment.push_back({t, scale * (frame.raDrift - raMoved),
                                   dec ? scale * (frame.decDrift - decMoved) : 0.0});
            }
            raMoved += raRate * frame.raSignal * frame.interval;
            decMoved += decRate * frame.decSignal * frame.interval;
            t += frame.interval;
        }
        endSegment();
    }
    close();
    return stretches;
}

}  // namespace report::night
