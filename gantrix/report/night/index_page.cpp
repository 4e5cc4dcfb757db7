#include "gantrix/report/night/index_page.h"

#include <algorithm>

#include "gantrix/report/night/html_text.h"
#include "gantrix/report/night/night_style.h"
#include "gantrix/report/night/svg_graphs.h"

namespace report::night {

namespace {

struct Measure {
    const char* title;
    const char* unit;
    const char* file;
    std::optional<double> NightEntry::*value;
    unsigned rgb;
};

const Measure kMeasures[] = {
    {"Total RMS", "&Prime;", "index_dat/trend_total_rms.svg", &NightEntry::totalRms, 0xffff00},
    {"Periodic error peak-to-peak", "&Prime;", "index_dat/trend_pe.svg", &NightEntry::pePeakToPeak,
     0xe0e080},
    {"Polar alignment error", "&prime;", "index_dat/trend_polar.svg", &NightEntry::polarErrorArcmin,
     0x8080e0},
    {"FWHM median", " px", "index_dat/trend_fwhm.svg", &NightEntry::fwhmMedian, 0x50d050},
};

// "&#9650;" up, "&#9660;" down, against the older night; smaller is better for every measure.
std::string Trend(const std::optional<double>& now, const std::optional<double>& before) {
    if (!now || !before) return {};
    if (*now < *before * 0.97)
        return " <span title=\"better than the night before\">&#9660;</span>";
    if (*now > *before * 1.03) return " <span title=\"worse than the night before\">&#9650;</span>";
    return " <span title=\"about as the night before\">&#9654;</span>";
}

std::string TrendGraph(const std::vector<NightEntry>& oldestFirst, const Measure& m,
                       double& scale) {
    SvgSeries series{{}, {}, m.rgb, false, true};
    for (size_t i = 0; i < oldestFirst.size(); ++i) {
        if (const std::optional<double>& v = oldestFirst[i].*m.value) {
            series.x.push_back(double(i));
            series.y.push_back(*v);
        }
    }
    if (series.x.size() < 2) return {};
    double top = *std::max_element(series.y.begin(), series.y.end());
    scale = top > 0 ? top * 1.15 : 1;
    SvgFrame frame;
    frame.x0 = -0.5;
    frame.x1 = double(oldestFirst.size()) - 0.5;
    frame.y0 = 0;
    frame.y1 = scale;
    for (size_t i = 0; i < oldestFirst.size(); ++i)
        frame.gridX.push_back(double(i));
    return SvgGraph(frame, {series});
}

}  // namespace

IndexFiles IndexPage(std::vector<NightEntry> nights, const std::string& conversionTime) {
    std::sort(nights.begin(), nights.end(), [](const NightEntry& a, const NightEntry& b) {
        return a.logStart != b.logStart ? a.logStart > b.logStart : a.folder > b.folder;
    });
    IndexFiles index;
    index.files.emplace_back(std::string(kIndexDataFolder) + "/night.css", kNightStyleSheet);
    const std::string uid = nights.empty() ? std::string() : nights.front().hcUid;

    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>Veltra-5 nights compared</title>\n<link rel=\"stylesheet\" href=\"" +
        std::string(kIndexDataFolder) +
        "/night.css\">\n</head>\n<body>\n"
        "<header class=\"night-top\"><span>NORVANE Veltra-5 &middot; Nights compared</span>" +
        (uid.empty() ? std::string() : "<span>HC UID: " + Escaped(uid) + "</span>") +
        "</header>\n<main>\n<h1>Every processed night, newest first</h1>\n";
    if (nights.empty()) {
        html += "<p>No night has a summary yet.</p>\n";
    } else {
        html +=
            "<div class=\"scroll\"><table>\n<tr><th>Night (UTC)</th><th>Exposures</th>"
            "<th>Total RMS</th><th>Periodic error p-p</th><th>Polar alignment</th>"
            "<th>FWHM median</th></tr>\n";
        for (size_t i = 0; i < nights.size(); ++i) {
            const NightEntry& n = nights[i];
            const NightEntry* older = i + 1 < nights.size() ? &nights[i + 1] : nullptr;
            const auto cell = [&](std::optional<double> NightEntry::*value, const char* unit,
                                  const char* prefix) {
                const std::optional<double>& v = n.*value;
                return "<td>" + (v ? prefix + Fixed(v) + unit : std::string("&ndash;")) +
                       (older ? Trend(v, older->*value) : std::string()) + "</td>";
            };
            std::string when = n.logStart;
            std::replace(when.begin(), when.end(), 'T', ' ');
            if (when.size() > 16) when.resize(16);
            html += "<tr><td class=\"label\"><a href=\"" + Escaped(n.folder) + "/summary.html\">" +
                    Escaped(when) + "</a> " + Escaped(n.folder) + "</td><td>" +
                    Format("%d", n.exposures) + "</td>" +
                    cell(&NightEntry::totalRms, "&Prime;", "") +
                    cell(&NightEntry::pePeakToPeak, "&Prime;", "") +
                    cell(&NightEntry::polarErrorArcmin, "&prime;",
                         n.polarAtEquator ? "&ge; " : "&asymp; ") +
                    cell(&NightEntry::fwhmMedian, " px", "") + "</tr>\n";
        }
        html +=
            "</table></div>\n<p class=\"note\">&#9660; better, &#9650; worse, &#9654; about "
            "the same as the night below. A polar alignment error marked &ge; is the "
            "smallest one consistent with the drift (no declination was given).</p>\n";
    }

    const std::vector<NightEntry> oldestFirst(nights.rbegin(), nights.rend());
    std::string trends;
    for (const Measure& m : kMeasures) {
        double scale = 0;
        std::string svg = TrendGraph(oldestFirst, m, scale);
        if (!svg.empty()) {
            trends += std::string("<figure><img src=\"") + m.file + "\" alt=\"" + m.title +
                      " over the nights\" width=\"720\" height=\"180\"><figcaption>" + m.title +
                      Format(", 0 to %.2f", scale) + m.unit +
                      ", oldest night on the left.</figcaption></figure>\n";
        }
        index.files.emplace_back(m.file, std::move(svg));
    }
    if (!trends.empty()) html += "<h2>Trend over the nights</h2>\n" + trends;
    html += "</main>\n<footer>Data generated by Gantrix ver. 1.20 &middot; Processed at " +
            conversionTime + " (local time)</footer>\n</body>\n</html>\n";
    index.page = std::move(html);
    return index;
}

}  // namespace report::night
