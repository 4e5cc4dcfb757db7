// Firmware files: the loader's results and slots, the content summary, and the sample files.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "flashwell/firmware/display_text.h"
#include "flashwell/firmware/firmware_file.h"
#include "hcsim/boot/image_info.h"
#include "tests/support/bus_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kHeader = {'V', 'T', '5', 'f', 'w', 0};

// One section: id, version, flags, start word, description, payload size and payload.
Bytes Section(const char* id, uint16_t version, uint16_t flags, uint16_t start,
              const std::string& description, const Bytes& payload,
              uint32_t declared = UINT32_MAX) {
    Bytes s = {uint8_t(id[0]), uint8_t(id[1]),      uint8_t(version), uint8_t(version >> 8),
               uint8_t(flags), uint8_t(flags >> 8), uint8_t(start),   uint8_t(start >> 8)};
    Bytes text(40, 0);
    std::memcpy(text.data(), description.data(), std::min<size_t>(40, description.size()));
    s.insert(s.end(), text.begin(), text.end());
    uint32_t size = declared == UINT32_MAX ? static_cast<uint32_t>(payload.size()) : declared;
    for (int i = 0; i < 4; ++i)
        s.push_back(static_cast<uint8_t>(size >> (8 * i)));
    s.insert(s.end(), payload.begin(), payload.end());
    return s;
}

Bytes File(std::initializer_list<Bytes> sections) {
    Bytes f = kHeader;
    for (const Bytes& s : sections)
        f.insert(f.end(), s.begin(), s.end());
    return f;
}

int Load(const Bytes& file, LoadedFirmware& fw) {
    return LoadFirmwareData(file.data(), file.size(), fw);
}

TEST(FirmwareFile, HeaderAloneLoadsWithBothSlotsEmpty) {
    LoadedFirmware fw;
    ASSERT_EQ(Load(kHeader, fw), kFirmwareLoaded);
    EXPECT_FALSE(fw.hc.HasPayload());
    EXPECT_FALSE(fw.camera.HasPayload());
    EXPECT_EQ(ContentSummary(fw),
              "Selected Firware file content:\r\n HC firmware:\r\n   \"\"\r\n     ver. 00.00.0\r\n "
              "Camera firmware\r\n   \"\"\r\n     ver. 00.00.0\r\n\r\n");
}

TEST(FirmwareFile, SectionsFillTheirSlotsAndOthersAreSkipped) {
    LoadedFirmware fw;
    Bytes file = File({Section("CA", 0x0210, 0x1000, 0x40, "Camera", {1, 2, 3}),
                       Section("XX", 0x9999, 0, 0, "other", {9, 9}),
                       Section("HC", 0x0110, 0x30A0, 0x80, "Controller", {4, 5, 6, 7})});
    ASSERT_EQ(Load(file, fw), kFirmwareLoaded);
    EXPECT_EQ(fw.hc.payload, (Bytes{4, 5, 6, 7}));
    EXPECT_EQ(fw.hc.startWord, 0x80);
    EXPECT_STREQ(fw.hc.sectionId, "HC");
    EXPECT_EQ(fw.hc.BuildNumber(), 3);
    EXPECT_EQ(fw.hc.PcbVersionLimit(), 5);  // flags 0x30A0
    EXPECT_EQ(fw.camera.payload, (Bytes{1, 2, 3}));
    EXPECT_EQ(fw.camera.version, 0x0210);
    EXPECT_EQ(ContentSummary(fw),
              "Selected Firware file content:\r\n HC firmware:\r\n   \"Controller\"\r\n     ver. "
              "01.10.3\r\n Camera firmware\r\n   \"Camera\"\r\n     ver. 02.10.1\r\n\r\n");

    // A later section of the same kind replaces the earlier; loading again starts afresh.
    file = File({Section("HC", 1, 0, 0, "first", {1}), Section("HC", 2, 0, 0, "second", {2})});
    ASSERT_EQ(Load(file, fw), kFirmwareLoaded);
    EXPECT_EQ(fw.hc.version, 2);
    EXPECT_FALSE(fw.camera.HasPayload());
}

TEST(FirmwareFile, DescriptionOfFortyCharactersIsShownWhole) {
    const std::string forty = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";
    ASSERT_EQ(forty.size(), 40u);
    LoadedFirmware fw;
    ASSERT_EQ(Load(File({Section("HC", 0, 0, 0, forty, {1})}), fw), kFirmwareLoaded);
    EXPECT_EQ(std::string(fw.hc.description), forty);
    EXPECT_NE(ContentSummary(fw).find("\"" + forty + "\""), std::string::npos);
}

struct Damage {
    const char* name;
    Bytes file;
    int result;
};

void PrintTo(const Damage& d, std::ostream* os) {
    *os << d.name;
}

class DamagedFile : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedFile, GivesItsResultAndKeepsWhatCameBefore) {
    LoadedFirmware fw;
    fw.camera.payload = {42};  // from an earlier file: emptied by the load
    Bytes file = File({Section("HC", 0x0101, 0, 0, "good", {1, 2})});
    file.insert(file.end(), GetParam().file.begin(), GetParam().file.end());
    EXPECT_EQ(Load(file, fw), GetParam().result);
    EXPECT_EQ(fw.hc.payload, (Bytes{1, 2})) << "the section before the damage stays";
    EXPECT_FALSE(fw.camera.HasPayload());
}

Bytes Cut(const Bytes& b, size_t n) {
    return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n));
}

