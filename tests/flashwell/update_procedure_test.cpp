// The update procedure of Flashwell against the simulated HC: its log, status line and
// messages on every path, the PCB question, and updates broken off and repeated.

#include <gtest/gtest.h>

#include "flashwell/procedure/update_procedure.h"
#include "hcsim/hc/faults.h"
#include "tests/flashwell/updater_fixture.h"
#include "vt5api/commands/update.h"

namespace {

using hcsim::HcMode;
using vt5test::RecordingView;
using Shown = RecordingView::Shown;

constexpr const char* kBothParts = "vt5_fw_1.10.bin";
constexpr const char* kNewHc = "status=0 version=01.10.3 size=65536 \"Veltra-5 HC firmware 1.10\"";
constexpr const char* kNewCamera =
    "status=0 version=02.10.1 size=24576 \"Veltra-5 guide camera 2.10\"";
constexpr const char* kFactoryHc =
    "status=0 version=01.04.2 size=98304 \"Veltra-5 HC firmware 1.04\"";

class UpdateProcedure : public vt5test::UpdaterFixture {
protected:
    UpdateOutcome update(const LoadedFirmware& fw, UpdateChoice choice = {}) {
        return RunUpdate(api_, direct_, fw, choice, view_);
    }
    bool has(const char* text) { return firmware().find(text) != std::string::npos; }
};

TEST_F(UpdateProcedure, UpdatesBothPartsAndSaysSoStepByStep) {
    plugHc();
    EXPECT_EQ(update(sample(kBothParts)), UpdateOutcome::Done);
    EXPECT_EQ(view_.log,
              "Opening device... OK\r\nUploading HC firmware...\r\nUploading Camera "
              "firmware...\r\nUpdate DONE.\r\n");
    EXPECT_EQ(view_.statuses, (std::vector<std::string>{"Connecting...", "Uploading HC firmware...",
                                                        "Uploading Camera firmware...", "DONE"}));
    EXPECT_TRUE(view_.errors.empty());
    EXPECT_EQ(view_.busyChanges, (std::vector<bool>{true, false}));
    ASSERT_EQ(view_.progress.size(), 2u);
    EXPECT_EQ(view_.progress[0].first, "HC firmware");
    EXPECT_EQ(view_.progress[0].second.front(), 0);
    EXPECT_EQ(view_.progress[0].second.back(), 100);
    EXPECT_EQ(view_.progress[0].second.size(), 1u + 16u);  // the start, then 16 chunks
    EXPECT_EQ(view_.progress[1].first, "Camera firmware");
    EXPECT_EQ(view_.progress[1].second.back(), 100);
    EXPECT_FALSE(VT5_IsOpen(&api_));
    EXPECT_TRUE(has(kNewHc)) << firmware();
    EXPECT_TRUE(has(kNewCamera)) << firmware();
}

TEST_F(UpdateProcedure, AChosenPartWithoutAnImageDoesNothingAtAll) {
    plugHc();
    LoadedFirmware none;
    EXPECT_EQ(update(none), UpdateOutcome::NothingToDo);
    EXPECT_EQ(update(sample("vt5_fw_1.10_hc_only.bin"), {true, true}), UpdateOutcome::NothingToDo);
    EXPECT_TRUE(view_.log.empty());
    EXPECT_TRUE(view_.statuses.empty());
    EXPECT_TRUE(view_.errors.empty());
    EXPECT_TRUE(view_.busyChanges.empty());
    EXPECT_TRUE(hc_->received().empty());
    // The HC part alone is there to take.
    EXPECT_EQ(update(sample("vt5_fw_1.10_hc_only.bin"), {true, false}), UpdateOutcome::Done);
    EXPECT_TRUE(has(kNewHc));
}

TEST_F(UpdateProcedure, WithNeitherPartItOnlyChecksTheDevice) {
    plugHc();
    EXPECT_EQ(update(LoadedFirmware{}, {false, false}), UpdateOutcome::Done);
    EXPECT_EQ(view_.log, "Opening device... OK\r\nUpdate DONE.\r\n");
    EXPECT_EQ(view_.status(), "DONE");
    EXPECT_TRUE(has(kFactoryHc));
}

TEST_F(UpdateProcedure, AnHcRunningItsFirmwareIsNotTouched) {
    plugHc(HcMode::Firmware);
    EXPECT_EQ(update(sample(kBothParts)), UpdateOutcome::Failed);
    EXPECT_EQ(view_.log,
              "Opening device... OK\r\nERROR: Device is not in boot mode\r\nUpdate failed.");
    // The message says how to get into BOOT mode; the log keeps the plain line.
    EXPECT_EQ(view_.errors,
              (std::vector<Shown>{
                  {"ERROR",
                   "Device is not in boot mode\r\n\r\nFirmware is updated in BOOT mode. To get "
                   "there, choose \"Restart to BOOT\" in the HandController's menu, or switch "
                   "the HandController on with Panelcast's \"Turn ON\" and \"BOOT mode\" "
                   "ticked; then press \"Update firmware(s)\" again."}}));
    EXPECT_EQ(view_.status(), "Update failed...");
    EXPECT_EQ(view_.busyChanges, (std::vector<bool>{true, false}));
    EXPECT_TRUE(has(kFactoryHc));
}

TEST_F(UpdateProcedure, BootLoadersFrom0x0100OnAreUnknown) {
    hcsim::HcConfig config;
    config.startMode = HcMode::Boot;
    config.bootVersion = 0x0100;
    hc_ = std::make_unique<hcsim::SimulatedHc>(bus_.bus(), config);
    EXPECT_EQ(update(sample(kBothParts)), UpdateOutcome::Failed);
    EXPECT_EQ(view_.errors,
              (std::vector<Shown>{{"ERROR", "Protocol version of BOOT mode is wrong (0x0100)"}}));
    EXPECT_NE(view_.log.find("ERROR: Protocol version of BOOT mode is wrong (0x0100)\r\n"),
              std::string::npos);

    hc_->with([](hcsim::HcDevice& d) { d.config().bootVersion = 0x00FF; });
    hc_->changeMode(HcMode::Boot);
    platform::sleepMs(200);
    view_ = RecordingView{};
    EXPECT_EQ(update(sample(kBothParts)), UpdateOutcome::Done);
}

TEST_F(UpdateProcedure, NewerPcbAsksFirstAndNoLeavesTheFirmwareAlone) {
    plugHc(HcMode::Boot, 3);
    const std::string question =
        "PCB version (0x3) is reported to be newer (lower value) than the Firmware supports "
        "(0x5).\r\nAre you sure to upload this into the device?\r\n\r\n(When doing this the "
        "Firmware may not work or even start but a serious error is indicated when trying to "
        "start.)";
    view_.answers = {false};
    EXPECT_EQ(update(sample("vt5_fw_1.12_pcb5.bin")), UpdateOutcome::Failed);
    EXPECT_EQ(view_.questions, (std::vector<Shown>{{"WARNING", question}}));
    EXPECT_TRUE(view_.errors.empty());
    EXPECT_EQ(view_.log, "Opening device... OK\r\nUpdate failed.");
    EXPECT_EQ(view_.status(), "Update failed...");
    EXPECT_TRUE(has(kFactoryHc));

    // Asked whatever is ticked; Yes goes on with a warning in the log.
    view_ = RecordingView{};
    view_.answers = {true};
    EXPECT_EQ(update(sample("vt5_fw_1.12_pcb5.bin"), {true, false}), UpdateOutcome::Done);
    EXPECT_EQ(view_.log,
              "Opening device... OK\r\nWARNING: an older Firmware is uploaded to the HC, it may "
              "not work with the newer hardware!\r\nUploading HC firmware...\r\nUpdate DONE.\r\n");
    EXPECT_TRUE(has("version=01.12.1"));
}

struct HcFailure {
    const char* name;
    const char* fault;
    std::string message;
};

void PrintTo(const HcFailure& c, std::ostream* os) {
    *os << c.name;
}

class HcUploadFailure : public UpdateProcedure, public ::testing::WithParamInterface<HcFailure> {};

// The HC part fails; the HC is left in BOOT mode and takes the update when retried.
TEST_P(HcUploadFailure, IsExplainedAndTheRetrySucceeds) {
    plugHc();
    EXPECT_EQ(hc_->control(GetParam().fault), "ok");
    EXPECT_EQ(update(sample(kBothParts)), UpdateOutcome::Failed);
    EXPECT_EQ(view_.errors, (std::vector<Shown>{{"HC firmware update error", GetParam().message}}));
    EXPECT_EQ(view_.log, "Opening device... OK\r\nUploading HC firmware...\r\nUpdate failed.");
    EXPECT_EQ(view_.status(), "Update failed...");
    EXPECT_EQ(hc_->mode(), HcMode::Boot);

    view_ = RecordingView{};
    EXPECT_EQ(update(sample(kBothParts)), UpdateOutcome::Done);
    EXPECT_TRUE(has(kNewHc));
}

const std::string kFailed = "Update has failed\r\n\r\nUpdate error: ";

INSTANTIATE_TEST_SUITE_P(
    Cases, HcUploadFailure,
    ::testing::Values(
        HcFailure{"LastChunkAnsweredZero", "fault chunk 0 16",
                  kFailed + "Checksum error after programming. You may retry the update."},
        HcFailure{"ChecksumOfAChunk", "fault chunk 0xC1",
                  kFailed + "Checksum error after programming. You may retry the update."},
        HcFailure{"BadInformation", "fault chunk 0x83",
                  kFailed + "Wrong Fw. info decoded from the input data. Fw. data must be "
                            "corrupted."},
        HcFailure{"UnknownStatus", "fault chunk 0x55", kFailed + "unknown"},
        HcFailure{"NoRoom", "fault no-room", "No space for firmware"},
        HcFailure{"CompleteTooEarly", "fault chunk 13",
                  "Update has been done but fw. byte count "
                  "mismatch was detected"},
        HcFailure{"StartRefused", "fault refuse-start", "Update is prohibited"}),
    [](const auto& c) { return c.param.name; });

TEST_F(UpdateProcedure, ADamagedImageIsRefusedByTheBootLoader) {
    plugHc();
    EXPECT_EQ(update(sample("vt5_fw_1.11_damaged.bin")), UpdateOutcome::Failed);
    EXPECT_EQ(view_.errors, (std::vector<Shown>{{"HC firmware update error",
                                                 kFailed + "Checksum error after programming. "
                                                           "You may retry the update."}}));
    EXPECT_NE(firmware().find("hc status=9"), std::string::npos) << firmware();
}

TEST_F(UpdateProcedure, HcSwitchedOffMidUploadIsExplainedAndTheRetryTakes) {
    plugHc();
    EXPECT_EQ(hc_->control("fault power-off-after 5"), "ok");
    EXPECT_EQ(update(sample(kBothParts)), UpdateOutcome::Failed);
    EXPECT_EQ(view_.errors,
              (std::vector<Shown>{{"HC firmware update error", "Device has been powered off"}}));
    EXPECT_EQ(hc_->mode(), HcMode::Off);

    // Still off: the updater says what to look for.
    view_ = RecordingView{};
    EXPECT_EQ(update(sample(kBothParts)), UpdateOutcome::Failed);
    ASSERT_EQ(view_.errors.size(), 1u);
    EXPECT_EQ(view_.errors[0].caption, "Can't open device");
    EXPECT_EQ(view_.log,
              "Opening device... FAILED\r\nERROR: HandController may be turned off\r\nUpdate "
              "failed.");

    // Switched on into its firmware, it has none to run and stays in BOOT mode.
    ASSERT_TRUE(hc_->powerOn(HcMode::Firmware));
    EXPECT_EQ(hc_->mode(), HcMode::Boot);
    view_ = RecordingView{};
    EXPECT_EQ(update(sample(kBothParts)), UpdateOutcome::Done) << view_.log;
    EXPECT_TRUE(has(kNewHc));
    EXPECT_TRUE(has(kNewCamera));
}

TEST_F(UpdateProcedure, ACameraThatDoesNotStartEndsTheUpdateAfterTheHc) {
    plugHc();
    EXPECT_EQ(hc_->control("camera detach"), "ok");
    EXPECT_EQ(update(sample(kBothParts)), UpdateOutcome::Failed);
    EXPECT_EQ(view_.errors, (std::vector<Shown>{{"Camera firmware update error",
                                                 "Failed to start Camera for updating"}}));
    EXPECT_EQ(view_.log,
              "Opening device... OK\r\nUploading HC firmware...\r\nUploading Camera "
              "firmware...\r\nUpdate failed.");
    EXPECT_TRUE(has(kNewHc));
}

TEST_F(UpdateProcedure, AnApiErrorWhileCheckingTheDeviceIsShownWithItsText) {
    plugHc();
    view_.onLog = [&](const std::string& text) {
        if (text == "OK\r\n") hc_->inject(hcsim::Fault::stall());  // the mode query
    };
    EXPECT_EQ(update(sample(kBothParts)), UpdateOutcome::Failed);
    EXPECT_EQ(view_.errors,
              (std::vector<Shown>{{"Update failed", "Error: Error in communication (FT230)"}}));
    EXPECT_EQ(view_.log,
              "Opening device... OK\r\n..while reading device mode...\r\nERROR (VT5 API): Error "
              "in communication (FT230)\r\nUpdate failed.");
    EXPECT_EQ(view_.status(), "Update failed...");
}

struct ConnectFailure {
    const char* name;
    bool plugged;
    HcMode mode;
    VT5ConnectionTarget target;
    std::string logLine;
    std::string message;
};

void PrintTo(const ConnectFailure& c, std::ostream* os) {
    *os << c.name;
}

class ConnectFailureTest : public UpdateProcedure,
                           public ::testing::WithParamInterface<ConnectFailure> {};

TEST_P(ConnectFailureTest, NamesTheLikelyCause) {
    const ConnectFailure& c = GetParam();
    if (c.plugged) plugHc(c.mode);
    EXPECT_EQ(RunUpdate(api_, c.target, sample(kBothParts), {}, view_), UpdateOutcome::Failed);
    EXPECT_EQ(view_.log, "Opening device... FAILED\r\n" + c.logLine + "Update failed.");
    EXPECT_EQ(view_.errors, (std::vector<Shown>{{"Can't open device", c.message}}));
    EXPECT_EQ(view_.status(), "Update failed...");
}

VT5ConnectionTarget Target(const char* serial, const char* host = "", int32_t port = 0) {
    VT5ConnectionTarget t;
    t.serial = serial;
    t.host = host;
    t.port = port;
    return t;
}

const std::string kNoUsbDevice =
    "Can't open device!\r\n\r\nPossible causes:\r\n\r\n  - The HandController (with the "
    "specified serial ID) can't be seen as an USB device;\r\n\r\n  - Some other program is "
    "connected to the HandController and all other programs are not permitted to communicate "
    "with it. (Close the other program using the HC and retry.)";

const VT5ConnectionTarget kNowhere = Target("", "127.0.0.1", 1);  // nobody listens there

INSTANTIATE_TEST_SUITE_P(
    Cases, ConnectFailureTest,
    ::testing::Values(
        ConnectFailure{
            "NoHc", false, HcMode::Boot, {}, "ERROR: can't find USB device\r\n", kNoUsbDevice},
        ConnectFailure{"OtherSerial", true, HcMode::Boot, Target("HC999999"),
                       "ERROR: can't find USB device\r\n", kNoUsbDevice},
        ConnectFailure{"HcOff",
                       true,
                       HcMode::Off,
                       {},
                       "ERROR: HandController may be turned off\r\n",
                       "Can't connect to device!\r\n\r\nPossible cause:\r\n\r\n  - The "
                       "HandController must be turned off, the USB device is present but not "
                       "responding."},
        ConnectFailure{"NoServer", false, HcMode::Boot, kNowhere,
                       "ERROR: can't connect to API Server\r\n",
                       "Can't connect to API Server!\r\n\r\nPossible cause:\r\n\r\n  - The API "
                       "Server is not running or its address is unaccessible."}),
    [](const auto& c) { return c.param.name; });

TEST(UpdateErrorDetail, ByTheLastStatus) {
    EXPECT_STREQ(UpdateErrorDetail(102), "Fw. decoder is busy, can't do the update now");
    EXPECT_STREQ(UpdateErrorDetail(239), "Update is not possible after reallocation");
    for (int status : {128, 143})
        EXPECT_STREQ(UpdateErrorDetail(status),
                     "Wrong Fw. info decoded from the input data. Fw. data must be corrupted.");
    for (int status : {192, 194, 207})
        EXPECT_STREQ(UpdateErrorDetail(status),
                     "Checksum error after programming. You may retry the update.");
    for (int status : {0, 127, 144, 191, 208})
        EXPECT_STREQ(UpdateErrorDetail(status), "unknown");
}

}  // namespace
