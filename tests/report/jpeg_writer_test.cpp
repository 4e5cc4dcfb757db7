#include "gantrix/report/jpeg_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/colour.h"
#include "tests/report/jpeg_test_support.h"

namespace report {
namespace {

using testing::DecodeJpeg;
using testing::ReadJpegLayout;
using testing::TempDir;

TEST(JpegWriter, WritesProgressiveRgbWithAdobeMarkerThatDecodesToTheCanvas) {
    CBitmapRect canvas;
    ASSERT_EQ(canvas.Create(200, 101), 0);
    canvas.Fill(common::RgbInMemoryOrder(16, 16, 16));
    for (int y = 20; y < 60; ++y)
        canvas.HorizontalLine(40, y, 119, common::RgbInMemoryOrder(240, 128, 32));
    TempDir dir;
    const std::string path = dir / "graph.jpg";
    ASSERT_EQ(WriteJpeg(path, canvas, 75), 0);

    const testing::JpegLayout layout = ReadJpegLayout(path);
    ASSERT_TRUE(layout.valid);
    EXPECT_TRUE(layout.progressive);
    EXPECT_TRUE(layout.adobe);
    EXPECT_FALSE(layout.jfif);
    EXPECT_EQ(layout.components, 3);
    EXPECT_EQ(layout.width, 200);
    EXPECT_EQ(layout.height, 101);

    const QImage image = DecodeJpeg(path);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), 200);
    EXPECT_EQ(image.height(), 101);
    // Red stays red: the components are stored as R, G, B.
    const QColor inside = image.pixelColor(80, 40);
    EXPECT_NEAR(inside.red(), 240, 8);
    EXPECT_NEAR(inside.green(), 128, 8);
    EXPECT_NEAR(inside.blue(), 32, 8);
    const QColor outside = image.pixelColor(5, 95);
    EXPECT_NEAR(outside.red(), 16, 4);
    EXPECT_NEAR(outside.blue(), 16, 4);
}

TEST(JpegWriter, ReportsFilesThatCannotBeCreatedOrCompleted) {
    TempDir dir;
    JpegWriter writer;
    EXPECT_EQ(writer.Open(dir / "missing/graph.jpg", 10, 10, 75), -1);
    EXPECT_EQ(writer.Open(dir / "empty.jpg", 0, 10, 75), -1);
    EXPECT_EQ(writer.Open(dir / "huge.jpg", 70000, 10, 75), -1);  // beyond what JPEG holds

    // Too few rows: the stream cannot be completed.
    const std::vector<uint32_t> row(10, 0);
    ASSERT_EQ(writer.Open(dir / "short.jpg", 10, 10, 75), 0);
    EXPECT_EQ(writer.WriteRow(row.data()), 0);
    EXPECT_EQ(writer.Finish(), -1);

    // Opening again finishes the file still open; the writer is then usable again.
    ASSERT_EQ(writer.Open(dir / "a.jpg", 10, 1, 75), 0);
    EXPECT_EQ(writer.WriteRow(row.data()), 0);
    ASSERT_EQ(writer.Open(dir / "b.jpg", 10, 1, 75), 0);
    EXPECT_EQ(writer.WriteRow(row.data()), 0);
    EXPECT_EQ(writer.Finish(), 0);
    EXPECT_TRUE(ReadJpegLayout(dir / "a.jpg").valid);
    EXPECT_EQ(DecodeJpeg(dir / "b.jpg").width(), 10);

    CBitmapRect failed;  // a canvas that could not be had writes no file
    EXPECT_EQ(WriteJpeg(dir / "none.jpg", failed, 75), -1);
}

TEST(JpegWriter, ReportsAFullDisk) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    CBitmapRect canvas;
    ASSERT_EQ(canvas.Create(300, 300), 0);
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 300; ++x)
            canvas.Row(y)[x] = uint32_t(x * 7919 + y * 104729);
    }
    EXPECT_EQ(WriteJpeg("/dev/full", canvas, 75), -1);
}

}  // namespace
}  // namespace report
