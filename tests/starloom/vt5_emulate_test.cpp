// vt5-emulate's loop in-process on the virtual clock, against an HC whose events the test
// writes, and the program itself for its command line.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "platform/clock/clock.h"
#include "tests/starloom/event_hc_fixture.h"
#include "tests/support/bus_fixture.h"
#include "tests/support/subprocess.h"
#include "tools/vt5-emulate/emulate_run.h"

using ::testing::HasSubstr;

namespace {

// Standard output and standard error of a run, as text.
class Captured {
public:
    Captured() : saved_(stderr) { stderr = std::tmpfile(); }
    ~Captured() {
        std::fclose(stderr);
        stderr = saved_;
        std::fclose(out_);
    }
    std::FILE* out() { return out_; }
    static std::string Text(std::FILE* f) {
        std::fflush(f);
        std::rewind(f);
        std::string text;
        for (int c; (c = std::fgetc(f)) != EOF;)
            text += static_cast<char>(c);
        return text;
    }
    std::string out_text() { return Text(out_); }
    std::string err_text() { return Text(stderr); }

private:
    std::FILE* saved_;
    std::FILE* out_ = std::tmpfile();
};

class Vt5Emulate : public vt5test::EventHcTest {
protected:
    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), "vt5-emulate");
        std::vector<const char*> argv;
        for (const std::string& a : args)
            argv.push_back(a.c_str());
        if (auto status = line.Parse(static_cast<int>(argv.size()), argv.data())) return *status;
        auto options = emulate::ReadOptions(line);
        if (!options) return 2;
        return emulate::Run(line, *options, api, stop, captured.out());
    }

    cli::CommandLine line = emulate::MakeCommandLine();
    std::atomic<bool> stop{false};
    Captured captured;
};

TEST_F(Vt5Emulate, PrintsALinePerFrameAndStopsTheEmulationAtTheEnd) {
    PlugAndOpen();
    hc->hcTime = 1000;
    hc->event(0x0A, 1010, 0x6000 | 200);
    hc->event(0x22, 1100);
    hc->event(0x0B, 1210);
    hc->event(0x11, 1300);
    hc->event(0x0B, 1400);
    ASSERT_EQ(Run({"--seconds", "2", "--seed", "-1", "--trace"}), 0) << captured.err_text();
    const std::string out = captured.out_text();
    EXPECT_THAT(out,
                HasSubstr("1210 ms: exposure 200 ms, gain 6, sent 1840 bytes, outputs DEC-\n"));
    EXPECT_THAT(out, HasSubstr("1400 ms: no exposure open, sent the empty frame (4 bytes), "
                               "outputs RA+ DEC-\n"));
    EXPECT_THAT(out, HasSubstr("  1010: Start expo.. 200 ms, g6\n"));
    EXPECT_THAT(out, HasSubstr("2 frames (1 empty), 1844 bytes in 2.0 s\n"));
    EXPECT_EQ(hc->parameters.front(), 0x01);
    EXPECT_EQ(hc->parameters.back(), 0x02);
    EXPECT_GE(virtualClock.now().time_since_epoch(), std::chrono::seconds(2));
}

