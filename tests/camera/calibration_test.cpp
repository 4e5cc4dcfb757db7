// Calibration against a mount of known rates, directions and DEC backlash.

#include "hcsim/camera/calibration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "hcsim/camera/emulation_events.h"

namespace hcsim::test {
namespace {

using namespace camera;

// A star moved only by guide pulses: RA along `angle`, DEC across it, both in pixels per
// second; the DEC drive takes up `backlash` seconds of guiding at each reversal.
struct LinearMount {
    double angle = 0.3;
    double raRate = 1.7;
    double decRate = 1.7;
    double backlash = 0;

    Point star{640, 480};
    double slack = 0;  // 0 ... backlash: where the DEC drive stands in its play

    void apply(const Calibration::Move& m) {
        const double s = m.ms / 1000.0;
        const double c = std::cos(angle), sn = std::sin(angle);
        if (m.output == kRaPlus || m.output == kRaMinus) {
            const double d = (m.output == kRaPlus ? 1 : -1) * raRate * s;
            star.x += d * c;
            star.y += d * sn;
            return;
        }
        double want = m.output == kDecPlus ? s : -s;
        double before = slack;
        slack = std::clamp(slack + want, 0.0, backlash);
        const double d = decRate * (want - (slack - before));
        star.x += -d * sn;
        star.y += d * c;
    }
};

struct CalibrationRun {
    Calibration calibration;
    std::vector<Calibration::Move> moves;
};

CalibrationRun calibrate(LinearMount& mount, CalibrationSettings settings = {}) {
    CalibrationRun run{Calibration(settings), {}};
    auto move = std::optional(run.calibration.begin(mount.star));
    while (move) {
        run.moves.push_back(*move);
        mount.apply(*move);
        move = run.calibration.next(mount.star);
        if (run.moves.size() > 200) break;
    }
    return run;
}

TEST(CalibrationTest, MeasuresBothAxesAndComesBack) {
    LinearMount mount;
    CalibrationRun run = calibrate(mount);
    ASSERT_EQ(run.calibration.phase(), Calibration::Phase::Done);
    const CalibrationResult& r = run.calibration.result();
    EXPECT_NEAR(r.raRate, 1.7, 1e-9);
    EXPECT_NEAR(r.ra.x, std::cos(0.3), 1e-9);
    EXPECT_NEAR(r.ra.y, std::sin(0.3), 1e-9);
    EXPECT_NEAR(r.decRate, 1.7, 1e-9);
    EXPECT_NEAR(r.dec.x, -std::sin(0.3), 1e-9);
    EXPECT_NEAR(r.dec.y, std::cos(0.3), 1e-9);
    // 1.5 s steps of 2.55 px: 5 out and 5 back per axis, and one to take up DEC's play.
    ASSERT_EQ(run.moves.size(), 21u);
    EXPECT_EQ(run.moves.front().stepValue, 0x0101);
    EXPECT_EQ(run.moves[5].stepValue, 0x0201);   // RA back
    EXPECT_EQ(run.moves[10].stepValue, 0x0301);  // DEC backlash
    EXPECT_EQ(run.moves[11].stepValue, 0x0401);  // DEC out
    EXPECT_EQ(run.moves.back().stepValue, 0x0505);
    EXPECT_NEAR(mount.star.x, 640 + 1.7 * 1.5 * -std::sin(0.3), 1e-9);  // the DEC clear step
}

TEST(CalibrationTest, TakesUpTheDecBacklashBeforeMeasuring) {
    LinearMount mount;
    mount.backlash = 4.0;
    CalibrationRun run = calibrate(mount);
    ASSERT_EQ(run.calibration.phase(), Calibration::Phase::Done);
    EXPECT_NEAR(run.calibration.result().decRate, 1.7, 1e-9);
    int clearing = 0;
    for (const auto& m : run.moves)
        clearing += (m.stepValue >> 8) == 3;
    // 4 s of play in 1.5 s steps: the third moves the star 0.85 px, the fourth past 1 px.
    EXPECT_EQ(clearing, 4);
}

TEST(CalibrationTest, ASlowMountIsMeasuredOverTheMostStepsAllowed) {
    LinearMount mount;
    mount.raRate = mount.decRate = 0.2;  // 3.6 px in 12 steps of 1.5 s
    CalibrationRun run = calibrate(mount);
    ASSERT_EQ(run.calibration.phase(), Calibration::Phase::Done);
    EXPECT_NEAR(run.calibration.result().raRate, 0.2, 1e-9);
    EXPECT_NEAR(run.calibration.result().decRate, 0.2, 1e-9);
}

TEST(CalibrationTest, ADecDriveThatDoesNotMoveLeavesDecUncalibrated) {
    LinearMount mount;
    mount.decRate = 0;
    CalibrationRun run = calibrate(mount);
    ASSERT_EQ(run.calibration.phase(), Calibration::Phase::Done);
    const CalibrationResult& r = run.calibration.result();
    EXPECT_FALSE(r.decCalibrated());
    EXPECT_EQ(r.values()[5], 0.0);
    // DEC is then read across the RA direction.
    EXPECT_NEAR(r.dec.x * r.ra.x + r.dec.y * r.ra.y, 0.0, 1e-12);
}

TEST(CalibrationTest, AnRaDriveThatDoesNotMoveFails) {
    LinearMount mount;
    mount.raRate = 0.1;  // 1.8 px after 12 steps: too little to measure
    CalibrationRun run = calibrate(mount);
    EXPECT_EQ(run.calibration.phase(), Calibration::Phase::Failed);
    EXPECT_EQ(run.moves.size(), 12u);
    EXPECT_FALSE(run.calibration.failure().empty());
}

TEST(CalibrationResultTest, SplitsAnOffsetAlongSkewedAxes) {
    CalibrationResult r;
    r.ra = {1, 0};
    r.raRate = 1;
    r.dec = {0.6, 0.8};  // not at a right angle to RA
    r.decRate = 1;
    double ra = 0, dec = 0;
    r.split(2 * 1 + 3 * 0.6, 3 * 0.8, ra, dec);
    EXPECT_NEAR(ra, 2, 1e-12);
    EXPECT_NEAR(dec, 3, 1e-12);
}

}  // namespace
}  // namespace hcsim::test
