// Seeing set as a FWHM: the amplitude it gives, the built-in image motion that stands in for
// "seeing.csv", and what a guide camera's exposures make of it.

#include "starloom/model/seeing_motion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "starloom/model/starloom_model.h"

namespace starloom {
namespace {

struct Moments {
    double mean = 0;
    double sd = 0;
};

Moments Of(const std::vector<double>& values) {
    Moments m;
    for (double v : values)
        m.mean += v;
    m.mean /= static_cast<double>(values.size());
    for (double v : values)
        m.sd += (v - m.mean) * (v - m.mean);
    m.sd = std::sqrt(m.sd / static_cast<double>(values.size()));
    return m;
}

// The per-axis scatter, in arcseconds, of the mean image position over exposures of that
// length, as a guide camera measures it, for seeing of that FWHM.
double ExposureScatter(const SeeingTable& table, float fwhm, int exposureMs, bool raAxis) {
    std::vector<double> means;
    for (int64_t start = 0; start < 600'000; start += exposureMs + 500) {
        double sum = 0;
        const int steps = exposureMs / 10;
        for (int s = 0; s < steps; ++s) {
            const SeeingSample sample = *SeeingOffset(table, start + 10 * s);
            sum += raAxis ? sample.column2 : sample.column1;
        }
        means.push_back(SeeingAmplitude(fwhm) * sum / steps);
    }
    return Of(means).sd;
}

TEST(SeeingMotion, AmplitudeIsTheSigmaOfTheFwhmAndZeroSwitchesItOff) {
    struct Case {
        float fwhm, amplitude;
    } cases[] = {{2.0f, 0.8493f}, {3.0f, 1.2740f}, {0.0f, 0.0f}, {-1.0f, 0.0f}};
    for (const Case& c : cases)
        EXPECT_NEAR(SeeingAmplitude(c.fwhm), c.amplitude, 1e-4f) << c.fwhm;
}

TEST(SeeingMotion, BuiltInMotionIsNormalisedRepeatableAndTwoAxesApart) {
    SeeingTable a, b, other;
    MakeBuiltInSeeing(a);
    MakeBuiltInSeeing(b);
    MakeBuiltInSeeing(other, 7);
    ASSERT_EQ(a.count(), SeeingTable::kMaxSamples);
    EXPECT_EQ(a.rate, SeeingTable::kDefaultRate);
    EXPECT_EQ(a.column1, b.column1);
    EXPECT_NE(a.column1, other.column1);
    EXPECT_NE(a.column1, a.column2);
    for (const std::vector<float>* column : {&a.column1, &a.column2}) {
        const Moments m = Of(std::vector<double>(column->begin(), column->end()));
        EXPECT_NEAR(m.mean, 0.0, 1e-5);
        EXPECT_NEAR(m.sd, 1.0, 1e-4);
    }
    // Neighbouring samples are related (the motion is not white noise), the axes are not.
    double lag = 0, cross = 0;
    for (std::size_t i = 0; i + 1 < a.count(); ++i) {
        lag += a.column1[i] * a.column1[i + 1];
        cross += a.column1[i] * a.column2[i];
    }
    lag /= static_cast<double>(a.count() - 1);
    cross /= static_cast<double>(a.count() - 1);
    EXPECT_NEAR(lag, BuiltInSeeing::kCorrelation, 0.05);
    EXPECT_NEAR(cross, 0.0, 0.05);
}

// Guide cameras in 2" seeing see the star move by 0.3 to 0.6" per axis between exposures of
// about a second; longer exposures average more of the motion away.
TEST(SeeingMotion, ExposuresSeeTheJitterOfARealNight) {
    SeeingTable table;
    MakeBuiltInSeeing(table);
    for (bool ra : {true, false}) {
        const double oneSecond = ExposureScatter(table, 2.0f, 1000, ra);
        EXPECT_GT(oneSecond, 0.3) << ra;
        EXPECT_LT(oneSecond, 0.6) << ra;
        EXPECT_LT(ExposureScatter(table, 2.0f, 4000, ra), oneSecond) << ra;
        EXPECT_NEAR(ExposureScatter(table, 3.0f, 1000, ra), 1.5 * oneSecond, 1e-6) << ra;
    }
}

// The model's setting: a FWHM moves the stars through the mount's image offset; 0 leaves the
// offset as it is without seeing, also with a table loaded.
TEST(SeeingMotion, ModelSettingMovesTheImageOffsetOnlyWhenOn) {
    auto offsets = [](float fwhm) {
        auto model = std::make_unique<StarloomModel>();
        model->StartEmulation("", 1.0f);
        model->SetSeeingFwhm(fwhm);
        std::vector<double> dx;
        SkyRandom random;
        for (int64_t t = 10; t <= 60'000; t += 10)
            dx.push_back(model->mount().MountStep(t, 0, random, model->sky().seeing()).dx);
        return dx;
    };
    auto without = std::make_unique<StarloomModel>();
    without->StartEmulation("", 1.0f);
    EXPECT_EQ(without->sky().seeing().count(), 0u);  // nothing is made while seeing is off
    const std::vector<double> off = offsets(0.0f);
    const std::vector<double> on = offsets(3.0f);
    std::vector<double> difference;
    for (std::size_t i = 0; i < on.size(); ++i)
        difference.push_back(on[i] - off[i]);
    // 3" FWHM at 4.39"/px: the motion has a sigma of 1.27" = 0.29 px along RA.
    const double sigma = SeeingAmplitude(3.0f) / MountModel::ImageScale(176);
    EXPECT_NEAR(Of(difference).sd, sigma, 0.25 * sigma);
    // Seeing 0 is no seeing, with the table in place.
    auto zero = std::make_unique<StarloomModel>();
    zero->StartEmulation("", 1.0f);
    zero->SetSeeingFwhm(3.0f);
    zero->SetSeeingFwhm(0.0f);
    SkyRandom random;
    for (int64_t t = 10; t <= 1000; t += 10)
        EXPECT_EQ(zero->mount().MountStep(t, 0, random, zero->sky().seeing()).dx, off[t / 10 - 1]);
}

}  // namespace
}  // namespace starloom