TEST_F(Vt5Emulate, SettingsReachTheModel) {
    auto read = [&](std::vector<std::string> args) {
        args.insert(args.begin(), "vt5-emulate");
        std::vector<const char*> argv;
        for (const std::string& a : args)
            argv.push_back(a.c_str());
        EXPECT_FALSE(line.Parse(static_cast<int>(argv.size()), argv.data()));
        return emulate::ReadOptions(line);
    };
    auto o = read({"--seed", "7", "--ag-speed", "0.125", "--focal-length", "400", "--southern",
                   "--pole-altitude", "30", "--alt-error", "300", "--az-error", "-120",
                   "--hour-angle", "west", "--backlash", "2.5", "--seconds", "9"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->settings.seed, 7);
    EXPECT_EQ(o->settings.mount.agSpeedSelection, 3);
    EXPECT_EQ(o->settings.mount.focalLength, 400);
    EXPECT_TRUE(o->settings.mount.southern);
    EXPECT_EQ(o->settings.mount.altitudeError, 300.0f);
    EXPECT_EQ(o->settings.mount.azimuthError, -120.0f);
    EXPECT_EQ(o->settings.hoursFromMeridian, 6.0);
    EXPECT_TRUE(o->settings.backlash);
    EXPECT_EQ(o->settings.backlashSeconds, 2.5f);
    EXPECT_EQ(o->seconds, 9.0);

    for (auto bad : std::vector<std::vector<std::string>>{{"--ag-speed", "0.3"},
                                                          {"--hour-angle", "north"},
                                                          {"--focal-length", "0"},
                                                          {"--seconds", "-1"}}) {
        line = emulate::MakeCommandLine();
        EXPECT_FALSE(read(bad)) << bad[0];
    }
    EXPECT_THAT(captured.err_text(), HasSubstr("bad --ag-speed 0.3 (1, 0.5, 0.25 or 0.125)"));
}

TEST_F(Vt5Emulate, BootModeIsRefusedWithAMessage) {
    PlugAndOpen(true);
    EXPECT_EQ(Run({"--seconds", "1"}), 1);
    EXPECT_THAT(captured.err_text(), HasSubstr("vt5-emulate: Starloom needs the Firmware running"));
    EXPECT_TRUE(hc->parameters.empty());
}

TEST_F(Vt5Emulate, FailedStepEndsTheRunAndTriesToStop) {
    PlugAndOpen();
    hc->event(0x0A, 13000, 100);
    hc->event(0x0B, 13100);
    hc->refuseFrame();
    EXPECT_EQ(Run({"--seconds", "5"}), 1);
    EXPECT_THAT(captured.err_text(),
                HasSubstr("vt5-emulate: Emulation step: Veltra-5 API error code 66: Can't "
                          "execute command on device"));
    EXPECT_EQ(hc->parameters, (std::vector<uint8_t>{0x01, 0x0F, 0x02}));
}

TEST_F(Vt5Emulate, InterruptionEndsTheRunCleanly) {
    PlugAndOpen();
    stop = true;
    EXPECT_EQ(Run({}), 0);
    EXPECT_THAT(captured.out_text(), HasSubstr("0 frames (0 empty), 0 bytes"));
    EXPECT_EQ(hc->parameters, (std::vector<uint8_t>{0x01, 0x02}));
}

// Seeing is on unless switched off: 2" by default, 0 for none, any FWHM up to 20".
TEST(Vt5EmulateOptions, SeeingFwhm) {
    struct Case {
        std::vector<const char*> args;
        float fwhm;
    } cases[] = {{{}, 2.0f},
                 {{"--seeing-fwhm", "0"}, 0.0f},
                 {{"--seeing-fwhm", "3.5"}, 3.5f},
                 {{"--seeing-fwhm", "20"}, 20.0f}};
    for (const Case& c : cases) {
        cli::CommandLine line = emulate::MakeCommandLine();
        std::vector<const char*> argv{"vt5-emulate"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        ASSERT_FALSE(line.Parse(static_cast<int>(argv.size()), argv.data()));
        const auto options = emulate::ReadOptions(line);
        ASSERT_TRUE(options);
        EXPECT_EQ(options->settings.seeingFwhm, c.fwhm) << c.args.size();
    }
}

TEST(Vt5EmulateProgram, CommandLineMistakesAndHelp) {
    auto run = [](std::vector<std::string> args) {
        args.insert(args.begin(), VT5_EMULATE_PATH);
        return vt5test::runProgram(args);
    };
    auto help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("Usage: vt5-emulate"));
    EXPECT_THAT(help.out, HasSubstr("--backlash S"));
    EXPECT_THAT(help.out, HasSubstr("--seeing-fwhm ARCSEC"));
    for (auto args : std::vector<std::vector<std::string>>{{"--bogus"},
                                                           {"--seed", "x"},
                                                           {"extra"},
                                                           {"--serial", "A", "--server", "h"},
                                                           {"--seeing-fwhm", "-1"},
                                                           {"--seeing-fwhm", "fog"},
                                                           {"--seeing-fwhm", "25"}}) {
        auto bad = run(args);
        EXPECT_EQ(bad.status, 2) << args[0];
        EXPECT_THAT(bad.err, HasSubstr("vt5-emulate: ")) << args[0];
        EXPECT_TRUE(bad.out.empty()) << args[0];
    }
}

}  // namespace
