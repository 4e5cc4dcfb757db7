// The sample logs of tests/data/logs through the whole generator and through vt5-report.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "gantrix/report/report_generator.h"
#include "tests/report/jpeg_test_support.h"
#include "tests/report/log_builder.h"

namespace report {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileText;
using testing::TempDir;

const char* const kSamples[] = {"vt5_log_0307.txt", "vt5_log_0308.txt", "vt5_log_0309.txt"};

// Copies the samples as the SD card browser leaves them: <My folder>/<unique ID>/SD/LOGS.
std::vector<std::string> CopySamples(const TempDir& dir) {
    const fs::path logs = dir.Path() / "A1B2C3D4E5F6G7H/SD/LOGS";
    fs::create_directories(logs);
    std::vector<std::string> paths;
    for (const char* name : kSamples) {
        fs::copy_file(fs::path(VT5_TEST_DATA_DIR) / "logs" / name, logs / name);
        paths.push_back((logs / name).string());
    }
    return paths;
}

int CountPages(const fs::path& folder) {
    int pages = 0;
    while (fs::exists(folder / ("guiexpo_" + std::to_string(pages + 1) + ".html")))
        ++pages;
    return pages;
}

TEST(SampleLogs, EveryLogBecomesAReport) {
    TempDir dir;
    const std::vector<std::string> logs = CopySamples(dir);
    ReportGenerator generator(LoadReportResources());
    std::string result;
    ASSERT_EQ(generator.ProcessLogFiles(logs, result), 0) << result;
    EXPECT_EQ(result,
              "vt5_log_0307.txt:\tOK\r\nvt5_log_0308.txt:\tOK\r\nvt5_log_0309.txt:\tOK\r\n");
    const fs::path processed = dir.Path() / "A1B2C3D4E5F6G7H/Processed";

    // Four exposures, the third never guided; DEC calibrated; AG TRIM in the first.
    const fs::path night = processed / "vt5_log_0307";
    EXPECT_EQ(CountPages(night), 3);
    const std::string first = ReadFileText(night / "guiexpo_1.html");
    EXPECT_NE(first.find("0.70 / 0.10 / 0.10 (P / I / tol.)"), std::string::npos);
    EXPECT_NE(first.find("0.56 / 0.15 (P / I)"), std::string::npos);
    EXPECT_NE(first.find("21:05.33.4 s"), std::string::npos);
    EXPECT_NE(first.find("Frames with star:</td><td>142"), std::string::npos);
    EXPECT_NE(ReadFileText(night / "guiexpo_2.html").find("Frames guided:</td><td>269"),
              std::string::npos);
    const testing::JpegLayout spread =
        testing::ReadJpegLayout((night / "dat/guiexp_3_ptspread.jpg").string());
    EXPECT_EQ(spread.width, 256);

    // RA only, a full buffer ends the third exposure unrecorded.
    const fs::path raOnly = processed / "vt5_log_0308";
    EXPECT_EQ(CountPages(raOnly), 2);
    EXPECT_FALSE(fs::exists(raOnly / "dat/guiexp_1_dec_graph.jpg"));
    EXPECT_FALSE(fs::exists(raOnly / "dat/guiexp_2_ptspread.jpg"));
    EXPECT_NE(ReadFileText(raOnly / "guiexpo_1.html").find("<!--"), std::string::npos);

    // One long exposure at one frame per second: 799 frames, shown 720 pixels wide.
    const fs::path longOne = processed / "vt5_log_0309";
    EXPECT_EQ(CountPages(longOne), 1);
    const std::string page = ReadFileText(longOne / "guiexpo_1.html");
    EXPECT_NE(page.find("unknown, treated as 1x1"), std::string::npos);
    EXPECT_NE(page.find("style=\"width:720px;height:161px\""), std::string::npos);
    EXPECT_NE(page.find("Fw.2.15"), std::string::npos);
    const QImage graph = testing::DecodeJpeg((longOne / "dat/guiexp_1_ra_graph.jpg").string());
    EXPECT_EQ(graph.width(), 799);
    EXPECT_EQ(graph.height(), 161);
}

int RunTool(const std::string& arguments, const TempDir& dir, const std::string& wrapper = {}) {
    const std::string command = std::string("cd '") + dir.Path().string() + "' && " + wrapper +
                                "'" + VT5_REPORT_TOOL + "' " + arguments + " > out.txt 2> err.txt";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Vt5Report, ProcessesTheLogsGivenAndExitsNonZeroWhenOneFailed) {
    TempDir dir;
    CopySamples(dir);
    ASSERT_EQ(
        RunTool("A1B2C3D4E5F6G7H/SD/LOGS/vt5_log_0307.txt A1B2C3D4E5F6G7H/SD/LOGS/vt5_log_0308.txt",
                dir),
        0);
    EXPECT_EQ(ReadFileText(dir.Path() / "out.txt"),
              "vt5_log_0307.txt:\tOK\nvt5_log_0308.txt:\tOK\n");
    EXPECT_NE(ReadFileText(dir.Path() / "err.txt").find("A1B2C3D4E5F6G7H/Processed/vt5_log_0308"),
              std::string::npos);
    EXPECT_TRUE(fs::exists(dir.Path() / "A1B2C3D4E5F6G7H/Processed/vt5_log_0307/guiexpo_3.html"));

    EXPECT_EQ(RunTool("missing_log_1.txt A1B2C3D4E5F6G7H/SD/LOGS/vt5_log_0309.txt", dir), 1);
    EXPECT_EQ(ReadFileText(dir.Path() / "out.txt"),
              "missing_log_1.txt:\tCan't read log file (format error?)\nvt5_log_0309.txt:\tOK\n");
    EXPECT_NE(ReadFileText(dir.Path() / "err.txt").find("1 of 2 log files failed"),
              std::string::npos);

    // -o puts each report into FOLDER/<log name>.
    ASSERT_EQ(RunTool("-o out/reports A1B2C3D4E5F6G7H/SD/LOGS/vt5_log_0308.txt", dir), 0);
    EXPECT_TRUE(fs::exists(dir.Path() / "out/reports/vt5_log_0308/guiexpo_2.html"));

    EXPECT_EQ(RunTool("", dir), 2);
    EXPECT_NE(ReadFileText(dir.Path() / "err.txt").find("vt5-report: no log file given"),
              std::string::npos);
    EXPECT_EQ(RunTool("x_log_1.txt -o", dir), 2);
}

// What is no log is refused at once with its reason, never read until memory runs out or
// waited on: devices, FIFOs, folders and files larger than any log.
TEST(Vt5Report, RefusesWhatIsNoRegularFileOrTooLargeForALog) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir.Path() / "fifo_log_1.txt").c_str(), 0600), 0);
    fs::create_directories(dir.Path() / "folder_log_1.txt");
    const std::string big = dir.Write("big_log_1.txt", "");
    fs::resize_file(big, kMaxLogFileSize + 1);  // sparse: no disk space taken
    const struct {
        std::string path;
        std::string line;
    } cases[] = {
        {"/dev/zero", "zero.txt:\t" + std::string(kErrorNotAFile)},
        {"fifo_log_1.txt", "fifo_log_1.txt:\t" + std::string(kErrorNotAFile)},
        {"folder_log_1.txt", "folder_log_1.txt:\t" + std::string(kErrorNotAFile)},
        {"big_log_1.txt", "big_log_1.txt:\t" + std::string(kErrorTooLarge)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        // `timeout` ends a tool that blocks (exit 124) so that the failure shows.
        EXPECT_EQ(RunTool(c.path + " -o reports", dir, "timeout 60 "), 1);
        EXPECT_EQ(ReadFileText(dir.Path() / "out.txt"), c.line + "\n");
        EXPECT_NE(ReadFileText(dir.Path() / "err.txt").find("1 of 1 log files failed"),
                  std::string::npos);
        EXPECT_FALSE(fs::exists(dir.Path() / "reports"));
    }
}

}  // namespace
}  // namespace report
