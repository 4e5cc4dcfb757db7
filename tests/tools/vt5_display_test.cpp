// vt5-display against a simulated HC that vt5-hcsim serves from another process, and its
// snapshot beside Panelcast's screenshot of the same HC.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QImage>
#include <QPushButton>
#include <cstdio>

#include "tests/panelcast/panelcast_fixture.h"
#include "tests/support/subprocess.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

class Vt5Display : public vt5test::PanelcastTest {
protected:
    void serve(std::vector<std::string> args = {"--serial", "DISP0001"}) {
        bus.useDaemon();
        args.insert(args.begin(), {VT5_HCSIM_PATH, "--bus", bus.busSocket()});
        daemon = std::make_unique<vt5test::Subprocess>(args);
        ASSERT_TRUE(daemon->waitFor("VT5_USB_BUS=")) << "vt5-hcsim did not start";
    }
    vt5test::RunResult display(std::vector<std::string> args) {
        args.insert(args.begin(), VT5_DISPLAY_PATH);
        return vt5test::runProgram(args);
    }
    QImage snapshot() {
        const std::string path = bus.dir().file("display.png");
        auto result = display({"snapshot", path});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_THAT(result.out, HasSubstr("240x320"));
        return QImage(QString::fromStdString(path));
    }

    std::unique_ptr<vt5test::Subprocess> daemon;
};

// The live line (a clock) may tick between two reads: compare everything else.
bool SameOutsideTheLiveLine(const QImage& image, const std::vector<uint32_t>& pixels) {
    for (int y = 0; y < 320; ++y) {
        if (y >= 24 && y < 58) continue;
        for (int x = 0; x < 240; ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != pixels[static_cast<size_t>(y) * 240 + x])
                return false;
    }
    return true;
}

TEST_F(Vt5Display, SnapshotIsPanelcastsScreenshot) {
    serve();
    child<QPushButton>(dialog(), "buttonConnect")->click();
    ASSERT_EQ(dialog().ConnectionState(), CPanelcastDlg::kConnected);
    dialog().updateDisplay();
    child<QPushButton>(dialog(), "buttonScreenshot")->click();
    ASSERT_EQ(clipboard.width, 240);
    // The HC stays Panelcast's: the snapshot goes around its update tracking.
    child<QPushButton>(dialog(), "buttonConnect")->click();
    QImage image = snapshot();
    ASSERT_EQ(image.width(), 240);
    ASSERT_EQ(image.height(), 320);
    EXPECT_TRUE(SameOutsideTheLiveLine(image, clipboard.pixels));
}

TEST_F(Vt5Display, PressMovesTheMenu) {
    serve();
    QImage before = snapshot();
    auto pressed = display({"--serial", "DISP0001", "press", "down", "down"});
    ASSERT_EQ(pressed.status, 0) << pressed.err;
    EXPECT_EQ(pressed.out, "pressed down\npressed down\n");
    QImage after = snapshot();
    // The selection bar moved from the first line of the menu to the third.
    EXPECT_NE(before.pixel(4, 90), after.pixel(4, 90));
    EXPECT_NE(before.pixel(4, 138), after.pixel(4, 138));
}

// Reads and changed frames are two rates: a reader polls far more often than the display
// changes, and the first read, which brings the whole display, is a change.
TEST_F(Vt5Display, WatchNamesReadsAndChangedFramesPerSecond) {
    serve();
    auto watched = display({"watch", "--seconds", "1"});
    ASSERT_EQ(watched.status, 0) << watched.err;
    EXPECT_THAT(watched.out, HasSubstr("reads/s"));
    EXPECT_THAT(watched.out, HasSubstr("changed frames/s"));
    EXPECT_THAT(watched.out, HasSubstr("bytes per read"));
    EXPECT_THAT(watched.out, Not(HasSubstr("fps")));
    long long reads = 0, changed = 0;
    const std::size_t summary = watched.out.find(" reads in ");
    ASSERT_NE(summary, std::string::npos) << watched.out;
    const std::size_t lineStart = watched.out.rfind('\n', summary) + 1;
    ASSERT_EQ(std::sscanf(watched.out.c_str() + lineStart,
                          "%lld reads in %*f s: %*f reads per "
                          "second; %lld changed frames",
                          &reads, &changed),
              2)
        << watched.out;
    EXPECT_GE(changed, 1);
    EXPECT_LE(changed, reads);
}

TEST_F(Vt5Display, FailuresSayWhyAndExitNonZero) {
    serve({"--serial", "OFFHC001", "--mode", "off"});
    auto off = display({"snapshot", bus.dir().file("x.png")});
    EXPECT_EQ(off.status, 1);
    EXPECT_THAT(off.err, HasSubstr("vt5-display: "));
    EXPECT_THAT(off.err, HasSubstr("error code 35"));
    struct Case {
        std::vector<std::string> args;
        const char* says;
    } bad[] = {{{}, "snapshot, press or watch"},
               {{"snapshot"}, "one output file"},
               {{"press"}, "at least one button"},
               {{"press", "up", "sideways"}, "unknown button sideways"},
               {{"watch", "--seconds", "0"}, "--seconds"},
               {{"press", "up", "--seconds", "3"}, "--seconds belongs to watch"},
               {{"dance"}, "unknown command dance"}};
    for (const Case& c : bad) {
        auto result = display(c.args);
        EXPECT_EQ(result.status, 2) << c.says;
        EXPECT_THAT(result.err, HasSubstr(c.says));
        EXPECT_TRUE(result.out.empty()) << c.says;
    }
    auto unwritable = display({"--serial", "OFFHC001", "snapshot", "/nonexistent/dir/x.png"});
    EXPECT_EQ(unwritable.status, 1);
}

}  // namespace
