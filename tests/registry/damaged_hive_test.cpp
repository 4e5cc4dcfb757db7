#include <string>
#include <vector>

#include "tests/registry/registry_fixture.h"

namespace platform::registry::test {
namespace {

using namespace std::string_literals;

const std::string kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";
const std::string kSection = kHeader + "[HKEY_CURRENT_USER\\SOFTWARE\\NORVANE]\r\n";

struct Damage {
    const char* what;
    std::string text;
};

const std::vector<Damage> kDamages = {
    {"no header", "[HKEY_CURRENT_USER\\SOFTWARE\\NORVANE]\r\n\"a\"=\"b\"\r\n"},
    {"other header", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\NORVANE]\r\n"},
    {"value before any section", kHeader + "\"a\"=\"b\"\r\n"},
    {"unknown line", kSection + "a=b\r\n"},
    {"bad escape", kSection + "\"a\"=\"tab\\there\"\r\n"},
    {"unterminated string (file cut short)", kSection + "\"a\"=\"/home/us"},
    {"text after the string", kSection + "\"a\"=\"b\" c\r\n"},
    {"bad dword digits", kSection + "\"a\"=dword:0000xyz1\r\n"},
    {"dword too long", kSection + "\"a\"=dword:123456789\r\n"},
    {"dword empty", kSection + "\"a\"=dword:\r\n"},
    {"bad hex byte", kSection + "\"a\"=hex:01,0g\r\n"},
    {"hex list with a dangling comma", kSection + "\"a\"=hex:01,\r\n"},
    {"continuation at the end of the file", kSection + "\"a\"=hex:01,\\\r\n"},
    {"odd UTF-16 in hex(1)", kSection + "\"a\"=hex(1):41,00,42\r\n"},
    {"unclosed section", kSection + "[HKEY_CURRENT_USER\\x\r\n"},
    {"empty key name part", kSection + "[HKEY_CURRENT_USER\\\\x]\r\n"},
    {"values after a deleted key", kSection + "[-HKEY_CURRENT_USER\\x]\r\n\"a\"=\"b\"\r\n"},
    {"binary junk",
     "\x7F"
     "ELF\x02\x01\x01\0\0\0garbage\xFF\xFE"s},
    {"odd UTF-16 file", "\xFF\xFEW\0i\0n"s},
};

class DamagedHiveTest : public RegistryTest {};

TEST_F(DamagedHiveTest, EveryCallFailsAndTheFileStaysByteForByte) {
    for (const Damage& damage : kDamages) {
        SCOPED_TRACE(damage.what);
        std::filesystem::remove(hive_);
        Key key;
        ASSERT_EQ(createKey("SOFTWARE\\NORVANE", key), ERROR_SUCCESS);
        ASSERT_EQ(key.setString("a", "b"), ERROR_SUCCESS);
        writeHive(damage.text);

        Key other;
        EXPECT_EQ(openKey("SOFTWARE\\NORVANE", other), ERROR_REGISTRY_CORRUPT);
        EXPECT_EQ(createKey("SOFTWARE\\NORVANE\\New", other), ERROR_REGISTRY_CORRUPT);
        EXPECT_FALSE(other.isOpen());
        EXPECT_EQ(key.queryValue("a", nullptr, nullptr, nullptr), ERROR_REGISTRY_CORRUPT);
        char name[8];
        std::uint32_t size = sizeof name;
        EXPECT_EQ(key.enumValue(0, name, &size, nullptr, nullptr, nullptr), ERROR_REGISTRY_CORRUPT);
        EXPECT_EQ(key.setString("a", "c"), ERROR_REGISTRY_CORRUPT);
        EXPECT_EQ(key.setDword("new", 1), ERROR_REGISTRY_CORRUPT);
        EXPECT_EQ(key.deleteValue("a"), ERROR_REGISTRY_CORRUPT);

        EXPECT_EQ(readHive(), damage.text);
        EXPECT_FALSE(std::filesystem::exists(hive_.string() + ".tmp"));
    }
}

TEST_F(DamagedHiveTest, AnEmptyFileIsAnEmptyRegistry) {
    for (const std::string& text : {""s, "\r\n\n  \r\n"s, "\xEF\xBB\xBF"s}) {
        writeHive(text);
        Key key;
        EXPECT_EQ(openKey("SOFTWARE", key), ERROR_FILE_NOT_FOUND);
        ASSERT_EQ(createKey("SOFTWARE", key), ERROR_SUCCESS);
        ASSERT_EQ(key.setDword("v", 1), ERROR_SUCCESS);
        EXPECT_EQ(query(key, "v").status, ERROR_SUCCESS);
        std::filesystem::remove(hive_);
    }
}

}  // namespace
}  // namespace platform::registry::test
