// The reports made on this PC, as the browser's right half finds them under "My folder".
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "gantrix/app/card_browser/processed_reports.h"
#include "tests/support/bus_fixture.h"

namespace {

namespace fs = std::filesystem;

void Touch(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "x";
}

TEST(ProcessedReports, UidFoldersAndTheirReports) {
    vt5test::TempDir dir;
    const fs::path my = dir.path();
    Touch(my / "A1B2C3D4E5F6G7H/Processed/vt5_log_0308/guiexpo_1.html");
    Touch(my / "A1B2C3D4E5F6G7H/Processed/vt5_log_0307/guiexpo_1.html");
    Touch(my / "A1B2C3D4E5F6G7H/Processed/vt5_log_0309/guiexpo_2.html");  // no first page
    Touch(my / "A1B2C3D4E5F6G7H/Processed/.old/guiexpo_1.html");          // hidden
    Touch(my / "A1B2C3D4E5F6G7H/SD/LOGS/vt5_log_0307.txt");
    fs::create_directories(my / "000000000000001");            // digits only
    Touch(my / "a1B2C3D4E5F6G7H/Processed/x/guiexpo_1.html");  // a lower-case letter
    fs::create_directories(my / "A1B2C3D4E5F6G7HX");           // 16 characters
    Touch(my / "B1B2C3D4E5F6G7H");                             // a file, no folder

    const std::vector<UidFolder> found = FindProcessedReports(my.string());
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].uid, "000000000000001");
    EXPECT_TRUE(found[0].reports.empty());
    EXPECT_EQ(found[1].uid, "A1B2C3D4E5F6G7H");
    ASSERT_EQ(found[1].reports.size(), 2u);
    EXPECT_EQ(found[1].reports[0].title, "vt5_log_0307");
    EXPECT_EQ(found[1].reports[0].type, "guided exposure");
    EXPECT_EQ(found[1].reports[0].path,
              (my / "A1B2C3D4E5F6G7H/Processed/vt5_log_0307/guiexpo_1.html").string());
    EXPECT_EQ(found[1].reports[1].title, "vt5_log_0308");
}

TEST(ProcessedReports, MissingMyFolderHasNone) {
    EXPECT_TRUE(FindProcessedReports("/nonexistent/veltra").empty());
}

}  // namespace

TEST(ProcessedReports, TheIndexOfTheNightsBelongsToItsUidFolder) {
    vt5test::TempDir dir;
    const fs::path my = dir.path();
    Touch(my / "A1B2C3D4E5F6G7H/Processed/vt5_log_0307/guiexpo_1.html");
    Touch(my / "A1B2C3D4E5F6G7H/Processed/index.html");
    Touch(my / "B1B2C3D4E5F6G7H/Processed/vt5_log_0307/guiexpo_1.html");
    fs::create_directories(my / "C1B2C3D4E5F6G7H/Processed/index.html");  // a folder, no page

    const std::vector<UidFolder> found = FindProcessedReports(my.string());
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].nightsIndex, (my / "A1B2C3D4E5F6G7H/Processed/index.html").string());
    EXPECT_EQ(found[0].reports.size(), 1u) << "the index is no report of its own";
    EXPECT_EQ(found[1].nightsIndex, "");
    EXPECT_EQ(found[2].nightsIndex, "");
}
