// Flashwell's dialog and its device information window, driven offscreen through the object
// names of their controls, against the simulated HC.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <chrono>
#include <thread>

#include "flashwell/app/devinfo_dlg.h"
#include "flashwell/app/flashwell_dlg.h"
#include "gantrix/server/server_thread.h"
#include "hcsim/hc/simulated_hc.h"
#include "platform/clock/clock.h"
#include "tests/options/gui_test.h"
#include "tests/support/wire_client.h"

namespace {

using hcsim::HcMode;

std::string Sample(const char* name) {
    return std::string(VT5_FIRMWARE_DIR) + "/" + name;
}

class FlashwellDlgTest : public vt5test::GuiTest {
protected:
    void plugHc(HcMode mode = HcMode::Boot) {
        hcsim::HcConfig config;
        config.serial = "HC000001";
        config.startMode = mode;
        hc = std::make_unique<hcsim::SimulatedHc>(bus.bus(), config);
    }
    // Loads a file as the "..." button does.
    void choose(CFlashwellDlg& dlg, const std::string& path) {
        prompter.pick(vt5test::ScriptedPrompter::Pick::kOpenFile, {QString::fromStdString(path)});
        child<QPushButton>(dlg, "buttonBrowse")->click();
    }
    static std::string log(const CFlashwellDlg& dlg) {
        return child<QPlainTextEdit>(dlg, "editLog")->toPlainText().toStdString();
    }
    static std::string status(const CFlashwellDlg& dlg) {
        return child<QLabel>(dlg, "labelStatus")->text().toStdString();
    }
    // The dialog keeps the text of the device information window here instead of showing it.
    void catchDeviceInfo(CFlashwellDlg& dlg) {
        dlg.setDeviceInfoWindow([this](const std::string& text, QWidget*) { deviceInfo = text; });
    }

    platform::VirtualClock clock;
    platform::ScopedClock useClock{clock};
    std::unique_ptr<hcsim::SimulatedHc> hc;
    std::string deviceInfo;
};

TEST_F(FlashwellDlgTest, OpensWithItsCaptionControlsAndTheUpdatersOptions) {
    VT5ConnectionOptions stored;
    stored.programKey = VT5_KEY_UPDATER;
    stored.directAccessId = "HC000042";
    SaveOptions(stored);
    CFlashwellDlg dlg(prompter);
    EXPECT_EQ(dlg.windowTitle(), "Veltra-5 updater ver. 1.3");
    EXPECT_FALSE(dlg.windowIcon().isNull());
    EXPECT_EQ(dlg.options().programKey, "Updater");
    EXPECT_EQ(dlg.options().directAccessId, "HC000042");
    EXPECT_EQ(child<QPushButton>(dlg, "buttonOptions")->text(), "Connection options");
    EXPECT_EQ(child<QLabel>(dlg, "labelOptions")->text(),
              "You can specify here how or to which specific device to connect to.");
    EXPECT_EQ(child<QPushButton>(dlg, "buttonDevInfo")->text(), "Read device info");
    EXPECT_EQ(child<QLabel>(dlg, "labelFile")->text(), "Firmware file:");
    EXPECT_EQ(child<QPushButton>(dlg, "buttonBrowse")->text(), "...");
    EXPECT_EQ(child<QLabel>(dlg, "labelParts")->text(), "Which parts to update:");
    EXPECT_TRUE(child<QCheckBox>(dlg, "checkHc")->isChecked());
    EXPECT_EQ(child<QCheckBox>(dlg, "checkHc")->text(), "HandController");
    EXPECT_TRUE(child<QCheckBox>(dlg, "checkCamera")->isChecked());
    EXPECT_EQ(child<QCheckBox>(dlg, "checkCamera")->text(), "Camera");
    EXPECT_EQ(child<QPushButton>(dlg, "buttonUpdate")->text(), "Update firmware(s)");
    EXPECT_TRUE(child<QPlainTextEdit>(dlg, "editLog")->isReadOnly());
    EXPECT_EQ(status(dlg), "");
}

TEST_F(FlashwellDlgTest, ChoosingAFileShowsItsContents) {
    CFlashwellDlg dlg(prompter);
    choose(dlg, Sample("vt5_fw_1.10.bin"));
    ASSERT_EQ(prompter.picks().size(), 1u);
    EXPECT_EQ(prompter.picks()[0].filter.toStdString().rfind("Veltra-5 firmware files (*.bin)", 0),
              0u);
    EXPECT_EQ(child<QLineEdit>(dlg, "editFile")->text().toStdString(), Sample("vt5_fw_1.10.bin"));
    EXPECT_EQ(
        log(dlg),
        "Selected Firware file content:\n HC firmware:\n   \"Veltra-5 HC firmware 1.10\"\n    "
        " ver. 01.10.3\n Camera firmware\n   \"Veltra-5 guide camera 2.10\"\n     ver. "
        "02.10.1\n\n");
    EXPECT_TRUE(dlg.firmware().hc.HasPayload());

    // Cancelled: nothing changes; the next file starts where the last one was.
    prompter.pick(vt5test::ScriptedPrompter::Pick::kOpenFile, {});
    child<QPushButton>(dlg, "buttonBrowse")->click();
    EXPECT_EQ(prompter.picks()[1].start.toStdString(), VT5_FIRMWARE_DIR);
    EXPECT_EQ(child<QLineEdit>(dlg, "editFile")->text().toStdString(), Sample("vt5_fw_1.10.bin"));
    EXPECT_TRUE(dlg.firmware().hc.HasPayload());
}

TEST_F(FlashwellDlgTest, AFileThatFailsToLoadIsReportedAndNothingOfItKept) {
    CFlashwellDlg dlg(prompter);
    choose(dlg, Sample("vt5_fw_1.10.bin"));
    prompter.pick(vt5test::ScriptedPrompter::Pick::kOpenFile,
                  {QString::fromStdString(Sample("vt5_fw_truncated.bin"))});
    prompter.answer(QMessageBox::Ok);
    child<QPushButton>(dlg, "buttonBrowse")->click();
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.prompts()[0].caption, "Loading failed");
    EXPECT_EQ(prompter.prompts()[0].text, "Error: wrong file contents");
    EXPECT_EQ(prompter.prompts()[0].icon, QMessageBox::Critical);
    // The summary of the file before goes with it: that file is no longer loaded.
    EXPECT_EQ(log(dlg), "Loading of Firmware file FAILED.\nIt may be damaged.");
    EXPECT_FALSE(dlg.firmware().hc.HasPayload());

