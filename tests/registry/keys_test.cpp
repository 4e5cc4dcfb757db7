#include <sys/stat.h>

#include <string>

#include "tests/registry/registry_fixture.h"

namespace platform::registry::test {
namespace {

using namespace std::string_literals;

using KeysTest = RegistryTest;

TEST_F(KeysTest, OpeningAMissingKeyFailsAndCreatingMakesItAndItsParents) {
    Key key;
    EXPECT_EQ(openKey("SOFTWARE\\NORVANE\\Veltra-5", key), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(key.isOpen());
    EXPECT_FALSE(std::filesystem::exists(hive_)) << "a failed open writes nothing";

    ASSERT_EQ(createKey("SOFTWARE\\NORVANE\\Veltra-5\\Gantrix", key), ERROR_SUCCESS);
    EXPECT_TRUE(key.isOpen());
    for (const char* path : {"SOFTWARE", "SOFTWARE\\NORVANE", "SOFTWARE\\NORVANE\\Veltra-5",
                             "SOFTWARE\\NORVANE\\Veltra-5\\Gantrix", ""}) {
        Key opened;
        EXPECT_EQ(openKey(path, opened), ERROR_SUCCESS) << path;
    }
    EXPECT_EQ(openKey("SOFTWARE\\NORVANE\\Veltra", key), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(key.isOpen()) << "a failed open closes the handle passed in";
}

TEST_F(KeysTest, KeysMatchWithoutRegardToCaseAndKeepTheirFirstSpelling) {
    Key key;
    ASSERT_EQ(createKey("SOFTWARE\\NORVANE\\Veltra-5\\ConnectionInfo\\Starloom", key),
              ERROR_SUCCESS);
    ASSERT_EQ(key.setDword("Server port", 5937), ERROR_SUCCESS);

    Key same;
    ASSERT_EQ(openKey("software\\norvane\\VELTRA-5\\connectioninfo\\starloom", same),
              ERROR_SUCCESS);
    EXPECT_EQ(same.path(),
              "HKEY_CURRENT_USER\\SOFTWARE\\NORVANE\\Veltra-5\\ConnectionInfo\\Starloom");
    EXPECT_EQ(query(same, "Server port").status, ERROR_SUCCESS);

    // A new key below takes the existing spelling of its parents.
    Key other;
    ASSERT_EQ(createKey("software\\Norvane\\veltra-5\\Gantrix", other), ERROR_SUCCESS);
    EXPECT_EQ(other.path(), "HKEY_CURRENT_USER\\SOFTWARE\\NORVANE\\Veltra-5\\Gantrix");
    ASSERT_EQ(other.setString("Veltra-5 folder", "/home/u/veltra"), ERROR_SUCCESS);
    EXPECT_NE(readHive().find("[HKEY_CURRENT_USER\\SOFTWARE\\NORVANE\\Veltra-5\\Gantrix]"),
              std::string::npos);
}

TEST_F(KeysTest, SubKeysOpenRelativeToTheirParent) {
    Key info;
    ASSERT_EQ(createKey("SOFTWARE\\NORVANE\\Veltra-5\\ConnectionInfo", info), ERROR_SUCCESS);
    Key program;
    EXPECT_EQ(info.openSubKey("Updater", program), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(info.createSubKey("Updater", program), ERROR_SUCCESS);
    ASSERT_EQ(program.setString("Server address", "10.0.0.2"), ERROR_SUCCESS);
    ASSERT_EQ(info.setString("ABC12345", "bench HC"), ERROR_SUCCESS);

    Key again;
    ASSERT_EQ(info.openSubKey("UPDATER", again), ERROR_SUCCESS);
    EXPECT_EQ(query(again, "Server address").data, "10.0.0.2\0"s);
    EXPECT_EQ(query(again, "ABC12345").status, ERROR_FILE_NOT_FOUND) << "values stay per key";
    Key self;
    ASSERT_EQ(info.openSubKey("", self), ERROR_SUCCESS);
    EXPECT_EQ(self.path(), info.path());
}

TEST_F(KeysTest, MalformedPathsAreRefused) {
    for (const std::string& path : {"\\SOFTWARE"s, "SOFTWARE\\"s, "SOFTWARE\\\\NORVANE"s, "a\nb"s,
                                    "a\0b"s, std::string(256, 'k')}) {
        Key key;
        EXPECT_EQ(createKey(path, key), ERROR_INVALID_PARAMETER) << path;
        EXPECT_EQ(openKey(path, key), ERROR_INVALID_PARAMETER) << path;
    }
    Key key;
    EXPECT_EQ(createKey(std::string(255, 'k') + "\\[odd] = \"name\"", key), ERROR_SUCCESS);
    ASSERT_EQ(key.setDword("v", 1), ERROR_SUCCESS);
    Key reopened;
    ASSERT_EQ(openKey(std::string(255, 'K') + "\\[ODD] = \"NAME\"", reopened), ERROR_SUCCESS);
    EXPECT_EQ(query(reopened, "v").status, ERROR_SUCCESS);
}

TEST_F(KeysTest, AClosedOrMovedFromHandleRefusesEveryCall) {
    Key key;
    ASSERT_EQ(createKey("SOFTWARE\\NORVANE", key), ERROR_SUCCESS);
    Key moved = std::move(key);
    EXPECT_TRUE(moved.isOpen());
    moved.close();
    char name[8];
    std::uint32_t size = sizeof name;
    Key sub;
    for (Key* closed : {&key, &moved}) {
        EXPECT_FALSE(closed->isOpen());
        EXPECT_EQ(closed->setDword("v", 1), ERROR_INVALID_HANDLE);
        EXPECT_EQ(closed->queryValue("v", nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
        EXPECT_EQ(closed->enumValue(0, name, &size, nullptr, nullptr, nullptr),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(closed->deleteValue("v"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(closed->createSubKey("x", sub), ERROR_INVALID_HANDLE);
        EXPECT_EQ(closed->openSubKey("", sub), ERROR_INVALID_HANDLE);
    }
}

TEST_F(KeysTest, CreatingOrSettingWhatIsThereLeavesTheFileAlone) {
    Key key;
    ASSERT_EQ(createKey("SOFTWARE\\NORVANE\\Veltra-5\\Gantrix", key), ERROR_SUCCESS);
    ASSERT_EQ(key.setString("Veltra-5 folder", "/data"), ERROR_SUCCESS);
    struct stat before {};
    ASSERT_EQ(::stat(hive_.c_str(), &before), 0);

    Key again;
    ASSERT_EQ(createKey("software\\norvane", again), ERROR_SUCCESS);
    ASSERT_EQ(createKey("SOFTWARE\\NORVANE\\Veltra-5\\Gantrix", again), ERROR_SUCCESS);
    ASSERT_EQ(again.setString("Veltra-5 folder", "/data"), ERROR_SUCCESS);

    struct stat after {};
    ASSERT_EQ(::stat(hive_.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the hive was replaced";
}

TEST_F(KeysTest, AHandleOutlivesTheHiveFile) {
    Key key;
    ASSERT_EQ(createKey("SOFTWARE\\NORVANE\\Veltra-5\\Gantrix", key), ERROR_SUCCESS);
    ASSERT_EQ(key.setString("Veltra-5 folder", "/old"), ERROR_SUCCESS);
    std::filesystem::remove(hive_);

    EXPECT_EQ(query(key, "Veltra-5 folder").status, ERROR_FILE_NOT_FOUND);
    std::uint32_t size = 8;
    char name[8];
    EXPECT_EQ(key.enumValue(0, name, &size, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    ASSERT_EQ(key.setString("Veltra-5 folder", "/new"), ERROR_SUCCESS);
    Key reopened;
    ASSERT_EQ(openKey("SOFTWARE\\NORVANE\\Veltra-5\\Gantrix", reopened), ERROR_SUCCESS);
    EXPECT_EQ(query(reopened, "Veltra-5 folder").data, "/new\0"s);
}

}  // namespace
}  // namespace platform::registry::test
