// The HC's display: its commands in the table, change tracking, delivery, the menu with its
// button lights, and the control commands.

#include "hcsim/display/display_family.h"
#include "hcsim/display/update_stream.h"
#include "tests/hcsim/hc_fixture.h"

namespace hcsim::test {
namespace {

class DisplayTest : public HcFixture {
protected:
    template <class F>
    auto display(F f) {
        return hc_->with([&](HcDevice& d, TimePoint now, Bytes& out) {
            return f(*d.family<DisplayFamily>(), now, out);
        });
    }
    // The answer to 0xD1 with the given parameters: header and entries, then what follows.
    Bytes read(std::initializer_list<uint8_t> params) {
        Bytes command;
        command.push_back(0xD1);
        command.push_back(counter_++);
        for (uint8_t id : params)
            command.push_back(id);
        command.push_back(0xFF);
        return send(command);
    }
    // The bulk data of a display answer (FC size, FD|FE as the last entries).
    static Bytes image(const Bytes& answer, uint8_t* marker = nullptr) {
        size_t length = answer[3] | answer[4] << 8;
        if (marker) *marker = answer[length - 2];
        uint32_t size = answer[length - 6] | answer[length - 5] << 8 | answer[length - 4] << 16;
        return Bytes(answer.begin() + static_cast<std::ptrdiff_t>(length),
                     answer.begin() + static_cast<std::ptrdiff_t>(length + size));
    }
    Bytes unchanged() {
        return update_stream::encode(std::vector<uint16_t>(update_stream::kMaskWords, 0));
    }
    void press(int button) {
        display([&](DisplayFamily& f, TimePoint now, Bytes& out) { f.press(button, now, out); });
    }

