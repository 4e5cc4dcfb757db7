#include <sstream>
#include <string>
#include <vector>

#include "platform/registry/reg_text.h"
#include "platform/registry/utf16.h"
#include "tests/registry/registry_fixture.h"

namespace platform::registry::test {
namespace {

using namespace std::string_literals;

using RegTextTest = RegistryTest;

// Written by hand the way a user edits the file: LF line ends, comments, indentation, a
// section that appears twice in different case, regedit's wrapped hex lists and delete forms.
const char* const kHandWritten = R"reg(Windows Registry Editor Version 5.00
; Veltra-5 settings

[HKEY_CURRENT_USER\SOFTWARE\NORVANE\Veltra-5\ConnectionInfo]
"ABC12345"="Bench HC \"left\""
"XYZ00001"="C:\\dat\\"
  "Obsolete" = "x"
"DEF67890"=hex(1):4c,00,69,00,6e,00,65,00,0a,00,f5,00,3d,d8,00,de,00,00
@="default"

[HKEY_CURRENT_USER\SOFTWARE\NORVANE\Veltra-5\ConnectionInfo\Starloom]
"Connect to Server"=dword:FFFFFFFF
"Server address"="J)reg"
                                 "\xC3\xBC"
                                 R"reg(rgen's PC"
"Server port"=dword:1731
"Blob"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\
  16,17,18,19

[HKEY_CURRENT_USER\Software\Other]
"gone"="soon"

[hkey_current_user\software\norvane\veltra-5\connectioninfo]
"Obsolete"=-
"abc12345"="Bench HC (renamed)"

[-HKEY_CURRENT_USER\Software\Other]
)reg";

TEST_F(RegTextTest, AHandWrittenHiveReadsBackThroughTheKeys) {
    writeHive(kHandWritten);
    Key info;
    ASSERT_EQ(openKey("SOFTWARE\\NORVANE\\Veltra-5\\ConnectionInfo", info), ERROR_SUCCESS);
    std::vector<std::pair<std::string, std::string>> values;
    for (std::uint32_t i = 0;; ++i) {
        char name[256];
        char data[1024];
        std::uint32_t nameSize = sizeof name;
        std::uint32_t dataSize = sizeof data;
        const LSTATUS status = info.enumValue(i, name, &nameSize, nullptr, data, &dataSize);
        if (status == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(status, ERROR_SUCCESS);
        values.emplace_back(name, std::string(data, dataSize));
    }
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"ABC12345", "Bench HC (renamed)\0"s},
        {"XYZ00001", "C:\\dat\\\0"s},
        {"DEF67890", "Line\n\xC3\xB5\xF0\x9F\x98\x80\0"s},
        {"", "default\0"s},
    };
    EXPECT_EQ(values, expected);

    Key starloom;
    ASSERT_EQ(info.openSubKey("Starloom", starloom), ERROR_SUCCESS);
    EXPECT_EQ(query(starloom, "Connect to Server").data, "\xFF\xFF\xFF\xFF"s);
    EXPECT_EQ(query(starloom, "Server address").data, "J\xC3\xBCrgen's PC\0"s);
    EXPECT_EQ(query(starloom, "Server port").data, "\x31\x17\0\0"s);
    const Queried blob = query(starloom, "Blob");
    EXPECT_EQ(blob.type, REG_BINARY);
    ASSERT_EQ(blob.data.size(), 26u);
    EXPECT_EQ(blob.data[25], '\x19');

    Key other;
    EXPECT_EQ(openKey("SOFTWARE\\Other", other), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegTextTest, TheFileIsARegExportThatRegeditImports) {
    Key key;
    ASSERT_EQ(createKey("SOFTWARE\\NORVANE\\Veltra-5\\ConnectionInfo\\Gantrix", key),
              ERROR_SUCCESS);
    ASSERT_EQ(key.setDword("Connect to Server", 0xFFFFFFFF), ERROR_SUCCESS);
    ASSERT_EQ(key.setString("Direct access ID", ""), ERROR_SUCCESS);
    ASSERT_EQ(key.setString("Server \"address\"", "\\\\host\\"), ERROR_SUCCESS);
    ASSERT_EQ(key.setString("", "a\nb"), ERROR_SUCCESS);
    Key info;
    ASSERT_EQ(createKey("SOFTWARE\\NORVANE\\Veltra-5\\ConnectionInfo", info), ERROR_SUCCESS);
    ASSERT_EQ(info.setString("ABC12345", "< name the HC here >"), ERROR_SUCCESS);

    EXPECT_EQ(readHive(),
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\SOFTWARE\\NORVANE\\Veltra-5\\ConnectionInfo\\Gantrix]\r\n"
              "\"Connect to Server\"=dword:ffffffff\r\n"
              "\"Direct access ID\"=\"\"\r\n"
              "\"Server \\\"address\\\"\"=\"\\\\\\\\host\\\\\"\r\n"
              "@=hex(1):61,00,0a,00,62,00,00,00\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\SOFTWARE\\NORVANE\\Veltra-5\\ConnectionInfo]\r\n"
              "\"ABC12345\"=\"< name the HC here >\"\r\n"
              "\r\n");
}

