#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numeric>

#include "starloom/model/seeing_table.h"

namespace starloom {
namespace {

class SeeingTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("seeing-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::filesystem::path Write(const std::string& text) {
        const auto path = dir_ / "seeing.csv";
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    std::filesystem::path dir_;
};

TEST_F(SeeingTableTest, TakesLinesThatStartWithTwoNumbers) {
    SeeingTable table;
    ASSERT_TRUE(LoadSeeingTable(table,
                                Write("x,y,\n"               // header: skipped
                                      "1.5,-2,\n"            // taken
                                      "3;4,\n"               // semicolon: skipped
                                      " +2.5, 6e0,junk\r\n"  // blanks, sign, CRLF: taken
                                      "\n"
                                      "7,\n"         // one number: skipped
                                      "nan,1,\n"     // not a number: skipped
                                      "-0.5,4,\n"),  // taken
                                12.56f));
    ASSERT_EQ(table.count(), 3u);
    // Normalised: mean 0 and unit variance; the order of the samples stays.
    for (const auto* column : {&table.column1, &table.column2}) {
        const double mean = std::accumulate(column->begin(), column->end(), 0.0) / 3.0;
        double squares = 0.0;
        for (float v : *column)
            squares += v * v;
        EXPECT_NEAR(mean, 0.0, 1e-6);
        EXPECT_NEAR(squares / 3.0, 1.0, 1e-5);
    }
    EXPECT_LT(table.column1[0], table.column1[1]);
    EXPECT_GT(table.column1[0], table.column1[2]);
    EXPECT_LT(table.column2[0], table.column2[2]);
}

TEST_F(SeeingTableTest, MissingFileLeavesTheTableAsItWas) {
    SeeingTable table;
    ASSERT_TRUE(LoadSeeingTable(table, Write("1,2,\n3,4,\n"), 12.56f));
    EXPECT_FALSE(LoadSeeingTable(table, dir_ / "nothing.csv", 5.0f));
    EXPECT_EQ(table.count(), 2u);
    EXPECT_FLOAT_EQ(table.rate, 12.56f);
}

TEST_F(SeeingTableTest, ConstantColumnStaysZero) {
    SeeingTable table;
    ASSERT_TRUE(LoadSeeingTable(table, Write("5,1,\n5,2,\n5,3,\n"), 12.56f));
    for (float v : table.column1)
        EXPECT_EQ(v, 0.0f);
    EXPECT_TRUE(std::isfinite(table.column2[0]));
}

TEST_F(SeeingTableTest, HoldsAtMost5000Samples) {
    std::string text;
    for (int i = 0; i < 5100; ++i)
        text += std::to_string(i % 7) + "," + std::to_string(i % 5) + ",\n";
    SeeingTable table;
    ASSERT_TRUE(LoadSeeingTable(table, Write(text), 12.56f));
    EXPECT_EQ(table.count(), SeeingTable::kMaxSamples);
}

TEST(SeeingOffset, InterpolatesAndRepeats) {
    SeeingTable table;
    table.column1 = {0.0f, 1.0f, 2.0f, 3.0f};
    table.column2 = {10.0f, 20.0f, 30.0f, 40.0f};
    table.rate = 12.56f;
    // p = 12.56: samples 0 and 1 (12 mod 4) with phi = 0.56.
    const auto at1000 = SeeingOffset(table, 1000);
    ASSERT_TRUE(at1000.has_value());
    EXPECT_NEAR(at1000->column1, 0.56f, 1e-5f);
    EXPECT_NEAR(at1000->column2, 15.6f, 1e-4f);
    // Between the last sample and the first again: p = 3.49168.
    const auto wrap = SeeingOffset(table, 278);
    ASSERT_TRUE(wrap.has_value());
    EXPECT_NEAR(wrap->column1, 3.0f - 3.0f * 0.49168f, 1e-4f);
    // Before the origin the table still repeats instead of reading outside it:
    // p = -12.56, samples 3 and 0 with phi = 0.44.
    const auto early = SeeingOffset(table, -1000);
    ASSERT_TRUE(early.has_value());
    EXPECT_NEAR(early->column1, 3.0f - 3.0f * 0.44f, 1e-4f);
    // Months into a run the fraction is still there: p = 1e10 + 0.5.
    table.rate = 10.0f;
    const auto late = SeeingOffset(table, 1'000'000'000'050);
    ASSERT_TRUE(late.has_value());
    EXPECT_FLOAT_EQ(late->column1, 0.5f);

    EXPECT_FALSE(SeeingOffset(SeeingTable{}, 1000).has_value());
}

}  // namespace
}  // namespace starloom
