// summary.json, summary.html and index.html as the report folders get them, through the
// library and through vt5-report.
#include "gantrix/report/night/night_report.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "gantrix/report/report_generator.h"
#include "tests/report/log_builder.h"
#include "tests/report/night/guided_night.h"

namespace report::night {
namespace {

namespace fs = std::filesystem;
using testing::GuidedNight;
using testing::ReadFileText;
using testing::TempDir;

QJsonObject ReadJson(const fs::path& path) {
    const std::string text = ReadFileText(path);
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

// Writes the exposure pages and the summary of a log into folder/<name>.
fs::path Report(const TempDir& dir, const std::string& name, const std::string& logText,
                const NightOptions& options = {}) {
    const std::string log = dir.Write("logs/" + name + ".txt", logText);
    const fs::path folder = dir.Path() / "Processed" / name;
    ReportGenerator generator(LoadReportResources(), 1);
    EXPECT_EQ(generator.GenerateReport(log, folder.string()), "");
    EXPECT_EQ(WriteNightSummary(generator.State(), folder.string(), name + ".txt", options), "");
    return folder;
}

TEST(SummaryJson, CarriesTheNightWithItsNamesAndNullsWhereNothingIsKnown) {
    TempDir dir;
    GuidedNight model;
    model.starlessExposure = 1;
    const fs::path folder = Report(dir, "night_a", model.Log(), {40.0, 1});
    const QJsonObject root = ReadJson(folder / "summary.json");

    EXPECT_EQ(root["hc_uid"].toString(), "A1B2C3D4E5F6G7H");
    const QJsonArray exposures = root["exposures"].toArray();
    ASSERT_GT(exposures.size(), 3);
    const QJsonObject first = exposures[0].toObject();
    EXPECT_EQ(first["start"].toString(), "2021-03-07T20:01:00.000Z");
    EXPECT_NEAR(first["duration_s"].toDouble(), 300, 1e-9);
    EXPECT_GT(first["frames"].toInt(), 140);
    for (const char* key :
         {"ra_rms_arcsec", "dec_rms_arcsec", "total_rms_arcsec", "fwhm_median_px"})
        EXPECT_TRUE(first[key].isDouble()) << key;
    const QJsonObject dark = exposures[1].toObject();
    EXPECT_GT(dark["frames"].toInt(), 140);
    for (const char* key :
         {"ra_rms_arcsec", "dec_rms_arcsec", "total_rms_arcsec", "fwhm_median_px"})
        EXPECT_TRUE(dark[key].isNull()) << key;

    const QJsonObject night = root["night"].toObject();
    for (const char* key :
         {"ra_rms_arcsec", "dec_rms_arcsec", "total_rms_arcsec", "pe_peak_to_peak_arcsec",
          "dec_drift_arcsec_per_min", "polar_error_arcmin"}) {
        EXPECT_TRUE(night[key].isDouble()) << key;
    }
    EXPECT_EQ(night["declination_deg"].toDouble(), 40);
    const QJsonArray periods = night["pe_periods"].toArray();
    ASSERT_GE(periods.size(), 1);
    EXPECT_NEAR(periods[0].toObject()["period_s"].toDouble(), 480, 0.02 * 480);
    EXPECT_NEAR(periods[0].toObject()["amplitude_arcsec"].toDouble(), 4.0, 0.4);
    EXPECT_NEAR(night["dec_drift_arcsec_per_min"].toDouble(), -0.8, 0.08);
    EXPECT_NEAR(night["polar_error_arcmin"].toDouble(),
                3.82 * std::abs(night["dec_drift_arcsec_per_min"].toDouble()) /
                    std::cos(40 * std::numbers::pi / 180),
                1e-9);
}

TEST(SummaryJson, UncalibratedDecAndNoDeclinationGiveNulls) {
    TempDir dir;
    GuidedNight model;
    model.decRate = 0;
    model.hours = 1;
    const fs::path folder = Report(dir, "night_b", model.Log());
    const QJsonObject night = ReadJson(folder / "summary.json")["night"].toObject();
    for (const char* key : {"dec_rms_arcsec", "total_rms_arcsec", "dec_drift_arcsec_per_min",
                            "polar_error_arcmin", "declination_deg"}) {
        EXPECT_TRUE(night[key].isNull()) << key;
    }
    EXPECT_TRUE(night["ra_rms_arcsec"].isDouble());
    const std::string page = ReadFileText(folder / "summary.html");
    EXPECT_NE(page.find("DEC is not calibrated"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder / "dat/night_dec_drift.svg"));
}

TEST(SummaryPage, LinksEveryExposurePageAndShowsItsGraphs) {
    TempDir dir;
    GuidedNight model;
    model.hours = 1;
    const fs::path folder = Report(dir, "night_c", model.Log());
    const std::string page = ReadFileText(folder / "summary.html");
    int k = 1;
    for (; fs::exists(folder / ("guiexpo_" + std::to_string(k) + ".html")); ++k) {
        EXPECT_NE(page.find("href=\"guiexpo_" + std::to_string(k) + ".html\""), std::string::npos)
            << k;
    }
    EXPECT_GT(k, 5);
    EXPECT_EQ(page.find("guiexpo_" + std::to_string(k) + ".html"), std::string::npos);
    for (const char* graph :
         {"dat/night_guide_error.svg", "dat/night_fwhm.svg", "dat/night_pe_curve.svg",
          "dat/night_pe_spectrum.svg", "dat/night_pe_folded.svg", "dat/night_dec_drift.svg"}) {
        EXPECT_NE(page.find(graph), std::string::npos) << graph;
        const std::string svg = ReadFileText(folder / graph);
        EXPECT_NE(svg.find("<svg"), std::string::npos) << graph;
        EXPECT_NE(svg.find("<path"), std::string::npos) << graph;
    }
    // Without a declination the estimate is the smallest error, said as such.
    EXPECT_NE(page.find("at least"), std::string::npos);
    EXPECT_NE(page.find("smallest"), std::string::npos);
}

TEST(SummaryPage, ALogWithoutGuidedExposureLosesItsOlderSummary) {
    TempDir dir;
    GuidedNight model;
    model.hours = 0.5;
    const fs::path folder = Report(dir, "night_d", model.Log());
    ASSERT_TRUE(fs::exists(folder / "summary.json"));
    testing::LogBuilder empty;
    empty.Start();
    const std::string log = dir.Write("logs/night_d.txt", empty.Text());
    ReportGenerator generator(LoadReportResources(), 1);
    ASSERT_EQ(generator.GenerateReport(log, folder.string()), "");
    EXPECT_EQ(WriteNightSummary(generator.State(), folder.string(), "night_d.txt", {}), "");
    EXPECT_FALSE(fs::exists(folder / "summary.json"));
    EXPECT_FALSE(fs::exists(folder / "summary.html"));
}

TEST(NightIndex, ListsEveryNightWithASummaryNewestFirst) {
    TempDir dir;
    GuidedNight model;
    model.hours = 0.75;
    Report(dir, "older", model.Log());
    // The same HC a night later: shift the log's date by a day.
    std::string later = model.Log();
    for (size_t at = later.find("2021-03-07"); at != std::string::npos;
         at = later.find("2021-03-07", at))
        later.replace(at, 10, "2021-03-08");
    Report(dir, "newer", later);
    dir.Write("Processed/broken/summary.json", "{ not json");
    fs::create_directories(dir.Path() / "Processed/no_summary");

    const fs::path processed = dir.Path() / "Processed";
    ASSERT_EQ(WriteNightIndex(processed.string()), "");
    const std::string index = ReadFileText(processed / "index.html");
    const size_t newer = index.find("href=\"newer/summary.html\"");
    const size_t older = index.find("href=\"older/summary.html\"");
    ASSERT_NE(newer, std::string::npos);
    ASSERT_NE(older, std::string::npos);
    EXPECT_LT(newer, older);
    EXPECT_EQ(index.find("broken/"), std::string::npos);
    EXPECT_EQ(index.find("no_summary/"), std::string::npos);
    for (const char* graph : {"index_dat/trend_total_rms.svg", "index_dat/trend_pe.svg",
                              "index_dat/trend_polar.svg", "index_dat/trend_fwhm.svg"}) {
        EXPECT_NE(index.find(graph), std::string::npos) << graph;
        EXPECT_TRUE(fs::exists(processed / graph)) << graph;
    }
    EXPECT_TRUE(fs::exists(processed / "index_dat/night.css"));
}

TEST(NightIndex, OfAnEmptyFolderSaysSoAndOfAMissingOneFails) {
    TempDir dir;
    ASSERT_EQ(WriteNightIndex(dir.Path().string()), "");
    EXPECT_NE(ReadFileText(dir.Path() / "index.html").find("No night has a summary yet"),
              std::string::npos);
    EXPECT_EQ(WriteNightIndex((dir.Path() / "missing").string()), kErrorIndex);
}

int RunReportTool(const std::string& arguments) {
    const std::string command = std::string(VT5_REPORT_TOOL) + " " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Vt5Report, WritesTheSummaryBesideThePagesAndTheIndexAboveThem) {
    TempDir dir;
    GuidedNight model;
    model.hours = 0.75;
    const std::string log = dir.Write("A1B2C3D4E5F6G7H/SD/LOGS/vt5_log_1.txt", model.Log());
    ASSERT_EQ(RunReportTool("--declination 52.5 '" + log + "'"), 0);
    const fs::path processed = dir.Path() / "A1B2C3D4E5F6G7H/Processed";
    EXPECT_TRUE(fs::exists(processed / "vt5_log_1/guiexpo_1.html"));
    EXPECT_TRUE(fs::exists(processed / "vt5_log_1/summary.html"));
    EXPECT_EQ(ReadJson(processed / "vt5_log_1/summary.json")["night"]
                  .toObject()["declination_deg"]
                  .toDouble(),
              52.5);
    EXPECT_NE(ReadFileText(processed / "index.html").find("vt5_log_1/summary.html"),
              std::string::npos);

    fs::remove(processed / "index.html");
    ASSERT_EQ(RunReportTool("--index '" + processed.string() + "'"), 0);
    EXPECT_TRUE(fs::exists(processed / "index.html"));

    struct Case {
        std::string arguments;
        int status;
    } bad[] = {{"--declination 95 '" + log + "'", 2},
               {"--declination north '" + log + "'", 2},
               {"--index '" + processed.string() + "' '" + log + "'", 2},
               {"--index '" + (dir.Path() / "missing").string() + "'", 1}};
    for (const Case& c : bad)
        EXPECT_EQ(RunReportTool(c.arguments), c.status) << c.arguments;
}

}  // namespace
}  // namespace report::night
