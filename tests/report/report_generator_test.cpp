#include "gantrix/report/report_generator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "gantrix/report/folder_path.h"
#include "tests/report/jpeg_test_support.h"
#include "tests/report/log_builder.h"

namespace report {
namespace {

namespace fs = std::filesystem;
using testing::LogBuilder;
using testing::ReadFileText;
using testing::TempDir;

int CountFiles(const fs::path& folder) {
    int n = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        n += entry.is_regular_file();
    }
    return n;
}

class ReportGeneratorTest : public ::testing::Test {
protected:
    std::string Generate(const std::string& logText) {
        return generator_.GenerateReport(dir_.Write("x_log_1.txt", logText), Folder());
    }
    std::string Folder() const { return dir_ / "report"; }
    std::string Page(int k) const {
        return ReadFileText(fs::path(Folder()) / ("guiexpo_" + std::to_string(k) + ".html"));
    }

    TempDir dir_;
    ReportGenerator generator_{LoadReportResources()};
};

TEST_F(ReportGeneratorTest, WritesOnePagePerGuidedExposureLinkedInTheSideBar) {
    LogBuilder log;
    log.Start().Exposure(60000, 70000).Exposure(80000, 100000).Exposure(120000, 125000);
    ASSERT_EQ(Generate(log.Text()), "");
    for (int k = 1; k <= 3; ++k)
        EXPECT_TRUE(fs::exists(fs::path(Folder()) / ("guiexpo_" + std::to_string(k) + ".html")));
    EXPECT_FALSE(fs::exists(fs::path(Folder()) / "guiexpo_4.html"));
    EXPECT_TRUE(fs::exists(fs::path(Folder()) / "dat/vt5log.css"));
    EXPECT_TRUE(fs::exists(fs::path(Folder()) / "dat/NORVANE-LOGO-small.jpg"));
    EXPECT_EQ(CountFiles(Folder()), 3 + 2 + 3 * 8);

    const std::string page = Page(2);
    EXPECT_EQ(page.compare(0, 3, "\xEF\xBB\xBF"), 0);
    EXPECT_NE(page.find("<a class=\"bar-item button  hover-black\" href=\"./guiexpo_1.html#\">"
                        "0:10 min &nbsp (at 21:01:00)</a>\r\n"
                        "<a class=\"bar-item button bkcolor-blk-lgrey active hover-black\" >"
                        "0:20 min &nbsp (at 21:01:20)</a>\r\n"
                        "<a class=\"bar-item button  hover-black\" href=\"./guiexpo_3.html#\">"),
              std::string::npos);
    EXPECT_NE(page.find("Exposure #2"), std::string::npos);
    EXPECT_NE(page.find("src=\"./dat/guiexp_2_ra_graph.jpg\""), std::string::npos);
    EXPECT_NE(page.find("HC UID: A1B2C3D4E5F6G7H"), std::string::npos);
    EXPECT_NE(page.find("Source file: x_log_1.txt"), std::string::npos);
    // Every placeholder of the template has its value.
    EXPECT_EQ(page.find("%GUIEXPO"), std::string::npos);
    EXPECT_EQ(page.find("%DR_DEC"), std::string::npos);
    EXPECT_TRUE(
        std::regex_search(page, std::regex("Processed at 20[0-9]{2}\\.[01][0-9]\\.[0-3][0-9]\\. "
                                           "&nbsp [0-9]{1,2}:[0-5][0-9] h")));
}

TEST_F(ReportGeneratorTest, PrintsTheExposureTimesToTheTenth) {
    LogBuilder log;
    log.Start().Exposure(5 * 60000 + 33400, 35 * 60000 + 33000, 2000);
    ASSERT_EQ(Generate(log.Text()), "");
    const std::string page = Page(1);
    EXPECT_NE(page.find("1799.6 sec"), std::string::npos);
    EXPECT_NE(page.find("21:05.33.4 s"), std::string::npos);
    EXPECT_NE(page.find("30:00 min &nbsp (at 21:05:33)"), std::string::npos);
    EXPECT_NE(page.find("width:720px"), std::string::npos);  // 899 frames, shown 720 wide
}

TEST_F(ReportGeneratorTest, LeavesOutDecGraphsAndSpreadImagesWithoutDecCalibration) {
    LogBuilder log;
    log.Start("1\t0\t2\t0\t1\t0.0009").Exposure(60000, 70000);
    ASSERT_EQ(Generate(log.Text()), "");
    EXPECT_EQ(CountFiles(fs::path(Folder()) / "dat"), 2 + 4);
    for (const char* name : {"ra_graph", "raag_graph", "track_err", "fwhm"}) {
        EXPECT_TRUE(
            fs::exists(fs::path(Folder()) / ("dat/guiexp_1_" + std::string(name) + ".jpg")));
    }
    const std::string page = Page(1);
    for (const char* hidden : {"DEC guiding graph", "Spread images"}) {
        const size_t at = page.find(hidden);
        ASSERT_NE(at, std::string::npos);
        const size_t open = page.rfind("<!--", at);
        ASSERT_NE(open, std::string::npos) << hidden;
        EXPECT_EQ(page.find("-->", open), page.find("-->", at)) << hidden;
    }
    EXPECT_EQ(page.find("RA guiding graph") < page.find("<!--"), true);
}

TEST_F(ReportGeneratorTest, WritesNothingButTheFoldersWhenNoExposureWasGuided) {
    LogBuilder log;
    log.Start().At(50000, "AG STOP").Exposure(60000, 70000).Exposure(80000, 80000);
    ASSERT_EQ(Generate(log.Text()), "");
    EXPECT_TRUE(fs::is_directory(fs::path(Folder()) / "dat"));
    EXPECT_EQ(CountFiles(Folder()), 0);
}

TEST_F(ReportGeneratorTest, ARerunRemovesTheOlderPagesAndImagesItDidNotWriteAgain) {
    LogBuilder three;
    three.Start().Exposure(60000, 70000).Exposure(80000, 100000).Exposure(120000, 125000);
    ASSERT_EQ(Generate(three.Text()), "");
    ASSERT_EQ(CountFiles(Folder()), 3 + 2 + 3 * 8);
    // What the user put there, named like but not as the report names its files.
    const fs::path folder = Folder();
    const std::vector<std::string> others = {"notes.txt", "guiexpo_01.html", "guiexpo_2.htm",
                                             "dat/guiexp_2_sketch.jpg", "dat/guiexp_x_calib.jpg"};
    for (const std::string& name : others)
        dir_.Write("report/" + name, "mine");
    fs::create_directories(folder / "guiexpo_5.html");  // a folder, not the report's file

    // The log lost two exposures, and the one left has no DEC calibration.
    LogBuilder one;
    one.Start("1\t0\t2\t0\t1\t0.0009").Exposure(60000, 70000);
    ASSERT_EQ(Generate(one.Text()), "");
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.insert(fs::relative(entry.path(), folder).string());
    std::set<std::string> expected = {"guiexpo_1.html",
                                      "guiexpo_5.html",
                                      "dat",
                                      "dat/vt5log.css",
                                      "dat/NORVANE-LOGO-small.jpg",
                                      "dat/guiexp_1_ra_graph.jpg",
                                      "dat/guiexp_1_raag_graph.jpg",
                                      "dat/guiexp_1_track_err.jpg",
                                      "dat/guiexp_1_fwhm.jpg"};
    expected.insert(others.begin(), others.end());
    EXPECT_EQ(names, expected);
    EXPECT_EQ(Page(1).find("guiexpo_2.html"), std::string::npos);

    // No guided exposure left: no page either.
    LogBuilder none;
    none.Start().At(50000, "AG STOP").Exposure(60000, 70000);
    ASSERT_EQ(Generate(none.Text()), "");
    EXPECT_FALSE(fs::exists(folder / "guiexpo_1.html"));
    EXPECT_FALSE(fs::exists(folder / "dat/guiexp_1_ra_graph.jpg"));
    EXPECT_TRUE(fs::exists(folder / "guiexpo_01.html"));
}

TEST_F(ReportGeneratorTest, EscapesLogTextsInThePage) {
    LogBuilder log;
    log.At(0, "LOG START\t<script>x</script>%WGRAPH%\t0007\t2.14\"&")
        .At(10, "CAM CONN\tVC5")
        .At(40, "AG START\t<i>RA</i>\t0.70\t0.10\t0.15\t0.60\t0.20\t500.0")
        .Exposure(60000, 70000);
    ASSERT_EQ(Generate(log.Text()), "");
    const std::string page = Page(1);
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    EXPECT_NE(page.find("HC UID: &lt;script&gt;x&lt;/script&gt;&#37;WGRAPH&#37;"),
              std::string::npos);
    EXPECT_NE(page.find("Fw.2.14&quot;&amp;"), std::string::npos);
    EXPECT_NE(page.find("&lt;i&gt;RA&lt;/i&gt;"), std::string::npos);
}

TEST_F(ReportGeneratorTest, ReportsEachFailureWithItsText) {
    LogBuilder good;
    good.Start().Exposure(60000, 70000);
    EXPECT_EQ(generator_.GenerateReport(dir_ / "missing.txt", Folder()), kErrorReadLog);
    EXPECT_EQ(Generate("2021-03-07\t21:00\tLOG START\tX\t\t\n"), kErrorReadLog);
    EXPECT_EQ(Generate(good.Text() + "2021-03-07\t22:00:00.000\tCAM FRAME\t1\t2\t3\r\n"),
              kErrorEvaluate);
    EXPECT_FALSE(fs::exists(Folder()));  // nothing written

    // The report folder would have to live inside a file.
    dir_.Write("file", "x");
    const std::string log = dir_.Write("x_log_1.txt", good.Text());
    EXPECT_EQ(generator_.GenerateReport(log, dir_ / "file/report"), kErrorDestination);

    // A graph file that cannot be created.
    fs::create_directories(fs::path(Folder()) / "dat/guiexp_1_raag_graph.jpg");
    EXPECT_EQ(generator_.GenerateReport(log, Folder()), kErrorJpeg);
    EXPECT_TRUE(fs::exists(fs::path(Folder()) / "dat/guiexp_1_ra_graph.jpg"));  // stays
    fs::remove_all(Folder());

    // A page that cannot be written is a failure too, not a silent gap.
    fs::create_directories(fs::path(Folder()) / "guiexpo_1.html");
    EXPECT_EQ(generator_.GenerateReport(log, Folder()), kErrorDestination);
    fs::remove_all(Folder());

    ReportResources resources = LoadReportResources();
    for (std::string ReportResources::*missing :
         {&ReportResources::pageTemplate, &ReportResources::styleSheet, &ReportResources::logo}) {
        ReportResources incomplete = resources;
        (incomplete.*missing).clear();
        ReportGenerator generator(incomplete);
        EXPECT_EQ(generator.GenerateReport(log, Folder()), kErrorResource);
        EXPECT_FALSE(fs::exists(fs::path(Folder()) / "guiexpo_1.html"));
    }
}

TEST_F(ReportGeneratorTest, ProcessLogFilesWritesBesideTheUniqueIdFolderAndListsOutcomes) {
    LogBuilder log;
    log.Start().Exposure(60000, 70000);
    const std::string good = dir_.Write("Logs/A1B2C3D4E5F6G7H/2021/x_log_1.txt", log.Text());
    const std::string bad = dir_.Write("Logs/A1B2C3D4E5F6G7H/2021/y_log_2.txt.bak", "\r\n");
    const std::string loop = dir_ / "loop_log_3.txt";
    fs::create_symlink("loop_log_3.txt", loop);
    std::string result = "old text";
    std::vector<std::string> folders;
    const int failures = generator_.ProcessLogFiles(
        {good, bad, dir_ / "none.txt", loop}, result,
        [&](const FileOutcome& outcome) { folders.push_back(outcome.reportFolder); });
    EXPECT_EQ(failures, 3);
    EXPECT_EQ(result,
              "x_log_1.txt:\tOK\r\n"
              "y_log_2.txt:\tCan't read log file (format error?)\r\n"
              "none.txt:\tCan't read log file (format error?)\r\n"
              "loop_log_3.txt:\tCan't read log file (symbolic link loop)\r\n");
    const fs::path anchor = dir_.Path() / "Logs/A1B2C3D4E5F6G7H";
    ASSERT_EQ(folders.size(), 4u);
    EXPECT_EQ(folders[0], (anchor / "Processed/x_log_1").string());
    EXPECT_TRUE(fs::exists(anchor / "Processed/x_log_1/guiexpo_1.html"));
}

TEST(FolderPath, AnchorIsTheUniqueIdFolderElseTheFirstComponent) {
    struct Case {
        const char* log;
        const char* anchor;
        const char* reportFolder;
    };
    const Case cases[] = {
        {"/Logs/A1B2C3D4E5F6G7H/2021/x_log_1.txt", "/Logs/A1B2C3D4E5F6G7H",
         "/Logs/A1B2C3D4E5F6G7H/Processed/x_log_1"},
        {"/home/u/A1B2C3D4E5F6G7H/SD/LOGS/a_log_2.txt", "/home/u/A1B2C3D4E5F6G7H",
         "/home/u/A1B2C3D4E5F6G7H/Processed/a_log_2"},
        {"/home/u/logs/x_log_1.txt", "/", "/Processed/x_log_1"},  // no doubled separator
        {"/home/u/a1b2c3d4e5f6g7h/x.txt", "/", "/Processed/x"},   // lower case: no ID
        {"/home/u/A1B2C3D4E5F6G7/x.txt", "/", "/Processed/x"},    // 14 characters
        {"/123456789012345/x.txt", "/123456789012345", "/123456789012345/Processed/x"},
        {"logs/2021/x.txt", "logs", "logs/Processed/x"},
        {"x_log_1.txt", ".", "./Processed/x_log_1"},
        {"/x.txt", "/", "/Processed/x"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AnchorFolder(c.log), c.anchor) << c.log;
        EXPECT_EQ(ReportFolderFor(c.log), c.reportFolder) << c.log;
    }
    EXPECT_EQ(ReportBaseName("/a/b/x_log_1.txt"), "x_log_1");
    EXPECT_EQ(ReportBaseName("/a/b/x.txt.txt"), "x");
    EXPECT_EQ(ReportBaseName("/a/b/x.TXT"), "x.TXT");
    EXPECT_EQ(ReportBaseName("/a.txt/b/log"), "log");
}

TEST(FolderPath, CreateFolderPathMakesMissingParents) {
    TempDir dir;
    EXPECT_EQ(CreateFolderPath(dir / "a/b/c//"), 0);
    EXPECT_TRUE(fs::is_directory(dir.Path() / "a/b/c"));
    EXPECT_EQ(CreateFolderPath(dir / "a/b"), 0);  // exists
    EXPECT_EQ(CreateFolderPath("/"), 0);
    EXPECT_EQ(CreateFolderPath(""), -2);
    dir.Write("a/file", "x");
    EXPECT_NE(CreateFolderPath(dir / "a/file"), 0);
    EXPECT_NE(CreateFolderPath(dir / "a/file/sub"), 0);
}

TEST(ReportResources, TemplateStyleSheetAndLogoAreBuiltIn) {
    const ReportResources r = LoadReportResources();
    ASSERT_EQ(r.pageTemplate.compare(0, 3, "\xEF\xBB\xBF"), 0);
    for (const char* key : {"%LOGF_DATE_TITLE%",
                            "%FW_VERSION%",
                            "%HC_UID%",
                            "%LOGF_TIME%",
                            "%GUIEXPO_LIST_OF_LINKS%",
                            "%GUIEXPO_IDX%",
                            "%EXPO_LEN_SEC%",
                            "%EXPO_START_SEC%",
                            "%EXPO_END_SEC%",
                            "%FOCLEN%",
                            "%BINNINGX%",
                            "%AG_MODE%",
                            "%AGP_P_ST%",
                            "%AGP_I_ST%",
                            "%AGP_TOL_ST%",
                            "%AGP_P_END%",
                            "%AGP_I_END%",
                            "%AGPDEC_P%",
                            "%AGPDEC_TOL%",
                            "%N_FRAMES%",
                            "%N_GUIFRAMES%",
                            "%N_GUIFRAMES_STAR%",
                            "%RA_GUI_GRAPH_FN%",
                            "%WGRAPH%",
                            "%RADRIFT_MAX_ARCSEC%",
                            "%RA_AGSIG_GRAPH_FN%",
                            "%RASIG_MAX_PERCENT%",
                            "%DR_RA_STD%",
                            "%DR_RA_MIN%",
                            "%DR_RA_MAX%",
                            "%N_CORRS%",
                            "%AVG_AGSIG_LEN%",
                            "%AVG_AGSIG_LEN_PERCENT%",
                            "%SKIP_IF_NO_DEC_START%",
                            "%DEC_GUI_GRAPH_FN%",
                            "%DECDRIFT_MAX_ARCSEC%",
                            "%DEC_AGSIG_GRAPH_FN%",
                            "%DECSIG_MAX_PERCENT%",
                            "%DR_DEC_STD%",
                            "%DR_DEC_MIN%",
                            "%DR_DEC_MAX%",
                            "%N_DEC_CORRS%",
                            "%AVG_DEC_AGSIG_LEN%",
                            "%AVG_DEC_AGSIG_LEN_PERCENT%",
                            "%SKIP_IF_NO_DEC_END%",
                            "%TRACK_ERROR_GRAPH_FN%",
                            "%TRACK_ERROR_SCALE_VAL%",
                            "%FWHM_GRAPH_FN%",
                            "%FWHM_MAX_VAL%",
                            "%IMG_CALIBVEC_FN%",
                            "%PTSPREAD_SCALE%",
                            "%IMG_PTSPREAD_FN%",
                            "%GANTRIX_VER_STR%",
                            "%SRC_LOG_FN%",
                            "%CONV_TIME%",
                            "dat/vt5log.css",
                            "dat/NORVANE-LOGO-small.jpg",
                            "id=\"Expos\"",
                            "bar theme-norvane left-align large"}) {
        EXPECT_NE(r.pageTemplate.find(key), std::string::npos) << key;
    }
    for (const char* cls : {".top",
                            ".bar",
                            ".bar-item",
                            ".bar-item-r",
                            ".sidebar",
                            ".bar-block",
                            ".button",
                            ".hover-black",
                            ".theme-norvane",
                            ".color-blk-wht",
                            ".bkcolor-blk-lgrey",
                            ".grey-footer",
                            ".text-sect",
                            ".main",
                            ".ctn",
                            ".row",
                            ".flt25",
                            ".flt33",
                            ".flt35",
                            ".flt40",
                            ".flt50",
                            ".flt66",
                            ".border",
                            ".padding-16",
                            ".padding-64",
                            ".padding-none",
                            ".padding-small",
                            ".padding-top-24"}) {
        EXPECT_TRUE(std::regex_search(r.styleSheet, std::regex(std::string("\\") + cls + "[ :,{]")))
            << cls;
    }
    TempDir dir;
    const std::string logo = dir.Write("logo.jpg", r.logo);
    const QImage image = testing::DecodeJpeg(logo);
    EXPECT_EQ(image.width(), 48);
    EXPECT_EQ(image.height(), 48);
}

}  // namespace
}  // namespace report
