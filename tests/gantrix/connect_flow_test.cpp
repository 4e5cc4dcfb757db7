// ConnectForTool: the ways to the HC, switching it on, the mode check and every message.

#include <gtest/gtest.h>

#include "gantrix/app/gantrix_texts.h"
#include "platform/clock/clock.h"
#include "tests/gantrix/gantrix_fixture.h"
#include "vt5api/api/vt5server.h"
#include "vt5api/ui/ui_text.h"

namespace {

using hcsim::HcMode;

constexpr const char* kClient = "Gantrix - FileSystem";

class ConnectFlowTest : public vt5test::GantrixTest {
protected:
    void expectOnePrompt(const char* caption, const std::string& text, QMessageBox::Icon icon,
                         QMessageBox::StandardButtons buttons = QMessageBox::Ok) {
        ASSERT_EQ(prompter.prompts().size(), 1u);
        const Prompt& p = prompter.prompts().front();
        EXPECT_EQ(p.caption.toStdString(), caption);
        EXPECT_EQ(p.text.toStdString(), text);
        EXPECT_EQ(p.icon, icon);
        EXPECT_EQ(p.buttons, buttons);
    }
    std::string openSerial() { return app.toolApi.link->OpenSerial(); }
};

// Opening an HC and switching it on take seconds of waiting (the line's resynchronisation, the
// start-up); these tests pass them on a virtual clock.
class DirectFlowTest : public ConnectFlowTest {
protected:
    int64_t elapsedMs() const { return platform::nowMs() - startMs_; }

    platform::VirtualClock clock_;
    platform::ScopedClock useClock_{clock_};
    int64_t startMs_ = platform::nowMs();
};
using SwitchOnTest = DirectFlowTest;

// The API server runs on its own thread, where a virtual clock cannot stand in: real time.
using ServerFlowTest = ConnectFlowTest;

TEST_F(DirectFlowTest, OpensAnyHcDirectlyByDefault) {
    plugHc("HC000001");
    EXPECT_EQ(app.ConnectForTool(kRequireFirmware, kClient), 0);
    EXPECT_TRUE(VT5_IsOpen(&app.toolApi));
    EXPECT_EQ(app.toolApi.link->Mode(), VT5_MODE_DIRECT);
    EXPECT_EQ(openSerial(), "HC000001");
    EXPECT_TRUE(prompter.prompts().empty());
}

TEST_F(DirectFlowTest, OpensTheHcOfTheDirectAccessId) {
    plugHc("HC000001");
    plugHc("HC000002");
    app.toolOptions.directAccessId = "HC000002";
    EXPECT_EQ(app.ConnectForTool(kRequireAnyMode, kClient), 0);
    EXPECT_EQ(openSerial(), "HC000002");
}

TEST_F(DirectFlowTest, ServerChoiceWithoutAddressOpensAnyHcDirectly) {
    plugHc("HC000001");
    app.toolOptions.connectToServer = 1;
    app.toolOptions.serverPort = 6000;
    app.toolOptions.directAccessId = "HC999999";  // not used through a server
    EXPECT_EQ(app.ConnectForTool(kRequireFirmware, kClient), 0);
    EXPECT_EQ(app.toolApi.link->Mode(), VT5_MODE_DIRECT);
    EXPECT_EQ(openSerial(), "HC000001");
}

TEST_F(ServerFlowTest, RunningServerIsUsedAtLocalhostWhateverTheOptionsSay) {
    plugHc("HC000001");
    ASSERT_TRUE(startServer(freePort()));
    int32_t port = 0;
    ASSERT_TRUE(app.server.IsServerRunning(nullptr, &port));
    app.toolOptions.directAccessId = "HC999999";
    app.toolOptions.connectToServer = 1;
    app.toolOptions.serverAddress = "unreachable.invalid";

    EXPECT_EQ(app.ConnectForTool(kRequireFirmware, kClient), 0);
    EXPECT_EQ(app.toolApi.link->Mode(), VT5_MODE_CLIENT);
    EXPECT_STREQ(app.toolApi.serverAddress, "localhost");
    EXPECT_EQ(app.toolApi.serverPort, port);
    ASSERT_TRUE(waitUntil([&] {
        return app.server.WithStatus([](ServerStatus& s) {
            s.listRefreshRequest = true;
            return s.clients.size() == 1 && std::string(s.clients[0].applicationId) == kClient;
        });
    }));
    EXPECT_TRUE(prompter.prompts().empty());
}

TEST_F(DirectFlowTest, NoHcIsReportedWithTheCodeAndItsText) {
    prompter.answer(QMessageBox::Ok);
    EXPECT_EQ(app.ConnectForTool(kRequireFirmware, kClient), -1);
    expectOnePrompt(kCaptionError, expectedApiError(kNoDevice, VT5_E_CANNOT_OPEN),
                    QMessageBox::Warning);
    EXPECT_FALSE(VT5_IsOpen(&app.toolApi));
}

TEST_F(DirectFlowTest, AnHcHeldByAnotherProgramIsReportedAsInUse) {
    plugHc("HC000001");
    CVT5Api holder;  // another program's connection
    ASSERT_EQ(VT5_Open(&holder, "HC000001", nullptr, 0, nullptr), VT5_OK);
    for (const char* serial : {"", "HC000001"}) {
        SCOPED_TRACE(serial);
        prompter.clear();
        app.toolOptions.directAccessId = serial;
        prompter.answer(QMessageBox::Ok);
        EXPECT_EQ(app.ConnectForTool(kRequireFirmware, kClient), -1);
        ASSERT_EQ(prompter.prompts().size(), 1u);
        const std::string text = prompter.texts().front();
        const std::string found = UiText(kNoDevice).toStdString() +
                                  "\n\nThe HandController HC000001 is connected, but another "
                                  "program is using it.";
        EXPECT_EQ(text.rfind(found, 0), 0u) << text;
        EXPECT_NE(text.find("\n\nVeltra-5 API returned code "), std::string::npos) << text;
    }
    VT5_Close(&holder);

    // Free again: the plain message for an HC that is not there.
    app.toolOptions.directAccessId = "HC000002";
    prompter.clear();
    prompter.answer(QMessageBox::Ok);
    EXPECT_EQ(app.ConnectForTool(kRequireFirmware, kClient), -1);
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.texts().front().find("another program"), std::string::npos);
}

