#include "gantrix/report/night/night_analysis.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/report/log_builder.h"
#include "tests/report/night/guided_night.h"

namespace report::night {
namespace {

using testing::GuidedNight;
using testing::Interpreted;

NightSummary Analyse(const GuidedNight& model, std::optional<double> declination = {},
                     int threads = 1) {
    const Interpreted log(model.Log());
    EXPECT_TRUE(log.ok);
    return AnalyseNight(log.state, "night_log_1.txt", {declination, threads});
}

// The strongest two periods found are the model's, in the order of their amplitudes.
void ExpectPeriods(const std::vector<PeriodicComponent>& found, const GuidedNight& model) {
    ASSERT_GE(found.size(), 2u);
    const int strong = model.amplitudeArcsec[0] >= model.amplitudeArcsec[1] ? 0 : 1;
    for (int i = 0; i < 2; ++i) {
        const int m = i == 0 ? strong : 1 - strong;
        EXPECT_NEAR(found[size_t(i)].periodS, model.periodS[m], 0.02 * model.periodS[m]);
        EXPECT_NEAR(found[size_t(i)].amplitudeArcsec, model.amplitudeArcsec[m],
                    0.1 * model.amplitudeArcsec[m]);
    }
}

struct MountCase {
    const char* name;
    double periods[2];
    double amplitudes[2];
    double decDrift;
    double exposureS, gapS, frameS;
    double hours;
};

class RecoveredMount : public ::testing::TestWithParam<MountCase> {};

TEST_P(RecoveredMount, PeriodsAmplitudesAndDriftAreTheModels) {
    const MountCase& c = GetParam();
    GuidedNight model;
    for (int i = 0; i < 2; ++i) {
        model.periodS[i] = c.periods[i];
        model.amplitudeArcsec[i] = c.amplitudes[i];
    }
    model.decDriftPerMin = c.decDrift;
    model.exposureS = c.exposureS;
    model.gapS = c.gapS;
    model.frameS = c.frameS;
    model.hours = c.hours;
    const NightSummary night = Analyse(model, 30.0, 2);

    ASSERT_EQ(night.stretches.size(), 1u) << "short gaps between exposures are bridged";
    ExpectPeriods(night.pePeriods, model);
    // Both sines come close to adding up their amplitudes at some time over the night.
    ASSERT_TRUE(night.pePeakToPeak.has_value());
    const double sum = 2 * (c.amplitudes[0] + c.amplitudes[1]);
    EXPECT_GT(*night.pePeakToPeak, 0.85 * sum);
    EXPECT_LT(*night.pePeakToPeak, 1.1 * sum);

    ASSERT_TRUE(night.decDriftPerMin.has_value());
    EXPECT_NEAR(*night.decDriftPerMin, -c.decDrift, 0.1 * std::abs(c.decDrift));
    ASSERT_TRUE(night.polarErrorArcmin.has_value());
    EXPECT_NEAR(*night.polarErrorArcmin,
                3.82 * std::abs(*night.decDriftPerMin) / std::cos(30 * std::numbers::pi / 180),
                1e-9);

    // Folded at the strongest period, the curve spans about that sine's peak-to-peak.
    const StretchAnalysis& stretch = night.stretches.front();
    ASSERT_FALSE(stretch.folded.empty());
    const auto [lo, hi] = std::minmax_element(stretch.folded.begin(), stretch.folded.end());
    const double strongest = std::max(c.amplitudes[0], c.amplitudes[1]);
    EXPECT_GT(*hi - *lo, 1.5 * strongest);
}

INSTANTIATE_TEST_SUITE_P(
    GeneratedLogs, RecoveredMount,
    ::testing::Values(
        MountCase{"WormAndGear", {480, 137}, {4.0, 1.5}, 0.8, 300, 8, 2, 2},
        MountCase{"ShortExposuresDriftSouth", {600, 211}, {2.5, 1.2}, -0.5, 120, 15, 2, 2.5},
        MountCase{"FastFramesSmallError", {383, 95}, {1.2, 0.6}, 1.5, 180, 5, 1, 1.5}),
    [](const ::testing::TestParamInfo<MountCase>& param) { return std::string(param.param.name); });

TEST(NightAnalysis, GuidingThatStopsAndRestartsIsAnalysedInTwoStretches) {
    GuidedNight model;
    model.hours = 2.5;
    model.agStopped = {{3600, 4200}};
    const NightSummary night = Analyse(model);

    ASSERT_EQ(night.stretches.size(), 2u);
    EXPECT_LT(night.stretches[0].t1, 3600);
    EXPECT_GE(night.stretches[1].t0, 4199);
    // Each stretch alone shows the worm, and the drift is not spoilt by the jump the mount
    // made while unguided.
    for (const StretchAnalysis& stretch : night.stretches) {
        ASSERT_FALSE(stretch.periods.empty());
        EXPECT_NEAR(stretch.periods.front().periodS, 480, 0.02 * 480);
        ASSERT_TRUE(stretch.decDriftPerMin.has_value());
        EXPECT_NEAR(*stretch.decDriftPerMin, -model.decDriftPerMin, 0.1 * model.decDriftPerMin);
    }
    EXPECT_EQ(night.peStretch, 1) << "the longer stretch gives the night's periodic error";
}

TEST(NightAnalysis, ExposureWithoutStarFramesHasNoErrorValuesAndEndsTheStretch) {
    GuidedNight model;
    model.starlessExposure = 3;
    const NightSummary night = Analyse(model);

    ASSERT_GT(night.exposures.size(), 4u);
    const ExposureRow& dark = night.exposures[3];
    EXPECT_GT(dark.frames, 100);
    EXPECT_EQ(dark.starFrames, 0);
    EXPECT_EQ(dark.starLost, dark.guidedFrames);
    EXPECT_FALSE(dark.raRms || dark.decRms || dark.totalRms || dark.peak || dark.fwhmMedian ||
                 dark.fwhmMax);

    const ExposureRow& lit = night.exposures[2];
    EXPECT_EQ(lit.starLost, 0);
    ASSERT_TRUE(lit.raRms && lit.decRms && lit.totalRms && lit.fwhmMedian);
    EXPECT_NEAR(*lit.totalRms, std::hypot(*lit.raRms, *lit.decRms), 1e-9);
    // Guided to a fraction of the seeing: the RMS is of the order of the seeing's.
    EXPECT_GT(*lit.raRms, 0.5 * model.seeingArcsec);
    EXPECT_LT(*lit.raRms, 3 * model.seeingArcsec);

    ASSERT_EQ(night.stretches.size(), 2u) << "nothing to bridge the dark exposure with";
    ASSERT_TRUE(night.totals.totalRms.has_value());
    int starFrames = 0;
    for (const ExposureRow& row : night.exposures)
        starFrames += row.starFrames;
    EXPECT_EQ(night.totals.starFrames, starFrames);
}

TEST(NightAnalysis, UncalibratedDecGivesNoPolarEstimateButThePeriodicError) {
    GuidedNight model;
    model.decRate = 0;
    const NightSummary night = Analyse(model, 45.0);

    EXPECT_FALSE(night.decCalibrated);
    EXPECT_FALSE(night.decDriftPerMin.has_value());
    EXPECT_FALSE(night.polarErrorArcmin.has_value());
    EXPECT_FALSE(night.totals.decRms.has_value());
    EXPECT_FALSE(night.totals.totalRms.has_value());
    ASSERT_TRUE(night.totals.raRms.has_value());
    ExpectPeriods(night.pePeriods, model);
}

TEST(NightAnalysis, OneThreadAndManyGiveTheSameNight) {
    GuidedNight model;
    model.agStopped = {{2000, 2300}, {4000, 4100}};
    const NightSummary one = Analyse(model, {}, 1);
    const NightSummary many = Analyse(model, {}, 4);
    ASSERT_EQ(one.stretches.size(), many.stretches.size());
    for (size_t i = 0; i < one.stretches.size(); ++i) {
        EXPECT_EQ(one.stretches[i].pePeakToPeak, many.stretches[i].pePeakToPeak);
        EXPECT_EQ(one.stretches[i].decDriftPerMin, many.stretches[i].decDriftPerMin);
    }
}

TEST(PolarError, FollowsTheDriftOverTheCosineOfTheDeclination) {
    struct Case {
        double drift;
        std::optional<double> declination;
        std::optional<double> expected;
    } cases[] = {
        {1.0, std::nullopt, 3.82},  {-1.0, std::nullopt, 3.82},
        {1.0, 60.0, 7.64},          {0.5, -45.0, 3.82 * 0.5 / std::cos(std::numbers::pi / 4)},
        {0.0, 20.0, 0.0},           {1.0, 89.5, std::nullopt},
        {1.0, -90.0, std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<double> error = PolarErrorArcmin(c.drift, c.declination);
        ASSERT_EQ(error.has_value(), c.expected.has_value()) << c.drift;
        if (error) {
            EXPECT_NEAR(*error, *c.expected, 1e-9) << c.drift;
        }
    }
}

}  // namespace
}  // namespace report::night
