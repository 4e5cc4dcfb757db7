#include "gantrix/report/exposure_statistics.h"

#include <gtest/gtest.h>

#include <cmath>

namespace report {
namespace {

FrameRecord Frame(float raDrift, float raSignal = 0, float interval = 1, int star = 1) {
    FrameRecord f;
    f.guided = 1;
    f.star = star;
    f.fwhm = 2.5f;
    f.raDrift = raDrift;
    f.decDrift = -raDrift;
    f.raSignal = raSignal;
    f.decSignal = raSignal / 2;
    f.interval = interval;
    return f;
}

ExposureRecord Exposure(std::vector<FrameRecord> frames, float raRate = 2) {
    ExposureRecord e;
    e.calibration = {1, 0, raRate, 0, 1, 2};
    e.frames = std::move(frames);
    ComputeExposureStatistics(e);
    return e;
}

TEST(ExposureStatistics, DriftStdIsThePopulationFormula) {
    const ExposureRecord e = Exposure({Frame(1), Frame(2), Frame(3)});
    const ExposureStatistics& s = e.statistics;
    EXPECT_EQ(s.frames, 3);
    EXPECT_EQ(s.guidedFrames, 3);
    EXPECT_EQ(s.starFrames, 3);
    EXPECT_FLOAT_EQ(s.raDriftStd, float(std::sqrt(2.0 / 3.0)));
    EXPECT_FLOAT_EQ(s.decDriftStd, float(std::sqrt(2.0 / 3.0)));
    EXPECT_FLOAT_EQ(s.raDriftMin, 1);
    EXPECT_FLOAT_EQ(s.raDriftMax, 3);
    EXPECT_FLOAT_EQ(s.decDriftMin, -3);
    EXPECT_FLOAT_EQ(s.decDriftMax, -1);
    EXPECT_FLOAT_EQ(s.fwhmMax, 2.5f);
}

TEST(ExposureStatistics, FramesWithoutStarCountOnlyInFramesAndTrackingError) {
    const ExposureRecord none =
        Exposure({Frame(5, 0.8f, 1, 0), Frame(-4, -0.3f, 2, 0), Frame(7, 1, 1, 0)});
    const ExposureStatistics& s = none.statistics;
    EXPECT_EQ(s.frames, 3);
    EXPECT_EQ(s.guidedFrames, 3);
    EXPECT_EQ(s.starFrames, 0);
    EXPECT_EQ(s.raCorrections + s.decCorrections, 0);
    for (float v :
         {s.raDriftStd, s.raDriftMin, s.raDriftMax, s.decDriftStd, s.raSignalMin, s.raSignalMax,
          s.decSignalMin, s.decSignalMax, s.meanRaPulse, s.meanRaDuty, s.meanDecPulse,
          s.meanDecDuty, s.fwhmMax, s.trackingErrorMin, s.trackingErrorMax}) {
        EXPECT_EQ(v, 0.0f);
    }
    for (const FrameRecord& f : none.frames)
        EXPECT_EQ(f.trackingError, 0.0f);

    // A frame without star does not move the running error: it and the next one share it,
    // and it still counts in the mean.
    const ExposureRecord mixed =
        Exposure({Frame(0, -0.5f, 2), Frame(0, 1, 1, 0), Frame(0, 0, 1), Frame(0, 0, 1)});
    ASSERT_EQ(mixed.frames.size(), 4u);
    // Running values 0, 2, 2, 2 (RA signal -0.5 over 2 s moves it by +c2); mean 1.5.
    EXPECT_FLOAT_EQ(mixed.frames[0].trackingError, -1.5f);
    EXPECT_FLOAT_EQ(mixed.frames[1].trackingError, 0.5f);
    EXPECT_FLOAT_EQ(mixed.frames[2].trackingError, 0.5f);
    EXPECT_FLOAT_EQ(mixed.statistics.trackingErrorMin, -1.5f);
    EXPECT_FLOAT_EQ(mixed.statistics.trackingErrorMax, 0.5f);
}

TEST(ExposureStatistics, PulsesLongerThanFiveMillisecondsAreCorrections) {
    // RA pulses 0.005 s (not a correction), 0.00625 s and 0.5 s (signed -0.5).
    const ExposureRecord e =
        Exposure({Frame(0, 0.005f, 1), Frame(0, 0.0125f, 0.5f), Frame(0, -0.25f, 2)});
    const ExposureStatistics& s = e.statistics;
    EXPECT_EQ(s.raCorrections, 2);
    EXPECT_EQ(s.decCorrections, 1);  // DEC signals are half: 0.0025, 0.003125, 0.25 s
    EXPECT_FLOAT_EQ(s.meanRaPulse, float((0.005 + 0.00625 + 0.5) / 3));
    EXPECT_FLOAT_EQ(s.meanRaDuty, float((0.005 + 0.0125 + 0.25) / 3));
    EXPECT_FLOAT_EQ(s.raSignalMin, -0.25f);
    EXPECT_FLOAT_EQ(s.raSignalMax, 0.0125f);
}

TEST(ExposureStatistics, NoFramesLeavesEverythingZero) {
    const ExposureRecord e = Exposure({});
    EXPECT_EQ(e.statistics.frames, 0);
    EXPECT_EQ(e.statistics.trackingErrorMax, 0.0f);
}

TEST(PixelScale, ConvertsPixelsToArcseconds) {
    const float expected = float(2 * double(3.75e-6f) / 0.5 / 6.283185307178 * 1296000);
    EXPECT_FLOAT_EQ(PixelScale(500, 2), expected);
    EXPECT_NEAR(PixelScale(500, 2), 3.094f, 0.0005f);
    EXPECT_FLOAT_EQ(PixelScale(500.9f, 2), expected);  // the focal length is truncated
    EXPECT_FLOAT_EQ(ToArcseconds(2.0f, 500, 2), 2 * expected);
    // Unknown binning counts as 1x1.
    EXPECT_FLOAT_EQ(PixelScale(500, -1), PixelScale(500, 1));
    EXPECT_FLOAT_EQ(PixelScale(500, 0), PixelScale(500, 1));
    // Below 1 mm the focal length is unknown and every value 0.
    EXPECT_EQ(PixelScale(0.9f, 2), 0.0f);
    EXPECT_EQ(PixelScale(-500, 2), 0.0f);
    EXPECT_EQ(ToArcseconds(std::nanf(""), 0.9f, 2), 0.0f);
    EXPECT_EQ(PixelScale(std::nanf(""), 2), 0.0f);
}

}  // namespace
}  // namespace report
