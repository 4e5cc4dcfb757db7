// The firmware update family against the simulated HC: information, HC and camera uploads with
// their chunking and statuses, the camera's start and identity, BOOT mode and time-outs.

#include <gtest/gtest.h>

#include <cstring>

#include "hcsim/boot/boot_loader_family.h"
#include "tests/vt5api/hc_fixture.h"
#include "vt5api/commands/update.h"

namespace {

using hcsim::boot::BootLoaderFamily;

hcsim::HcConfig bootConfig() {
    hcsim::HcConfig c;
    c.startMode = hcsim::HcMode::Boot;
    return c;
}

std::vector<uint8_t> hcImage(size_t size, uint16_t version = 0x0210,
                             const std::string& description = "Update test") {
    hcsim::boot::ImageSpec spec;
    spec.version = version;
    spec.flags = 0x3040;
    spec.startWord = BootLoaderFamily::kStartWord;
    spec.description = description;
    spec.size = size;
    return hcsim::boot::makeImage(spec);
}

std::vector<uint8_t> cameraImage(size_t size) {
    hcsim::boot::ImageSpec spec;
    spec.target = hcsim::boot::kTargetCamera;
    spec.version = 0x0305;
    spec.flags = 0x1000;
    spec.startWord = hcsim::boot::CameraDevice::kStartWord;
    spec.description = "Camera test";
    spec.size = size;
    return hcsim::boot::makeImage(spec);
}

class Update : public vt5test::HcFixture {
protected:
    Update() : HcFixture(bootConfig()) {}

    int32_t uploadHc(const std::vector<uint8_t>& image) {
        return VT5cmd_UPD_UploadHC(&api, image.data(), static_cast<int32_t>(image.size()),
                                   BootLoaderFamily::kStartWord);
    }
    int32_t uploadCamera(const std::vector<uint8_t>& image) {
        return VT5cmd_UPD_UploadCamera(&api, image.data(), static_cast<int32_t>(image.size()),
                                       hcsim::boot::CameraDevice::kStartWord);
    }
    std::string control(const std::string& command) { return hc->control(command); }