TEST_F(DirectFlowTest, UnreachableServerIsReportedAsSuch) {
    app.toolOptions.connectToServer = 1;
    app.toolOptions.serverAddress = "127.0.0.1";
    app.toolOptions.serverPort = freePort();
    prompter.answer(QMessageBox::Ok);
    EXPECT_EQ(app.ConnectForTool(kRequireFirmware, kClient), -1);
    expectOnePrompt(kCaptionError, expectedApiError(kNoServer, VT5_E_CANT_CONNECT),
                    QMessageBox::Warning);
    EXPECT_EQ(app.toolApi.link->Mode(), VT5_MODE_DIRECT);
}

TEST_F(ServerFlowTest, ServerWithoutHcIsReportedAsMissingDeviceAtTheServer) {
    ASSERT_TRUE(startServer(freePort()));
    prompter.answer(QMessageBox::Ok);
    EXPECT_EQ(app.ConnectForTool(kRequireFirmware, kClient), -1);
    ASSERT_EQ(prompter.prompts().size(), 1u);
    const std::string text = prompter.texts().front();
    EXPECT_EQ(
        text.rfind(UiText(kNoDeviceAtServer).toStdString() + "\n\nVeltra-5 API returned code ", 0),
        0u)
        << text;
    EXPECT_FALSE(VT5_IsOpen(&app.toolApi)) << "the TCP connection is not kept";
}

struct WrongModeCase {
    const char* name;
    HcMode mode;
    int required;
};

class WrongModeTest : public DirectFlowTest, public ::testing::WithParamInterface<WrongModeCase> {};

