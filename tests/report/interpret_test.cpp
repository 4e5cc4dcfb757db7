#include "gantrix/report/interpret.h"

#include <gtest/gtest.h>

#include "tests/report/log_builder.h"

namespace report {
namespace {

using testing::Interpreted;
using testing::LogBuilder;

TEST(Interpret, WaitsForALogStartWithAnHcUid) {
    LogBuilder log;
    log.At(0, "CAM CONN\tEARLY-CAM\t\t")
        .At(10, "LOG STOP")
        .At(20, "CAM FRAME\tnot\ta\tnumber")  // would fail if it were evaluated
        .At(30, "LOG START\t\t0000\t1.00")
        .At(40, "AG START\tRA\t1\t1\t1\t1\t1")  // one field short: still ignored
        .At(50, "LOG START\tA1B2C3D4E5F6G7H\t0007\t2.14")
        .At(60, "LOG START\tOTHER\t0008\t9.99")
        .At(70, "CAM CONN\tVC5-0012A3F1");
    Interpreted run(log.Text());
    ASSERT_TRUE(run.ok);
    EXPECT_EQ(run.state.hcUid, "A1B2C3D4E5F6G7H");
    EXPECT_EQ(run.state.logStartSecond, "0007");
    EXPECT_EQ(run.state.firmwareVersion, "2.14");
    EXPECT_EQ(run.state.logStartTime, run.lines[5].logTime);
    // A camera UID alone is a complete CAM CONN line.
    EXPECT_EQ(run.state.cameraUid, "VC5-0012A3F1");
    EXPECT_EQ(run.state.cameraSecond, "");
}

TEST(Interpret, LogStopAndBufferFullEndTheWalkDroppingTheOpenExposure) {
    for (const char* end : {"LOG STOP", "LOG BUFFERFULL"}) {
        LogBuilder log;
        log.Start().Exposure(1000, 5000);
        log.At(6000, "EXPO STATE\tEXPO\t300").At(6100, "CAM FRAME\t1\t2\t2.5\t80");
        log.At(7000, end).At(7100, "CAM FRAME\tbroken").At(7200, "EXPO STATE\tIDLE\t0");
        Interpreted run(log.Text());
        ASSERT_TRUE(run.ok) << end;
        EXPECT_EQ(run.state.exposures.size(), 1u) << end;
    }
}

TEST(Interpret, CutsExposuresWithTheirSettingsAtStartAndEnd) {
    LogBuilder log;
    log.Start("0.9986\t-0.0523\t2.85\t0.0523\t0.9986\t2.60")
        .At(1000, "EXPO STATE\tEXPO\t300")
        .At(1100, "CAM FRAME\t1\t1500\t2.5\t80")
        .At(2100, "CAM FRAME\t2\t1500\t2.6\t80")
        .At(2200, "AG TRIM\t0.55\t0.20")
        .At(3100, "CAM FRAME\t3\t1500\t2.7\t80")
        .At(3200, "AG START\tRA+DEC\t0.55\t0.20\t0.30\t0.65\t0.25\t800")
        .At(4100, "CAM FRAME\t4\t1500\t2.8\t80")
        .At(5000, "EXPO STATE\tREADOUT\t0");
    Interpreted run(log.Text());
    ASSERT_TRUE(run.ok);
    ASSERT_EQ(run.state.exposures.size(), 1u);
    const ExposureRecord& e = run.state.exposures[0];
    EXPECT_EQ(e.startTime, run.lines[5].logTime);
    EXPECT_EQ(e.endTime - e.startTime, 4000);
    EXPECT_FLOAT_EQ(e.focalLength, 500.0f);  // taken at start
    EXPECT_EQ(e.binning, 2);
    EXPECT_EQ(e.agMode, "RA+DEC");
    EXPECT_FLOAT_EQ(e.raPStart, 0.70f);
    EXPECT_FLOAT_EQ(e.raIStart, 0.10f);
    EXPECT_FLOAT_EQ(e.raPEnd, 0.55f);
    EXPECT_FLOAT_EQ(e.raIEnd, 0.20f);
    EXPECT_FLOAT_EQ(e.raTolerance, 0.30f);  // overwritten at end
    EXPECT_FLOAT_EQ(e.decP, 0.65f);
    EXPECT_FLOAT_EQ(e.decTolerance, 0.25f);
    EXPECT_FLOAT_EQ(e.calibration[0], 0.9986f);
    EXPECT_FLOAT_EQ(e.calibration[5], 2.60f);
    // Four CAM FRAME lines make three frames: the newest one never closed.
    ASSERT_EQ(e.frames.size(), 3u);
    EXPECT_FLOAT_EQ(e.frames[2].fwhm, 2.7f);
    EXPECT_FLOAT_EQ(e.frames[0].interval, 1.0f);
    EXPECT_EQ(e.statistics.frames, 3);  // computed at the end
}

TEST(Interpret, ExposureStateNeedsHcCameraAndAgModeAndOpensOnce) {
    LogBuilder log;
    log.At(0, "LOG START\tA1B2C3D4E5F6G7H\t0007\t2.14")
        .At(10, "AG START\tRA\t0.7\t0.1\t0.1\t0.6\t0.2\t500")
        .At(20, "EXPO STATE\tEXPO\t300")  // no camera yet: state emptied, nothing opens
        .At(30, "CAM CONN\tVC5")
        .At(40, "CAM FRAME\t1\t2\t2.5\t80")
        .At(50, "CAM FRAME\t1\t2\t2.5\t80")
        .At(60, "EXPO STATE\tIDLE\t0")
        .At(1000, "EXPO STATE\tEXPO\t300")
        .At(1100, "CAM FRAME\t1\t2\t2.5\t80")
        .At(2000, "EXPO STATE\tEXPO\t300")  // changes nothing
        .At(2100, "CAM FRAME\t1\t2\t2.5\t80")
        .At(3100, "CAM FRAME\t1\t2\t2.5\t80")
        .At(4000, "EXPO STATE\tIDLE\t0")
        .At(5000, "EXPO STATE\tEXPOSING\t0")  // not exactly "EXPO": no exposure
        .At(5100, "CAM FRAME\t1\t2\t2.5\t80")
        .At(6000, "EXPO STATE\tIDLE\t0")
        .At(7000, "EXPO STATE\tEXPO\t300")
        .At(7100, "CAM FRAME\t1\t2\t2.5\t80")  // a single frame line: no frame
        .At(8000, "EXPO STATE\tIDLE\t0");
    Interpreted run(log.Text());
    ASSERT_TRUE(run.ok);
    ASSERT_EQ(run.state.exposures.size(), 2u);
    EXPECT_EQ(run.state.exposures[0].endTime - run.state.exposures[0].startTime, 3000);
    EXPECT_EQ(run.state.exposures[0].frames.size(), 2u);
    EXPECT_EQ(run.state.exposures[1].frames.size(), 0u);
}

TEST(Interpret, AveragesTheGuideOutputsOverEachFrameInterval) {
    LogBuilder log;
    log.Start()
        .At(1000, "EXPO STATE\tEXPO\t300")
        .At(2000, "CAM FRAME\t1\t2\t2.5\t80")
        .At(2200, "AG OUT\t\tRA+\t\t")
        .At(2700, "AG OUT\t\t\t\t")
        .At(3000, "CAM FRAME\t1\t2\t2.5\t80")
        .At(3000, "AG OUT\tRA-\t\t\tDEC+")
        .At(3500, "CAM FRAME\t1\t2\t2.5\t80")
        .At(4000, "EXPO STATE\tIDLE\t0");
    Interpreted run(log.Text());
    ASSERT_TRUE(run.ok);
    const std::vector<FrameRecord>& frames = run.state.exposures.at(0).frames;
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_FLOAT_EQ(frames[0].raSignal, 0.5f);
    EXPECT_FLOAT_EQ(frames[0].decSignal, 0.0f);
    EXPECT_FLOAT_EQ(frames[0].interval, 1.0f);
    EXPECT_FLOAT_EQ(frames[1].raSignal, -1.0f);
    EXPECT_FLOAT_EQ(frames[1].decSignal, 1.0f);
    EXPECT_FLOAT_EQ(frames[1].interval, 0.5f);
}

TEST(Interpret, AgOutTurnsItsFourTextsIntoOutputStates) {
    struct Case {
        const char* fields;
        int ra;
        int dec;
    };
    const Case cases[] = {
        {"RA-\t\t\tDEC+", -1, 1}, {"\t\t\t", 0, 0}, {"\tRA+\tDEC-\t", 1, -1},
        {"x\ty\tz\tw", 0, 0},     {"", 0, 0},       {"1\t\t1\t", -1, -1},
    };
    for (const Case& c : cases) {
        LogBuilder log;
        log.Start().At(100, std::string("AG OUT\t") + c.fields);
        Interpreted run(log.Text());
        ASSERT_TRUE(run.ok) << c.fields;
        EXPECT_EQ(run.state.accumulator.raState, c.ra) << c.fields;
        EXPECT_EQ(run.state.accumulator.decState, c.dec) << c.fields;
    }
}

TEST(Interpret, FramesRecordGuidingStarAndDrift) {
    LogBuilder log;
    log.Start()
        .At(1000, "EXPO STATE\tEXPO\t300")
        .At(1100, "CAM FRAME\t1\t2\t2.5\t0")
        .At(1110, "AG DRIFT\t0.5\t-0.25\textra")
        .At(1200, "AG STOP")
        .At(2100, "CAM FRAME\t1\t2\t2.6\t-3\t99\t99")
        .At(2200, "AG START\tRA+DEC\t0.70\t0.10\t0.15\t0.60\t0.20\t500.0")
        .At(3100, "CAM FRAME\t1\t2\t2.7\t0.01")
        .At(4100, "CAM FRAME\t1\t2\t2.7\t1")
        .At(5000, "EXPO STATE\tIDLE\t0");
    Interpreted run(log.Text());
    ASSERT_TRUE(run.ok);
    const std::vector<FrameRecord>& f = run.state.exposures.at(0).frames;
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(f[0].guided, 1);
    EXPECT_EQ(f[0].star, 0);
    EXPECT_FLOAT_EQ(f[0].raDrift, 0.5f);
    EXPECT_FLOAT_EQ(f[0].decDrift, -0.25f);
    EXPECT_EQ(f[1].guided, 0);
    EXPECT_EQ(f[1].star, 0);
    EXPECT_FLOAT_EQ(f[1].starValue, -3.0f);
    EXPECT_FLOAT_EQ(f[1].raDrift, 0.0f);  // no AG DRIFT followed it
    EXPECT_EQ(f[2].guided, 1);
    EXPECT_EQ(f[2].star, 1);
}

TEST(Interpret, AgDriftIsReadOnlyWhenThereIsAFrame) {
    LogBuilder ignored;
    ignored.Start().At(100, "AG DRIFT\tnot\tnumbers");
    EXPECT_TRUE(Interpreted(ignored.Text()).ok);

    LogBuilder failing;
    failing.Start()
        .At(1000, "EXPO STATE\tEXPO\t300")
        .At(1100, "CAM FRAME\t1\t2\t2.5\t80")
        .At(1200, "AG DRIFT\t0.5");
    EXPECT_FALSE(Interpreted(failing.Text()).ok);
}

TEST(Interpret, FailsOnKnownEventsWithTooFewFields) {
    const char* lines[] = {
        "CAM FRAME\t1\t2\t3",
        "CAM FRAME\t1\tx\t3\t4",
        "CALIB RESULT\t1\t0\t2\t0\t1",
        "AG START\tRA\t0.7\t0.1\t0.1\t0.6\t0.2",
        "AG TRIM\t0.5",
        "CAM BIN\ttwo",
        "EXPO STATE\tEXPO",
    };
    for (const char* line : lines) {
        LogBuilder log;
        log.Start().At(100, line);
        EXPECT_FALSE(Interpreted(log.Text()).ok) << line;
    }
    // Unknown keywords and keywords of another case are ignored.
    LogBuilder log;
    log.Start().At(100, "CAM TEMP\tcold").At(110, "cam frame\tx");
    EXPECT_TRUE(Interpreted(log.Text()).ok);
}

}  // namespace
}  // namespace report
