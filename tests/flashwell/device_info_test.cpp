// The device information of Flashwell: its text for every firmware status, and the procedure
// in both modes, with and without a camera.

#include <gtest/gtest.h>

#include <cstring>

#include "flashwell/procedure/device_info.h"
#include "tests/flashwell/updater_fixture.h"

namespace {

using hcsim::HcMode;
using Shown = vt5test::RecordingView::Shown;

class DeviceInfo : public vt5test::UpdaterFixture {
protected:
    std::string read() {
        EXPECT_TRUE(RunDeviceInfo(api_, direct_, view_))
            << (view_.errors.empty() ? "" : view_.errors[0].text);
        EXPECT_FALSE(VT5_IsOpen(&api_));
        return view_.deviceInfo.empty() ? std::string() : view_.deviceInfo.back();
    }
    std::string hcHead(const char* mode, const std::string& protocol) {
        return std::string("=== HandController's state:  ") + mode +
               "\n\nUSB-serial chip ID: HC000001\n       description: \"Veltra-5 "
               "HandController\"\n\nUnique ID:          \"" +
               uniqueId() + "\"\nProtocol version:   " + protocol + "\nHardware ID:        3\n\n";
    }
    std::string uniqueId() {
        VT5DeviceInfo info{};
        VT5cmd_GetDeviceInfo(&api_, &info);
        VT5_Close(&api_);
        return info.uniqueId;
    }
};

constexpr const char* kFactoryFirmware =
    "Firmware version:   01.04.2\n     description:   \"Veltra-5 HC firmware 1.04\"\n"
    "            size:   98304 bytes\n            type:   main fw.\n";

TEST_F(DeviceInfo, InAppModeShowsTheHcAlone) {
    plugHc(HcMode::Firmware);
    const std::string head = hcHead("APP MODE", "$0112, $0003");
    EXPECT_EQ(read(), head + kFactoryFirmware);
    EXPECT_TRUE(view_.errors.empty());
}

TEST_F(DeviceInfo, InBootModeShowsTheCameraToo) {
    plugHc(HcMode::Boot);
    const std::string head = hcHead("BOOT MODE", "$0014, $0001");
    EXPECT_EQ(read(),
              head + kFactoryFirmware +
                  "\n=== Camera's state:  BOOT MODE\n\nUnique ID:          \"CAM-HC000001    "
                  "\"\nProtocol version:   $0021, $0002\nHardware ID:        2\n\n"
                  "Firmware version:   02.03\n     description:   \"Veltra-5 guide camera "
                  "2.03\"\n            size:   40960 bytes\n");
    // The camera is released again.
    EXPECT_EQ(hc_->with([](hcsim::HcDevice& d) {
        return d.family<hcsim::boot::BootLoaderFamily>()->camera().inBootLoader();
    }),
              false);
}

TEST_F(DeviceInfo, ACameraThatDoesNotStartIsNotAccessible) {
    plugHc(HcMode::Boot);
    EXPECT_EQ(hc_->control("camera detach"), "ok");
    std::string text = read();
    EXPECT_NE(
        text.find("type:   main fw.\n\n=== Camera's state:  ERROR, can't access Camera...!\n\n"),
        std::string::npos)
        << text;
    EXPECT_EQ(text.substr(text.size() - 2), "\n\n");
}

TEST_F(DeviceInfo, FirmwareThatCannotBeRead) {
    plugHc(HcMode::Firmware);
    EXPECT_EQ(hc_->control("fault no-fw-info"), "ok");
    std::string text = read();
    EXPECT_EQ(text.substr(text.find("Firmware")), "Firmware version:   couldn't be read!");
}

TEST_F(DeviceInfo, FailuresAreShownAndTheCameraReleased) {
    plugHc(HcMode::Boot);
    EXPECT_EQ(hc_->control("fault camera-silent"), "ok");
    EXPECT_FALSE(RunDeviceInfo(api_, direct_, view_));
    EXPECT_EQ(view_.errors, (std::vector<Shown>{{"ERROR", "Can't execute command on device"}}));
    EXPECT_TRUE(view_.deviceInfo.empty());
    const auto received = hc_->received();
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.back().code, 0xF4);
    EXPECT_TRUE(received.back().find(0xC0)) << "released after the failure";

    hc_.reset();
    view_ = vt5test::RecordingView{};
    EXPECT_FALSE(RunDeviceInfo(api_, direct_, view_));
    EXPECT_EQ(view_.errors,
              (std::vector<Shown>{
                  {"ERROR",
                   "Can't open device!\r\n\r\nPossible causes:\r\n\r\n  - The HandController can't "
                   "be seen as an USB device;\r\n\r\n  - Some other program is connected to the "
                   "HandController and so another program is not permitted to communicate with "
                   "it. (Close the other program and retry.)"}}));
}

struct StatusLine {
    uint8_t status;
    const char* line;
};

TEST(DeviceInfoText, FirmwareStatusLines) {
    for (const StatusLine& c : {StatusLine{1, "Firmware version:   invalid firmware content\n"},
                                StatusLine{7, "Firmware version:   invalid firmware content\n"},
                                StatusLine{8, "Firmware version:   internal error\n"},
                                StatusLine{9, "Firmware version:   checksum error\n"},
                                StatusLine{15, "Firmware version:   NO FIRMWARE is present\n"},
                                StatusLine{42, "Firmware version:   unknown error code 42\n"}}) {
        DeviceInfoFacts facts;
        facts.device.bootFlag = 1;
        facts.firmwareReadable = true;
        facts.firmware.status = c.status;
        facts.cameraAccessible = true;
        facts.cameraFirmware.status = c.status;
        std::string text = DeviceInfoText(facts);
        size_t hc = text.find(c.line);
        ASSERT_NE(hc, std::string::npos) << int(c.status);
        EXPECT_NE(text.find(c.line, hc + 1), std::string::npos) << "camera " << int(c.status);
    }
}

TEST(DeviceInfoText, RelocatedFirmwareAndHardwareIdsAboveFifteen) {
    DeviceInfoFacts facts;
    facts.device.hardwareId = 0x13;
    facts.firmwareReadable = true;
    facts.firmware.flags = 0xF010;
    facts.firmware.version = 0x0A0B;
    facts.firmware.size = 3;
    std::strcpy(facts.firmware.description, "Caf\xE9");
    std::string text = DeviceInfoText(facts);
    EXPECT_NE(text.find("Hardware ID:        3\n"), std::string::npos);
    EXPECT_NE(text.find("Firmware version:   0a.0b.f\n     description:   \"Caf\u00e9\"\n"
                        "            size:   1536 bytes\n            type:   reloc. fw.\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("Camera"), std::string::npos);
}

}  // namespace