TEST_P(WrongModeTest, IsShownAndTheConnectionClosed) {
    plugHc("HC000001", GetParam().mode);
    prompter.answer(QMessageBox::Ok);
    EXPECT_EQ(app.ConnectForTool(GetParam().required, kClient), -1);
    expectOnePrompt(kCaptionError, UiText(kWrongMode).toStdString(), QMessageBox::Warning);
    EXPECT_FALSE(VT5_IsOpen(&app.toolApi));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, WrongModeTest,
    ::testing::Values(WrongModeCase{"BootWhenFirmwareIsNeeded", HcMode::Boot, kRequireFirmware},
                      WrongModeCase{"FirmwareWhenBootIsNeeded", HcMode::Firmware, kRequireBoot}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(DirectFlowTest, EitherModeWhenNoneIsRequired) {
    plugHc("HC000001", HcMode::Boot);
    EXPECT_EQ(app.ConnectForTool(kRequireAnyMode, kClient), 0);
    EXPECT_EQ(app.ConnectForTool(kRequireBoot, kClient), 0);
}

TEST_F(SwitchOnTest, YesPulsesEscForTheFirmwareWaitsAndOpensAgain) {
    hcsim::SimulatedHc& hc = plugHc("HC000001", HcMode::Off);
    prompter.answer(QMessageBox::Yes);
    EXPECT_EQ(app.ConnectForTool(kRequireFirmware, kClient), 0);
    expectOnePrompt(kCaptionQuestion, UiText(kTurnOnQuestion).toStdString(), QMessageBox::Question,
                    QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(hc.mode(), HcMode::Firmware) << "a 200 ms pulse starts the firmware";
    EXPECT_GE(elapsedMs(), 200 + 3000);
    EXPECT_TRUE(VT5_IsOpen(&app.toolApi));
}

TEST_F(SwitchOnTest, BootModeWantedPulsesForTwoSeconds) {
    hcsim::SimulatedHc& hc = plugHc("HC000001", HcMode::Off);
    prompter.answer(QMessageBox::Yes);
    EXPECT_EQ(app.ConnectForTool(kRequireBoot, "Updater"), 0);
    EXPECT_EQ(hc.mode(), HcMode::Boot);
    EXPECT_GE(elapsedMs(), 2000 + 3000);
}

TEST_F(SwitchOnTest, NoLeavesTheHcOffAndTheContextClosed) {
    hcsim::SimulatedHc& hc = plugHc("HC000001", HcMode::Off);
    prompter.answer(QMessageBox::No);
    EXPECT_EQ(app.ConnectForTool(kRequireFirmware, kClient), -1);
    EXPECT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(hc.mode(), HcMode::Off);
    EXPECT_FALSE(VT5_IsOpen(&app.toolApi));
}

TEST_F(SwitchOnTest, PulseGoesToTheHcOfTheDirectAccessId) {
    hcsim::SimulatedHc& first = plugHc("HC000001", HcMode::Off);
    hcsim::SimulatedHc& chosen = plugHc("HC000002", HcMode::Off);
    app.toolOptions.directAccessId = "HC000002";
    prompter.answer(QMessageBox::Yes);
    EXPECT_EQ(app.ConnectForTool(kRequireFirmware, kClient), 0);
    EXPECT_EQ(first.mode(), HcMode::Off);
    EXPECT_EQ(chosen.mode(), HcMode::Firmware);
    EXPECT_EQ(openSerial(), "HC000002");
}

TEST_F(SwitchOnTest, HcThatStaysSilentIsReportedAfterTheAttempt) {
    hcsim::HcConfig config;
    config.serial = "HC000001";
    config.startMode = HcMode::Off;
    config.escFirmwareMin = platform::Millis(500);  // a 200 ms pulse does not start this one
    hcs.push_back(std::make_unique<hcsim::SimulatedHc>(bus.bus(), config));
    prompter.answer(QMessageBox::Yes);
    prompter.answer(QMessageBox::Ok);
    EXPECT_EQ(app.ConnectForTool(kRequireFirmware, kClient), -1);
    ASSERT_EQ(prompter.prompts().size(), 2u);
    EXPECT_EQ(prompter.texts()[1], expectedApiError(kOpenAfterTurnOnFailed, VT5_E_HANDSHAKE));
    EXPECT_EQ(prompter.prompts()[1].caption, "ERROR");
    EXPECT_FALSE(VT5_IsOpen(&app.toolApi));
}

}  // namespace
