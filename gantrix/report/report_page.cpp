#include "gantrix/report/report_page.h"

#include <algorithm>

#include "gantrix/report/exposure_statistics.h"
#include "gantrix/report/text_format.h"

namespace report {

namespace {

constexpr const char* kGantrixVersion = "Gantrix ver. 1.20";

// Milliseconds from start to end; exact for every end after start.
uint64_t Span(LogTime start, LogTime end) {
    return uint64_t(end) - uint64_t(start);
}

// "21:05.33.4": hour, minute, second and tenths.
std::string ClockWithTenths(LogTime time) {
    const Calendar c = CalendarFromLogTime(time);
    return Printf("%d:%02d.%02d.%d", c.hour, c.minute, c.second, c.millisecond / 100);
}

std::string ImageName(int k, const char* suffix) {
    return "./dat/guiexp_" + std::to_string(k) + suffix;
}

std::string Arcseconds(float value) {
    return FixedText(value, 2) + " \"";
}

std::string Percent(float duty) {
    return std::to_string(TruncToInt(duty * 100.0 + 0.5));
}

// The values of one axis (RA or DEC) under its keys.
struct AxisKeys {
    const char* driftGraph;
    const char* signalGraph;
    const char* signalPercent;
    const char* driftScale;
    const char* std;
    const char* min;
    const char* max;
    const char* corrections;
    const char* pulse;
    const char* pulsePercent;
};

constexpr AxisKeys kRaKeys = {"RA_GUI_GRAPH_FN",   "RA_AGSIG_GRAPH_FN",
                              "RASIG_MAX_PERCENT", "RADRIFT_MAX_ARCSEC",
                              "DR_RA_STD",         "DR_RA_MIN",
                              "DR_RA_MAX",         "N_CORRS",
                              "AVG_AGSIG_LEN",     "AVG_AGSIG_LEN_PERCENT"};
constexpr AxisKeys kDecKeys = {"DEC_GUI_GRAPH_FN",   "DEC_AGSIG_GRAPH_FN",
                               "DECSIG_MAX_PERCENT", "DECDRIFT_MAX_ARCSEC",
                               "DR_DEC_STD",         "DR_DEC_MIN",
                               "DR_DEC_MAX",         "N_DEC_CORRS",
                               "AVG_DEC_AGSIG_LEN",  "AVG_DEC_AGSIG_LEN_PERCENT"};

void SetAxis(TemplateDictionary& d, const PageInfo& page, Axis axis) {
    const ExposureRecord& e = page.exposure;
    const ExposureStatistics& s = e.statistics;
    const bool ra = axis == Axis::kRa;
    const AxisKeys& keys = ra ? kRaKeys : kDecKeys;
    auto arcsec = [&](float pixels) { return ToArcseconds(pixels, e.focalLength, e.binning); };
    d[keys.driftGraph] = ImageName(page.k, ra ? "_ra_graph.jpg" : "_dec_graph.jpg");
    d[keys.signalGraph] = ImageName(page.k, ra ? "_raag_graph.jpg" : "_decag_graph.jpg");
    d[keys.signalPercent] =
        std::to_string(ra ? page.scales.raSignalPercent : page.scales.decSignalPercent) + "%";
    d[keys.driftScale] =
        Arcseconds(arcsec(ra ? page.scales.raDriftScale : page.scales.decDriftScale));
    d[keys.std] = FixedText(arcsec(ra ? s.raDriftStd : s.decDriftStd), 2);
    d[keys.min] = SignedFixedText(arcsec(ra ? s.raDriftMin : s.decDriftMin), 2);
    d[keys.max] = SignedFixedText(arcsec(ra ? s.raDriftMax : s.decDriftMax), 2);
    d[keys.corrections] = std::to_string(ra ? s.raCorrections : s.decCorrections);
    d[keys.pulse] = FixedText(ra ? s.meanRaPulse : s.meanDecPulse, 3);
    d[keys.pulsePercent] = Percent(ra ? s.meanRaDuty : s.meanDecDuty);
}

}  // namespace

bool KeepExposure(const ExposureRecord& exposure) {
    return exposure.endTime > exposure.startTime && exposure.statistics.guidedFrames > 0;
}

std::string LinkLabel(const ExposureRecord& exposure) {
    const uint64_t s = (Span(exposure.startTime, exposure.endTime) + 500) / 1000 % 86400;
    const Calendar start = CalendarFromLogTime(exposure.startTime);
    return Printf("%d:%02d min &nbsp (at %d:%02d:%02d)", int(s / 60), int(s % 60), start.hour,
                  start.minute, start.second);
}

std::string LinkList(const std::vector<std::string>& labels, int k) {
    std::string list;
    for (int j = 1; j <= int(labels.size()); ++j) {
        const bool current = j == k;
        const std::string href = current ? "" : Printf("href=\"./guiexpo_%d.html#\"", j);
        list += Printf("<a class=\"bar-item button %s hover-black\" %s>%s</a>\r\n",
                       current ? "bkcolor-blk-lgrey active" : "", href.c_str(),
                       labels[size_t(j - 1)].c_str());
    }
    return list;
}

std::string ConversionTimeText(const std::tm& t) {
    return Printf("%d.%02d.%02d. &nbsp %d:%02d h", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                  t.tm_hour, t.tm_min);
}

TemplateDictionary PageDictionary(const PageInfo& page) {
    const LogState& log = page.log;
    const ExposureRecord& e = page.exposure;
    const ExposureStatistics& s = e.statistics;
    const Calendar logStart = CalendarFromLogTime(log.logStartTime);
    TemplateDictionary d;
    d["FW_VERSION"] = HtmlText(log.firmwareVersion);
    d["HC_UID"] = HtmlText(log.hcUid);
    d["CAM_UID"] = HtmlText(log.cameraUid);
    d["GUIEXPO_LIST_OF_LINKS"] = page.links;
    d["GANTRIX_VER_STR"] = kGantrixVersion;
    d["SRC_LOG_FN"] = HtmlText(page.sourceFileName);
    d["CONV_TIME"] = page.conversionTime;
    d["WGRAPH"] = std::to_string(std::min(kMaxGraphDisplayWidth, GraphWidth(s.frames)));
    d["LOGF_DATE_TITLE"] = Printf("%d.%02d.%02d.", logStart.year, logStart.month, logStart.day);
    d["LOGF_TIME"] = Printf("%d:%02d.%02d", logStart.hour, logStart.minute, logStart.second);
    d["GUIEXPO_IDX"] = std::to_string(page.k);
    d["EXPO_LEN_SEC"] = FixedText(double(Span(e.startTime, e.endTime)) / 1000.0, 1);
    d["EXPO_START_SEC"] = ClockWithTenths(e.startTime);
    d["EXPO_END_SEC"] = ClockWithTenths(e.endTime);
    d["N_FRAMES"] = std::to_string(s.frames);
    d["N_GUIFRAMES"] = std::to_string(s.guidedFrames);
    d["N_GUIFRAMES_STAR"] = std::to_string(s.starFrames);
    d["FOCLEN"] = std::to_string(TruncToInt(e.focalLength + 0.5));
    d["BINNINGX"] =
        e.binning < 1 ? "unknown, treated as 1x1" : Printf("%dx%d", e.binning, e.binning);
    d["AG_MODE"] = HtmlText(e.agMode);
    d["AGP_P_ST"] = FixedText(e.raPStart, 2);
    d["AGP_P_END"] = FixedText(e.raPEnd, 2);
    d["AGP_I_ST"] = FixedText(e.raIStart, 2);
    d["AGP_I_END"] = FixedText(e.raIEnd, 2);
    d["AGP_TOL_ST"] = FixedText(e.raTolerance, 2);
    d["AGPDEC_P"] = FixedText(e.decP, 2);
    d["AGPDEC_TOL"] = FixedText(e.decTolerance, 2);
    SetAxis(d, page, Axis::kRa);
    d["TRACK_ERROR_GRAPH_FN"] = ImageName(page.k, "_track_err.jpg");
    d["TRACK_ERROR_SCALE_VAL"] = FixedText(s.trackingErrorMax - s.trackingErrorMin, 2);
    d["FWHM_GRAPH_FN"] = ImageName(page.k, "_fwhm.jpg");
    d["FWHM_MAX_VAL"] = FixedText(s.fwhmMax, 2);
    d["SKIP_IF_NO_DEC_START"] = "<!--";
    d["SKIP_IF_NO_DEC_END"] = "-->";
    if (e.DecCalibrated()) {
        SetAxis(d, page, Axis::kDec);
        d["IMG_CALIBVEC_FN"] = ImageName(page.k, "_calib.jpg");
        d["IMG_PTSPREAD_FN"] = ImageName(page.k, "_ptspread.jpg");
        d["IMG_SYNTHSTAR_FN"] = ImageName(page.k, "_synthstar.jpg");
        d["PTSPREAD_SCALE"] = Arcseconds(page.scales.gridScale);
        d["SKIP_IF_NO_DEC_START"] = "";
        d["SKIP_IF_NO_DEC_END"] = "";
    }
    return d;
}

}  // namespace report
