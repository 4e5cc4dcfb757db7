// Updates through Gantrix's API server: the updater keeps the firmware update section (CTRL)
// from its first update command to its disconnect, and every other client is refused it
// meanwhile.

#include <gtest/gtest.h>

#include "flashwell/procedure/device_info.h"
#include "flashwell/procedure/update_procedure.h"
#include "tests/flashwell/recording_view.h"
#include "tests/server/thread_fixture.h"
#include "vt5api/commands/update.h"

namespace {

LoadedFirmware Sample(const char* name) {
    LoadedFirmware fw;
    EXPECT_EQ(LoadFirmwareFile(std::string(VT5_FIRMWARE_DIR) + "/" + name, fw), kFirmwareLoaded);
    return fw;
}

class UpdateThroughServer : public vt5test::ThreadFixture {
protected:
    void SetUp() override {
        hcsim::HcConfig config;
        config.startMode = hcsim::HcMode::Boot;
        plugHc(config);
        startServer();
        target_.host = "127.0.0.1";
        target_.port = tap_->port();
    }

    VT5ConnectionTarget target_;
    vt5test::RecordingView view_;
};

TEST_F(UpdateThroughServer, AnotherClientIsRefusedTheSectionWhileTheUpdateRuns) {
    CVT5Api other;
    ASSERT_EQ(openClient(other, "Starloom"), VT5_OK);
    std::vector<int32_t> refused, information;
    // Between the HC's image and the camera's (each upload holds the server's lock for all its
    // exchanges), the other client tries the update commands.
    view_.onLog = [&](const std::string& text) {
        if (text != "Uploading Camera firmware...\r\n") return;
        refused.push_back(VT5cmd_UPD_Finish(&other));
        refused.push_back(VT5cmd_UPD_CameraStart(&other));
        refused.push_back(VT5cmd_UPD_UploadHC(&other, nullptr, 0, 0x0080));
        VT5FwInfo fwInfo{};
        information.push_back(VT5cmd_UPD_GetFwInfo(&other, &fwInfo));  // no section
    };
    CVT5Api updater;
    EXPECT_EQ(RunUpdate(updater, target_, Sample("vt5_fw_1.10.bin"), {}, view_),
              UpdateOutcome::Done)
        << view_.log;
    EXPECT_EQ(refused, (std::vector<int32_t>{VT5_E_LOCK, VT5_E_LOCK, VT5_E_LOCK}));
    EXPECT_EQ(information, (std::vector<int32_t>{VT5_OK}));
    EXPECT_EQ(view_.log,
              "Opening device... OK\r\nUploading HC firmware...\r\nUploading Camera "
              "firmware...\r\nUpdate DONE.\r\n");

    // The updater has gone: the section is free again.
    EXPECT_EQ(VT5cmd_UPD_Finish(&other), VT5_OK);
    VT5_Close(&other);

    view_ = vt5test::RecordingView{};
    ASSERT_TRUE(RunDeviceInfo(updater, target_, view_));
    ASSERT_EQ(view_.deviceInfo.size(), 1u);
    const std::string& text = view_.deviceInfo[0];
    EXPECT_NE(text.find("Firmware version:   01.10.3"), std::string::npos) << text;
    EXPECT_NE(text.find("Firmware version:   02.10\n"), std::string::npos) << text;
}

TEST_F(UpdateThroughServer, ASectionHolderKeepsItUntilAFailure) {
    CVT5Api updater, other;
    ASSERT_EQ(openClient(updater, "Updater"), VT5_OK);
    ASSERT_EQ(openClient(other, "Panelcast"), VT5_OK);
    ASSERT_EQ(VT5cmd_UPD_Finish(&updater), VT5_OK);
    EXPECT_EQ(VT5cmd_UPD_CameraStop(&other), VT5_E_LOCK);
    // A failing update command hands the section back.
    hc_->control("fault refuse-start");
    EXPECT_EQ(VT5cmd_UPD_UploadHC(&updater, nullptr, 0, 0x0080), VT5_E_UPDATE_PROHIBITED);
    EXPECT_EQ(VT5cmd_UPD_CameraStop(&other), VT5_OK);
    EXPECT_EQ(VT5cmd_UPD_Finish(&updater), VT5_E_LOCK);
}

}  // namespace
