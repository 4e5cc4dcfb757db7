// Reports made on every core: the same files, byte for byte, as on one thread.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <regex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "gantrix/report/jpeg_writer.h"
#include "gantrix/report/parallel_for.h"
#include "gantrix/report/report_generator.h"
#include "tests/report/jpeg_test_support.h"
#include "tests/report/log_builder.h"

namespace report {
namespace {

namespace fs = std::filesystem;
using testing::LogBuilder;
using testing::ReadFileText;
using testing::TempDir;

TEST(ParallelFor, RunsEveryJobOnceForAnyNumberOfThreads) {
    for (size_t count : {0, 1, 5, 100}) {
        for (int threads : {0, 1, 2, 7}) {
            std::vector<std::atomic<int>> runs(count);
            ParallelFor(count, threads, [&](size_t i) { ++runs[i]; });
            for (size_t i = 0; i < count; ++i)
                EXPECT_EQ(runs[i], 1) << count << " jobs, " << threads << " threads, job " << i;
        }
    }
}

TEST(ParallelFor, OneThreadRunsTheJobsInOrderOnTheCaller) {
    std::vector<size_t> order;
    const std::thread::id caller = std::this_thread::get_id();
    ParallelFor(4, 1, [&](size_t i) {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        order.push_back(i);
    });
    EXPECT_EQ(order, (std::vector<size_t>{0, 1, 2, 3}));
}

TEST(ParallelFor, AJobsExceptionReachesTheCallerAfterTheOthersStopped) {
    for (int threads : {1, 4}) {
        std::atomic<int> running{0}, started{0};
        EXPECT_THROW(ParallelFor(1000, threads,
                                 [&](size_t i) {
                                     ++running;
                                     ++started;
                                     std::this_thread::yield();
                                     --running;
                                     if (i == 3) throw std::runtime_error("job 3");
                                 }),
                     std::runtime_error);
        EXPECT_EQ(running, 0) << threads << " threads";
        if (threads == 1) {
            EXPECT_EQ(started, 4);
        }
    }
}

TEST(EncodeJpeg, GivesTheBytesOfTheFile) {
    CBitmapRect canvas;
    ASSERT_EQ(canvas.Create(90, 40), 0);
    canvas.Fill(0x00336699);
    canvas.Line(0, 0, 89, 39, 0x00FFFFFF);
    TempDir dir;
    ASSERT_EQ(WriteJpeg(dir / "a.jpg", canvas, 75), 0);
    std::string bytes = "left over";
    ASSERT_EQ(EncodeJpeg(bytes, canvas, 75), 0);
    EXPECT_EQ(bytes, ReadFileText(dir / "a.jpg"));

    CBitmapRect none;
    EXPECT_EQ(EncodeJpeg(bytes, none, 75), -1);
    EXPECT_TRUE(bytes.empty());
}

// Every file under a folder by its relative path; pages without the minute they were made in.
std::map<std::string, std::string> Tree(const fs::path& folder) {
    static const std::regex madeAt("Processed at [^<]*");
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        std::string bytes = ReadFileText(entry.path());
        if (entry.path().extension() == ".html") bytes = std::regex_replace(bytes, madeAt, "");
        files[fs::relative(entry.path(), folder).string()] = std::move(bytes);
    }
    return files;
}

// Exposures with and without DEC calibration, long and short, one never guided.
std::string MixedLog() {
    LogBuilder log;
    log.Start().Exposure(60000, 130000).Exposure(140000, 150000, 250);
    log.At(160000, "CALIB RESULT\t1\t0\t2\t0\t0\t0").Exposure(170000, 400000);
    log.At(410000, "EXPO STATE\tEXPO\t300").At(420000, "EXPO STATE\tIDLE\t0");
    log.At(430000, "CALIB RESULT\t0.9\t-0.1\t2.5\t0.1\t0.9\t2.2").Exposure(440000, 445000);
    return log.Text();
}

struct Outcome {
    std::string result;
    std::map<std::string, std::string> files;
};

// Processes the logs with a generator of `threads` threads into a folder of their own.
Outcome Process(const std::vector<std::pair<std::string, std::string>>& logs, int threads,
                const std::function<void(const fs::path&)>& prepare = {}) {
    TempDir dir;
    std::vector<std::string> paths;
    for (const auto& [name, text] : logs)
        paths.push_back(dir.Write("A1B2C3D4E5F6G7H/SD/LOGS/" + name, text));
    if (prepare) prepare(dir.Path() / "A1B2C3D4E5F6G7H/Processed");
    ReportGenerator generator(LoadReportResources(), threads);
    EXPECT_EQ(generator.Threads(), threads);
    Outcome run;
    generator.ProcessLogFiles(paths, run.result);
    run.files = Tree(dir.Path() / "A1B2C3D4E5F6G7H/Processed");
    return run;
}

TEST(AllCores, ReportsAreByteIdenticalToTheOneThreadReports) {
    std::vector<std::pair<std::string, std::string>> logs = {{"mixed_log_1.txt", MixedLog()}};
    for (const char* name : {"vt5_log_0307.txt", "vt5_log_0308.txt", "vt5_log_0309.txt"}) {
        logs.emplace_back(name, ReadFileText(fs::path(VT5_TEST_DATA_DIR) / "logs" / name));
    }
    const Outcome one = Process(logs, 1);
    EXPECT_EQ(one.result,
              "mixed_log_1.txt:\tOK\r\nvt5_log_0307.txt:\tOK\r\nvt5_log_0308.txt:\tOK\r\n"
              "vt5_log_0309.txt:\tOK\r\n");
    EXPECT_TRUE(one.files.count("mixed_log_1/guiexpo_4.html"));
    EXPECT_TRUE(one.files.count("mixed_log_1/dat/guiexp_4_ptspread.jpg"));
    EXPECT_FALSE(one.files.count("mixed_log_1/dat/guiexp_3_dec_graph.jpg"));
    for (int threads : {2, 5}) {
        const Outcome many = Process(logs, threads);
        EXPECT_EQ(many.result, one.result);
        ASSERT_EQ(many.files.size(), one.files.size()) << threads << " threads";
        for (const auto& [path, bytes] : one.files) {
            const auto found = many.files.find(path);
            ASSERT_NE(found, many.files.end()) << path;
            EXPECT_TRUE(found->second == bytes) << path << " differs on " << threads << " threads";
        }
    }
}

// An image that cannot be written stops the report where one thread stops it: the pages and
// images before it stay, nothing after it is written.
TEST(AllCores, AFailedImageLeavesTheSameFilesAsOnOneThread) {
    const std::vector<std::pair<std::string, std::string>> logs = {{"mixed_log_1.txt", MixedLog()}};
    const auto blockImage = [](const fs::path& processed) {
        fs::create_directories(processed / "mixed_log_1/dat/guiexp_2_fwhm.jpg");
    };
    const Outcome one = Process(logs, 1, blockImage);
    EXPECT_EQ(one.result, "mixed_log_1.txt:\tcan't write JPG file\r\n");
    EXPECT_TRUE(one.files.count("mixed_log_1/guiexpo_1.html"));
    EXPECT_TRUE(one.files.count("mixed_log_1/dat/guiexp_2_track_err.jpg"));
    EXPECT_FALSE(one.files.count("mixed_log_1/dat/guiexp_2_calib.jpg"));
    EXPECT_FALSE(one.files.count("mixed_log_1/guiexpo_2.html"));
    const Outcome many = Process(logs, 4, blockImage);
    EXPECT_EQ(many.result, one.result);
    EXPECT_TRUE(many.files == one.files);
}

}  // namespace
}  // namespace report