    // Typed into the path and Enter: loaded the same way.
    prompter.answer(QMessageBox::Ok);
    auto* edit = child<QLineEdit>(dlg, "editFile");
    edit->setText(QString::fromStdString(Sample("no such file.bin")));
    emit edit->returnPressed();
    EXPECT_EQ(prompter.prompts().back().text, "Error: can't open/find file");
}

TEST_F(FlashwellDlgTest, AFileThatFailsToLoadClearsTheOutcomeOfTheUpdateBefore) {
    plugHc();
    CFlashwellDlg dlg(prompter);
    choose(dlg, Sample("vt5_fw_1.10.bin"));
    child<QPushButton>(dlg, "buttonUpdate")->click();
    ASSERT_EQ(status(dlg), "DONE") << log(dlg);

    prompter.pick(vt5test::ScriptedPrompter::Pick::kOpenFile,
                  {QString::fromStdString(Sample("vt5_fw_truncated.bin"))});
    prompter.answer(QMessageBox::Ok);
    child<QPushButton>(dlg, "buttonBrowse")->click();
    EXPECT_EQ(status(dlg), "");
    EXPECT_EQ(log(dlg), "Loading of Firmware file FAILED.\nIt may be damaged.");
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.prompts()[0].caption, "Loading failed");
}

TEST_F(FlashwellDlgTest, UpdateWithoutAFileDoesNothing) {
    plugHc();
    CFlashwellDlg dlg(prompter);
    child<QPushButton>(dlg, "buttonUpdate")->click();
    EXPECT_EQ(log(dlg), "");
    EXPECT_EQ(status(dlg), "");
    EXPECT_TRUE(prompter.prompts().empty());
    EXPECT_TRUE(hc->received().empty());
}

TEST_F(FlashwellDlgTest, UpdatesTheHcAndShowsTheNewVersionsInTheDeviceInformation) {
    plugHc();
    CFlashwellDlg dlg(prompter);
    catchDeviceInfo(dlg);
    choose(dlg, Sample("vt5_fw_1.10.bin"));
    child<QPushButton>(dlg, "buttonUpdate")->click();
    EXPECT_EQ(
        log(dlg),
        "Opening device... OK\nUploading HC firmware...\nUploading Camera firmware...\nUpdate "
        "DONE.\n");
    EXPECT_EQ(status(dlg), "DONE");
    EXPECT_TRUE(prompter.prompts().empty());
    for (const char* name : {"editFile", "buttonBrowse", "buttonUpdate"})
        EXPECT_TRUE(child<QWidget>(dlg, name)->isEnabled()) << name;
    EXPECT_FALSE(child<QProgressBar>(dlg, "progressUpload")->isTextVisible());

    child<QPushButton>(dlg, "buttonDevInfo")->click();
    EXPECT_NE(deviceInfo.find("Firmware version:   01.10.3\n     description:   \"Veltra-5 HC "
                              "firmware 1.10\""),
              std::string::npos)
        << deviceInfo;
    EXPECT_NE(deviceInfo.find("Firmware version:   02.10\n     description:   \"Veltra-5 guide "
                              "camera 2.10\""),
              std::string::npos)
        << deviceInfo;
}

