#include "gantrix/report/night/svg_graphs.h"

#include <QBuffer>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "gantrix/report/parallel_for.h"

namespace report::night {

namespace {

const QColor kBackground(16, 16, 16);
const QColor kZeroLine(64, 64, 64);
const QColor kGrid(40, 40, 40);
constexpr unsigned kRa = 0xe0e080;
constexpr unsigned kDec = 0x8080e0;
constexpr unsigned kFwhm = 0x50d050;
constexpr unsigned kCurve = 0xffff00;

QColor Rgb(unsigned rgb) {
    return QColor(int(rgb >> 16 & 255), int(rgb >> 8 & 255), int(rgb & 255));
}

// A round full scale at or above v: 1, 2 or 5 times a power of ten.
double RoundUp(double v) {
    if (!(v > 0)) return 1;
    const double decade = std::pow(10, std::floor(std::log10(v)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * decade >= v * 0.999) return m * decade;
    return 10 * decade;
}

double AbsMax(const std::vector<double>& values) {
    double m = 0;
    for (double v : values)
        m = std::max(m, std::abs(v));
    return m;
}

}  // namespace

std::string SvgGraph(const SvgFrame& frame, const std::vector<SvgSeries>& series) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(QSize(kSvgWidth, kSvgHeight));
    svg.setViewBox(QRect(0, 0, kSvgWidth, kSvgHeight));
    svg.setResolution(96);  // so that browsers show it kSvgWidth x kSvgHeight CSS pixels
    {
        QPainter painter(&svg);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillRect(QRect(0, 0, kSvgWidth, kSvgHeight), kBackground);
        const auto mapX = [&](double x) {
            if (frame.logX) {
                return (std::log(x) - std::log(frame.x0)) /
                       (std::log(frame.x1) - std::log(frame.x0)) * (kSvgWidth - 1);
            }
            return (x - frame.x0) / (frame.x1 - frame.x0) * (kSvgWidth - 1);
        };
        const auto mapY = [&](double y) {
            return (frame.y1 - y) / (frame.y1 - frame.y0) * (kSvgHeight - 1);
        };
        painter.setPen(QPen(kGrid, 1));
        for (double x : frame.gridX)
            painter.drawLine(QPointF(mapX(x), 0), QPointF(mapX(x), kSvgHeight));
        if (frame.y0 < 0 && frame.y1 > 0) {
            painter.setPen(QPen(kZeroLine, 1));
            painter.drawLine(QPointF(0, mapY(0)), QPointF(kSvgWidth, mapY(0)));
        }
        for (const SvgSeries& s : series) {
            QPen pen(Rgb(s.rgb), s.bars ? 1.0 : 1.2);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            QPainterPath path;
            bool down = false;
            for (size_t i = 0; i < s.x.size() && i < s.y.size(); ++i) {
                const QPointF p(mapX(s.x[i]), std::clamp(mapY(s.y[i]), -1.0, double(kSvgHeight)));
                if (s.bars) {
                    path.moveTo(p.x(), mapY(std::clamp(0.0, frame.y0, frame.y1)));
                    path.lineTo(p);
                    continue;
                }
                const bool gap =
                    i > 0 && frame.breakAfter > 0 && s.x[i] - s.x[i - 1] > frame.breakAfter;
                if (!down || gap) {
                    path.moveTo(p);
                    down = true;
                } else {
                    path.lineTo(p);
                }
            }
            painter.drawPath(path);
            if (s.dots) {
                painter.setBrush(Rgb(s.rgb));
                for (size_t i = 0; i < s.x.size() && i < s.y.size(); ++i)
                    painter.drawEllipse(QPointF(mapX(s.x[i]), mapY(s.y[i])), 3.0, 3.0);
            }
        }
    }
    return bytes.toStdString();
}

namespace {

void DrawOverTheNight(const NightSummary& night, NightGraphs& graphs) {
    if (!night.frames.empty()) {
        SvgSeries ra{{}, {}, kRa, false, false}, dec{{}, {}, kDec, false, false},
            fwhm{{}, {}, kFwhm, false, false};
        for (const FramePoint& f : night.frames) {
            const double hours = f.t / 3600;
            ra.x.push_back(hours);
            ra.y.push_back(f.ra);
            if (f.dec) {
                dec.x.push_back(hours);
                dec.y.push_back(*f.dec);
            }
            fwhm.x.push_back(hours);
            fwhm.y.push_back(f.fwhm);
        }
        SvgFrame frame;
        frame.x0 = ra.x.front();
        frame.x1 = std::max(ra.x.back(), frame.x0 + 1.0 / 60);
        frame.breakAfter = 2.0 / 60;
        for (double h = std::ceil(frame.x0); h < frame.x1; h += 1)
            frame.gridX.push_back(h);
        graphs.errorScale = RoundUp(std::max(AbsMax(ra.y), AbsMax(dec.y)));
        frame.y0 = -graphs.errorScale;
        frame.y1 = graphs.errorScale;
        graphs.guideError = SvgGraph(frame, {ra, dec});
        graphs.fwhmScale = RoundUp(AbsMax(fwhm.y));
        frame.y0 = 0;
        frame.y1 = graphs.fwhmScale;
        graphs.fwhm = SvgGraph(frame, {fwhm});
    }
}

void DrawPeriodicError(const NightSummary& night, NightGraphs& graphs) {
    if (night.peStretch >= 0) {
        const StretchAnalysis& s = night.stretches[size_t(night.peStretch)];
        SvgSeries curve{{}, {}, kCurve, false, false};
        for (const CurvePoint& p : s.raError) {
            curve.x.push_back(p.t / 3600);
            curve.y.push_back(p.value);
        }
        if (curve.x.size() >= 2) {
            SvgFrame frame;
            frame.x0 = curve.x.front();
            frame.x1 = curve.x.back();
            graphs.peScale = RoundUp(AbsMax(curve.y));
            frame.y0 = -graphs.peScale;
            frame.y1 = graphs.peScale;
            graphs.peCurve = SvgGraph(frame, {curve});
        }
        SvgSeries spectrum{{}, {}, kRa, true, false};
        for (const SpectrumPoint& p : s.spectrum) {
            if (p.amplitudeArcsec <= 0) continue;
            spectrum.x.push_back(p.periodS);
            spectrum.y.push_back(p.amplitudeArcsec);
        }
        if (!spectrum.x.empty()) {
            SvgFrame frame;
            frame.logX = true;
            frame.x0 = *std::min_element(spectrum.x.begin(), spectrum.x.end());
            frame.x1 = *std::max_element(spectrum.x.begin(), spectrum.x.end());
            if (frame.x1 <= frame.x0) frame.x1 = frame.x0 * 2;
            for (double p : {30.0, 60.0, 120.0, 300.0, 600.0, 1200.0, 3600.0})
                if (p > frame.x0 && p < frame.x1) frame.gridX.push_back(p);
            graphs.spectrumScale = RoundUp(AbsMax(spectrum.y));
            frame.y0 = 0;
            frame.y1 = graphs.spectrumScale;
            graphs.spectrumMinPeriod = frame.x0;
            graphs.spectrumMaxPeriod = frame.x1;
            graphs.peSpectrum = SvgGraph(frame, {spectrum});
        }
        if (!s.folded.empty()) {
            SvgSeries folded{{}, {}, kCurve, false, false};
            // Two turns, so that the shape is seen across the fold.
            for (int turn = 0; turn < 2; ++turn) {
                for (size_t i = 0; i < s.folded.size(); ++i) {
                    folded.x.push_back(turn + (double(i) + 0.5) / double(s.folded.size()));
                    folded.y.push_back(s.folded[i]);
                }
            }
            SvgFrame frame;
            frame.x0 = 0;
            frame.x1 = 2;
            frame.gridX = {0.5, 1, 1.5};
            graphs.foldedScale = RoundUp(AbsMax(folded.y));
            frame.y0 = -graphs.foldedScale;
            frame.y1 = graphs.foldedScale;
            graphs.peFolded = SvgGraph(frame, {folded});
        }
    }
}

void DrawDecDrift(const NightSummary& night, NightGraphs& graphs) {
    SvgSeries decDrift{{}, {}, kDec, false, false};
    double first = 0, last = 0;
    for (const StretchAnalysis& s : night.stretches) {
        if (!s.decDriftPerMin || s.decError.empty()) continue;
        // Each stretch starts at its own zero: only the drift within it means anything.
        const double zero = s.decError.front().value;
        for (const CurvePoint& p : s.decError) {
            decDrift.x.push_back(p.t / 3600);
            decDrift.y.push_back(p.value - zero);
        }
        if (first == last) first = s.decError.front().t / 3600;
        last = s.decError.back().t / 3600;
    }
    if (decDrift.x.size() >= 2 && last > first) {
        SvgFrame frame;
        frame.x0 = first;
        frame.x1 = last;
        frame.breakAfter = 2.0 / 60;
        graphs.decScale = RoundUp(AbsMax(decDrift.y));
        frame.y0 = -graphs.decScale;
        frame.y1 = graphs.decScale;
        graphs.decDrift = SvgGraph(frame, {decDrift});
    }
}

}  // namespace

NightGraphs DrawNightGraphs(const NightSummary& night, int threads) {
    NightGraphs graphs;
    // Each draws graphs of its own.
    void (*const jobs[])(const NightSummary&, NightGraphs&) = {DrawOverTheNight, DrawPeriodicError,
                                                               DrawDecDrift};
    ParallelFor(std::size(jobs), threads, [&](size_t i) { jobs[i](night, graphs); });
    return graphs;
}

}  // namespace report::night
