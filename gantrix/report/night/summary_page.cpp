#include "gantrix/report/night/summary_page.h"

#include <cmath>

#include "gantrix/report/night/html_text.h"

namespace report::night {

namespace {

std::string Figure(const std::string& file, const std::string& graph, const std::string& alt,
                   const std::string& caption) {
    if (graph.empty()) return {};
    return "<figure><img src=\"" + file + "\" alt=\"" + alt + "\" width=\"720\" height=\"180\">" +
           "<figcaption>" + caption + "</figcaption></figure>\n";
}

std::string Duration(double seconds) {
    const long s = std::lround(seconds);
    if (s >= 3600) return Format("%ld h %02ld min", s / 3600, s / 60 % 60);
    return Format("%ld:%02ld min", s / 60, s % 60);
}

std::string Period(double seconds) {
    if (seconds >= 120) return Format("%.1f s (%.2f min)", seconds, seconds / 60);
    return Format("%.1f s", seconds);
}

std::string Hours(double hoursAfterStart, LogTime logStart) {
    return ClockText(logStart + LogTime(std::llround(hoursAfterStart * 3600000)));
}

std::string Totals(const NightSummary& night) {
    const NightTotals& t = night.totals;
    std::string html = "<div class=\"scroll\"><table>\n";
    html += "<tr><td class=\"label\">Guided exposures</td><td>" +
            Format("%zu", night.exposures.size()) + "</td></tr>\n";
    html += "<tr><td class=\"label\">Star frames</td><td>" + Format("%d", t.starFrames) +
            "</td></tr>\n";
    html += "<tr><td class=\"label\"><span class=\"ra\">RA</span> RMS</td><td>" + Fixed(t.raRms) +
            " &Prime;</td></tr>\n";
    html += "<tr><td class=\"label\"><span class=\"dec\">DEC</span> RMS</td><td>" +
            Fixed(t.decRms) + " &Prime;</td></tr>\n";
    html += "<tr><td class=\"label\">Total RMS</td><td class=\"big\">" + Fixed(t.totalRms) +
            " &Prime;</td></tr>\n";
    html += "<tr><td class=\"label\">FWHM median</td><td>" + Fixed(t.fwhmMedian) +
            " px</td></tr>\n</table></div>\n";
    html +=
        "<p class=\"note\">Pooled over the star frames of every guided exposure; RMS is the "
        "standard deviation about the mean, as on the exposure pages.</p>\n";
    return html;
}

std::string PeriodicError(const NightSummary& night, const NightGraphs& graphs) {
    if (night.peStretch < 0) {
        return "<p>No stretch of continuous guiding was long enough to tell a periodic error "
               "(at least 4 minutes are needed).</p>\n";
    }
    const StretchAnalysis& s = night.stretches[size_t(night.peStretch)];
    std::string html = "<p>Peak-to-peak after removing the drift: <span class=\"big\">" +
                       Fixed(night.pePeakToPeak) +
                       " &Prime;</span>, over the longest stretch of "
                       "continuous guiding, " +
                       Hours(s.t0 / 3600, night.logStart) + " to " +
                       Hours(s.t1 / 3600, night.logStart) + " (" + Duration(s.Duration()) +
                       ").</p>\n";
    if (night.pePeriods.empty()) {
        html += "<p>No period stands out from the noise.</p>\n";
    } else {
        html += "<div class=\"scroll\"><table>\n<tr><th>Period</th><th>Amplitude</th></tr>\n";
        for (const PeriodicComponent& c : night.pePeriods) {
            html += "<tr><td>" + Period(c.periodS) + "</td><td>&plusmn; " +
                    Fixed(c.amplitudeArcsec) + " &Prime;</td></tr>\n";
        }
        html +=
            "</table></div>\n<p class=\"note\">The amplitude is half the peak-to-peak of "
            "that period's sine.</p>\n";
    }
    html += Figure(kPeCurveGraph, graphs.peCurve, "RA error of the mount",
                   Format("The mount's own RA error (guide corrections plus the remaining error) "
                          "without its drift, &plusmn;%g&Prime; full scale.",
                          graphs.peScale));
    html +=
        Figure(kPeSpectrumGraph, graphs.peSpectrum, "Spectrum of the RA error",
               Format("Spectrum: amplitude (0 to %g&Prime;) over the period, %.0f s on the "
                      "left to %.0f s on the right (logarithmic; grid lines at 30 s, 1, 2, 5, "
                      "10, 20 and 60 min).",
                      graphs.spectrumScale, graphs.spectrumMaxPeriod, graphs.spectrumMinPeriod));
    if (!night.pePeriods.empty()) {
        html += Figure(
            kPeFoldedGraph, graphs.peFolded, "RA error folded at the strongest period",
            Format("The RA error folded at %.1f s, shown over two periods, &plusmn;%g&Prime; "
                   "full scale.",
                   night.pePeriods.front().periodS, graphs.foldedScale));
    }
    if (night.stretches.size() > 1) {
        html +=
            "<p>Every stretch of continuous guiding:</p>\n<div class=\"scroll\"><table>\n"
            "<tr><th>From</th><th>To</th><th>Length</th><th>Peak-to-peak</th>"
            "<th>Strongest period</th><th>DEC drift</th></tr>\n";
        for (const StretchAnalysis& st : night.stretches) {
            html +=
                "<tr><td>" + Hours(st.t0 / 3600, night.logStart) + "</td><td>" +
                Hours(st.t1 / 3600, night.logStart) + "</td><td>" + Duration(st.Duration()) +
                "</td><td>" + (st.peAnalysed ? Fixed(st.pePeakToPeak) + " &Prime;" : "&ndash;") +
                "</td><td>" +
                (st.periods.empty()
                     ? "&ndash;"
                     : Format("%.1f s, &plusmn; %.2f &Prime;", st.periods.front().periodS,
                              st.periods.front().amplitudeArcsec)) +
                "</td><td>" +
                (st.decDriftPerMin ? Format("%+.3f &Prime;/min", *st.decDriftPerMin) : "&ndash;") +
                "</td></tr>\n";
        }
        html += "</table></div>\n";
    }
    return html;
}

std::string PolarAlignment(const NightSummary& night, const NightGraphs& graphs) {
    std::string html = "<p>" + PolarAlignmentText(night) + "</p>\n";
    if (night.decDriftPerMin) {
        html +=
            "<p class=\"note\">The drift is signed as the guider's net DEC correction "
            "(positive when DEC+ outweighed DEC&minus;); the error follows from "
            "3.82 &times; drift &divide; cos &delta;.</p>\n";
        html += Figure(kDecDriftGraph, graphs.decDrift, "DEC error the guider fought",
                       Format("The DEC error the guider fought in each stretch, from its start, "
                              "&plusmn;%g&Prime; full scale.",
                              graphs.decScale));
    }
    return html;
}

std::string ExposureTable(const NightSummary& night) {
    std::string html =
        "<div class=\"scroll\"><table>\n<tr><th>#</th><th>Start</th><th>Length</th>"
        "<th>Frames</th><th>Star lost</th><th><span class=\"ra\">RA</span> RMS</th>"
        "<th><span class=\"dec\">DEC</span> RMS</th><th>Total RMS</th><th>Peak</th>"
        "<th>Corrections</th><th>FWHM median</th><th>FWHM max</th></tr>\n";
    for (const ExposureRow& row : night.exposures) {
        html += Format("<tr><td><a href=\"guiexpo_%d.html\">%d</a></td>", row.k, row.k);
        html += "<td>" + ClockText(row.start) + "</td><td>" + Duration(row.durationS) +
                "</td><td>" + Format("%d", row.frames) + "</td><td>" + Format("%d", row.starLost) +
                "</td><td>" + Fixed(row.raRms) + "&Prime;</td><td>" + Fixed(row.decRms) +
                "&Prime;</td><td>" + Fixed(row.totalRms) + "&Prime;</td><td>" + Fixed(row.peak) +
                "&Prime;</td><td>" + Format("%d", row.corrections) + "</td><td>" +
                Fixed(row.fwhmMedian) + " px</td><td>" + Fixed(row.fwhmMax) + " px</td></tr>\n";
    }
    return html + "</table></div>\n";
}

}  // namespace

std::string PolarAlignmentText(const NightSummary& night) {
    if (!night.decCalibrated) {
        return "DEC is not calibrated (DEC rate below 0.001 px/s): the logs give no polar "
               "alignment estimate.";
    }
    if (!night.decDriftPerMin) {
        return "No stretch of guiding was long enough (at least 2 minutes) to measure the DEC "
               "drift.";
    }
    std::string text = Format(
        "DEC drift the guider fought: <span class=\"big\">%+.3f "
        "&Prime;/min</span>. ",
        *night.decDriftPerMin);
    if (!night.declinationDeg) {
        return text + Format(
                          "Polar alignment error: at least <span class=\"big\">%.1f "
                          "&prime;</span> (the value at &delta; = 0&deg;, the smallest "
                          "error consistent with the drift; give the declination for the "
                          "estimate).",
                          night.polarErrorArcmin.value_or(0));
    }
    if (!night.polarErrorArcmin) {
        return text + Format(
                          "At &delta; = %.1f&deg;, this near the pole, the drift gives no "
                          "estimate of the polar alignment error.",
                          *night.declinationDeg);
    }
    return text + Format(
                      "Polar alignment error &asymp; <span class=\"big\">%.1f &prime;</span> "
                      "at &delta; = %.1f&deg;.",
                      *night.polarErrorArcmin, *night.declinationDeg);
}

std::string SummaryPage(const NightSummary& night, const NightGraphs& graphs,
                        const std::string& conversionTime) {
    const std::string date = DateText(night.logStart);
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>Veltra-5 night of " +
        date +
        "</title>\n"
        "<link rel=\"stylesheet\" href=\"" +
        kNightStyleFile +
        "\">\n</head>\n<body>\n"
        "<header class=\"night-top\"><img src=\"dat/NORVANE-LOGO-small.jpg\" alt=\"NORVANE\" "
        "width=\"48\" height=\"48\"><span>NORVANE Veltra-5 &middot; Night of " +
        date + "</span><span>HC UID: " + Escaped(night.hcUid) +
        "</span></header>\n<main>\n"
        "<h1>Night summary</h1>\n<p>Log started " +
        date + " " + ClockText(night.logStart) + " (UTC), firmware " +
        Escaped(night.firmwareVersion) + ". <a href=\"../" + kIndexPage +
        "\">All nights of this HC</a></p>\n";
    html += "<h2>Guiding over the night</h2>\n" + Totals(night);
    html += Figure(kGuideErrorGraph, graphs.guideError, "Guide error over the night",
                   Format("Guide error of every star frame, <span class=\"ra\">RA</span> and "
                          "<span class=\"dec\">DEC</span>, &plusmn;%g&Prime; full scale; grid "
                          "lines on the hour (UTC).",
                          graphs.errorScale));
    html += Figure(kFwhmGraph, graphs.fwhm, "FWHM over the night",
                   Format("Guide star FWHM, 0 to %g px.", graphs.fwhmScale));
    html += "<h2>Periodic error</h2>\n" + PeriodicError(night, graphs);
    html += "<h2>Polar alignment</h2>\n" + PolarAlignment(night, graphs);
    html += "<h2>Guided exposures</h2>\n" + ExposureTable(night);
    html += "</main>\n<footer>Data generated by Gantrix ver. 1.20 &middot; Source file: " +
            Escaped(night.sourceFileName) + " &middot; Processed at " + conversionTime +
            " (local time)</footer>\n</body>\n</html>\n";
    return html;
}

}  // namespace report::night
