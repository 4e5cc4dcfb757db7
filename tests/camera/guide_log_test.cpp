// The guiding log on the card: where it goes, its lines and what stops it.

#include "hcsim/camera/guide_log.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace hcsim::test {
namespace {

namespace fs = std::filesystem;
using namespace camera;

class GuideLogTest : public ::testing::Test {
protected:
    GuideLogTest() {
        card_ = fs::temp_directory_path() /
                ("vt5-guide-log-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(card_);
        fs::create_directories(card_);
        // 2024-03-07 21:04:10.250 UTC when the HC's clock stood at 0.
        log_.setClockOrigin(
            std::chrono::system_clock::time_point(std::chrono::milliseconds(1709845450250)));
    }
    ~GuideLogTest() override { fs::remove_all(card_); }

    static std::string read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path card_;
    GuideLog log_;
};

TEST_F(GuideLogTest, WritesTabSeparatedLinesStampedWithTheHcsTimeOfDay) {
    std::string error;
    ASSERT_TRUE(log_.open(card_, 0, error)) << error;
    EXPECT_EQ(log_.path(), card_ / "LOGS" / "vt5_log_20240307_001.txt");
    log_.write(0, "LOG START", {"A1B2C3", "0003", "1.12"});
    log_.write(86'399'999 - 75'850'250, "AG OUT", {"", "RA+", "", ""});  // 23:59:59.999
    log_.write(86'400'000 - 75'850'250, "LOG STOP");                     // the next day
    // Readable before it is closed: every line is out at once.
    EXPECT_EQ(read(log_.path()),
              "2024-03-07\t21:04:10.250\tLOG START\tA1B2C3\t0003\t1.12\r\n"
              "2024-03-07\t23:59:59.999\tAG OUT\t\tRA+\t\t\r\n"
              "2024-03-08\t00:00:00.000\tLOG STOP\r\n");
    EXPECT_EQ(log_.lines(), 3);
    log_.close();
}

TEST_F(GuideLogTest, EachSessionGetsAFileOfItsOwn) {
    std::string error;
    ASSERT_TRUE(log_.open(card_, 0, error));
    log_.close();
    ASSERT_TRUE(log_.open(card_, 1000, error));
    EXPECT_EQ(log_.path().filename(), "vt5_log_20240307_002.txt");
}

TEST_F(GuideLogTest, NoCardOrAnUnwritableCardIsAReasonNotALog) {
    std::string error;
    EXPECT_FALSE(log_.open({}, 0, error));
    EXPECT_EQ(error, "no SD card");
    std::ofstream(card_ / "LOGS") << "a file where the folder should be";
    EXPECT_FALSE(log_.open(card_, 0, error));
    EXPECT_FALSE(error.empty());
    log_.write(0, "LOG START");  // goes nowhere, harmlessly
    EXPECT_FALSE(log_.isOpen());
}

}  // namespace
}  // namespace hcsim::test
