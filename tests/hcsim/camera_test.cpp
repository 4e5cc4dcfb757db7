// The camera behind the HC's boot loader: its start and release, identity, firmware
// information and upload through the pass-through, and its faults.

#include "tests/hcsim/boot_fixture.h"

namespace hcsim::test {
namespace {

using boot::CameraDevice;

class CameraTest : public BootFixture {
protected:
    // The identity chain: protocol words, then identity with them, then hardware ID.
    std::vector<CameraReply> identity() {
        CameraReply words = camera(0xF8, 0x01);
        CameraReply ident = camera(0xF8, 0x10, words.data);
        CameraReply hardware = camera(0xF8, 0x11, ident.data);
        return {words, ident, hardware};
    }
};

TEST_F(CameraTest, BootStartIsAnsweredOnceTheCameraIsUp) {
    plugBoot();
    EXPECT_TRUE(command(0xF4, {0xC1}).empty());
    sleep(1100);
    EXPECT_TRUE(available().empty()) << "longer than the PC's usual read time-out";
    sleep(150);
    EXPECT_EQ(entry(available(), 0xC1), Bytes{0});
}

TEST_F(CameraTest, AnswersOnlyInItsBootLoaderAndInOrder) {
    HcConfig config;
    config.serial = "HC000042";
    plugBoot(config);
    EXPECT_EQ(camera(0xF8, 0x01).status, CameraDevice::kNotStarted);
    ASSERT_EQ(cameraStart(), 0);
    auto steps = identity();
    EXPECT_EQ(steps[0].status, 0);
    EXPECT_EQ(steps[0].data, (Bytes{0x21, 0xB0, 0x02, 0x00}));
    ASSERT_EQ(steps[1].data.size(), 24u);
    EXPECT_EQ(std::string(steps[1].data.begin() + 8, steps[1].data.begin() + 20), "CAM-HC000042");
    EXPECT_EQ(steps[1].data[20], 0);
    EXPECT_EQ(steps[2].data, Bytes{CameraDevice::kHardwareId});
    // Out of order: unanswered.
    EXPECT_EQ(camera(0xF8, 0x10, {1, 2, 3, 4}).status, CameraDevice::kNoReply);
    EXPECT_EQ(camera(0xF8, 0x11).status, CameraDevice::kNoReply);

    auto record = camera(0xF7, 0x10);
    ASSERT_EQ(record.data.size(), 49u);
    EXPECT_EQ(record.data[0], 0);
    EXPECT_EQ(record.data[3] | record.data[4] << 8, 0x0203);

    EXPECT_EQ(entry(cameraRelease(), 0xC0), Bytes{});
    EXPECT_EQ(camera(0xF8, 0x01).status, CameraDevice::kNotStarted);
}

TEST_F(CameraTest, UploadThroughThePassThroughIsKept) {
    plugBoot();
    Bytes image = cameraImage(0x0301, 9000);
    ASSERT_EQ(cameraStart(), 0);
    EXPECT_EQ(camera(0xF7, 0x30, {0x41, 0x00}).data, Bytes{1}) << "another start page";
    EXPECT_EQ(camera(0xF7, 0x30, {0x40, 0x00}).data, Bytes{0});
    std::vector<Bytes> replies;
    for (size_t at = 0; at < image.size(); at += 4096) {
        size_t n = std::min<size_t>(4096, image.size() - at);
        replies.push_back(
            camera(0xF7, 0xDA, Bytes(image.begin() + at, image.begin() + at + n)).data);
    }
    EXPECT_EQ(replies, (std::vector<Bytes>{{0, 0}, {0, 0}, {13, 0}}));
    cameraRelease();
    // Across a restart of the HC.
    ASSERT_TRUE(hc_->changeMode(HcMode::Boot));
    sleep(200);
    available();
    ASSERT_EQ(cameraStart(), 0);
    auto record = camera(0xF7, 0x10).data;
    ASSERT_EQ(record.size(), 49u);
    EXPECT_EQ(record[3] | record[4] << 8, 0x0301);
    EXPECT_EQ(std::string(record.begin() + 9, record.begin() + 29), "Test camera firmware");
}

TEST_F(CameraTest, ADetachedCameraDoesNotStart) {
    plugBoot();
    EXPECT_EQ(hc_->control("camera detach"), "ok");
    EXPECT_EQ(cameraStart(), 1);
    EXPECT_EQ(camera(0xF8, 0x01).status, CameraDevice::kNoReply);
    EXPECT_NE(hc_->control("firmware").find("(detached)"), std::string::npos);
    EXPECT_EQ(hc_->control("camera attach"), "ok");
    EXPECT_EQ(cameraStart(), 0);
}

TEST_F(CameraTest, FaultsChangeOneAnswerEach) {
    plugBoot();
    EXPECT_EQ(hc_->control("fault camera-start 5"), "ok");
    EXPECT_EQ(cameraStart(), 5);
    EXPECT_EQ(camera(0xF8, 0x01).status, CameraDevice::kNotStarted) << "the camera stayed out";
    ASSERT_EQ(cameraStart(), 0);

    EXPECT_EQ(hc_->control("fault camera-line"), "ok");
    CameraReply garbled = camera(0xF8, 0x01);
    EXPECT_EQ(garbled.status, CameraDevice::kLineError);
    EXPECT_EQ(garbled.data.size(), 4u);
    EXPECT_EQ(hc_->control("fault camera-silent"), "ok");
    EXPECT_EQ(camera(0xF8, 0x01).status, CameraDevice::kNoReply);
    EXPECT_EQ(hc_->control("fault camera-fw-status 9"), "ok");
    EXPECT_EQ(camera(0xF7, 0x10).data[0], 9);
    EXPECT_EQ(camera(0xF7, 0x10).data[0], 0);

    EXPECT_EQ(hc_->control("fault camera-refuse-upload"), "ok");
    EXPECT_EQ(camera(0xF7, 0x30, {0x40, 0x00}).data, Bytes{1});
    EXPECT_EQ(camera(0xF7, 0x10).data[0], 0) << "nothing erased";
    EXPECT_EQ(camera(0xF7, 0x30, {0x40, 0x00}).data, Bytes{0});
    EXPECT_EQ(hc_->control("fault camera-chunk 0x88"), "ok");
    EXPECT_EQ(camera(0xF7, 0xDA, cameraImage(0x0301, 100)).data, (Bytes{0x88, 0}));
}

}  // namespace
}  // namespace hcsim::test
