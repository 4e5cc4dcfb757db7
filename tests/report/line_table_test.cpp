#include "gantrix/report/line_table.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/report/log_builder.h"

namespace report {
namespace {

using testing::TempDir;

TEST(ReadLogFile, ReadsEveryLineWithItsTimeKeywordAndFieldCursor) {
    LineTable table;
    ASSERT_EQ(table.ReadLogData("2021-3-7\t1:02:03.45\tAG STOP\r\n"
                                "2021-03-07\t01:02:04.500\tCAM FRAME\t1\t2\t3.5\t4\n"),
              kReadOk);
    ASSERT_EQ(table.Size(), 2u);
    EXPECT_EQ(table[0].eventKeyword, "AG STOP");
    EXPECT_EQ(table[0].logTime, LogTimeFromCalendar(2021, 3, 7, 1, 2, 3, 45));
    EXPECT_EQ(table[0].fieldCursor, table[0].rawText.size());
    EXPECT_EQ(table[1].rawText, "2021-03-07\t01:02:04.500\tCAM FRAME\t1\t2\t3.5\t4");
    EXPECT_EQ(table[1].rawText.substr(table[1].fieldCursor), "1\t2\t3.5\t4");
    EXPECT_EQ(table[1].logTime - table[0].logTime, 1455);
}

TEST(ReadLogFile, AnyRunOfLineEndsSeparatesTwoLines) {
    const std::string a = "2021-03-07\t21:00:00.000\tLOG START\tX\t\t1";
    const std::string b = "2021-03-07\t21:00:01.000\tAG STOP";
    for (const char* separator : {"\r\n", "\n\n", "\r", "\n", "\r\n\r\n\n\r", "\n\r"}) {
        for (const char* ending : {"", "\r\n", "\n\n\n"}) {
            LineTable table;
            ASSERT_EQ(table.ReadLogData(a + separator + b + ending), kReadOk) << separator;
            ASSERT_EQ(table.Size(), 2u);
            EXPECT_EQ(table[0].rawText, a);
            EXPECT_EQ(table[1].rawText, b);
        }
    }
}

TEST(ReadLogFile, FailsOnEmptyFilesLeadingLineEndsAndUnparsableHeads) {
    struct Case {
        const char* name;
        std::string text;
        int status;  // 0: any negative status
    };
    const Case cases[] = {
        {"empty file", "", kReadEmptyLine},
        {"only line ends", "\r\n\r\n", kReadEmptyLine},
        {"leading line end", "\n2021-03-07\t21:00:00.000\tAG STOP", kReadEmptyLine},
        {"date with two numbers", "2021-03\t21:00:00.000\tAG STOP", 0},
        {"date not a number", "yesterday\t21:00:00.000\tAG STOP", 0},
        {"time without milliseconds", "2021-03-07\t21:00:00\tAG STOP", 0},
        {"no time token", "2021-03-07", 0},
        {"month 13", "2021-13-07\t21:00:00.000\tAG STOP", 0},
        {"month 0", "2021-0-07\t21:00:00.000\tAG STOP", 0},
        {"second line bad", "2021-03-07\t21:00:00.000\tAG STOP\n2021-03-07\t21:00\tX", 0},
    };
    for (const Case& c : cases) {
        LineTable table;
        const int status = table.ReadLogData(c.text);
        if (c.status != 0) {
            EXPECT_EQ(status, c.status) << c.name;
        } else {
            EXPECT_LT(status, 0) << c.name;  // the complement of a cursor position
        }
        EXPECT_EQ(table.Size(), 0u) << c.name;
    }
}

TEST(ReadLogFile, NumbersConvertAsScanfReadsThem) {
    LineTable table;
    // Leading blanks and signs are taken, trailing characters of a token ignored.
    ASSERT_EQ(table.ReadLogData("2021- 3-+7xyz\t 1:2:3.045 UTC\tAG STOP"), kReadOk);
    EXPECT_EQ(table[0].logTime, LogTimeFromCalendar(2021, 3, 7, 1, 2, 3, 45));
    // Dates before 2000 are no error; their time is 0.
    ASSERT_EQ(table.ReadLogData("1999-12-31\t23:59:59.999\tAG STOP"), kReadOk);
    EXPECT_EQ(table[0].logTime, 0);
}

TEST(ReadLogFile, LinesAndTokensHaveNoLengthLimit) {
    const std::string longField(300000, 'x');
    std::string text = "2021-03-07\t21:00:00.000\tLOG START\t" + longField + "\t\t2.14\n";
    text += "2021-03-07\t21:00:01.000\t" + std::string(1000, 'K') + "\n";
    LineTable table;
    ASSERT_EQ(table.ReadLogData(text), kReadOk);
    ASSERT_EQ(table.Size(), 2u);
    EXPECT_EQ(table[0].rawText.size(), 34 + longField.size() + 6);
    EXPECT_EQ(table[1].eventKeyword.size(), 1000u);
}

TEST(ReadLogFile, GrowsTheTableInStepsAndReadsFilesFromDisk) {
    std::string text;
    for (size_t i = 0; i < LineTable::kGrowthStep + 5; ++i) {
        text += "2021-03-07\t21:00:00." + std::to_string(i % 1000) + "\tCAM TEMP\t-5.0\n";
    }
    TempDir dir;
    LineTable table;
    ASSERT_EQ(table.ReadLogFile(dir.Write("x_log_1.txt", text)), kReadOk);
    EXPECT_EQ(table.Size(), LineTable::kGrowthStep + 5);
    EXPECT_EQ(table.Lines().capacity(), 2 * LineTable::kGrowthStep);

    EXPECT_EQ(table.ReadLogFile(dir / "missing.txt"), kReadCannotOpen);
    EXPECT_EQ(table.Size(), 0u);
    EXPECT_EQ(table.ReadLogFile(dir.Path().string()), kReadNotAFile);  // a folder
}

TEST(ReadLogFile, SaysWhenThePathIsALinkLoop) {
    TempDir dir;
    std::filesystem::create_symlink("loop_b_log_1.txt", dir.Path() / "loop_a_log_1.txt");
    std::filesystem::create_symlink("loop_a_log_1.txt", dir.Path() / "loop_b_log_1.txt");
    std::filesystem::create_symlink("x_log_1.txt", dir.Path() / "self_log_1.txt");
    std::filesystem::create_symlink("self_log_1.txt", dir.Path() / "x_log_1.txt");
    LineTable table;
    EXPECT_EQ(table.ReadLogFile(dir / "loop_a_log_1.txt"), kReadLinkLoop);
    EXPECT_EQ(table.ReadLogFile(dir / "self_log_1.txt"), kReadLinkLoop);
    // A link to a log is read as the log.
    const std::string log = dir.Write("real_log_1.txt", "2021-03-07\t21:00:00.000\tAG STOP\n");
    std::filesystem::create_symlink("real_log_1.txt", dir.Path() / "link_log_1.txt");
    EXPECT_EQ(table.ReadLogFile(dir / "link_log_1.txt"), kReadOk);
    EXPECT_EQ(table.Size(), 1u);
}

// Two million short lines: a table grown by a fixed step copied itself 122 times on the way.
TEST(ReadLogFile, ReadsMillionsOfShortLinesWhole) {
    const size_t count = 2'000'000;
    std::string text = testing::ShortLines(count, "K");
    LineTable table;
    ASSERT_EQ(table.ReadLogData(std::move(text)), kReadOk);
    ASSERT_EQ(table.Size(), count);
    EXPECT_EQ(table[count - 1].logTime, LogTimeFromCalendar(2021, 3, 7, 1, 2, 3, 999));
    EXPECT_EQ(table[count - 1].eventKeyword, "K");
    EXPECT_EQ(table[12345].rawText, "2021-3-7\t1:2:3.345\tK");
    // One allocation of whole steps, no more than one step beyond the lines.
    EXPECT_EQ(table.Lines().capacity(), (count + LineTable::kGrowthStep - 1) /
                                            LineTable::kGrowthStep * LineTable::kGrowthStep);
}

}  // namespace
}  // namespace report