    // The bulk sizes of the 0xF7 image-data messages the HC received, readiness included.
    std::vector<uint32_t> imageData() {
        std::vector<uint32_t> sizes;
        for (const auto& m : hc->received())
            if (m.code == 0xF7 && m.find(0xDA)) sizes.push_back(m.bulkSize.value_or(~0u));
        return sizes;
    }
    // The 0xF7 parameters the HC received, in order.
    std::vector<uint8_t> updateParams() {
        std::vector<uint8_t> ids;
        for (const auto& m : hc->received())
            if (m.code == 0xF7)
                for (const auto& p : m.params)
                    ids.push_back(p.id);
        return ids;
    }
    VT5FwInfo info() {
        VT5FwInfo fw{};
        EXPECT_EQ(VT5cmd_UPD_GetFwInfo(&api, &fw), VT5_OK);
        return fw;
    }
};

TEST_F(Update, FirmwareInformationOfTheHc) {
    VT5FwInfo fw;
    std::memset(&fw, 0x5A, sizeof fw);
    ASSERT_EQ(VT5cmd_UPD_GetFwInfo(&api, &fw), VT5_OK);
    EXPECT_EQ(fw.status, 0);
    EXPECT_EQ(fw.flags, 0x2040);
    EXPECT_EQ(fw.version, 0x0104);
    EXPECT_EQ(fw.size, 192u);
    EXPECT_STREQ(fw.description, "Veltra-5 HC firmware 1.04");
    EXPECT_EQ(VT5cmd_UPD_GetFwInfo(&api, nullptr), VT5_OK);

    // The status alone: the other fields stay as they were.
    EXPECT_EQ(control("fault fw-status 9"), "ok");
    ASSERT_EQ(VT5cmd_UPD_GetFwInfo(&api, &fw), VT5_OK);
    EXPECT_EQ(fw.status, 9);
    EXPECT_EQ(fw.version, 0x0104);
    EXPECT_EQ(control("fault no-fw-info"), "ok");
    EXPECT_EQ(VT5cmd_UPD_GetFwInfo(&api, &fw), VT5_E_NO_ANSWER_PARAMETER);
}

TEST_F(Update, UploadSendsWholeChunksAndTheHcKeepsTheImage) {
    auto image = hcImage(8193, 0x0211);
    std::vector<std::pair<int32_t, int32_t>> progress;
    ASSERT_EQ(VT5cmd_UPD_UploadHC(
                  &api, image.data(), 8193, BootLoaderFamily::kStartWord,
                  [&](int32_t sent, int32_t total) { progress.emplace_back(sent, total); }),
              VT5_OK);
    EXPECT_EQ(VT5cmd_UPD_LastStatus(), 0);
    std::vector<uint32_t> sizes = imageData();
    ASSERT_GE(sizes.size(), 4u);
    // Readiness until the erase is done, then the chunks.
    EXPECT_EQ(std::vector<uint32_t>(sizes.end() - 3, sizes.end()),
              (std::vector<uint32_t>{4096, 4096, 1}));
    for (size_t i = 0; i + 3 < sizes.size(); ++i)
        EXPECT_EQ(sizes[i], 0u);
    EXPECT_EQ(progress,
              (std::vector<std::pair<int32_t, int32_t>>{{4096, 8193}, {8192, 8193}, {8193, 8193}}));
    EXPECT_EQ(updateParams().back(), 0x8F);
    VT5FwInfo fw = info();
    EXPECT_EQ(fw.version, 0x0211);
    EXPECT_EQ(fw.size, 17u);

    hc->clearReceived();
    ASSERT_EQ(uploadHc(hcImage(8192)), VT5_OK);
    sizes = imageData();
    EXPECT_EQ(std::vector<uint32_t>(sizes.end() - 2, sizes.end()),
              (std::vector<uint32_t>{4096, 4096}));
}

TEST_F(Update, EmptyImageStillAsksForReadinessAndFinishes) {
    EXPECT_EQ(VT5cmd_UPD_UploadHC(&api, nullptr, 0, BootLoaderFamily::kStartWord), VT5_OK);
    std::vector<uint8_t> params = updateParams();
    ASSERT_GE(params.size(), 4u);
    EXPECT_EQ(params[0], 0x30);
    EXPECT_EQ(params[1], 0x8A);
    EXPECT_EQ(params.back(), 0x8F);
    for (size_t i = 2; i + 1 < params.size(); ++i)
        EXPECT_EQ(params[i], 0xDA);
    for (uint32_t size : imageData())
        EXPECT_EQ(size, 0u);
}

struct ChunkStatus {
    const char* name;
    const char* fault;  // applied after the first chunk, or to it with "first"
    bool first;
    int32_t result;
    int32_t lastStatus;
    bool finishedByUpload;  // the upload sent 0x8F itself
};

void PrintTo(const ChunkStatus& c, std::ostream* os) {
    *os << c.name;
}

class UpdateStatus : public Update, public ::testing::WithParamInterface<ChunkStatus> {};

// An image of two chunks; the fault answers the first or the last of them.
TEST_P(UpdateStatus, EndsTheUploadAsTheStatusSays) {
    const ChunkStatus& c = GetParam();
    auto image = hcImage(8000);
    if (!c.first) control("fault chunk 0");  // the first chunk: as usual
    EXPECT_EQ(control(c.fault), "ok");
    EXPECT_EQ(uploadHc(image), c.result);
    EXPECT_EQ(VT5cmd_UPD_LastStatus(), c.lastStatus);
    std::vector<uint8_t> params = updateParams();
    EXPECT_EQ(!params.empty() && params.back() == 0x8F, c.finishedByUpload);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UpdateStatus,
    ::testing::Values(
        ChunkStatus{"ZeroForTheLastChunk", "fault chunk 0", false, VT5_E_UPDATE_FAILED, 194, true},
        ChunkStatus{"CompleteTooEarly", "fault chunk 13", true, VT5_E_UPDATE_COUNT_MISMATCH, 0,
                    false},
        ChunkStatus{"CountMismatch", "fault chunk 1", false, VT5_E_UPDATE_COUNT_MISMATCH, 0, false},
        ChunkStatus{"Checksum", "fault chunk 0xC1", false, VT5_E_UPDATE_FAILED, 0xC1, false},
        ChunkStatus{"BadInfo", "fault chunk 0x82", true, VT5_E_UPDATE_FAILED, 0x82, false}),
    [](const auto& c) { return c.param.name; });

TEST_F(Update, ReadinessIsAskedAgainWhileBusyAndNoRoomGives107) {
    EXPECT_EQ(control("fault busy 5"), "ok");
    ASSERT_EQ(uploadHc(hcImage(100)), VT5_OK);
    EXPECT_GE(imageData().size(), 7u);  // five faults, the erase, the ready one, the chunk

    EXPECT_EQ(control("fault no-room"), "ok");
    EXPECT_EQ(uploadHc(hcImage(100)), VT5_E_UPDATE_NO_SPACE);
    EXPECT_EQ(VT5cmd_UPD_LastStatus(), 0);
}

TEST_F(Update, ABootLoaderBusyForeverIsGivenUpAsBusy) {
    hc->with([](hcsim::HcDevice& d) {
        d.family<BootLoaderFamily>()->setEraseTime(std::chrono::seconds(60));
    });
    int64_t ms = elapsedMs([&] { EXPECT_EQ(uploadHc(hcImage(100)), VT5_E_UPDATE_FAILED); });
    EXPECT_EQ(VT5cmd_UPD_LastStatus(), 102);
    EXPECT_GE(ms, 30000);
    EXPECT_LT(ms, 31000);
}

TEST_F(Update, RefusedStartsAndAStartWordOfAnotherPage) {
    EXPECT_EQ(VT5cmd_UPD_UploadHC(&api, nullptr, 0, 0x0100), VT5_E_UPDATE_PROHIBITED);
    EXPECT_EQ(control("fault programming 3"), "ok");
    EXPECT_EQ(uploadHc(hcImage(100)), VT5_E_UPDATE_FAILED);
    EXPECT_EQ(VT5cmd_UPD_LastStatus(), 0);
}

TEST_F(Update, OperationsThatNeedBootModeRefuseTheFirmware) {
    ASSERT_TRUE(hc->changeMode(hcsim::HcMode::Firmware));
    platform::sleepMs(200);
    auto image = hcImage(100);
    VT5CamIdentity identity;
    identity.hardwareId = 7;
    VT5FwInfo fw{};
    EXPECT_EQ(uploadHc(image), VT5_E_NEEDS_BOOT);
    EXPECT_EQ(api.bootFlag, 0) << "reconnected to the firmware";
    EXPECT_EQ(uploadCamera(image), VT5_E_NEEDS_BOOT);
    EXPECT_EQ(VT5cmd_UPD_CameraStart(&api), VT5_E_NEEDS_BOOT);
    EXPECT_EQ(VT5cmd_UPD_CameraStop(&api), VT5_E_NEEDS_BOOT);
    EXPECT_EQ(VT5cmd_UPD_CameraIdentity(&api, &identity), VT5_E_NEEDS_BOOT);
    EXPECT_EQ(identity.hardwareId, 0) << "cleared all the same";
    EXPECT_EQ(VT5cmd_UPD_CameraFwInfo(&api, &fw), VT5_E_NEEDS_BOOT);
    // The firmware tells its own information and takes a finish.
    EXPECT_EQ(VT5cmd_UPD_GetFwInfo(&api, &fw), VT5_OK);
    EXPECT_EQ(fw.version, 0x0104);
    EXPECT_EQ(VT5cmd_UPD_Finish(&api), VT5_OK);
    for (const auto& m : hc->received())
        EXPECT_TRUE(m.code != 0xF4 && (m.code != 0xF7 || !m.find(0x30)));
}

TEST_F(Update, CameraStartWaitsLongerThanUsualAndPutsTheTimeOutsBack) {
    ASSERT_EQ(open(), VT5_OK);
    int64_t ms = elapsedMs([&] { EXPECT_EQ(VT5cmd_UPD_CameraStart(&api), VT5_OK); });
    EXPECT_GE(ms, 1200) << "the camera's boot start outlasts the 1000 ms read time-out";
    EXPECT_EQ(api.link->ReadTimeout(), 1000);
    EXPECT_EQ(api.link->WriteTimeout(), 1000);

    VT5CamIdentity id{};
    ASSERT_EQ(VT5cmd_UPD_CameraIdentity(&api, &id), VT5_OK);
    EXPECT_EQ(id.bootFlag, 1);
    EXPECT_EQ(id.protocolVersion, 0x021);
    EXPECT_EQ(id.secondProtocolWord, 2);
    EXPECT_STREQ(id.uniqueId, "CAM-HC000001    ");
    EXPECT_EQ(id.hardwareId, 2);
    EXPECT_EQ(std::memcmp(id.identity, "V5C", 3), 0);
    VT5FwInfo fw{};
    ASSERT_EQ(VT5cmd_UPD_CameraFwInfo(&api, &fw), VT5_OK);
    EXPECT_EQ(fw.version, 0x0203);
    EXPECT_STREQ(fw.description, "Veltra-5 guide camera 2.03");

    ms = elapsedMs([&] { EXPECT_EQ(VT5cmd_UPD_CameraStop(&api), VT5_OK); });
    EXPECT_GE(ms, 200);
    EXPECT_EQ(api.link->ReadTimeout(), 1000);
    EXPECT_EQ(VT5cmd_UPD_CameraIdentity(&api, &id), VT5_E_CANT_EXECUTE) << "released";

    EXPECT_EQ(control("camera detach"), "ok");
    EXPECT_EQ(VT5cmd_UPD_CameraStart(&api), VT5_E_UPDATE_CAMERA_START);
    EXPECT_EQ(api.link->ReadTimeout(), 1000);
}

TEST_F(Update, CameraUploadGoesThroughTheHcAndIsKept) {
    auto image = cameraImage(9000);
    std::vector<int32_t> sent;
    ASSERT_EQ(
        VT5cmd_UPD_UploadCamera(&api, image.data(), 9000, hcsim::boot::CameraDevice::kStartWord,
                                [&](int32_t s, int32_t) { sent.push_back(s); }),
        VT5_OK);
    EXPECT_EQ(sent, (std::vector<int32_t>{4096, 8192, 9000}));
    EXPECT_EQ(api.link->ReadTimeout(), 1000);
    ASSERT_EQ(VT5cmd_UPD_CameraStart(&api), VT5_OK);
    VT5FwInfo fw{};
    ASSERT_EQ(VT5cmd_UPD_CameraFwInfo(&api, &fw), VT5_OK);
    EXPECT_EQ(fw.version, 0x0305);
    EXPECT_EQ(fw.size, 18u);
    EXPECT_STREQ(fw.description, "Camera test");
    ASSERT_EQ(VT5cmd_UPD_CameraStop(&api), VT5_OK);
}

struct CameraFault {
    const char* name;
    const char* fault;
    int32_t result;
};

void PrintTo(const CameraFault& c, std::ostream* os) {
    *os << c.name;
}

class CameraUpload : public Update, public ::testing::WithParamInterface<CameraFault> {};

TEST_P(CameraUpload, EndsAsTheCameraSays) {
    EXPECT_EQ(control(GetParam().fault), "ok");
    EXPECT_EQ(uploadCamera(cameraImage(5000)), GetParam().result);
    EXPECT_EQ(api.link->ReadTimeout(), 1000);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CameraUpload,
    ::testing::Values(
        // Unlike the HC's, a camera upload whose last chunk is answered 0 has succeeded.
        CameraFault{"ZeroForTheLastChunk", "fault camera-chunk 0 2", VT5_OK},
        CameraFault{"CompleteTooEarly", "fault camera-chunk 13", VT5_E_UPDATE_COUNT_MISMATCH},
        CameraFault{"Failed", "fault camera-chunk 0xC1", VT5_E_UPDATE_FAILED},
        CameraFault{"StartRefused", "fault camera-refuse-upload", VT5_E_UPDATE_FAILED},
        CameraFault{"NoCamera", "fault camera-start 1", VT5_E_UPDATE_CAMERA_START},
        CameraFault{"Silent", "fault camera-silent", VT5_E_UPDATE_FAILED}),
    [](const auto& c) { return c.param.name; });

}  // namespace