const Bytes kCamera = Section("CA", 1, 0, 0, "camera", Bytes(100, 7));

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedFile,
    ::testing::Values(Damage{"OneByteOfASectionId", {'C'}, kFirmwareReadError},
                      Damage{"CutInsideTheFixedFields", Cut(kCamera, 20), kFirmwareReadError},
                      Damage{"CutInsideTheDescription", Cut(kCamera, 8 + 39), kFirmwareReadError},
                      Damage{"CutInsideTheSize", Cut(kCamera, 51), kFirmwareReadError},
                      Damage{"CutInsideThePayload", Cut(kCamera, 52 + 99), kFirmwareWrongContents},
                      Damage{"PayloadOf2MiB", Section("CA", 1, 0, 0, "x", {}, 2u << 20),
                             kFirmwareWrongContents}),
    [](const auto& c) { return c.param.name; });

TEST(FirmwareFile, WrongOrShortHeaders) {
    LoadedFirmware fw;
    const Bytes newline = {'V', 'T', '5', 'f', 'w', '\n'};
    EXPECT_EQ(Load(newline, fw), kFirmwareWrongContents);
    EXPECT_EQ(Load(Cut(kHeader, 5), fw), kFirmwareReadError);
    EXPECT_EQ(Load({}, fw), kFirmwareReadError);
    EXPECT_STREQ(FirmwareLoadText(kFirmwareCantOpen), "can't open/find file");
    EXPECT_STREQ(FirmwareLoadText(kFirmwareReadError), "file reading error");
    EXPECT_STREQ(FirmwareLoadText(kFirmwareWrongContents), "wrong file contents");
    EXPECT_STREQ(FirmwareLoadText(kFirmwareOutOfMemory), "out of memory");
}

TEST(FirmwareFile, LargestPayloadLoadsFromAFile) {
    vt5test::TempDir dir;
    Bytes payload(kFirmwarePayloadLimit - 1, 0xA5);
    Bytes file = File({Section("HC", 1, 0, 0, "big", payload)});
    std::ofstream(dir.file("big.bin"), std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
    LoadedFirmware fw;
    ASSERT_EQ(LoadFirmwareFile(dir.file("big.bin"), fw), kFirmwareLoaded);
    EXPECT_EQ(fw.hc.payload.size(), kFirmwarePayloadLimit - 1);
    EXPECT_EQ(LoadFirmwareFile(dir.file("missing.bin"), fw), kFirmwareCantOpen);
    EXPECT_EQ(LoadFirmwareFile(dir.path().string(), fw), kFirmwareCantOpen) << "a folder";
}

TEST(FirmwareFile, DescriptionsInAnOldCodePageBecomeText) {
    EXPECT_EQ(DisplayText("Caf\xE9 f\xFCr Sterne"), "Caf\u00e9 f\u00fcr Sterne");
    EXPECT_EQ(DisplayText("Caf\u00e9"), "Caf\u00e9");  // UTF-8 already
    EXPECT_EQ(DisplayText("plain"), "plain");
}

// The sample files: what they hold, and that the header of each section tells what the
// information block inside its image says.
struct Sample {
    const char* file;
    uint16_t hcVersion;
    int hcPcbLimit;
    bool hasCamera;
    bool hcValid;
};

void PrintTo(const Sample& s, std::ostream* os) {
    *os << s.file;
}

class SampleFile : public ::testing::TestWithParam<Sample> {};

void ExpectAgrees(const FirmwareImage& image, uint8_t target, bool valid) {
    auto info = hcsim::boot::readInfo(image.payload);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->target, target);
    EXPECT_EQ(info->version, image.version);
    EXPECT_EQ(info->flags, image.flags);
    EXPECT_EQ(info->startWord, image.startWord);
    EXPECT_EQ(info->size, image.payload.size());
    EXPECT_EQ(std::memcmp(info->description.data(), image.description, 40), 0);
    const bool crcRight = hcsim::boot::imageCrc(image.payload) == info->crc;
    EXPECT_EQ(crcRight, valid);
}

TEST_P(SampleFile, HoldsWhatItsNameSays) {
    const Sample& s = GetParam();
    LoadedFirmware fw;
    ASSERT_EQ(LoadFirmwareFile(std::string(VT5_FIRMWARE_DIR) + "/" + s.file, fw), kFirmwareLoaded);
    EXPECT_EQ(fw.hc.version, s.hcVersion);
    EXPECT_EQ(fw.hc.PcbVersionLimit(), s.hcPcbLimit);
    ExpectAgrees(fw.hc, hcsim::boot::kTargetHc, s.hcValid);
    EXPECT_EQ(fw.camera.HasPayload(), s.hasCamera);
    if (s.hasCamera) ExpectAgrees(fw.camera, hcsim::boot::kTargetCamera, true);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, SampleFile,
    ::testing::Values(Sample{"vt5_fw_1.10.bin", 0x0110, 2, true, true},
                      Sample{"vt5_fw_1.10_hc_only.bin", 0x0110, 2, false, true},
                      Sample{"vt5_fw_1.12_pcb5.bin", 0x0112, 5, true, true},
                      Sample{"vt5_fw_1.11_damaged.bin", 0x0111, 2, true, false}),
    [](const auto& c) {
        std::string name = c.param.file;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name;
    });

TEST(FirmwareFile, TruncatedSampleIsRefused) {
    LoadedFirmware fw;
    EXPECT_EQ(LoadFirmwareFile(std::string(VT5_FIRMWARE_DIR) + "/vt5_fw_truncated.bin", fw),
              kFirmwareWrongContents);
}

}  // namespace