    uint8_t counter_ = 1;
};

TEST_F(DisplayTest, SnapshotParameterFromVersion0x111InFirmwareModeOnly) {
    struct Case {
        uint16_t version;
        HcMode mode;
        bool snapshot;
    } cases[] = {{0x0110, HcMode::Firmware, false},
                 {0x0111, HcMode::Firmware, true},
                 {0x0112, HcMode::Boot, false}};
    for (const Case& c : cases) {
        HcConfig config;
        config.firmwareVersion = c.version;
        config.startMode = c.mode;
        plug(config);
        const CommandTable& table = hc_->with([&](HcDevice& d) -> const CommandTable& {
            return d.table(c.mode);
        });
        const CommandSpec* spec = table.find(protocol::kDisplayRead);
        ASSERT_NE(spec, nullptr);
        EXPECT_EQ(spec->param(0x10) != nullptr, c.snapshot) << std::hex << c.version;
        EXPECT_NE(spec->param(0x02), nullptr);
        const CommandSpec* event = table.find(protocol::kButtonEvent);
        ASSERT_NE(event, nullptr);
        EXPECT_EQ(event->params.size(), 32u);
        EXPECT_TRUE(event->handler);
    }
}

TEST_F(DisplayTest, TrackingSendsWhatChangedAndSnapshotsLeaveItAlone) {
    plug();
    Bytes first = image(read({0x01, 0x02}));
    Screen screen = display([](DisplayFamily& f, TimePoint now, Bytes&) { return f.screen(now); });
    EXPECT_EQ(first, ChangeTracker::snapshot(screen));
    EXPECT_EQ(image(read({0x02})), unchanged());

    press(kDown);
    EXPECT_EQ(image(read({0x10, 0x02})).size(),
              ChangeTracker::snapshot(display([](DisplayFamily& f, TimePoint now, Bytes&) {
                  return f.screen(now);
              })).size());
    // The change since the last update is still owed after the snapshot, and only once.
    Bytes change = image(read({0x02}));
    EXPECT_NE(change, unchanged());
    EXPECT_LT(change.size(), first.size());
    EXPECT_EQ(image(read({0x02})), unchanged());

    // A fresh start alone makes the next update whole again.
    read({0x01});
    EXPECT_EQ(image(read({0x02})).size(), first.size());
}

TEST_F(DisplayTest, LiveLineChangesEverySecond) {
    plug();
    read({0x01, 0x02});
    sleep(1000);
    EXPECT_NE(image(read({0x02})), unchanged());
}

TEST_F(DisplayTest, DeliveryBySizeUnlessFixed) {
    plug();
    uint8_t marker = 0;
    Bytes whole = image(read({0x01, 0x02}), &marker);
    EXPECT_GT(whole.size(), DisplayFamily::kFramedLimit);
    EXPECT_EQ(marker, protocol::kBulkStreamed);
    image(read({0x02}), &marker);
    EXPECT_EQ(marker, protocol::kBulkFramed);
    EXPECT_EQ(hc_->control("delivery streamed"), "ok");
    image(read({0x02}), &marker);
    EXPECT_EQ(marker, protocol::kBulkStreamed);
    EXPECT_EQ(hc_->control("delivery framed"), "ok");
    EXPECT_EQ(image(read({0x01, 0x02}), &marker), whole);
    EXPECT_EQ(marker, protocol::kBulkFramed);
    EXPECT_EQ(hc_->control("delivery auto"), "ok");
    EXPECT_EQ(hc_->control("delivery sideways").rfind("error:", 0), 0u);
}

TEST_F(DisplayTest, LightsShowWhatEachButtonDoesAtTheChosenLevelAndColour) {
    plug();
    auto lights = [&] {
        Bytes answer = read({0x03});
        EXPECT_EQ(answer[5], 0x03);
        EXPECT_EQ(answer[6], 12);
        return Bytes(answer.begin() + 7, answer.begin() + 19);
    };
    // ESC SET left right up down, as level and colour: "Guider" (the camera emulation's
    // page) is selected; SET opens it, nothing is above it.
    EXPECT_EQ(lights(), (Bytes{0, 0, 6, 0, 0, 0, 0, 0, 0, 0, 6, 0}));
    press(kDown);  // "Button lights" (6)
    EXPECT_EQ(lights(), (Bytes{0, 0, 6, 0, 6, 0, 6, 0, 6, 0, 6, 0}));
    press(kRight);
    press(kRight);
    press(kRight);
    press(kRight);  // no further than 9
    EXPECT_EQ(lights(), (Bytes{0, 0, 9, 0, 9, 0, 9, 0, 9, 0, 9, 0}));
    press(kDown);
    press(kSet);  // "Light colour": red, violet, blue
    EXPECT_EQ(lights(), (Bytes{0, 1, 9, 1, 9, 1, 9, 1, 9, 1, 9, 1}));
    press(kDown);
    press(kSet);  // "About this HC": a page of its own, no action, ESC lit
    EXPECT_EQ(lights(), (Bytes{9, 1, 0, 1, 0, 1, 0, 1, 0, 1, 9, 1}));
    press(kEsc);
    EXPECT_EQ(display([](DisplayFamily& f, TimePoint, Bytes&) { return f.menu().inSubpage(); }),
              false);
}

TEST_F(DisplayTest, ButtonEventsMoveTheMenuAndPowerOffFollowsTheAcknowledgement) {
    plug();
    for (int i = 0; i < 5; ++i) {  // past Guider and the HC's own items to "Switch off"
        Bytes answer = send({0xAE, counter_++, 0x25, 0xFF});  // press down
        EXPECT_EQ(answer, (Bytes{0xAE, uint8_t(counter_ - 1), 0x00, 0x05, 0x00}));
        send({0xAE, counter_++, 0x35, 0xFF});  // release
    }
    send({0xAE, counter_++, 0x21, 0xFF});  // SET: "Switch off?"
    Bytes answer = send({0xAE, counter_++, 0x21, 0xFF});  // SET on "Yes, switch off"
    EXPECT_EQ(answer, (Bytes{0xAE, uint8_t(counter_ - 1), 0x00, 0x05, 0x00, 0xFB, 0x36, 0x00,
                             0x05, 0x00}));
    EXPECT_EQ(hc_->mode(), HcMode::Off);
}

TEST_F(DisplayTest, ControlPressActsAsTheHcsOwnButtons) {
    plug();
    for (int i = 0; i < 4; ++i)  // to "Restart to BOOT"
        EXPECT_EQ(hc_->control("press down"), "ok");
    EXPECT_EQ(hc_->control("press set"), "ok");
    EXPECT_EQ(hc_->control("press set"), "ok");  // "Yes, restart" into BOOT mode
    EXPECT_EQ(available(), (Bytes{0xFB, 0xAA, 0x00, 0x05, 0x00}));
    sleep(200);
    EXPECT_EQ(hc_->mode(), HcMode::Boot);
    EXPECT_EQ(hc_->control("press sideways").rfind("error:", 0), 0u);
    EXPECT_NE(hc_->control("help").find("press esc|set"), std::string::npos);
}

}  // namespace
}  // namespace hcsim::test