TEST_F(FlashwellDlgTest, UpdatesThroughTheApiServerTheOptionsName) {
    plugHc();
    ServerThread server;
    const int port = vt5test::freeTcpPort();
    server.WithStatus([&](ServerStatus& s) { return s.configuredPort = port; });
    server.StartServerThread();
    for (int i = 0; i < 500 && !server.IsServerRunning(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(server.IsServerRunning());

    CFlashwellDlg dlg(prompter);
    catchDeviceInfo(dlg);
    dlg.options().connectToServer = 1;
    dlg.options().serverAddress = "127.0.0.1";
    dlg.options().serverPort = port;
    choose(dlg, Sample("vt5_fw_1.10.bin"));
    child<QPushButton>(dlg, "buttonUpdate")->click();
    EXPECT_EQ(status(dlg), "DONE") << log(dlg);
    child<QPushButton>(dlg, "buttonDevInfo")->click();
    EXPECT_NE(deviceInfo.find("Firmware version:   01.10.3"), std::string::npos) << deviceInfo;
    EXPECT_NE(deviceInfo.find("Firmware version:   02.10\n"), std::string::npos) << deviceInfo;

    // The thread is waited for in real time.
    platform::SteadyClock steady;
    platform::ScopedClock realTime(steady);
    server.StopServerThread();
}

TEST_F(FlashwellDlgTest, MessagesGoThroughThePrompterWithTheirIcons) {
    plugHc(HcMode::Firmware);
    CFlashwellDlg dlg(prompter);
    choose(dlg, Sample("vt5_fw_1.12_pcb5.bin"));
    prompter.answer(QMessageBox::Ok);
    child<QPushButton>(dlg, "buttonUpdate")->click();
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.prompts()[0].caption, "ERROR");
    EXPECT_EQ(prompter.prompts()[0].text.toStdString().rfind(
                  "Device is not in boot mode\n\nFirmware is updated in BOOT mode.", 0),
              0u)
        << prompter.prompts()[0].text.toStdString();
    EXPECT_NE(prompter.prompts()[0].text.indexOf("\"Restart to BOOT\""), -1);
    EXPECT_NE(prompter.prompts()[0].text.indexOf("Panelcast's \"Turn ON\""), -1);
    EXPECT_EQ(prompter.prompts()[0].icon, QMessageBox::Critical);
    EXPECT_EQ(status(dlg), "Update failed...");

    // In BOOT mode the PCB question comes first, a Yes/No with the exclamation icon.
    hc->changeMode(HcMode::Boot);
    platform::sleepMs(200);
    prompter.answer(QMessageBox::No);
    child<QPushButton>(dlg, "buttonUpdate")->click();
    ASSERT_EQ(prompter.prompts().size(), 2u);
    EXPECT_EQ(prompter.prompts()[1].caption, "WARNING");
    EXPECT_EQ(prompter.prompts()[1].icon, QMessageBox::Warning);
    EXPECT_EQ(prompter.prompts()[1].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(log(dlg), "Opening device... OK\nUpdate failed.");
}

TEST_F(FlashwellDlgTest, DeviceInformationInAppModeAndItsWindow) {
    plugHc(HcMode::Firmware);
    CFlashwellDlg dlg(prompter);
    catchDeviceInfo(dlg);
    child<QPushButton>(dlg, "buttonDevInfo")->click();
    EXPECT_EQ(deviceInfo.rfind("=== HandController's state:  APP MODE\n\n", 0), 0u);
    EXPECT_EQ(deviceInfo.find("Camera"), std::string::npos);

    CDevinfoDlg window(deviceInfo);
    EXPECT_EQ(window.windowTitle(), "Device information");
    EXPECT_EQ(window.text().toStdString(), deviceInfo);
    auto* info = child<QLabel>(window, "labelInfo");
    EXPECT_TRUE(QFontInfo(info->font()).fixedPitch());
    EXPECT_EQ(info->frameShadow(), QFrame::Sunken);
    child<QPushButton>(window, "buttonOk")->click();
    EXPECT_EQ(window.result(), QDialog::Accepted);

    // Without an HC: the message of the device information.
    hc.reset();
    prompter.answer(QMessageBox::Ok);
    child<QPushButton>(dlg, "buttonDevInfo")->click();
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.prompts()[0].caption, "ERROR");
    EXPECT_EQ(prompter.prompts()[0].text.toStdString().rfind("Can't open device!\n", 0), 0u);
}

}  // namespace
