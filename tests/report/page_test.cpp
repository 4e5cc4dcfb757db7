// The texts of a page: placeholders, labels, side bar links and the values of every key.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "gantrix/report/exposure_statistics.h"
#include "gantrix/report/page_template.h"
#include "gantrix/report/report_page.h"
#include "gantrix/report/text_format.h"

namespace report {
namespace {

TEST(SubstituteTemplate, ReplacesKeysInOrderWithoutOverlapsAndKeepsUnknownPlaceholders) {
    const TemplateDictionary keys = {{"A", "x%B%"}, {"B", "y"}, {"AB", "z"}};
    // AB comes before B: "%AB%" is replaced first, then "%A%", then "%B%" (also inside values).
    EXPECT_EQ(SubstituteTemplate("%A%%A% %AB% %B% %C% 100%", keys), "xyxy z y %C% 100%");
    EXPECT_EQ(SubstituteTemplate("%A%%B%", {{"A", "%"}}), "%%B%");
    EXPECT_EQ(SubstituteTemplate(std::string("%B%\0%B%", 7), keys), "y");  // up to a zero byte
    const std::string longKey(70, 'K');
    EXPECT_EQ(SubstituteTemplate("%" + longKey.substr(0, 62) + "%", {{longKey, "v"}}), "v");
}

TEST(TextFormat, FormatsNumbersAsTheCLocaleDoes) {
    EXPECT_EQ(FixedText(1799.6, 1), "1799.6");
    EXPECT_EQ(FixedText(0.125, 2), "0.12");  // binary 0.125 is exact: round half to even
    EXPECT_EQ(FixedText(2.0 / 3.0, 3), "0.667");
    EXPECT_EQ(SignedFixedText(0.0, 2), "+0.00");
    EXPECT_EQ(SignedFixedText(-0.001, 2), "-0.00");
    EXPECT_EQ(SignedFixedText(3.14159, 2), "+3.14");
    EXPECT_EQ(TruncToInt(2.7), 2);
    EXPECT_EQ(TruncToInt(std::nan("")), 0);
    EXPECT_EQ(TruncToInt(1e300), INT_MAX);
    EXPECT_EQ(HtmlText("<b>\"A&B\" 50% 'x'</b>"),
              "&lt;b&gt;&quot;A&amp;B&quot; 50&#37; &#39;x&#39;&lt;/b&gt;");
}

ExposureRecord Exposure(LogTime start, LogTime end) {
    ExposureRecord e;
    e.startTime = start;
    e.endTime = end;
    return e;
}

TEST(ReportPage, LabelsAndTimesOfA1799Point6SecondExposure) {
    const LogTime start = LogTimeFromCalendar(2021, 3, 7, 21, 5, 33, 400);
    const LogTime end = LogTimeFromCalendar(2021, 3, 7, 21, 35, 33, 0);
    ExposureRecord e = Exposure(start, end);
    EXPECT_EQ(LinkLabel(e), "30:00 min &nbsp (at 21:05:33)");
    // Past midnight and over an hour.
    EXPECT_EQ(LinkLabel(Exposure(LogTimeFromCalendar(2021, 3, 7, 23, 30, 0, 0),
                                 LogTimeFromCalendar(2021, 3, 8, 1, 0, 59, 499))),
              "90:59 min &nbsp (at 23:30:00)");

    LogState log;
    log.logStartTime = LogTimeFromCalendar(2021, 3, 7, 21, 4, 10, 250);
    GraphScales scales;
    const PageInfo page{log, e, scales, 2, "", "x_log_1.txt", ""};
    const TemplateDictionary d = PageDictionary(page);
    EXPECT_EQ(d.at("EXPO_LEN_SEC"), "1799.6");
    EXPECT_EQ(d.at("EXPO_START_SEC"), "21:05.33.4");
    EXPECT_EQ(d.at("EXPO_END_SEC"), "21:35.33.0");
    EXPECT_EQ(d.at("LOGF_DATE_TITLE"), "2021.03.07.");
    EXPECT_EQ(d.at("LOGF_TIME"), "21:04.10");
    EXPECT_EQ(d.at("GUIEXPO_IDX"), "2");
}

TEST(ReportPage, SideBarHighlightsTheCurrentPageAndLinksTheOthers) {
    EXPECT_EQ(LinkList({"one", "two", "three"}, 2),
              "<a class=\"bar-item button  hover-black\" href=\"./guiexpo_1.html#\">one</a>\r\n"
              "<a class=\"bar-item button bkcolor-blk-lgrey active hover-black\" >two</a>\r\n"
              "<a class=\"bar-item button  hover-black\" href=\"./guiexpo_3.html#\">three</a>\r\n");
}

TEST(ReportPage, KeepsExposuresThatEndAfterTheyStartWithAGuidedFrame) {
    ExposureRecord e = Exposure(1000, 2000);
    e.statistics.guidedFrames = 1;
    EXPECT_TRUE(KeepExposure(e));
    e.statistics.guidedFrames = 0;
    EXPECT_FALSE(KeepExposure(e));
    e = Exposure(2000, 2000);
    e.statistics.guidedFrames = 5;
    EXPECT_FALSE(KeepExposure(e));
}

TEST(ReportPage, ValuesOfEveryKeyInTheirFormats) {
    LogState log;
    log.firmwareVersion = "2.14";
    log.hcUid = "A1B2<C3>";
    log.cameraUid = "VC5";
    ExposureRecord e = Exposure(0, 60000);
    e.focalLength = 499.5f;
    e.binning = 2;
    e.agMode = "RA+DEC";
    e.raPStart = 0.7f;
    e.raPEnd = 0.555f;
    e.raIStart = 0.1f;
    e.raIEnd = 0.2f;
    e.raTolerance = 0.15f;
    e.decP = 0.6f;
    e.decTolerance = 0.2f;
    e.calibration = {1, 0, 2, 0, 1, 0.001f};
    ExposureStatistics& s = e.statistics;
    s.frames = 100;
    s.guidedFrames = 90;
    s.starFrames = 80;
    s.raCorrections = 40;
    s.decCorrections = 30;
    s.raDriftStd = 0.5f;
    s.raDriftMin = -1;
    s.raDriftMax = 0.25f;
    s.decDriftStd = 0.25f;
    s.decDriftMin = -0.5f;
    s.decDriftMax = 0.75f;
    s.meanRaPulse = 0.0456f;
    s.meanRaDuty = 0.0449f;
    s.meanDecPulse = 0.1234f;
    s.meanDecDuty = 0.125f;
    s.fwhmMax = 2.756f;
    s.trackingErrorMin = -1.5f;  // arcseconds by now
    s.trackingErrorMax = 2.25f;
    GraphScales scales;
    scales.raDriftScale = 1.001f;
    scales.raSignalPercent = 46;
    scales.decDriftScale = 0.751f;
    scales.decSignalPercent = 101;
    scales.gridScale = 0.5f;
    const PageInfo page{log, e, scales, 3, "<links>", "x_log_1.txt", "2021.03.08. &nbsp 9:05 h"};
    const TemplateDictionary d = PageDictionary(page);
    const float ps = PixelScale(499.5f, 2);
    const std::pair<const char*, std::string> expected[] = {
        {"FW_VERSION", "2.14"},
        {"HC_UID", "A1B2&lt;C3&gt;"},
        {"CAM_UID", "VC5"},
        {"GUIEXPO_LIST_OF_LINKS", "<links>"},
        {"GANTRIX_VER_STR", "Gantrix ver. 1.20"},
        {"SRC_LOG_FN", "x_log_1.txt"},
        {"CONV_TIME", "2021.03.08. &nbsp 9:05 h"},
        {"WGRAPH", "700"},
        {"N_FRAMES", "100"},
        {"N_GUIFRAMES", "90"},
        {"N_GUIFRAMES_STAR", "80"},
        {"FOCLEN", "500"},
        {"BINNINGX", "2x2"},
        {"AG_MODE", "RA+DEC"},
        {"AGP_P_ST", "0.70"},
        {"AGP_P_END", FixedText(0.555f, 2)},
        {"AGP_I_ST", "0.10"},
        {"AGP_I_END", "0.20"},
        {"AGP_TOL_ST", "0.15"},
        {"AGPDEC_P", "0.60"},
        {"AGPDEC_TOL", "0.20"},
        {"RA_GUI_GRAPH_FN", "./dat/guiexp_3_ra_graph.jpg"},
        {"RA_AGSIG_GRAPH_FN", "./dat/guiexp_3_raag_graph.jpg"},
        {"RASIG_MAX_PERCENT", "46%"},
        {"RADRIFT_MAX_ARCSEC", FixedText(1.001f * ps, 2) + " \""},
        {"DR_RA_STD", FixedText(0.5f * ps, 2)},
        {"DR_RA_MIN", "-" + FixedText(ps, 2)},
        {"DR_RA_MAX", "+" + FixedText(0.25f * ps, 2)},
        {"N_CORRS", "40"},
        {"AVG_AGSIG_LEN", "0.046"},
        {"AVG_AGSIG_LEN_PERCENT", "4"},
        {"TRACK_ERROR_GRAPH_FN", "./dat/guiexp_3_track_err.jpg"},
        {"TRACK_ERROR_SCALE_VAL", "3.75"},
        {"FWHM_GRAPH_FN", "./dat/guiexp_3_fwhm.jpg"},
        {"FWHM_MAX_VAL", "2.76"},
        {"SKIP_IF_NO_DEC_START", ""},
        {"SKIP_IF_NO_DEC_END", ""},
        {"DEC_GUI_GRAPH_FN", "./dat/guiexp_3_dec_graph.jpg"},
        {"DEC_AGSIG_GRAPH_FN", "./dat/guiexp_3_decag_graph.jpg"},
        {"DECSIG_MAX_PERCENT", "101%"},
        {"DECDRIFT_MAX_ARCSEC", FixedText(0.751f * ps, 2) + " \""},
        {"DR_DEC_STD", FixedText(0.25f * ps, 2)},
        {"DR_DEC_MIN", "-" + FixedText(0.5f * ps, 2)},
        {"DR_DEC_MAX", "+" + FixedText(0.75f * ps, 2)},
        {"N_DEC_CORRS", "30"},
        {"AVG_DEC_AGSIG_LEN", "0.123"},
        {"AVG_DEC_AGSIG_LEN_PERCENT", "13"},
        {"IMG_CALIBVEC_FN", "./dat/guiexp_3_calib.jpg"},
        {"IMG_PTSPREAD_FN", "./dat/guiexp_3_ptspread.jpg"},
        {"IMG_SYNTHSTAR_FN", "./dat/guiexp_3_synthstar.jpg"},
        {"PTSPREAD_SCALE", "0.50 \""},
    };
    for (const auto& [key, value] : expected) {
        ASSERT_TRUE(d.count(key)) << key;
        EXPECT_EQ(d.at(key), value) << key;
    }

    // Without DEC calibration the DEC keys are missing and the DEC parts commented out.
    e.calibration[5] = 0.00099f;
    e.binning = -1;
    const TemplateDictionary noDec = PageDictionary(page);
    EXPECT_EQ(noDec.at("SKIP_IF_NO_DEC_START"), "<!--");
    EXPECT_EQ(noDec.at("SKIP_IF_NO_DEC_END"), "-->");
    EXPECT_EQ(noDec.count("DR_DEC_STD"), 0u);
    EXPECT_EQ(noDec.count("PTSPREAD_SCALE"), 0u);
    EXPECT_EQ(noDec.at("BINNINGX"), "unknown, treated as 1x1");
}

}  // namespace
}  // namespace report
