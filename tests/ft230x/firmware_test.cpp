#include <gtest/gtest.h>

#include <string>

#include "tests/ft230x/ft230x_fixture.h"
#include "tests/support/subprocess.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/commands/identity.h"

namespace vt5test {
namespace {

using Firmware = Ft230xFixture;

// The HC is put into BOOT mode by a long ESC pulse on CBUS 1, then vt5-flash updates both parts
// of it through libftdi1 in a process of its own.
TEST_F(Firmware, AnUpdateAfterTheBootPulseReachesBothParts) {
    auto config = defaultConfig();
    config.hc.startMode = hcsim::HcMode::Off;
    plug(config);
    CVT5Api api;
    ASSERT_EQ(VT5_ESC_control(&api, 2000, nullptr, 0), VT5_OK);
    // The HC starts in BOOT mode once the line falls.
    int32_t opened = -1;
    for (int i = 0; i < 50 && opened != VT5_OK; ++i)
        opened = VT5_Open(&api, "FT4K2HC7", nullptr, 0, nullptr);
    ASSERT_EQ(opened, VT5_OK);
    int32_t bootFlag = 0, protocol = 0, word2 = 0;
    ASSERT_EQ(VT5_GetProtocolInfo(&api, &bootFlag, &protocol, &word2), VT5_OK);
    EXPECT_EQ(bootFlag, 1);
    VT5_Close(&api);

    RunResult update =
        runProgram({VT5_FLASH_PATH, "update", std::string(VT5_FIRMWARE_DIR) + "/vt5_fw_1.10.bin",
                    "--serial", "FT4K2HC7"});
    EXPECT_EQ(update.status, 0) << update.err;
    EXPECT_EQ(update.out,
              "Opening device... OK\nUploading HC firmware...\nUploading Camera firmware...\n"
              "Update DONE.\n");
    RunResult info = runProgram({VT5_FLASH_PATH, "devinfo", "--serial", "FT4K2HC7"});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("Firmware version:   01.10.3"), std::string::npos) << info.out;
}

}  // namespace
}  // namespace vt5test
