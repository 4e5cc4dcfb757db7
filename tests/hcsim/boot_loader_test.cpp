// The HC's boot loader: firmware information, the upload with its statuses, what the flash
// keeps across restarts, and the faults of `control ... fault`.

#include "tests/hcsim/boot_fixture.h"

namespace hcsim::test {
namespace {

using boot::BootLoaderFamily;

class BootLoaderTest : public BootFixture {};

// The firmware status of an information answer.
int statusOf(const Bytes& answer) {
    auto record = BootFixture::entry(answer, 0x10);
    return record && !record->empty() ? (*record)[0] : -1;
}

TEST_F(BootLoaderTest, InformationReportsTheInstalledFirmwareInBothModes) {
    for (HcMode mode : {HcMode::Boot, HcMode::Firmware}) {
        plug(configIn(mode));
        auto record = entry(info(), 0x10);
        ASSERT_TRUE(record) << modeName(mode);
        ASSERT_EQ(record->size(), 49u);
        EXPECT_EQ((*record)[0], 0);                                    // valid
        EXPECT_EQ((*record)[1] | (*record)[2] << 8, 0x2040);           // flags
        EXPECT_EQ((*record)[3] | (*record)[4] << 8, 0x0104);           // version 1.04
        EXPECT_EQ((*record)[5] | (*record)[6] << 8, 96 * 1024 / 512);  // pages
        EXPECT_EQ(std::string(record->begin() + 9, record->begin() + 34),
                  "Veltra-5 HC firmware 1.04");
        EXPECT_EQ((*record)[34], 0);
    }
}

TEST_F(BootLoaderTest, UploadWaitsForTheEraseThenTakesTheImageAndKeepsIt) {
    plugBoot();
    Bytes image = hcImage(0x0207, 10000, 0x5040, "New firmware");
    ASSERT_TRUE(uploadStart(BootLoaderFamily::kStartWord));
    ASSERT_EQ(programmingStart(), 0);
    EXPECT_EQ(readiness(), 102);  // erasing
    EXPECT_EQ(statusOf(info()), 15) << "the old firmware is gone";
    sleep(150);
    EXPECT_EQ(readiness(), 102);
    sleep(100);
    EXPECT_EQ(readiness(), 0);
    EXPECT_EQ(chunk(Bytes(image.begin(), image.begin() + 4096)), 0);
    EXPECT_EQ(chunk(Bytes(image.begin() + 4096, image.begin() + 8192)), 0);
    EXPECT_EQ(chunk(Bytes(image.begin() + 8192, image.end())), 13);
    EXPECT_EQ(finish(), 0);
    auto record = entry(info(), 0x10);
    ASSERT_TRUE(record && record->size() == 49u);
    EXPECT_EQ((*record)[3] | (*record)[4] << 8, 0x0207);
    EXPECT_EQ((*record)[5], (10000 + 511) / 512);

    // The firmware that starts next is the new one.
    EXPECT_EQ(hc_->control("mode firmware"), "ok");
    sleep(200);
    EXPECT_EQ(hc_->mode(), HcMode::Firmware);
    available();
    record = entry(info(), 0x10);
    ASSERT_TRUE(record);
    EXPECT_EQ((*record)[3] | (*record)[4] << 8, 0x0207);
    EXPECT_EQ(std::string(record->begin() + 9, record->begin() + 21), "New firmware");
}

struct DamagedImage {
    const char* name;
    std::function<void(Bytes&)> damage;
    std::vector<int> statuses;  // of the three chunks (sent while none has failed)
    int firmwareStatus;         // after the finish
};

void PrintTo(const DamagedImage& c, std::ostream* os) {
    *os << c.name;
}

class DamagedImageTest : public BootFixture, public ::testing::WithParamInterface<DamagedImage> {};

TEST_P(DamagedImageTest, IsRefusedAndLeavesTheHcInBootMode) {
    plugBoot();
    Bytes image = hcImage(0x0300, 10000);
    GetParam().damage(image);
    std::vector<int> statuses = upload(image);
    EXPECT_EQ(statuses, GetParam().statuses);
    finish();
    EXPECT_EQ(entry(info(), 0x10), Bytes{static_cast<uint8_t>(GetParam().firmwareStatus)});
    // No firmware to run: a restart into the firmware stays with the boot loader.
    EXPECT_TRUE(hc_->changeMode(HcMode::Firmware));
    sleep(200);
    EXPECT_EQ(hc_->mode(), HcMode::Boot);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedImageTest,
    ::testing::Values(
        DamagedImage{"BitFlipInTheBody", [](Bytes& b) { b[7000] ^= 0x10; }, {0, 0, 0xC1}, 9},
        DamagedImage{"CameraImage",
                     [](Bytes& b) {
                         b[4] = 'C';
                         boot::sealImage(b);
                     },
                     {0x82, 0x82, 0x82},
                     2},
        DamagedImage{"NoInformationBlock", [](Bytes& b) { b[0] = 'X'; }, {0x81, 0x81, 0x81}, 1},
        DamagedImage{"OtherStartWord",
                     [](Bytes& b) {
                         b[10] = 0x81;
                         boot::sealImage(b);
                     },
                     {0x85, 0x85, 0x85},
                     5},
        DamagedImage{"SizeBeyondTheFlash",
                     [](Bytes& b) {
                         b[14] = 0x40;  // 4 MiB and more
                         boot::sealImage(b);
                     },
                     {0x84, 0x84, 0x84},
                     4},
        DamagedImage{"BlockSaysFewerBytes",
                     [](Bytes& b) {
                         b[12] = 0x00, b[13] = 0x20;  // 8192
                         b.resize(8192);
                         boot::sealImage(b);
                         b.resize(10000, 0xEE);
                     },
                     {0, 13, 1},
                     4}),
    [](const auto& c) { return c.param.name; });

TEST_F(BootLoaderTest, UploadSequenceIsEnforced) {
    plugBoot();
    EXPECT_FALSE(uploadStart(0x0100)) << "another page than the application's";
    EXPECT_EQ(programmingStart(), 1) << "without an upload start";
    EXPECT_EQ(readiness(), 0x50);
    EXPECT_EQ(chunk(Bytes(100, 1)), 0x50);
    ASSERT_TRUE(uploadStart(BootLoaderFamily::kStartWord));
    EXPECT_EQ(entry(command(0xF7, {0x8A, 0, 1, 0}), 0x8A), Bytes{2});
    EXPECT_EQ(statusOf(info()), 0) << "nothing erased";
}

TEST_F(BootLoaderTest, ARelocatedFirmwareWantsARestartBeforeTheNextUpdate) {
    plugBoot();
    Bytes relocated = hcImage(0x0105, 5000, 0x2050);
    EXPECT_EQ(upload(relocated).back(), 13);
    finish();
    ASSERT_TRUE(uploadStart(BootLoaderFamily::kStartWord));
    ASSERT_EQ(programmingStart(), 0);
    EXPECT_EQ(readyAfterErase(), 239);
    finish();
    ASSERT_TRUE(hc_->changeMode(HcMode::Boot));
    sleep(200);
    available();
    EXPECT_EQ(upload(hcImage(0x0106, 5000)).back(), 13);
}

struct ControlFault {
    const char* name;
    const char* fault;
    std::function<int(BootFixture&)> act;  // what shows the fault
    int expected;
};

void PrintTo(const ControlFault& c, std::ostream* os) {
    *os << c.fault;
}

class BootFaultTest : public BootFixture, public ::testing::WithParamInterface<ControlFault> {
public:
    int act() { return GetParam().act(*this); }
};

// Up to the readiness of an upload.
int ready(BootFixture& f) {
    EXPECT_TRUE(f.uploadStart(BootLoaderFamily::kStartWord));
    EXPECT_EQ(f.programmingStart(), 0);
    return f.readyAfterErase();
}

TEST_P(BootFaultTest, ChangesOneAnswerThenIsUsedUp) {
    plugBoot();
    EXPECT_EQ(hc_->control(std::string("fault ") + GetParam().fault), "ok");
    EXPECT_EQ(act(), GetParam().expected);
    EXPECT_NE(act(), GetParam().expected) << "the fault is used up";
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, BootFaultTest,
    ::testing::Values(
        ControlFault{"Busy", "busy", ready, 102}, ControlFault{"NoRoom", "no-room", ready, 239},
        ControlFault{
            "RefuseStart", "refuse-start",
            [](BootFixture& f) { return int(f.uploadStart(BootLoaderFamily::kStartWord)); }, 0},
        ControlFault{"Programming", "programming 7",
                     [](BootFixture& f) {
                         f.uploadStart(BootLoaderFamily::kStartWord);
                         return f.programmingStart();
                     },
                     7},
        ControlFault{"Chunk", "chunk 0xC3",
                     [](BootFixture& f) {
                         ready(f);
                         return f.chunk(hcImage(0x0300, 1000));
                     },
                     0xC3},
        ControlFault{"FwStatus", "fw-status 8", [](BootFixture& f) { return statusOf(f.info()); },
                     8},
        ControlFault{
            "NoFwInfo", "no-fw-info",
            [](BootFixture& f) { return int(BootFixture::entry(f.info(), 0x10).has_value()); }, 0}),
    [](const auto& c) { return c.param.name; });

TEST_F(BootLoaderTest, BusyForSeveralReadinessesAndStatusOnAllChunks) {
    plugBoot();
    EXPECT_EQ(hc_->control("fault busy 3"), "ok");
    EXPECT_EQ(hc_->control("fault chunk 0 2"), "ok");
    ASSERT_TRUE(uploadStart(BootLoaderFamily::kStartWord));
    ASSERT_EQ(programmingStart(), 0);
    sleep(250);
    EXPECT_EQ(readiness(), 102);
    EXPECT_EQ(readiness(), 102);
    EXPECT_EQ(readiness(), 102);
    EXPECT_EQ(readiness(), 0);
    Bytes image = hcImage(0x0300, 8192);
    EXPECT_EQ(chunk(Bytes(image.begin(), image.begin() + 4096)), 0);
    EXPECT_EQ(chunk(Bytes(image.begin() + 4096, image.end())), 0) << "13 reported as 0";
    EXPECT_EQ(statusOf(info()), 0) << "the image itself is in";
}

TEST_F(BootLoaderTest, SwitchedOffMidUploadAnnouncesItAndStartsInBootModeAgain) {
    plugBoot();
    EXPECT_EQ(hc_->control("fault power-off-after 2"), "ok");
    Bytes image = hcImage(0x0300, 12000);
    ready(*this);
    EXPECT_EQ(chunk(Bytes(image.begin(), image.begin() + 4096)), 0);
    EXPECT_EQ(command(0xF7, {0xDA}, Bytes(image.begin() + 4096, image.begin() + 8192)),
              (Bytes{0xFB, 0x36, 0x00, 0x05, 0x00}));
    EXPECT_EQ(hc_->mode(), HcMode::Off);
    ASSERT_TRUE(hc_->powerOn(HcMode::Firmware));
    EXPECT_EQ(hc_->mode(), HcMode::Boot) << "half an image does not start";
    EXPECT_EQ(statusOf(info()), 4);
    EXPECT_EQ(upload(image).back(), 13);
}

TEST_F(BootLoaderTest, ControlShowsTheFirmwareAndRefusesBadFaults) {
    plugBoot();
    EXPECT_EQ(hc_->control("firmware"),
              "ok: hc status=0 version=01.04.2 size=98304 \"Veltra-5 HC firmware 1.04\"; camera "
              "status=0 version=02.03.1 size=40960 \"Veltra-5 guide camera 2.03\"");
    for (const char* bad : {"fault chunk", "fault chunk 256", "fault busy 0", "fault busy 2 3",
                            "fault power-off-after", "camera sideways"})
        EXPECT_EQ(hc_->control(bad).rfind("error:", 0), 0u) << bad;
    EXPECT_EQ(hc_->control("fault busy 2"), "ok");
    EXPECT_EQ(hc_->control("fault clear"), "ok");
    EXPECT_EQ(ready(*this), 0) << "cleared";
    EXPECT_NE(hc_->control("help").find("fault power-off-after CHUNKS"), std::string::npos);
}

}  // namespace
}  // namespace hcsim::test
