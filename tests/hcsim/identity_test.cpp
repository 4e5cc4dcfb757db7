// Identity values of command 0xF8.

#include <algorithm>
#include <cctype>
#include <string>

#include "tests/hcsim/hc_fixture.h"

namespace hcsim::test {
namespace {

class IdentityTest : public HcFixture {
protected:
    // The value of answer entry `id` in an answer; empty when it is missing.
    static Bytes entry(const Bytes& answer, uint8_t id) {
        for (size_t pos = 5; pos + 2 <= answer.size(); pos += 2 + answer[pos + 1])
            if (answer[pos] == id)
                return Bytes(
                    answer.begin() + static_cast<std::ptrdiff_t>(pos + 2),
                    answer.begin() + static_cast<std::ptrdiff_t>(pos + 2 + answer[pos + 1]));
        return {};
    }
    Bytes uniqueIdAnswer() { return entry(send({0xF8, 0x09, 0x10, 0xFF}), 0x10); }
};

TEST_F(IdentityTest, DefaultsAnsweredInTheOrderAsked) {
    plug();
    Bytes answer = send({0xF8, 0x07, 0xD1, 0x11, 0x10, 0x01, 0xFF});
    ASSERT_EQ(answer.size(), 5u + 34 + 3 + 26 + 6);
    EXPECT_EQ(Bytes(answer.begin(), answer.begin() + 5), (Bytes{0xF8, 0x07, 0x00, 74, 0x00}));
    EXPECT_EQ(answer[5], 0xD1);
    EXPECT_EQ(answer[5 + 34], 0x11);
    EXPECT_EQ(answer[5 + 34 + 3], 0x10);
    EXPECT_EQ(answer[5 + 34 + 3 + 26], 0x01);

    Bytes text(32, 0x00);
    std::string expectedText = "Veltra-5 simulated HC";
    std::copy(expectedText.begin(), expectedText.end(), text.begin());
    EXPECT_EQ(entry(answer, 0xD1), text);
    EXPECT_EQ(entry(answer, 0x11), Bytes{0x03});
    Bytes unique = entry(answer, 0x10);
    ASSERT_EQ(unique.size(), 24u);
    for (size_t i = 8; i < 23; ++i)
        EXPECT_TRUE(std::isupper(unique[i]) || std::isdigit(unique[i])) << "byte " << i;
    EXPECT_EQ(unique[23], 0x00);
}

TEST_F(IdentityTest, DerivedIdsDifferBetweenSerialsAndStayWithOne) {
    HcConfig a, b;
    a.serial = "HCAAAA01";
    b.serial = "HCAAAA02";
    EXPECT_NE(uniqueIdOf(a), uniqueIdOf(b));
    EXPECT_NE(chipIdOf(a), chipIdOf(b));
    EXPECT_EQ(uniqueIdOf(a), uniqueIdOf(HcConfig(a)));

    plug(a);
    Bytes unique = uniqueIdAnswer();
    auto expected = uniqueIdOf(a);
    EXPECT_EQ(Bytes(unique.begin() + 8, unique.end()), Bytes(expected.begin(), expected.end()));
}

TEST_F(IdentityTest, ConfiguredValuesByteForByte) {
    HcConfig config;
    config.chipId = {{0x11223344, 0x55667788}};
    config.uniqueId = textField<16>("ABCD");
    config.hardwareId = 0x0B;
    config.deviceText.fill('x');
    config.deviceText[0] = 0xFF;  // an erased text
    config.firmwareVersion = 0x0110;
    config.firmwareWord2 = 0xBEEF;
    plug(config);
    Bytes expectedUnique{0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66, 0x55, 'A', 'B', 'C', 'D'};
    expectedUnique.resize(24, 0x00);
    EXPECT_EQ(uniqueIdAnswer(), expectedUnique);
    Bytes answer = send({0xF8, 0x07, 0x11, 0xD1, 0x01, 0xFF});
    EXPECT_EQ(entry(answer, 0x11), Bytes{0x0B});
    Bytes text(32, 'x');
    text[0] = 0xFF;
    EXPECT_EQ(entry(answer, 0xD1), text);
    EXPECT_EQ(entry(answer, 0x01), (Bytes{0x10, 0x01, 0xEF, 0xBE}));
}

TEST_F(IdentityTest, BootLoaderAnswersTheSameValuesAndItsOwnWords) {
    HcConfig config = configIn(HcMode::Boot);
    config.bootVersion = 0x0011;
    config.bootWord2 = 0x0203;
    plug(config);
    Bytes answer = send({0xF8, 0x07, 0x01, 0x11, 0xFF});
    EXPECT_EQ(entry(answer, 0x03), (Bytes{0x11, 0x00, 0x03, 0x02}));
    EXPECT_TRUE(entry(answer, 0x01).empty());
    EXPECT_EQ(entry(answer, 0x11), Bytes{0x03});
    EXPECT_EQ(uniqueIdAnswer().size(), 24u);
}

TEST_F(IdentityTest, ChangedValuesShowInTheNextAnswer) {
    plug();
    hc_->with([](HcDevice& hc) { hc.config().hardwareId = 0x09; });
    EXPECT_EQ(entry(send({0xF8, 0x07, 0x11, 0xFF}), 0x11), Bytes{0x09});
}

}  // namespace
}  // namespace hcsim::test