TEST_F(RegTextTest, LongHexListsWrapUnderEightyColumns) {
    Key key;
    ASSERT_EQ(createKey("SOFTWARE", key), ERROR_SUCCESS);
    const std::string text(500, 'z');
    ASSERT_EQ(key.setString("Veltra-5 folder", text + "\n"), ERROR_SUCCESS);
    std::istringstream lines(readHive());
    std::size_t continued = 0;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LT(line.size(), 80u) << line;
        if (line.starts_with("  ")) ++continued;
    }
    EXPECT_GT(continued, 30u);
    EXPECT_EQ(query(key, "Veltra-5 folder").data, text + "\n\0"s);
}

TEST_F(RegTextTest, RegeditsUtf16ExportsAndUtf8WithBomAreRead) {
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\NORVANE]\r\n\"Name\"=\"Stra\xC3\x9F"
        "e\"\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char16_t u : toUtf16(text)) {
        utf16 += static_cast<char>(u & 0xFF);
        utf16 += static_cast<char>(u >> 8);
    }
    for (const std::string& file : {utf16, "\xEF\xBB\xBF" + text}) {
        writeHive(file);
        Key key;
        ASSERT_EQ(openKey("SOFTWARE\\NORVANE", key), ERROR_SUCCESS);
        EXPECT_EQ(query(key, "Name").data,
                  "Stra\xC3\x9F"
                  "e\0"s);
    }
}

TEST(Utf16Test, EveryByteStringSurvivesTheRoundTrip) {
    const struct {
        std::string bytes;
        std::u16string units;
    } cases[] = {
        {"", u""},
        {"A\n\0"s, u"A\n\0"s},
        {"\xC3\xA9", u"\u00E9"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},
        // Not UTF-8: stray, truncated, overlong, surrogate and too-large forms byte by byte.
        {"\xFF", u"\xDCFF"},
        {"\xC3", u"\xDCC3"},
        {"\xC0\x80", u"\xDCC0\xDC80"},
        {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},
        {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},
        {"\xE2\x82", u"\xDCE2\xDC82"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toUtf16(c.bytes), c.units);
        EXPECT_EQ(fromUtf16(c.units), c.bytes);
    }
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(fromUtf16(toUtf16(all + all)), all + all);
    // A lone surrogate that no byte maps to comes back in its 3-byte form.
    EXPECT_EQ(fromUtf16(u"\xD800"), "\xED\xA0\x80");
}

TEST(RegTextParseTest, FormattingThenParsingGivesTheSameHive) {
    Hive hive;
    HiveKey& key = hive.addKey("HKEY_CURRENT_USER\\A");
    key.values = {
        {"", REG_SZ, "default\0"s},
        {"quoted \"\\", REG_SZ, "x\"\\\0"s},
        {"ctrl", REG_SZ, "\x01\x7F\xFF"},
        {"d", REG_DWORD, "\x01\x02\x03\x04"},
        {"bin", REG_BINARY, std::string(300, '\xAB')},
        {"big type", 0xFFFFFFFF, "\0"s},
    };
    hive.addKey("HKEY_CURRENT_USER\\A\\Empty");
    hive.addKey("HKEY_LOCAL_MACHINE\\Kept");
    Hive parsed;
    ASSERT_TRUE(parseHive(formatHive(hive), parsed));
    EXPECT_EQ(parsed, hive);
}

TEST(RegTextParseTest, TheFaultyLineIsReported) {
    Hive hive;
    std::size_t line = 0;
    EXPECT_FALSE(
        parseHive("Windows Registry Editor Version 5.00\n\n[K]\n\"a\"=\"b\"\nbad\n", hive, &line));
    EXPECT_EQ(line, 5u);
}

}  // namespace
}  // namespace platform::registry::test
