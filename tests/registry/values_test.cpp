#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "tests/registry/registry_fixture.h"

namespace platform::registry::test {
namespace {

using namespace std::string_literals;

class ValuesTest : public RegistryTest {
protected:
    void SetUp() override {
        RegistryTest::SetUp();
        ASSERT_EQ(createKey("SOFTWARE\\NORVANE\\Veltra-5\\ConnectionInfo", key_), ERROR_SUCCESS);
    }

    // A second handle, so that every read goes through the file rather than anything the
    // writing handle might remember.
    Key reopen() const {
        Key key;
        EXPECT_EQ(openKey("SOFTWARE\\NORVANE\\Veltra-5\\ConnectionInfo", key), ERROR_SUCCESS);
        return key;
    }

    std::vector<std::string> names() const {
        std::vector<std::string> out;
        Key key = reopen();
        std::array<char, 256> name{};
        for (std::uint32_t i = 0;; ++i) {
            std::uint32_t size = name.size();
            const LSTATUS status = key.enumValue(i, name.data(), &size, nullptr, nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS) return out;
            EXPECT_EQ(status, ERROR_SUCCESS);
            out.emplace_back(name.data(), size);
        }
    }

    Key key_;
};

TEST_F(ValuesTest, AwkwardTextSurvivesEveryRewrite) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain", "localhost"},
        {"empty", ""},
        {"quotes", "say \"hi\" \""},
        {"backslashes", "C:\\dat\\ \\\\server\\share\\"},
        {"escape look-alikes", "\\\" \\n \\x41"},
        {"newline", "line one\nline two\r\n"},
        {"tab and bell", "a\tb\a"},
        {"UTF-8", "J\xC3\xBCrgen \xE2\x9C\x93 \xF0\x9D\x84\x9E"},
        {"high bytes, not UTF-8", "\xFF\xFE\x80 \xC3 \xED\xA0\x80 \xF4\x90\x80\x80"},
        {"brackets and equals", "[HKEY_CURRENT_USER\\x]\n\"a\"=\"b\"\n@=dword:1"},
        {"long", std::string(70000, 'x') + "\n" + std::string(5000, '\xE9')},
    };
    for (const auto& [name, text] : cases) {
        ASSERT_EQ(key_.setString(name, text), ERROR_SUCCESS) << name;
    }
    // Each set rewrote the file, so the first values went through it many times.
    Key key = reopen();
    for (const auto& [name, text] : cases) {
        const Queried q = query(key, name);
        EXPECT_EQ(q.status, ERROR_SUCCESS) << name;
        EXPECT_EQ(q.type, REG_SZ) << name;
        EXPECT_EQ(q.data, text + '\0') << name;
    }
    // The file is plain ASCII lines, whatever the text held.
    const std::string file = readHive();
    EXPECT_TRUE(std::all_of(file.begin(), file.end(), [](char c) {
        return (c >= 0x20 && c <= 0x7E) || c == '\r' || c == '\n';
    }));
}

TEST_F(ValuesTest, DataIsKeptAsSetWhateverItsTypeAndTerminator) {
    const struct {
        const char* name;
        std::uint32_t type;
        std::string data;
    } cases[] = {
        {"sz without NUL", REG_SZ, "abc"},
        {"sz with inner NULs", REG_SZ, "a\0b\0\0"s},
        {"sz of nothing", REG_SZ, ""},
        {"binary", REG_BINARY, "\x00\x01\xFF\x7F"s},
        {"qword", 11, "\x01\x02\x03\x04\x05\x06\x07\x08"},
        {"short dword", REG_DWORD, "\x01\x02"},
        {"none", REG_NONE, ""},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(key_.setValue(c.name, c.type, c.data.data(), c.data.size()), ERROR_SUCCESS);
    }
    Key key = reopen();
    for (const auto& c : cases) {
        const Queried q = query(key, c.name);
        EXPECT_EQ(q.status, ERROR_SUCCESS) << c.name;
        EXPECT_EQ(q.type, c.type) << c.name;
        EXPECT_EQ(q.data, c.data) << c.name;
    }
}

