// Command 0xF9 byte for byte: start with the HC's clock, events on that clock, frames,
// refusals while the emulation is off, answers within 528 bytes.

#include <fstream>

#include "tests/camera/emu_fixture.h"
#include "tests/support/bus_fixture.h"

namespace hcsim::test {
namespace {

using camera::kEventExposureStart;
using camera::kEventFrameRequest;

class EmulationProtocolTest : public EmuFixture {
protected:
    void SetUp() override {
        HcConfig config;
        config.cardDir = card_.path();
        plug(config);
    }
    std::string guiderStatus() { return hc_->control("guider"); }

    vt5test::TempDir card_;
};

TEST_F(EmulationProtocolTest, StartAnswersTheHcClockAndTheExposureCycleRunsOnIt) {
    sleep(1000);
    ASSERT_EQ(start(), 1000u);
    sleep(49);
    EXPECT_TRUE(collect().empty());
    sleep(1);
    // 1000 ms at gain index 6: 0x03E8 | 6 << 12.
    EXPECT_EQ(collect(), (std::vector<CollectedEvent>{{kEventExposureStart, 1050, {0xE8, 0x63}}}));
    sleep(1000);
    EXPECT_EQ(collect(), (std::vector<CollectedEvent>{{kEventFrameRequest, 2050, {}}}));

    // The skipped-exposure frame answers the request; the next exposure starts with it.
    sleep(7);
    ParsedAnswer a = sendFrame({0, 0, 0, 0});
    EXPECT_EQ(a.type, 0);
    EXPECT_TRUE(a.entries.empty());
    EXPECT_EQ(collect(), (std::vector<CollectedEvent>{{kEventExposureStart, 2057, {0xE8, 0x63}}}));
    EXPECT_NE(guiderStatus().find("exposures=2 frames=0 empty=1 invalid=0 missed=0"),
              std::string::npos);
}

TEST_F(EmulationProtocolTest, EventsWaitUntilCollectedAndComeOutOldestFirst) {
    ASSERT_EQ(start(), 0u);
    sleep(3000);  // exposure 50..1050, request at 1050, no frame: waiting for it
    EXPECT_EQ(collect(), (std::vector<CollectedEvent>{{kEventExposureStart, 50, {0xE8, 0x63}},
                                                      {kEventFrameRequest, 1050, {}}}));
    // No frame within 5 s of the request: the exposure is taken again.
    sleep(3050);
    EXPECT_EQ(collect(), (std::vector<CollectedEvent>{{kEventExposureStart, 6050, {0xE8, 0x63}}}));
    EXPECT_NE(guiderStatus().find("missed=1"), std::string::npos);
}

TEST_F(EmulationProtocolTest, SettingsChangeTheRequestedExposureAndGain) {
    EXPECT_EQ(hc_->control("guider set exposure 4095"), "ok");
    EXPECT_EQ(hc_->control("guider set gain 9"), "ok");
    start();
    sleep(50);
    EXPECT_EQ(collect(), (std::vector<CollectedEvent>{{kEventExposureStart, 50, {0xFF, 0x9F}}}));
    EXPECT_EQ(hc_->control("guider set exposure 4096").rfind("error:", 0), 0u);
    EXPECT_EQ(hc_->control("guider set gain 10").rfind("error:", 0), 0u);
    EXPECT_EQ(hc_->control("guider set nonsense 1").rfind("error:", 0), 0u);
}

TEST_F(EmulationProtocolTest, CollectAndFramesAreRefusedWhileTheEmulationIsOff) {
    uint8_t type = 0;
    EXPECT_TRUE(collect(&type).empty());
    EXPECT_EQ(type, 32);
    EXPECT_EQ(sendFrame({0, 0, 0, 0}).type, 32);
    EXPECT_EQ(stop().type, 0);  // stopping what is not running does no harm

    start();
    sleep(100);
    EXPECT_EQ(stop().type, 0);
    EXPECT_TRUE(collect(&type).empty());
    EXPECT_EQ(type, 32);
}

TEST_F(EmulationProtocolTest, ABrokenFrameCountsAsAFrameWithoutAStarAndIsLogged) {
    start();
    sleep(1050);
    ASSERT_EQ(collect().back().code, kEventFrameRequest);
    ParsedAnswer a = sendFrame({0x10, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(a.type, 0);  // taken: what it holds is the HC's business
    const std::string status = guiderStatus();
    EXPECT_NE(status.find("invalid=1"), std::string::npos) << status;
    EXPECT_NE(status.find("error=\"bad frame: "), std::string::npos) << status;
    EXPECT_EQ(collect().front().code, kEventExposureStart);  // and the next exposure begins
    stop();
    std::ifstream log(guider().log().path());
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("\tCAM ERROR\tbad frame: "), std::string::npos) << text;
    EXPECT_NE(text.find("\tCAM FRAME\t1\t1000\t0.00\t0.0\r\n"), std::string::npos) << text;
}

TEST_F(EmulationProtocolTest, APulledCardEndsTheLogButNotTheGuiding) {
    start();
    EXPECT_EQ(hc_->control("card pull"), "ok");
    sleep(1050);
    ASSERT_EQ(collect().back().code, kEventFrameRequest);
    sendFrame({0, 0, 0, 0});  // its CAM FRAME line cannot be written
    const std::string status = guiderStatus();
    EXPECT_NE(status.find("log-error=\"writing the log failed (file system status 3)\""),
              std::string::npos)
        << status;
    EXPECT_EQ(collect().front().code, kEventExposureStart);
}

TEST_F(EmulationProtocolTest, AFrameNobodyAskedForIsTakenAndDropped) {
    start();
    ParsedAnswer a = sendFrame({0, 0, 0, 0});
    EXPECT_EQ(a.type, 0);
    EXPECT_NE(guiderStatus().find("empty=0 invalid=0 missed=0 unasked=1"), std::string::npos);
}

TEST_F(EmulationProtocolTest, ANewStartBeginsAFreshSessionOnTheRunningClock) {
    start();
    sleep(2000);
    EXPECT_EQ(start(), 2000u);
    // The events of the first session are gone; the second starts its own cycle.
    sleep(50);
    EXPECT_EQ(collect(), (std::vector<CollectedEvent>{{kEventExposureStart, 2050, {0xE8, 0x63}}}));
}

TEST_F(EmulationProtocolTest, ManyWaitingEventsGoOutInAnswersOf528BytesAtMost) {
    start();
    hc_->with([](HcDevice& hc) {
        auto& events = hc.family<CameraEmulationFamily>()->autoguider().events();
        for (uint32_t i = 0; i < 200; ++i)
            events.push(i % 2 ? camera::calibrationStepEvent(i, static_cast<uint16_t>(i))
                              : camera::EmulationEvent{0x11, i, {}});
    });
    std::vector<CollectedEvent> all;
    for (int answers = 0; answers < 10; ++answers) {
        ParsedAnswer a = command({0x0F, 0xFF});
        EXPECT_LE(a.length, 528u);
        if (a.entries.empty()) break;
        for (auto& [id, value] : a.entries)
            all.push_back({id, static_cast<uint32_t>(value[0] | value[1] << 8), {}});
    }
    ASSERT_EQ(all.size(), 200u);
    for (uint32_t i = 0; i < 200; ++i) {
        EXPECT_EQ(all[i].time, i);
        EXPECT_EQ(all[i].code, i % 2 ? 0xEF : 0x11);
    }
}

TEST_F(EmulationProtocolTest, APcThatStopsCollectingHoldsUpTheExposures) {
    start();
    hc_->with([](HcDevice& hc) {
        auto& events = hc.family<CameraEmulationFamily>()->autoguider().events();
        for (uint32_t i = 0; i < camera::EventQueue::kBacklog; ++i)
            events.push({0x10, i, {}});
    });
    sleep(3000);
    const auto waiting = collectAll();
    EXPECT_EQ(waiting.size(), camera::EventQueue::kBacklog);  // no exposure among them
    EXPECT_EQ(waiting.back().code, 0x10);
    sleep(50);  // looked at again a second after each try
    EXPECT_EQ(collect(), (std::vector<CollectedEvent>{{kEventExposureStart, 3050, {0xE8, 0x63}}}));
}

TEST_F(EmulationProtocolTest, ARestartOfTheHcEndsTheSession) {
    start();
    sleep(500);
    EXPECT_EQ(hc_->control("reset"), "ok");
    sleep(200);
    uint8_t type = 0;
    collect(&type);
    EXPECT_EQ(type, 32);
}

}  // namespace
}  // namespace hcsim::test
