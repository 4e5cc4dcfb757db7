// The firmware update family against answers no healthy HC gives: missing entries, wrong
// lengths, camera replies of the wrong size.

#include <gtest/gtest.h>

#include <functional>

#include "platform/clock/clock.h"
#include "tests/support/bus_fixture.h"
#include "tests/vt5api/scripted_hc.h"
#include "vt5api/commands/update.h"

namespace {

using Entries = std::vector<uint8_t>;

// A pass-through answer: status byte, then the camera's reply as bulk data.
Entries passEntries(uint8_t status, size_t replySize) {
    Entries e{0x3C, 1, status};
    if (replySize) {
        auto n = static_cast<uint8_t>(replySize);
        e.insert(e.end(), {0xFC, 4, n, 0, 0, 0, 0xFD, 0});
    }
    return e;
}

class ScriptedUpdate : public ::testing::Test {
public:
    ScriptedUpdate() {
        // F8: 01, 10, 11, D1; F7: 10, 30 (2), 8A (3), DA, 8F; F4: C0, C1, 3C (2).
        std::vector<uint8_t> table = {3, 0xF8, 4, 0x01, 0, 0x10, 0, 0x11, 0, 0xD1, 0, 0xF7,
                                      5, 0x10, 0, 0x30, 2, 0x8A, 3, 0xDA, 0, 0x8F, 0, 0xF4,
                                      3, 0xC0, 0, 0xC1, 0, 0x3C, 2};
        auto device = std::make_unique<vt5test::ScriptedHc>(true, 0x0014, table);
        hc = device.get();
        chip = bus.bus().plug(vt5test::hcIdentity("SCRIPT01"), std::move(device));
        EXPECT_EQ(VT5_Open(&api, nullptr, nullptr, 0, nullptr), VT5_OK);
    }
    void script(Entries entries, std::vector<uint8_t> bulk = {}) {
        hc->script(0, std::move(entries), std::move(bulk));
    }
    // A pass-through answered with `status` and `reply`.
    void pass(uint8_t status, std::vector<uint8_t> reply) {
        Entries entries = passEntries(status, reply.size());
        script(std::move(entries), std::move(reply));
    }
    int32_t uploadHc(int32_t size) {
        std::vector<uint8_t> image(static_cast<size_t>(size), 0x5A);
        return VT5cmd_UPD_UploadHC(&api, image.data(), size, 0x0080);
    }
    int32_t uploadCamera(int32_t size) {
        std::vector<uint8_t> image(static_cast<size_t>(size), 0x5A);
        return VT5cmd_UPD_UploadCamera(&api, image.data(), size, 0x0040);
    }

