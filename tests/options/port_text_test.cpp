// Port numbers as the users type them.

#include <gtest/gtest.h>

#include <optional>

#include "vt5api/options/port_text.h"

namespace {

struct PortCase {
    const char* name;
    const char* text;
    std::optional<int64_t> scanned;
    int32_t clamped;
};

class PortText : public ::testing::TestWithParam<PortCase> {};

TEST_P(PortText, ScansAsPercentDAndClampsToTcpPorts) {
    const PortCase& c = GetParam();
    EXPECT_EQ(ScanDecimal(c.text), c.scanned);
    EXPECT_EQ(ClampedPort(c.text), c.clamped);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PortText,
    ::testing::Values(PortCase{"Empty", "", std::nullopt, 0},
                      PortCase{"Blank", "   ", std::nullopt, 0},
                      PortCase{"Plain", "5937", 5937, 5937},
                      PortCase{"TrailingLetter", "6000x", 6000, 6000},
                      PortCase{"LeadingSpace", "  42", 42, 42},
                      PortCase{"LeadingLetter", "x6000", std::nullopt, 0},
                      PortCase{"Negative", "-5", -5, 0}, PortCase{"SignOnly", "+", std::nullopt, 0},
                      PortCase{"AboveTheLastPort", "70000", 70000, 65535},
                      PortCase{"BeyondInt32", "99999999999999999999", 2147483647, 65535},
                      PortCase{"BelowInt32", "-99999999999999999999", -2147483648LL, 0}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
