#include "gantrix/report/graph_images.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "gantrix/report/exposure_statistics.h"
#include "gantrix/report/graph_colours.h"
#include "tests/report/jpeg_test_support.h"

namespace report {
namespace {

using testing::ReadJpegLayout;
using testing::TempDir;

FrameRecord Frame(int guided, int star, float raDrift, float raSignal = 0, float fwhm = 2) {
    FrameRecord f;
    f.guided = guided;
    f.star = star;
    f.raDrift = raDrift;
    f.decDrift = -raDrift / 2;
    f.raSignal = raSignal;
    f.fwhm = fwhm;
    f.interval = 1;
    return f;
}

// A pixel inside an anti-aliased line: the colour at weight 255/256 over what was there.
uint32_t FullWeight(uint32_t colour, uint32_t under = colours::kBackground) {
    uint32_t pixel = 0;
    for (int n = 0; n < 3; ++n) {
        const uint32_t c = common::PixelByte(colour, n), u = common::PixelByte(under, n);
        pixel |= (255 * c + u) / 256 << (8 * n);
    }
    return pixel;
}

ExposureRecord Exposure(std::vector<FrameRecord> frames, float decRate = 2) {
    ExposureRecord e;
    e.focalLength = 500;
    e.binning = 2;
    e.calibration = {1, 0, 2, 0, 1, decRate};
    e.frames = std::move(frames);
    ComputeExposureStatistics(e);
    return e;
}

TEST(TimeAxis, FitsUpToSevenColumnsPerFrameIn720Pixels) {
    struct Case {
        int frames, columns, width;
    };
    const Case cases[] = {{1, 7, 7},     {100, 7, 700}, {102, 7, 714}, {103, 6, 618},
                          {360, 2, 720}, {361, 1, 361}, {720, 1, 720}, {721, 1, 721}};
    for (const Case& c : cases) {
        EXPECT_EQ(ColumnsPerFrame(c.frames), c.columns) << c.frames;
        EXPECT_EQ(GraphWidth(c.frames), c.width) << c.frames;
    }
}

TEST(GraphScales, SignalPercentAndDriftScaleLeaveAMargin) {
    EXPECT_EQ(SignalPercent(0.456f, 0.1f), 46);
    EXPECT_EQ(SignalPercent(-0.456f, 0.1f), 46);
    EXPECT_FLOAT_EQ(float(SignalPercent(0.456f, 0)) / 100.0f, 0.46f);
    EXPECT_EQ(SignalPercent(0, 1), 101);  // always on
    EXPECT_EQ(SignalPercent(-1, 0.999f), 101);
    EXPECT_EQ(SignalPercent(0, 0), 1);
    EXPECT_FLOAT_EQ(DriftScale(-0.75f, 0.5f), 0.751f);
}

TEST(GraphScales, GridScaleIsTheNearerRoundValue) {
    struct Case {
        float target, grid;
    };
    const Case cases[] = {
        {7, 5},
        {8, 10},
        {70, 50},
        {75, 100},
        {99.9f, 100},
        {0.03f, 0.02f},
        {1.4f, 1},
        {0.004f, 0.01f},
        {0, 0.01f},
        // Beyond the series from 100 down: 200, 500, 1000, ...
        {100, 100},
        {150, 200},
        {300, 200},
        {400, 500},
        {1e6f, 1e6f},
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(GridScale(c.target), c.grid) << c.target;
    EXPECT_FLOAT_EQ(GridScale(std::numeric_limits<float>::infinity()), 0.01f);
    EXPECT_FLOAT_EQ(GridScale(std::nanf("")), 0.01f);
}

TEST(DriftGraphs, DrawBarsOverColumnsMarkedByGuidingAndStar) {
    // Four frames, seven columns each: 28 x 161 and 28 x 101.
    const ExposureRecord e = Exposure(
        {Frame(1, 1, 1.0f, 0.5f), Frame(0, 0, 0), Frame(1, 0, 0), Frame(1, 1, -0.5f, -0.25f)});
    CBitmapRect drift, signal;
    GraphScales scales;
    DrawDriftGraphs(e, Axis::kRa, drift, signal, scales);
    ASSERT_EQ(drift.Width(), 28);
    ASSERT_EQ(drift.Height(), 161);
    ASSERT_EQ(signal.Width(), 28);
    ASSERT_EQ(signal.Height(), 101);
    EXPECT_FLOAT_EQ(scales.raDriftScale, 1.001f);
    EXPECT_EQ(scales.raSignalPercent, 51);

    // Frame 0: a bar up from the zero line nearly to the top.
    EXPECT_EQ(drift.GetPixel(3, 40), FullWeight(colours::kRa));
    EXPECT_EQ(drift.GetPixel(3, 2), FullWeight(colours::kRa));
    EXPECT_EQ(drift.GetPixel(3, 120), colours::kBackground);
    // Frame 1, neither guided nor with a star: the not-guided colour over the whole column.
    for (int y : {0, 79, 81, 160})
        EXPECT_EQ(drift.GetPixel(10, y), colours::kNotGuidedColumn);
    // Frame 2, guided without star; its bar of zero height leaves a dot of weight 63/256 (both
    // end factors 0.5) on the zero line.
    EXPECT_EQ(drift.GetPixel(15, 0), colours::kNoStarColumn);
    EXPECT_EQ(drift.GetPixel(15, 80), common::RgbInMemoryOrder(103, 103, 79));
    // Frame 3: a bar down to 80 + 0.5 / 1.001 * 80.5 = 120.2.
    EXPECT_EQ(drift.GetPixel(24, 110), FullWeight(colours::kRa));
    EXPECT_EQ(drift.GetPixel(24, 125), colours::kBackground);
    EXPECT_EQ(drift.GetPixel(24, 60), colours::kBackground);

    // Signals: 0.5 of 0.51 up, -0.25 down, zero line at row 50.
    EXPECT_EQ(signal.GetPixel(3, 10), FullWeight(colours::kSignalBar));
    EXPECT_EQ(signal.GetPixel(3, 60), colours::kBackground);
    EXPECT_EQ(signal.GetPixel(24, 70), FullWeight(colours::kSignalBar));
    EXPECT_EQ(signal.GetPixel(27, 0), colours::kBackground);
}

TEST(TrackingErrorGraph, RunsFromMinimumAtTheBottomToMaximumAtTheTop) {
    ExposureRecord e = Exposure({Frame(1, 1, 0, -0.5f), Frame(1, 1, 0), Frame(1, 1, 0)});
    ConvertTrackingErrors(e);
    // Running errors 0, 1, 1 pixels, centred, in arcseconds.
    const float scale = PixelScale(500, 2);
    EXPECT_FLOAT_EQ(e.statistics.trackingErrorMax - e.statistics.trackingErrorMin, scale);
    EXPECT_FLOAT_EQ(e.frames[1].trackingError - e.frames[0].trackingError, scale);
    CBitmapRect b;
    DrawTrackingErrorGraph(e, b);
    ASSERT_EQ(b.Width(), 21);
    ASSERT_EQ(b.Height(), 161);
    // From (3.5, 160.5) to (10.5, 0.0), then flat along the top to (17.5, 0.0).
    EXPECT_NE(b.GetPixel(4, 155), colours::kBackground);
    EXPECT_EQ(b.GetPixel(4, 5), colours::kBackground);
    EXPECT_NE(b.GetPixel(14, 0), colours::kBackground);
    EXPECT_EQ(b.GetPixel(14, 100), colours::kBackground);
}

TEST(TrackingErrorGraph, EqualErrorsDrawAFlatLineAtTheBottom) {
    ExposureRecord e = Exposure({Frame(1, 1, 0), Frame(1, 1, 0), Frame(1, 1, 0)});
    e.focalLength = 0;  // unknown: every error converts to 0
    ConvertTrackingErrors(e);
    CBitmapRect b;
    DrawTrackingErrorGraph(e, b);
    // A line along y = 160.5 lies half on the bottom row.
    const uint32_t half = common::RgbInMemoryOrder(135, 135, 8);
    for (int x = 4; x <= 17; ++x) {
        EXPECT_EQ(b.GetPixel(x, 160), half) << x;
        EXPECT_EQ(b.GetPixel(x, 159), colours::kBackground) << x;
    }
}

TEST(FwhmGraph, BarsScaleToTheLargestStarFwhm) {
    const ExposureRecord e =
        Exposure({Frame(1, 1, 0, 0, 3.0f), Frame(1, 0, 0, 0, 1.5f), Frame(0, 1, 0, 0, 1.0f)});
    CBitmapRect b;
    DrawFwhmGraph(e, b);
    ASSERT_EQ(b.Height(), 101);
    EXPECT_EQ(b.GetPixel(3, 5), FullWeight(colours::kFwhmStar));  // full height
    EXPECT_EQ(b.GetPixel(10, 80), FullWeight(colours::kFwhmNoStar, colours::kNoStarColumn));
    EXPECT_EQ(b.GetPixel(10, 20), colours::kNoStarColumn);  // half height, red
    EXPECT_EQ(b.GetPixel(17, 90), FullWeight(colours::kFwhmStar, colours::kNotGuidedColumn));
    EXPECT_EQ(b.GetPixel(17, 20), colours::kNotGuidedColumn);  // a third
}

TEST(FwhmGraph, NoStarSizeDrawsAFlatLineAtTheBottom) {
    const ExposureRecord e = Exposure({Frame(1, 1, 0, 0, 0), Frame(1, 0, 0, 0, 2.5f)});
    ASSERT_EQ(e.statistics.fwhmMax, 0.0f);
    CBitmapRect b;
    DrawFwhmGraph(e, b);
    for (int x = 0; x < 7; ++x) {
        EXPECT_EQ(b.GetPixel(x, 100), colours::kFwhmStar) << x;
        EXPECT_EQ(b.GetPixel(x, 99), colours::kBackground) << x;
    }
    EXPECT_EQ(b.GetPixel(8, 100), colours::kFwhmNoStar);
}

TEST(SpreadImages, UnitCalibrationVectorsReach120Pixels) {
    CBitmapRect b;
    DrawCalibrationVectors({1, 0, 2, 0, 1, 2}, b);
    ASSERT_EQ(b.Width(), 256);
    ASSERT_EQ(b.Height(), 256);
    EXPECT_EQ(b.GetPixel(70, 0), colours::kLightCell);  // bit 6 of x ^ y
    EXPECT_EQ(b.GetPixel(10, 10), colours::kBackground);
    EXPECT_EQ(b.GetPixel(200, 128), FullWeight(colours::kRa, colours::kLightCell));
    EXPECT_EQ(b.GetPixel(247, 128), FullWeight(colours::kRa, colours::kLightCell));
    EXPECT_EQ(b.GetPixel(249, 128), colours::kLightCell);  // the tip is at 248
    EXPECT_EQ(b.GetPixel(128, 200), FullWeight(colours::kDec, colours::kLightCell));
    EXPECT_EQ(b.GetPixel(128, 250), colours::kLightCell);
}

TEST(SpreadImages, PointSpreadPlacesGuidedStarFramesOnAGridInArcseconds) {
    // Largest drift 2 px: radius 2.3 px; 3.094"/px gives a target of 2.85" and a 2" grid.
    ExposureRecord e = Exposure({Frame(1, 1, 2.0f), Frame(1, 1, -1.0f), Frame(0, 1, 1.0f)});
    CBitmapRect b;
    const float grid = DrawPointSpread(e, b);
    EXPECT_FLOAT_EQ(grid, 2.0f);
    // A dot at (2 / 2.3 * 128 + 128, -1 / 2.3 * 128 + 128) = (239.30, 72.35): weight 0.975.
    EXPECT_EQ(b.GetPixel(239, 72), common::RgbInMemoryOrder(234, 234, 234));
    EXPECT_GT(common::PixelByte(b.GetPixel(72, 155), 0), 200);   // (-1 px, +0.5 px)
    EXPECT_LT(common::PixelByte(b.GetPixel(183, 100), 0), 100);  // the unguided frame: no dot
    // Cells of 2" are 2 / (3.094 * 2.3 / 128) = 36 pixels wide.
    EXPECT_EQ(b.GetPixel(128 + 18, 128 + 5), colours::kBackground);
    EXPECT_EQ(b.GetPixel(128 + 54, 128 + 5), colours::kLightCell);
    EXPECT_EQ(b.GetPixel(128 + 54, 128 + 40), colours::kBackground);
}

TEST(SpreadImages, NoDriftAndUnknownFocalLengthPutEveryPointInTheCentre) {
    ExposureRecord e = Exposure({Frame(1, 1, 0), Frame(1, 1, 0)});
    e.focalLength = 0;
    CBitmapRect b;
    EXPECT_FLOAT_EQ(DrawPointSpread(e, b), 0.01f);
    EXPECT_EQ(b.GetPixel(128, 128), colours::kSpreadPoint);
    EXPECT_EQ(b.GetPixel(20, 20), colours::kBackground);
}

TEST(WriteExposureGraphs, WritesEightImagesOrFourWithoutDecCalibration) {
    TempDir dir;
    std::filesystem::create_directories(dir.Path() / "dat");
    std::vector<FrameRecord> frames(100, Frame(1, 1, 0.5f, 0.3f));
    frames[10].raDrift = -1.5f;

    ExposureRecord withDec = Exposure(frames);
    GraphScales scales;
    ASSERT_TRUE(WriteExposureGraphs(withDec, 1, dir.Path().string(), scales));
    const struct {
        const char* name;
        int width, height;
    } images[] = {{"guiexp_1_ra_graph.jpg", 700, 161},  {"guiexp_1_raag_graph.jpg", 700, 101},
                  {"guiexp_1_dec_graph.jpg", 700, 161}, {"guiexp_1_decag_graph.jpg", 700, 101},
                  {"guiexp_1_track_err.jpg", 700, 161}, {"guiexp_1_fwhm.jpg", 700, 101},
                  {"guiexp_1_calib.jpg", 256, 256},     {"guiexp_1_ptspread.jpg", 256, 256}};
    for (const auto& image : images) {
        const testing::JpegLayout layout = ReadJpegLayout(dir / (std::string("dat/") + image.name));
        EXPECT_TRUE(layout.valid && layout.progressive && layout.adobe && !layout.jfif)
            << image.name;
        EXPECT_EQ(layout.width, image.width) << image.name;
        EXPECT_EQ(layout.height, image.height) << image.name;
        const QImage decoded = testing::DecodeJpeg(dir / (std::string("dat/") + image.name));
        EXPECT_EQ(decoded.width(), image.width) << image.name;
        EXPECT_EQ(decoded.height(), image.height) << image.name;
    }
    EXPECT_FLOAT_EQ(scales.raDriftScale, 1.501f);
    EXPECT_EQ(scales.raSignalPercent, 31);
    EXPECT_GT(scales.gridScale, 0.0f);

    ExposureRecord withoutDec = Exposure(frames, 0.0009f);
    ASSERT_TRUE(WriteExposureGraphs(withoutDec, 2, dir.Path().string(), scales));
    int written = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path() / "dat")) {
        written += entry.path().filename().string().rfind("guiexp_2_", 0) == 0;
    }
    EXPECT_EQ(written, 4);
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "dat/guiexp_2_track_err.jpg"));
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "dat/guiexp_2_dec_graph.jpg"));

    TempDir empty;  // no dat folder
    ExposureRecord again = Exposure(frames);
    EXPECT_FALSE(WriteExposureGraphs(again, 1, empty.Path().string(), scales));
}

}  // namespace
}  // namespace report
