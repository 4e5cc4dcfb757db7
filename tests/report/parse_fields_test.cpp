#include "gantrix/report/parse_fields.h"

#include <gtest/gtest.h>

#include <string>

namespace report {
namespace {

LogLine LineWithFields(const std::string& storage) {
    LogLine line;
    line.rawText = storage;
    line.fieldCursor = 0;
    return line;
}

// Parses fields into outputs of the kind of the first type letter.
int Parse(const std::string& fields, const char* types) {
    const LogLine line = LineWithFields(fields);
    std::string s[4];
    float f[4] = {};
    int i = 0;
    switch (types[0]) {
        case 'i':
            return ParseFields(line, types, {&i});
        case 's':
            return ParseFields(line, types, {&s[0], &s[1], &s[2], &s[3]});
        default:
            return ParseFields(line, types, {&f[0], &f[1], &f[2], &f[3]});
    }
}

TEST(ParseFields, CountsTheFieldsStoredUpToTheFirstThatDoesNotConvert) {
    struct Case {
        const char* fields;
        const char* types;
        int stored;
    };
    const Case cases[] = {
        {"1\t2\t2.5\t80", "ffff", 4},
        {"1\t2\t2.5", "ffff", 3},             // one number short
        {"1\tx\t2.5\t80", "ffff", 1},         // not a number
        {"1\t\t2.5\t80", "ffff", 1},          // empty numeric token
        {"1\t2\t2.5\t80\t99\t7", "ffff", 4},  // extra fields ignored
        {"12abc\t-3", "ff", 2},               // a number followed by letters converts
        {"7", "i", 1},
        {"2.5", "i", 1},  // "%d" reads the 2
        {"", "i", 0},
        {"RA-\t\t\tDEC+", "ssss", 4},
        {"", "sss", 3},     // text fields past the end are empty and count
        {"a\tb", "sx", 1},  // unknown letter
        {"1e3\t-inf\t+0.5", "fff", 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Parse(c.fields, c.types), c.stored) << c.fields << " / " << c.types;
    }
}

TEST(ParseFields, StoresTextsAndNumbersFromTheFieldCursorOn) {
    const std::string storage = "2021-03-07\t21:00:00.000\tAG START\tRA+DEC\t0.7\t-1.25e-1\t3";
    LogLine line;
    line.rawText = storage;
    line.fieldCursor = storage.find("RA+DEC");
    std::string mode;
    float p = 0, i = 0;
    int n = 0;
    ASSERT_EQ(ParseFields(line, "sffi", {&mode, &p, &i, &n}), 4);
    EXPECT_EQ(mode, "RA+DEC");
    EXPECT_FLOAT_EQ(p, 0.7f);
    EXPECT_FLOAT_EQ(i, -0.125f);
    EXPECT_EQ(n, 3);
    // An output of the wrong kind stops the parse like an unknown letter.
    EXPECT_EQ(ParseFields(line, "sf", {&mode, &n}), 1);
}

TEST(NextToken, ReadsUpToTheNextTabAndSkipsIt) {
    const std::string_view text = "a\t\tbc\t";
    size_t cursor = 0;
    EXPECT_EQ(NextToken(text, cursor), "a");
    EXPECT_EQ(NextToken(text, cursor), "");
    EXPECT_EQ(NextToken(text, cursor), "bc");
    EXPECT_EQ(cursor, text.size());
    EXPECT_EQ(NextToken(text, cursor), "");
    EXPECT_EQ(NextToken(text, cursor), "");
}

}  // namespace
}  // namespace report
