// The graphs over the frames of an exposure: drift, guide signal, tracking error, FWHM.
#include <algorithm>
#include <cmath>

#include "gantrix/report/exposure_statistics.h"
#include "gantrix/report/graph_colours.h"
#include "gantrix/report/graph_images.h"

namespace report {

namespace {

constexpr int kMaxColumnsPerFrame = 7;
constexpr int kDriftZeroRow = 80;
constexpr int kSignalZeroRow = 50;

// Calls draw(frame, x) for every image column of every frame.
template <typename Draw>
void ForEachColumn(const std::vector<FrameRecord>& frames, Draw draw) {
    const int c = ColumnsPerFrame(int(frames.size()));
    for (size_t i = 0; i < frames.size(); ++i) {
        for (int x = int(i) * c; x < int(i + 1) * c; ++x)
            draw(frames[i], x);
    }
}

// Column backgrounds of frames without star and, over them, of frames not guided.
void MarkColumn(CBitmapRect& bitmap, const FrameRecord& frame, int x) {
    const int bottom = bitmap.Height() - 1;
    if (frame.star == 0) bitmap.VerticalLine(x, 0, bottom, colours::kNoStarColumn);
    if (frame.guided == 0) bitmap.VerticalLine(x, 0, bottom, colours::kNotGuidedColumn);
}

}  // namespace

int ColumnsPerFrame(int frames) {
    int c = 1;
    while (c < kMaxColumnsPerFrame + 1 && int64_t(c) * frames <= kMaxGraphDisplayWidth)
        ++c;
    return c > 1 ? c - 1 : c;
}

int GraphWidth(int frames) {
    return ColumnsPerFrame(frames) * frames;
}

float DriftScale(float driftMin, float driftMax) {
    return std::max(std::fabs(driftMin), std::fabs(driftMax)) + 0.001f;
}

int SignalPercent(float signalMin, float signalMax) {
    const float x = std::min(std::max(std::fabs(signalMin), std::fabs(signalMax)) + 0.001f, 1.0f);
    // NaN signals compare false everywhere; show them at full scale.
    if (!(x >= 0.0f)) return 101;
    return 1 + int(100.0f * x);
}

void DrawDriftGraphs(const ExposureRecord& exposure, Axis axis, CBitmapRect& drift,
                     CBitmapRect& signal, GraphScales& scales) {
    const ExposureStatistics& s = exposure.statistics;
    const bool ra = axis == Axis::kRa;
    const int width = GraphWidth(int(exposure.frames.size()));
    drift.Create(width, kDriftGraphHeight);
    signal.Create(width, kSignalGraphHeight);
    drift.Fill(colours::kBackground);
    signal.Fill(colours::kBackground);

    const float d =
        ra ? DriftScale(s.raDriftMin, s.raDriftMax) : DriftScale(s.decDriftMin, s.decDriftMax);
    const int p = ra ? SignalPercent(s.raSignalMin, s.raSignalMax)
                     : SignalPercent(s.decSignalMin, s.decSignalMax);
    const float scale = float(p) / 100.0f;
    (ra ? scales.raDriftScale : scales.decDriftScale) = d;
    (ra ? scales.raSignalPercent : scales.decSignalPercent) = p;

    drift.HorizontalLine(0, kDriftZeroRow, width - 1, colours::kZeroLine);
    signal.HorizontalLine(0, kSignalZeroRow, width - 1, colours::kZeroLine);
    const uint32_t barColour = ra ? colours::kRa : colours::kDec;
    ForEachColumn(exposure.frames, [&](const FrameRecord& frame, int x) {
        if (frame.star == 0)
            drift.VerticalLine(x, 0, kDriftGraphHeight - 1, colours::kNoStarColumn);
        drift.SetPixel(x, kDriftZeroRow, colours::kZeroLine);
        if (frame.guided == 0)
            drift.VerticalLine(x, 0, kDriftGraphHeight - 1, colours::kNotGuidedColumn);
        const float value = ra ? frame.raDrift : frame.decDrift;
        const float fx = float(x);
        drift.Line(fx, kDriftZeroRow, fx, kDriftZeroRow - value / d * 80.5f, barColour);
        const float level = ra ? frame.raSignal : frame.decSignal;
        signal.Line(fx, kSignalZeroRow, fx, kSignalZeroRow - level / scale * 50.5f,
                    colours::kSignalBar);
    });
}

void ConvertTrackingErrors(ExposureRecord& exposure) {
    const float f = exposure.focalLength;
    const int b = exposure.binning;
    ExposureStatistics& s = exposure.statistics;
    s.trackingErrorMin = ToArcseconds(s.trackingErrorMin, f, b);
    s.trackingErrorMax = ToArcseconds(s.trackingErrorMax, f, b);
    for (FrameRecord& frame : exposure.frames) {
        frame.trackingError = ToArcseconds(frame.trackingError, f, b);
    }
}

void DrawTrackingErrorGraph(const ExposureRecord& exposure, CBitmapRect& bitmap) {
    const std::vector<FrameRecord>& frames = exposure.frames;
    const int c = ColumnsPerFrame(int(frames.size()));
    bitmap.Create(GraphWidth(int(frames.size())), kDriftGraphHeight);
    bitmap.Fill(colours::kBackground);
    const float min = exposure.statistics.trackingErrorMin;
    const float span = exposure.statistics.trackingErrorMax - min;
    // All errors equal: a flat line along the bottom.
    auto y = [&](const FrameRecord& frame) {
        return span > 0 ? 160.5f - 160.5f * (frame.trackingError - min) / span : 160.5f;
    };
    for (size_t i = 1; i < frames.size(); ++i) {
        bitmap.Line((float(i) - 0.5f) * float(c), y(frames[i - 1]), (float(i) + 0.5f) * float(c),
                    y(frames[i]), colours::kTrackingError);
    }
}

void DrawFwhmGraph(const ExposureRecord& exposure, CBitmapRect& bitmap) {
    bitmap.Create(GraphWidth(int(exposure.frames.size())), kSignalGraphHeight);
    bitmap.Fill(colours::kBackground);
    const float max = exposure.statistics.fwhmMax;
    ForEachColumn(exposure.frames, [&](const FrameRecord& frame, int x) {
        MarkColumn(bitmap, frame, x);
        const uint32_t colour = frame.star != 0 ? colours::kFwhmStar : colours::kFwhmNoStar;
        // No star frame had a size: every bar is a flat line at the bottom.
        if (!(max > 0)) {
            bitmap.SetPixel(x, kSignalGraphHeight - 1, colour);
            return;
        }
        bitmap.Line(float(x), 100.5f, float(x), 100.5f - frame.fwhm / max * 100.5f, colour);
    });
}

}  // namespace report
