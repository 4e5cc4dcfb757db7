#pragma once

#include <string>
#include <vector>

#include "gantrix/report/night/night_records.h"

namespace report::night {

// Size of the graphs as drawn; the pages scale them to the width of the window.
constexpr int kSvgWidth = 720;
constexpr int kSvgHeight = 180;

// One curve: points in order; a gap of more than breakAfter in x lifts the pen.
struct SvgSeries {
    std::vector<double> x, y;
    unsigned rgb = 0xffffff;  // 0xRRGGBB
    bool bars = false;        // vertical bars from y = 0 instead of a line
    bool dots = false;        // a dot at every point as well
};

// The box shown: x0..x1 across, y0 (bottom) .. y1 (top).
struct SvgFrame {
    double x0 = 0, x1 = 1, y0 = -1, y1 = 1;
    bool logX = false;          // x on a logarithmic axis
    double breakAfter = 0;      // 0: never lift the pen
    std::vector<double> gridX;  // vertical grid lines at these x
};

// An SVG image of kSvgWidth x kSvgHeight: dark background, a zero line, the grid and the
// series, drawn with Qt's SVG painter. Texts go on the page beside it.
std::string SvgGraph(const SvgFrame& frame, const std::vector<SvgSeries>& series);

// The graphs of a night, each an SVG text, empty where there is nothing to draw.
struct NightGraphs {
    std::string guideError;  // RA and DEC error of every star frame over the night
    std::string fwhm;        // FWHM over the night
    std::string peCurve;     // the mount's RA error over the periodic error's stretch
    std::string peSpectrum;  // amplitude over period
    std::string peFolded;    // the curve folded at the strongest period
    std::string decDrift;    // the DEC error the guider fought, over every stretch
    // The scales the page prints beside them.
    double errorScale = 0, fwhmScale = 0, peScale = 0, spectrumScale = 0, foldedScale = 0,
           decScale = 0;
    double spectrumMinPeriod = 0, spectrumMaxPeriod = 0;
};

// The graphs are drawn on up to `threads` threads.
NightGraphs DrawNightGraphs(const NightSummary& night, int threads = 1);

}  // namespace report::night
