// Short names as FAT makes them from long names, and FAT time stamps.

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "hcsim/card/fat_time.h"
#include "hcsim/card/short_name.h"

namespace hcsim {
namespace {

struct NameCase {
    const char* longName;
    const char* shortName;
};

class ShortNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(ShortNameTest, AloneInItsFolder) {
    auto none = [](const std::string&) { return false; };
    EXPECT_EQ(makeShortName(GetParam().longName, none), GetParam().shortName);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ShortNameTest,
    ::testing::Values(NameCase{"README.TXT", "README.TXT"},
                      NameCase{"readme.txt", "README.TXT"},  // case alone needs no tail
                      NameCase{"noext", "NOEXT"}, NameCase{"LOGS", "LOGS"},
                      NameCase{"vt5_log_0307.txt", "VT5_LO~1.TXT"},
                      NameCase{"My File.txt", "MYFILE~1.TXT"},
                      NameCase{"archive.tar.gz", "ARCHIV~1.GZ"}, NameCase{"ab.c.d", "AB~1.D"},
                      NameCase{"photo.jpeg", "PHOTO~1.JPE"}, NameCase{".profile", "PROFIL~1"},
                      NameCase{"a+b=c[1].txt", "A_B_C_~1.TXT"},
                      NameCase{"\xC3\xA9t\xC3\xA9.log", "_T_~1.LOG"},  // one '_' a character
                      NameCase{"toolongname", "TOOLON~1"}, NameCase{"x y", "XY~1"},
                      NameCase{"...dots", "DOTS~1"}, NameCase{"a.b c", "A~1.BC"}),
    [](const auto& row) {
        std::string name;
        for (const char* p = row.param.longName; *p; ++p)
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name + "_" + std::to_string(row.index);
    });

TEST(ShortNames, CollisionsTakeTheNextFreeTailAndShortenTheFirstPart) {
    std::set<std::string> taken;
    auto isTaken = [&](const std::string& n) { return taken.count(n) > 0; };
    std::vector<std::string> made;
    for (int i = 1; i <= 11; ++i) {
        made.push_back(makeShortName("guiding log " + std::to_string(i) + ".txt", isTaken));
        taken.insert(made.back());
    }
    EXPECT_EQ(made[0], "GUIDIN~1.TXT");
    EXPECT_EQ(made[1], "GUIDIN~2.TXT");
    EXPECT_EQ(made[8], "GUIDIN~9.TXT");
    EXPECT_EQ(made[9], "GUIDI~10.TXT");
    EXPECT_EQ(made[10], "GUIDI~11.TXT");

    // An exact name whose short form is taken gets a tail too.
    taken = {"README.TXT"};
    EXPECT_EQ(makeShortName("Readme.txt", isTaken), "README~1.TXT");
    taken = {"README~1.TXT"};
    EXPECT_EQ(makeShortName("read me.txt", isTaken), "README~2.TXT");
}

TEST(ShortNames, LongNamesFatCannotHold) {
    for (const char* bad : {"", "a:b", "a*b", "what?", "a<b", "a>b", "a|b", "a\"b", "a\\b",
                            "tab\there", "trailing.", "trailing ", "..", "."})
        EXPECT_FALSE(validLongName(bad)) << bad;
    EXPECT_FALSE(validLongName(std::string(256, 'a')));
    for (const char* good : {"a", ".hidden", "a b.c d", "x+y=z;[1],2", "\xC3\xA9t\xC3\xA9"})
        EXPECT_TRUE(validLongName(good)) << good;
    EXPECT_TRUE(validLongName(std::string(255, 'a')));
}

TEST(FatStamps, UtcInTwoSecondStepsWithinFatsYears) {
    using namespace std::chrono;
    auto at = [](int y, unsigned mo, unsigned d, int h, int mi, int s) {
        return system_clock::time_point(sys_days(year(y) / mo / d) + hours(h) + minutes(mi) +
                                        seconds(s));
    };
    FatStamp s = fatStamp(at(2024, 3, 7, 21, 15, 33));
    EXPECT_EQ(s.date, (44 << 9) | (3 << 5) | 7);
    EXPECT_EQ(s.time, (21 << 11) | (15 << 5) | 16);
    FatStamp early = fatStamp(at(1970, 1, 1, 0, 0, 0));
    EXPECT_EQ(early.date, (1 << 5) | 1);
    EXPECT_EQ(early.time, 0);
    FatStamp late = fatStamp(at(2200, 6, 1, 12, 0, 0));
    EXPECT_EQ(late.date, (127 << 9) | (12 << 5) | 31);
    EXPECT_EQ(late.time, (23 << 11) | (59 << 5) | 29);
}

}  // namespace
}  // namespace hcsim
