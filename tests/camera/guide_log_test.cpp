// The guiding log on the HC's SD card: where it goes, its lines and what ends it.

#include "hcsim/camera/guide_log.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "hcsim/card/sd_card.h"
#include "tests/support/bus_fixture.h"

namespace hcsim::test {
namespace {

namespace fs = std::filesystem;
using namespace camera;

std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class GuideLogTest : public ::testing::Test {
protected:
    GuideLogTest() {
        log_.setClock([this](int64_t ms) { return zero_ + platform::Millis(ms); });
    }
    // The date and time the log stamps the HC's clock at `ms` with.
    std::string stamp(int64_t ms) {
        return logTimeStamp(card_.wallTime(zero_ + platform::Millis(ms)));
    }

    platform::VirtualClock clock_;
    platform::ScopedClock useClock_{clock_};
    vt5test::TempDir folder_;
    SdCard card_{folder_.path()};
    platform::TimePoint zero_ = platform::now();  // the HC's clock at 0
    GuideLog log_;
};

TEST(LogTimeStampTest, DateAndTimeToTheMillisecondInUtc) {
    using std::chrono::milliseconds;
    using std::chrono::system_clock;
    // 2024-03-07 21:04:10.250 UTC, the last millisecond of that day, the next day.
    EXPECT_EQ(logTimeStamp(system_clock::time_point(milliseconds(1709845450250))),
              "2024-03-07\t21:04:10.250");
    EXPECT_EQ(logTimeStamp(system_clock::time_point(milliseconds(1709855999999))),
              "2024-03-07\t23:59:59.999");
    EXPECT_EQ(logTimeStamp(system_clock::time_point(milliseconds(1709856000000))),
              "2024-03-08\t00:00:00.000");
}

TEST_F(GuideLogTest, WritesTabSeparatedLinesStampedWithTheHcsClock) {
    std::string error;
    ASSERT_TRUE(log_.open(&card_, folder_.path(), 0, error)) << error;
    EXPECT_EQ(log_.path().parent_path(), folder_.path() / "LOGS");
    const std::string date = stamp(0).substr(0, 10);
    EXPECT_EQ(log_.path().filename(),
              "vt5_log_" + date.substr(0, 4) + date.substr(5, 2) + date.substr(8, 2) + "_001.txt");
    log_.write(0, "LOG START", {"A1B2C3", "0003", "1.12"});
    log_.write(1250, "AG OUT", {"", "RA+", "", ""});
    log_.write(1300, "LOG STOP");
    // On the card before the log is closed: every line goes out at once.
    EXPECT_EQ(read(log_.path()), stamp(0) + "\tLOG START\tA1B2C3\t0003\t1.12\r\n" + stamp(1250) +
                                     "\tAG OUT\t\tRA+\t\t\r\n" + stamp(1300) + "\tLOG STOP\r\n");
    EXPECT_EQ(log_.lines(), 3);
    log_.close(1300);
}

TEST_F(GuideLogTest, EachSessionGetsAFileOfItsOwnBesideTheOnesThere) {
    fs::create_directories(folder_.path() / "logs");  // the card compares names without case
    std::string error;
    ASSERT_TRUE(log_.open(&card_, folder_.path(), 0, error)) << error;
    const std::string first = log_.path().filename();
    EXPECT_EQ(log_.path().parent_path(), folder_.path() / "logs");
    log_.close(0);
    ASSERT_TRUE(log_.open(&card_, folder_.path(), 1000, error));
    EXPECT_NE(log_.path().filename(), first);
    EXPECT_EQ(log_.path().filename().string().substr(16), "_002.txt");
}

TEST_F(GuideLogTest, NoCardOrAPulledCardIsAReasonNotALog) {
    std::string error;
    EXPECT_FALSE(log_.open(nullptr, {}, 0, error));
    EXPECT_EQ(error, "no SD card");
    std::ofstream(folder_.path() / "LOGS") << "a file where the folder should be";
    EXPECT_FALSE(log_.open(&card_, folder_.path(), 0, error));
    EXPECT_FALSE(error.empty());
    fs::remove(folder_.path() / "LOGS");

    ASSERT_TRUE(log_.open(&card_, folder_.path(), 0, error)) << error;
    log_.write(0, "LOG START", {"A1B2C3", "0003", "1.12"});
    card_.pull();
    log_.write(10, "CAM FRAME", {"1", "1000", "2.10", "80.0"});
    EXPECT_FALSE(log_.isOpen());
    EXPECT_EQ(log_.error(), "writing the log failed (file system status 3)");
    EXPECT_EQ(log_.lines(), 1);
}

}  // namespace
}  // namespace hcsim::test
