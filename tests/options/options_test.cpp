// Connection options and the named-HC list on the registry layer.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/registry/registry.h"
#include "tests/options/temp_registry.h"
#include "vt5api/options/connection_options.h"
#include "vt5api/options/connection_target.h"
#include "vt5api/options/named_devices.h"

namespace reg = platform::registry;
using ::testing::ElementsAre;
using ::testing::Pair;

namespace {

class OptionsTest : public ::testing::Test {
protected:
    static reg::Key programKey(const std::string& program) {
        reg::Key key;
        EXPECT_EQ(reg::createKey(std::string(VT5_CONNECTION_INFO_KEY) + "\\" + program, key), 0);
        return key;
    }
    static reg::Key infoKey() {
        reg::Key key;
        EXPECT_EQ(reg::createKey(VT5_CONNECTION_INFO_KEY, key), 0);
        return key;
    }
    static uint32_t dword(const reg::Key& key, const char* name) {
        uint32_t value = 0, size = 4, type = 0;
        EXPECT_EQ(key.queryValue(name, &type, &value, &size), 0) << name;
        EXPECT_EQ(type, reg::REG_DWORD);
        return value;
    }

    vt5test::TempRegistry registry;
};

TEST_F(OptionsTest, FirstRunKeepsTheDefaults) {
    VT5ConnectionOptions options;
    options.programKey = VT5_KEY_GANTRIX;
    EXPECT_EQ(LoadOptions(options), reg::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(options.serverOptionAllowed, -1);
    EXPECT_EQ(options.connectToServer, 0);
    EXPECT_EQ(options.serverAddress, "");
    EXPECT_EQ(options.serverPort, 0);
    EXPECT_EQ(options.directAccessId, "");
}

TEST_F(OptionsTest, WithoutProgramKeyNothingIsReadOrWritten) {
    VT5ConnectionOptions options;
    EXPECT_EQ(LoadOptions(options), -1);
    EXPECT_EQ(SaveOptions(options), -1);
}

TEST_F(OptionsTest, SaveWritesTheFourValuesAndLoadReadsThemBack) {
    VT5ConnectionOptions saved;
    saved.programKey = VT5_KEY_STARLOOM;
    saved.connectToServer = 1;
    saved.serverAddress = "192.168.1.20";
    saved.serverPort = 6000;
    saved.directAccessId = "HC000042";
    ASSERT_EQ(SaveOptions(saved), 0);

    reg::Key key = programKey(VT5_KEY_STARLOOM);
    EXPECT_EQ(dword(key, "Connect to Server"), 0xFFFFFFFFu);
    EXPECT_EQ(dword(key, "Server port"), 6000u);
    char text[32] = {};
    uint32_t size = sizeof text;
    ASSERT_EQ(key.queryValue("Server address", nullptr, text, &size), 0);
    EXPECT_EQ(size, 13u) << "REG_SZ with its terminating NUL";

    VT5ConnectionOptions loaded;
    loaded.programKey = VT5_KEY_STARLOOM;
    EXPECT_EQ(LoadOptions(loaded), 0);
    EXPECT_EQ(loaded.connectToServer, 1);
    EXPECT_EQ(loaded.serverAddress, "192.168.1.20");
    EXPECT_EQ(loaded.serverPort, 6000);
    EXPECT_EQ(loaded.directAccessId, "HC000042");

    saved.connectToServer = 0;
    ASSERT_EQ(SaveOptions(saved), 0);
    EXPECT_EQ(dword(key, "Connect to Server"), 0u);
    EXPECT_EQ(LoadOptions(loaded), 0);
    EXPECT_EQ(loaded.connectToServer, 0);

    VT5ConnectionOptions other;
    other.programKey = VT5_KEY_PANELCAST;
    EXPECT_EQ(LoadOptions(other), reg::ERROR_FILE_NOT_FOUND) << "each program has its own";
}

TEST_F(OptionsTest, AnyNonzeroDwordConnectsToTheServer) {
    reg::Key key = programKey(VT5_KEY_UPDATER);
    key.setDword("Connect to Server", 1);
    key.setString("Direct access ID", "");
    key.setString("Server address", "host");
    key.setDword("Server port", 0);
    VT5ConnectionOptions options;
    options.programKey = VT5_KEY_UPDATER;
    EXPECT_EQ(LoadOptions(options), 0);
    EXPECT_NE(options.connectToServer, 0);
}

TEST_F(OptionsTest, LoadingStopsAtTheFirstMissingValue) {
    reg::Key key = programKey(VT5_KEY_GANTRIX);
    key.setDword("Connect to Server", 0xFFFFFFFF);
    key.setString("Direct access ID", "HC000001");
    VT5ConnectionOptions options;
    options.programKey = VT5_KEY_GANTRIX;
    options.serverAddress = "kept";
    EXPECT_EQ(LoadOptions(options), reg::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(options.connectToServer, 1);
    EXPECT_EQ(options.directAccessId, "HC000001");
    EXPECT_EQ(options.serverAddress, "kept");
}

TEST_F(OptionsTest, TooLongTextReadsAsEmptyAndLoadingGoesOn) {
    reg::Key key = programKey(VT5_KEY_GANTRIX);
    key.setDword("Connect to Server", 0);
    key.setString("Direct access ID", std::string(1024, 'A'));
    key.setString("Server address", std::string(1023, 'b'));
    key.setDword("Server port", 77);
    VT5ConnectionOptions options;
    options.programKey = VT5_KEY_GANTRIX;
    options.directAccessId = "HC999999";
    EXPECT_EQ(LoadOptions(options), 0);
    EXPECT_EQ(options.directAccessId, "");
    EXPECT_EQ(options.serverAddress.size(), 1023u);
    EXPECT_EQ(options.serverPort, 77);
}

TEST_F(OptionsTest, TargetFollowsTheChoice) {
    VT5ConnectionOptions options;
    options.serverAddress = "server";
    options.serverPort = 6001;
    options.directAccessId = "HC000007";

    VT5ConnectionTarget direct = TargetFromOptions(options);
    EXPECT_STREQ(direct.Serial(), "HC000007");
    EXPECT_EQ(direct.Host(), nullptr);

    options.connectToServer = 1;
    VT5ConnectionTarget remote = TargetFromOptions(options);
    EXPECT_EQ(remote.Serial(), nullptr);
    EXPECT_STREQ(remote.Host(), "server");
    EXPECT_EQ(remote.port, 6001);

    options.serverAddress.clear();
    EXPECT_EQ(TargetFromOptions(options).Host(), nullptr) << "no host: any HC, directly";
    options.connectToServer = 0;
    options.directAccessId.clear();
    EXPECT_EQ(TargetFromOptions(options).Serial(), nullptr);
}

TEST_F(OptionsTest, NamedDevicesInRegistryOrderSkippingOtherValues) {
    reg::Key info = infoKey();
    ASSERT_EQ(SetNamedDevice("HC000002", "Observatory", 0), 0);
    info.setDword("NotAnHC", 5);
    ASSERT_EQ(SetNamedDevice("HC000001", "Travel kit", 0), 0);
    info.setString(std::string(256, 'S'), "name too long for a serial");
    ASSERT_EQ(SetNamedDevice("HC000003", "", 0), 0);
    programKey(VT5_KEY_GANTRIX);  // subkeys are not named HCs

    EXPECT_THAT(ListNamedDevices(),
                ElementsAre(Pair("HC000002", "Observatory"), Pair("HC000001", "Travel kit"),
                            Pair("HC000003", "")));

    int32_t index = 0;
    std::string serial, description;
    EXPECT_EQ(EnumNamedDevice(index, serial, description), 0);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(EnumNamedDevice(index, serial, description), 0);
    EXPECT_EQ(serial, "HC000001");
    EXPECT_EQ(index, 3) << "the DWORD was passed over";
    EXPECT_EQ(EnumNamedDevice(index, serial, description), 0);
    EXPECT_EQ(serial, "HC000003");
    EXPECT_EQ(EnumNamedDevice(index, serial, description), reg::ERROR_NO_MORE_ITEMS);
    index = -1;
    EXPECT_EQ(EnumNamedDevice(index, serial, description), 0);
}

TEST_F(OptionsTest, SetFindAndRemoveNamedDevices) {
    ASSERT_EQ(SetNamedDevice("HC000001", "Travel kit", 0), 0);
    EXPECT_EQ(SetNamedDevice("HC000001", VT5_UNNAMED_DEVICE, 1), 0);
    std::string name = "HC000001";
    EXPECT_EQ(FindNamedDevice(name), 1);
    EXPECT_EQ(name, "Travel kit") << "only-if-absent keeps the description";

    EXPECT_EQ(SetNamedDevice("HC000001", "Garden", 0), 0);
    name = "HC000001";
    EXPECT_EQ(FindNamedDevice(name), 1);
    EXPECT_EQ(name, "Garden");

    std::string unknown = "HC000009";
    EXPECT_EQ(FindNamedDevice(unknown), 0);
    EXPECT_EQ(unknown, "HC000009");
    std::string empty;
    EXPECT_EQ(FindNamedDevice(empty), 0);

    EXPECT_EQ(RemoveNamedDevice("HC000001"), 0);
    EXPECT_EQ(RemoveNamedDevice("HC000001"), reg::ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(ListNamedDevices().empty());
}

}  // namespace