TEST_F(ValuesTest, DwordsAreLittleEndianAndWrittenAsDword) {
    for (std::uint32_t value : {0u, 1u, 0x12345678u, 0xFFFFFFFFu}) {
        ASSERT_EQ(key_.setDword("Connect to Server", value), ERROR_SUCCESS);
        std::uint32_t type = 0;
        std::uint32_t read = 0;
        std::uint32_t size = sizeof read;
        ASSERT_EQ(reopen().queryValue("Connect to Server", &type, &read, &size), ERROR_SUCCESS);
        EXPECT_EQ(type, REG_DWORD);
        EXPECT_EQ(size, 4u);
        EXPECT_EQ(read, value);
    }
    EXPECT_NE(readHive().find("\"Connect to Server\"=dword:ffffffff\r\n"), std::string::npos);
}

TEST_F(ValuesTest, OrderIsFirstInsertionAcrossReplacesAndDeletes) {
    for (const char* name : {"Connect to Server", "Direct access ID", "Server address"}) {
        ASSERT_EQ(key_.setString(name, "x"), ERROR_SUCCESS);
    }
    ASSERT_EQ(key_.setDword("SERVER PORT", 5937), ERROR_SUCCESS);
    // Replacing keeps the place and the first spelling of the name, even with another type.
    ASSERT_EQ(key_.setDword("direct ACCESS id", 7), ERROR_SUCCESS);
    EXPECT_EQ(names(), (std::vector<std::string>{"Connect to Server", "Direct access ID",
                                                 "Server address", "SERVER PORT"}));
    EXPECT_EQ(query(reopen(), "Direct access ID").type, REG_DWORD);

    ASSERT_EQ(key_.deleteValue("connect to server"), ERROR_SUCCESS);
    ASSERT_EQ(key_.setString("Connect to Server", "back"), ERROR_SUCCESS);
    ASSERT_EQ(key_.setString("", "default"), ERROR_SUCCESS);
    EXPECT_EQ(names(), (std::vector<std::string>{"Direct access ID", "Server address",
                                                 "SERVER PORT", "Connect to Server", ""}));
}

