// Starloom's emulation step against an HC whose events the tests write by hand: exposures,
// frame requests, guide outputs and the manual override, start and the errors that end a run.

#include "starloom/emulation/emulation_loop.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "hcsim/hc/faults.h"
#include "platform/clock/clock.h"
#include "tests/starloom/event_hc_fixture.h"
#include "tests/support/bus_fixture.h"
#include "tests/vt5api/hc_fixture.h"

namespace starloom {
namespace {

using Bytes = std::vector<uint8_t>;

class Emulation : public vt5test::EventHcTest {
protected:
    void SetUp() override {
        PlugAndOpen();
        loop.SetFrameSink([this](const FrameSent& f) { sent.push_back(f); });
        loop.SetTraceSink([this](const std::string& line) { trace += line; });
        loop.SetSeeingFile("");
    }

    // Started with the settings a fresh dialog has.
    void Start() {
        ASSERT_EQ(loop.Begin([this] { loop.ApplyAll(EmulationSettings{}); }), VT5_OK);
    }

    std::unique_ptr<StarloomModel> model = std::make_unique<StarloomModel>();
    EmulationLoop loop{api, *model};
    std::vector<FrameSent> sent;
    std::string trace;
};

TEST_F(Emulation, StartSetsTheModelUpAndStartsTheClockAtTheHcs) {
    hc->hcTime = 5000;
    bool applied = false;
    ASSERT_EQ(loop.Begin([&] {
        // The user's settings come after the set-up's own star field of seed 2.
        EXPECT_EQ(model->sky().starCount(), [] {
            StarloomModel reference;
            reference.sky().GenerateStarField(2);
            return reference.sky().starCount();
        }());
        loop.ApplyStarField(-1);
        applied = true;
    }),
              VT5_OK);
    EXPECT_TRUE(applied);
    EXPECT_EQ(model->sky().starCount(), 0);
    EXPECT_EQ(model->frames().clock(), 5000);
    EXPECT_EQ(model->frames().referenceTime(), 5000);
    EXPECT_EQ(loop.hcStartTime(), 5000);
    EXPECT_EQ(hc->parameters, (Bytes{0x01}));

    // An HC clock past 2^31 ms is still a time ahead, not behind.
    hc->hcTime = 0x80000010u;
    Start();
    EXPECT_EQ(model->frames().clock(), 0x80000010ll);
}

TEST_F(Emulation, FrameRequestWithoutExposureGetsTheEmptyFrame) {
    Start();
    hc->event(0x0B, 13000);
    ASSERT_EQ(loop.Step(), VT5_OK);
    ASSERT_EQ(hc->frames.size(), 1u);
    EXPECT_EQ(hc->frames[0], Bytes(4, 0));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(sent[0].skipped);
    EXPECT_EQ(sent[0].bytes, 4);
    EXPECT_EQ(trace, "13000: SKIPPED frame\r\n");
    EXPECT_EQ(model->frames().clock(), 12995);  // 10 ms steps from the start at 12345
}

TEST_F(Emulation, SecondExposureStartRestartsTheExposure) {
    Start();
    // 4 s at gain 3, replaced after 500 ms by 100 ms at gain 6, requested at its end.
    hc->event(0x0A, 13000, 0x3000 | 4000);
    hc->event(0x0A, 13500, 0x6000 | 100);
    hc->event(0x0B, 13600);
    ASSERT_EQ(loop.Step(), VT5_OK);

    ASSERT_EQ(sent.size(), 1u);
    EXPECT_FALSE(sent[0].skipped);
    EXPECT_EQ(sent[0].exposureMs, 100);
    EXPECT_EQ(sent[0].gain, 6);
    ASSERT_EQ(hc->frames.size(), 1u);
    const std::span<const uint8_t> bytes = model->frames().FrameBytes();
    EXPECT_EQ(hc->frames[0], Bytes(bytes.begin(), bytes.end()));
    EXPECT_EQ(sent[0].bytes, static_cast<int32_t>(bytes.size()));
    // Only the photons of the second exposure's 100 ms are in it.
    int64_t due = 0;
    for (const SkyStar& star : model->sky().stars())
        if (FrameSynth::Drawn(star.flux, 0.1f))
            due += static_cast<int64_t>((13600 / 1000.0 - 13500 / 1000.0) * star.flux + 0.5);
    EXPECT_GT(due, 0);
    EXPECT_EQ(model->frames().photonsEmitted(), due);
    EXPECT_FALSE(loop.exposureOpen());
    EXPECT_EQ(loop.exposureMs(), 100);

    EXPECT_EQ(trace,
              "13000: Start expo.. 4000 ms, g3\r\n"
              "13500: Start expo.. 100 ms, g6\r\n"
              "13600: Finalizing...\r\n"
              "13600:  sending " +
                  std::to_string(bytes.size()) + " bytes\r\n");

    // Its frame was the last: another request gets the empty frame.
    hc->event(0x0B, 14000);
    ASSERT_EQ(loop.Step(), VT5_OK);
    EXPECT_EQ(hc->frames.back(), Bytes(4, 0));
}

TEST_F(Emulation, GuideEventsSetTheMountsOutputsUnlessOverridden) {
    Start();
    struct Case {
        uint8_t code;
        unsigned outputs;
    };
    // Each row follows from the one before.
    const Case cases[] = {
        {0x11, kAgRaPlus},
        {0x22, kAgRaPlus | kAgDecMinus},
        {0x12, kAgRaMinus | kAgDecMinus},
        {0x21, kAgRaMinus | kAgDecPlus},
        {0x10, kAgDecPlus},
        {0x20, 0},
        {0x3A, kAgRaMinus | kAgDecMinus},
        {0x30, 0},
        {0x75, kAgRaPlus | kAgDecPlus},  // bits 4 and 5 set: all four outputs
        {0xEF, kAgRaPlus | kAgDecPlus},  // calibration steps move nothing
    };
    uint32_t time = 13000;
    for (const Case& c : cases) {
        hc->event(c.code, time += 10, 7);
        ASSERT_EQ(loop.Step(), VT5_OK);
        EXPECT_EQ(loop.hcOutputs(), c.outputs) << std::hex << int(c.code);
        EXPECT_EQ(model->mount().agState(), c.outputs) << std::hex << int(c.code);
    }
    EXPECT_NE(trace.find("13010: AG out 11\r\n"), std::string::npos);
    EXPECT_NE(trace.find("13090: AG out 75\r\n"), std::string::npos);
    EXPECT_NE(trace.find("Calibration: 7\r\n"), std::string::npos);

    // Override: the arrows drive the mount; the HC's outputs are kept and come back after.
    loop.SetOverride(true);
    EXPECT_EQ(model->mount().agState(), 0u);
    hc->event(0x11, time += 10);
    ASSERT_EQ(loop.Step(), VT5_OK);
    EXPECT_EQ(loop.hcOutputs(), kAgRaPlus | kAgDecPlus);
    EXPECT_EQ(model->mount().agState(), 0u);
    loop.SetOverrideOutputs(PressArrow(loop.overrideOutputs(), 3));
    loop.ApplyOverride();
    EXPECT_EQ(model->mount().agState(), kAgDecMinus);
    loop.SetOverride(false);
    EXPECT_EQ(model->mount().agState(), kAgRaPlus | kAgDecPlus);
}

TEST_F(Emulation, ArrowsSetTheirBitAndClearTheOpposite) {
    EXPECT_EQ(PressArrow(0, 0), kAgRaPlus);
    EXPECT_EQ(PressArrow(kAgRaMinus | kAgDecPlus, 0), kAgRaPlus | kAgDecPlus);
    EXPECT_EQ(PressArrow(kAgRaPlus, 1), kAgRaMinus);
    EXPECT_EQ(PressArrow(kAgDecMinus | kAgRaPlus, 2), kAgDecPlus | kAgRaPlus);
    EXPECT_EQ(PressArrow(kAgDecPlus, 3), kAgDecMinus);
    EXPECT_EQ(PressArrow(kAgDecPlus, 4), kAgDecPlus);
}

TEST_F(Emulation, OverrideMovesTheDecDriveOnlyWhileTheArrowIsHeld) {
    Start();
    loop.SetOverride(true);
    auto decAt = [&](uint32_t time) {
        hc->event(0x10, time);
        EXPECT_EQ(loop.Step(), VT5_OK);
        return model->mount().decGuidePosition();
    };
    const float before = decAt(13000);
    loop.SetOverrideOutputs(PressArrow(0, 2));  // ▲ pressed
    loop.ApplyOverride();
    const float held = decAt(14000);
    loop.SetOverrideOutputs(0);  // released
    loop.ApplyOverride();
    const float after = decAt(15000);
    EXPECT_NEAR(held - before, model->mount().decGuideSpeed() * 1.0f, 0.05f);
    EXPECT_EQ(after, held);

    // With 0.5 s of backlash the drive sits at the minus end of its play: a push the other
    // way loses its first half second in the slack.
    loop.ApplyBacklash(true, 0.5f);
    loop.SetOverrideOutputs(PressArrow(0, 3));  // ▼ moves at once
    loop.ApplyOverride();
    const float down = decAt(16000);
    EXPECT_NEAR(after - down, model->mount().decGuideSpeed() * 1.0f, 0.05f);
    EXPECT_EQ(loop.backlashPosition(), 0);
    loop.SetOverrideOutputs(PressArrow(loop.overrideOutputs(), 2));  // ▲
    loop.ApplyOverride();
    const float up = decAt(17000);
    EXPECT_NEAR(up - down, model->mount().decGuideSpeed() * 0.5f, 0.05f);
    EXPECT_EQ(loop.backlashPosition(), 1000);
}

TEST_F(Emulation, ClockLeapRestartsTheSimulationInsteadOfCatchingUp) {
    Start();
    hc->event(0x0A, 13000, 0x6000 | 1000);
    hc->event(0x0B, 14000);
    hc->event(0x0A, 14010, 0x6000 | 1000);
    ASSERT_EQ(loop.Step(), VT5_OK);
    EXPECT_TRUE(loop.exposureOpen());
    // A minute later is caught up with; ten hours later is not.
    hc->event(0x11, 14010 + 60000);
    ASSERT_EQ(loop.Step(), VT5_OK);
    EXPECT_EQ(model->frames().clock(), 74010);
    EXPECT_TRUE(loop.exposureOpen());
    const uint32_t leap = 74010 + 36'000'000;
    hc->event(0x0B, leap);
    ASSERT_EQ(loop.Step(), VT5_OK);
    EXPECT_EQ(model->frames().clock(), leap);
    EXPECT_EQ(hc->frames.back(), Bytes(4, 0));  // the open exposure went with the leap
    EXPECT_NE(trace.find(std::to_string(leap) + ": clock leap from 74010\r\n"), std::string::npos);
}

TEST_F(Emulation, ErrorsEndTheStepWithTheirCode) {
    Start();
    hc->refuseCollect();
    EXPECT_EQ(loop.Step(), VT5_E_CANT_EXECUTE);
    hc->event(0x0A, 13000, 1000);
    hc->event(0x0B, 14000);
    hc->refuseFrame();
    EXPECT_EQ(loop.Step(), VT5_E_CANT_EXECUTE);
    EXPECT_TRUE(sent.empty());
    chip->unplug();
    EXPECT_NE(loop.Step(), VT5_OK);
    EXPECT_NE(loop.End(), VT5_OK);
}

TEST_F(Emulation, StopSwitchesTheEmulationOff) {
    Start();
    EXPECT_EQ(loop.End(), VT5_OK);
    EXPECT_EQ(hc->parameters, (Bytes{0x01, 0x02}));
}

// The protocol check of a start, against the simulated HC.
class FirmwareCheck : public vt5test::HcFixture {
protected:
    std::unique_ptr<StarloomModel> model = std::make_unique<StarloomModel>();
    EmulationLoop loop{api, *model};
};

TEST_F(FirmwareCheck, ModeChangesAreWaitedOutAndBootModeIsTold) {
    ASSERT_EQ(open(), VT5_OK);
    hc->inject(hcsim::Fault::asyncBefore(0xB7));
    bool boot = true;
    EXPECT_EQ(loop.CheckFirmware(boot), VT5_OK);
    EXPECT_FALSE(boot);
    ASSERT_TRUE(hc->changeMode(hcsim::HcMode::Boot));
    EXPECT_EQ(loop.CheckFirmware(boot), VT5_OK);
    EXPECT_TRUE(boot);
    hc->unplug();
    EXPECT_EQ(loop.CheckFirmware(boot), VT5_E_COMMUNICATION);
    EXPECT_FALSE(boot);
}

}  // namespace
}  // namespace starloom