    platform::VirtualClock virtualClock;
    platform::ScopedClock useVirtual{virtualClock};
    vt5test::BusFixture bus;
    std::shared_ptr<platform::vbus::Chip> chip;
    vt5test::ScriptedHc* hc = nullptr;
    CVT5Api api;
};

struct Shape {
    const char* name;
    std::function<void(ScriptedUpdate&)> answers;
    std::function<int32_t(ScriptedUpdate&)> call;
    int32_t result;
};

void PrintTo(const Shape& c, std::ostream* os) {
    *os << c.name;
}

class AnswerShape : public ScriptedUpdate, public ::testing::WithParamInterface<Shape> {};

TEST_P(AnswerShape, GivesItsCode) {
    GetParam().answers(*this);
    EXPECT_EQ(GetParam().call(*this), GetParam().result);
}

int32_t fwInfo(ScriptedUpdate& t) {
    VT5FwInfo fw{};
    return VT5cmd_UPD_GetFwInfo(&t.api, &fw);
}

int32_t identity(ScriptedUpdate& t) {
    VT5CamIdentity id{};
    return VT5cmd_UPD_CameraIdentity(&t.api, &id);
}

int32_t cameraInfo(ScriptedUpdate& t) {
    VT5FwInfo fw{};
    return VT5cmd_UPD_CameraFwInfo(&t.api, &fw);
}

int32_t uploadHc1(ScriptedUpdate& t) {
    return t.uploadHc(1);
}

int32_t uploadCamera1(ScriptedUpdate& t) {
    return t.uploadCamera(1);
}

// Up to the readiness of an HC upload.
void started(ScriptedUpdate& t) {
    t.script({0x30, 0});
    t.script({0x8A, 1, 0});
}

// Up to the camera's upload start.
void cameraStarted(ScriptedUpdate& t) {
    t.script({0xC0, 0});
    t.script({0xC1, 1, 0});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AnswerShape,
    ::testing::Values(
        Shape{"InfoMissing", [](auto& f) { f.script({}); }, fwInfo, VT5_E_NO_ANSWER_PARAMETER},
        Shape{"InfoOfFiveBytes",
              [](auto& f) {
                  f.script({0x10, 5, 0, 0, 0, 0, 0});
              },
              fwInfo, VT5_E_BAD_PARAMETER_LENGTH},
        Shape{"UploadStartRefused", [](auto& f) { f.script({}); }, uploadHc1,
              VT5_E_UPDATE_PROHIBITED},
        Shape{"ProgrammingMissing",
              [](auto& f) {
                  f.script({0x30, 0}), f.script({});
              },
              uploadHc1, VT5_E_UPDATE_PROHIBITED},
        Shape{"ProgrammingOfTwoBytes",
              [](auto& f) {
                  f.script({0x30, 0}), f.script({0x8A, 2, 0, 0});
              },
              uploadHc1, VT5_E_UPDATE_INTERNAL},
        Shape{"ReadinessMissing", [](auto& f) { started(f), f.script({}); }, uploadHc1,
              VT5_E_UPDATE_PROHIBITED},
        Shape{"ReadinessOfTwoBytes",
              [](auto& f) {
                  started(f), f.script({0xDA, 2, 0, 0});
              },
              uploadHc1, VT5_E_UPDATE_INTERNAL},
        Shape{"ChunkMissing",
              [](auto& f) {
                  started(f), f.script({0xDA, 1, 0}), f.script({});
              },
              uploadHc1, VT5_E_UPDATE_PROHIBITED},
        Shape{"StartWithoutAByte",
              [](auto& f) {
                  f.script({0xC1, 0});
              },
              [](auto& f) { return VT5cmd_UPD_CameraStart(&f.api); }, VT5_E_INVALID_ANSWER},
        Shape{"StopWithAByte",
              [](auto& f) {
                  f.script({0xC0, 1, 0});
              },
              [](auto& f) { return VT5cmd_UPD_CameraStop(&f.api); }, VT5_E_INVALID_ANSWER},
        Shape{"PassThroughWithoutStatus", [](auto& f) { f.script({}); }, identity,
              VT5_E_INVALID_ANSWER},
        Shape{"CameraDidNotAnswer", [](auto& f) { f.pass(3, {}); }, identity, VT5_E_CANT_EXECUTE},
        Shape{"ProtocolWordsOfThreeBytes",
              [](auto& f) {
                  f.pass(0, {1, 2, 3});
              },
              identity, VT5_E_CANT_EXECUTE},
        Shape{"IdentityOfTwentyThreeBytes",
              [](auto& f) {
                  f.pass(0, {1, 0xB0, 2, 0}), f.pass(0, std::vector<uint8_t>(23, 'x'));
              },
              identity, VT5_E_CANT_EXECUTE},
        Shape{"InfoWithoutAnyByte", [](auto& f) { f.pass(0, {}); }, cameraInfo, VT5_E_CANT_EXECUTE},
        Shape{"CameraReleaseMissing", [](auto& f) { f.script({}); }, uploadCamera1,
              VT5_E_UPDATE_PROHIBITED},
        Shape{"CameraReleaseWithAByte",
              [](auto& f) {
                  f.script({0xC0, 1, 0});
              },
              uploadCamera1, VT5_E_UPDATE_INTERNAL},
        Shape{"CameraBootStartMissing",
              [](auto& f) {
                  f.script({0xC0, 0}), f.script({});
              },
              uploadCamera1, VT5_E_UPDATE_PROHIBITED},
        Shape{"CameraUploadStartOfTwoBytes",
              [](auto& f) {
                  cameraStarted(f), f.pass(0, {0, 0});
              },
              uploadCamera1, VT5_E_UPDATE_INTERNAL},
        Shape{"CameraChunkReplyOfOneByte",
              [](auto& f) { cameraStarted(f), f.pass(0, {0}), f.pass(0, {13}); }, uploadCamera1,
              VT5_E_UPDATE_INTERNAL},
        // The camera took the whole image, but the HC saw its reply damaged.
        Shape{"CompleteWithLineError",
              [](auto& f) {
                  cameraStarted(f), f.pass(0, {0}), f.pass(1, {13, 0});
              },
              uploadCamera1, VT5_E_UPDATE_COUNT_MISMATCH},
        Shape{"CompleteAsCountMismatch",
              [](auto& f) {
                  cameraStarted(f), f.pass(0, {0}), f.pass(0, {1, 0}), f.script({0xC0, 0});
              },
              uploadCamera1, VT5_OK}),
    [](const auto& c) { return c.param.name; });

TEST_F(ScriptedUpdate, CameraIdentityWithWordB123) {
    pass(0, {0x23, 0xB1, 0x07, 0x00});
    std::vector<uint8_t> ident = {1, 2, 3, 4, 5, 6, 7, 8, 'S', 'N', '1', 0};
    ident.resize(24, 0);
    pass(0, ident);
    pass(0, {9});
    VT5CamIdentity id{};
    ASSERT_EQ(VT5cmd_UPD_CameraIdentity(&api, &id), VT5_OK);
    EXPECT_EQ(id.protocolVersion, 0x123);
    EXPECT_EQ(id.bootFlag, 1);
    EXPECT_EQ(id.secondProtocolWord, 7);
    EXPECT_STREQ(id.uniqueId, "SN1             ");
    EXPECT_EQ(id.hardwareId, 9);
    // Each step carried the reply of the one before.
    const auto& sent = hc->commands();
    ASSERT_GE(sent.size(), 3u);
    auto tail = [](const std::vector<uint8_t>& c, size_t n) {
        return std::vector<uint8_t>(c.end() - static_cast<std::ptrdiff_t>(n), c.end());
    };
    EXPECT_EQ(tail(sent[sent.size() - 2], 4), (std::vector<uint8_t>{0x23, 0xB1, 0x07, 0x00}));
    EXPECT_EQ(tail(sent.back(), 24), ident);
}

TEST_F(ScriptedUpdate, DescriptionsThatFillAllFortyBytesLoseTheirLastCharacter) {
    Entries record{0x10, 49, 0, 0x40, 0x20, 0x04, 0x01, 2, 0, 0, 0};
    for (int i = 0; i < 40; ++i)
        record.push_back(static_cast<uint8_t>('A' + i % 26));
    script(record);
    VT5FwInfo fw{};
    ASSERT_EQ(VT5cmd_UPD_GetFwInfo(&api, &fw), VT5_OK);
    EXPECT_EQ(std::string(fw.description).size(), 39u);
    EXPECT_EQ(fw.flags, 0x2040);
    EXPECT_EQ(fw.version, 0x0104);
    EXPECT_EQ(fw.size, 2u);
}

}  // namespace