TEST_F(ValuesTest, NamesMatchWithoutRegardToCase) {
    ASSERT_EQ(key_.setString("Server address", "host"), ERROR_SUCCESS);
    EXPECT_EQ(query(key_, "SERVER ADDRESS").data, "host\0"s);
    EXPECT_EQ(query(key_, "Server addres").status, ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(key_.deleteValue("server Address"), ERROR_SUCCESS);
    EXPECT_EQ(query(key_, "Server address").status, ERROR_FILE_NOT_FOUND);
}

TEST_F(ValuesTest, QueryReportsSizesAndMoreData) {
    ASSERT_EQ(key_.setString("Server address", "hostname"), ERROR_SUCCESS);  // 9 bytes
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    // No buffer: the size alone; no size either: existence alone.
    EXPECT_EQ(key_.queryValue("Server address", &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 9u);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(key_.queryValue("Server address", nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(key_.queryValue("Missing", nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);

    std::string buffer(16, '#');
    size = 8;
    type = 0;
    EXPECT_EQ(key_.queryValue("Server address", &type, buffer.data(), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 9u);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(buffer, std::string(16, '#')) << "nothing is copied on ERROR_MORE_DATA";

    size = 9;
    EXPECT_EQ(key_.queryValue("Server address", nullptr, buffer.data(), &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 9u);
    EXPECT_EQ(buffer, "hostname\0#######"s);
}

TEST_F(ValuesTest, UnterminatedTextIsTerminatedWhenTheBufferHasRoom) {
    ASSERT_EQ(key_.setValue("raw", REG_SZ, "abc", 3), ERROR_SUCCESS);
    ASSERT_EQ(key_.setValue("bytes", REG_BINARY, "abc", 3), ERROR_SUCCESS);
    for (const auto& [name, expected] : {std::pair{"raw", "abc\0#"s}, {"bytes", "abc##"s}}) {
        std::string buffer(5, '#');
        std::uint32_t size = 5;
        ASSERT_EQ(key_.queryValue(name, nullptr, buffer.data(), &size), ERROR_SUCCESS);
        EXPECT_EQ(size, 3u) << name;
        EXPECT_EQ(buffer, expected) << name;
    }
    std::string exact(3, '#');
    std::uint32_t size = 3;
    ASSERT_EQ(key_.queryValue("raw", nullptr, exact.data(), &size), ERROR_SUCCESS);
    EXPECT_EQ(exact, "abc");
}

TEST_F(ValuesTest, EnumerationGivesNamesTypesDataAndItsEnd) {
    ASSERT_EQ(key_.setString("ABC12345", "< name the HC here >"), ERROR_SUCCESS);  // 21 bytes
    ASSERT_EQ(key_.setDword("port", 5937), ERROR_SUCCESS);

    char name[9] = {};
    char data[32] = {};
    std::uint32_t nameSize = sizeof name;
    std::uint32_t dataSize = sizeof data;
    std::uint32_t type = 0;
    ASSERT_EQ(key_.enumValue(0, name, &nameSize, &type, data, &dataSize), ERROR_SUCCESS);
    EXPECT_EQ(std::string(name), "ABC12345");
    EXPECT_EQ(nameSize, 8u);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(std::string(data, dataSize), "< name the HC here >\0"s);

    nameSize = sizeof name;
    dataSize = 0;
    ASSERT_EQ(key_.enumValue(1, name, &nameSize, &type, nullptr, &dataSize), ERROR_SUCCESS);
    EXPECT_EQ(std::string(name), "port");
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(dataSize, 4u);

    nameSize = sizeof name;
    EXPECT_EQ(key_.enumValue(2, name, &nameSize, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(key_.enumValue(1000, name, &nameSize, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
}

TEST_F(ValuesTest, EnumerationReportsBothSizesWhenABufferIsTooSmall) {
    ASSERT_EQ(key_.setString("ABC12345", "described"), ERROR_SUCCESS);  // 10 bytes
    const struct {
        const char* what;
        std::uint32_t nameCapacity;
        std::uint32_t dataCapacity;
    } cases[] = {
        {"name without room for its NUL", 8, 10},
        {"data one byte short", 9, 9},
        {"both", 1, 0},
    };
    for (const auto& c : cases) {
        char name[16];
        char data[16];
        std::fill(std::begin(name), std::end(name), '#');
        std::fill(std::begin(data), std::end(data), '#');
        std::uint32_t nameSize = c.nameCapacity;
        std::uint32_t dataSize = c.dataCapacity;
        std::uint32_t type = 0;
        EXPECT_EQ(key_.enumValue(0, name, &nameSize, &type, data, &dataSize), ERROR_MORE_DATA)
            << c.what;
        EXPECT_EQ(nameSize, 8u) << c.what;
        EXPECT_EQ(dataSize, 10u) << c.what;
        EXPECT_EQ(type, REG_SZ) << c.what;
        EXPECT_EQ(name[0], '#') << c.what;
        EXPECT_EQ(data[0], '#') << c.what;
    }
}

TEST_F(ValuesTest, DeletingAMissingValueFailsAndLeavesTheFile) {
    ASSERT_EQ(key_.setString("kept", "1"), ERROR_SUCCESS);
    const std::string before = readHive();
    EXPECT_EQ(key_.deleteValue("absent"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(readHive(), before);
    ASSERT_EQ(key_.deleteValue("kept"), ERROR_SUCCESS);
    EXPECT_EQ(key_.deleteValue("kept"), ERROR_FILE_NOT_FOUND);
}

TEST_F(ValuesTest, BadArgumentsAreRefused) {
    char buffer[4];
    std::uint32_t size = sizeof buffer;
    EXPECT_EQ(key_.setString("line\nbreak", "x"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(key_.setString(std::string(16384, 'n'), "x"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(key_.setValue("x", REG_BINARY, nullptr, 1), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(key_.queryValue("x", nullptr, buffer, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(key_.enumValue(0, nullptr, &size, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(key_.setString(std::string(16383, 'n'), "longest name"), ERROR_SUCCESS);
    EXPECT_EQ(key_.setValue("empty", REG_BINARY, nullptr, 0), ERROR_SUCCESS);
}

}  // namespace
}  // namespace platform::registry::test
