#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "starloom/model/frame_view.h"
#include "starloom/model/sensor.h"
#include "tests/starloom/frame_decoder.h"
#include "tools/vt5-skyframe/skyframe_options.h"
#include "tools/vt5-skyframe/skyframe_run.h"

namespace skyframe {
namespace {

std::optional<Options> Parse(std::vector<std::string_view> args, std::string* error = nullptr) {
    std::string message;
    auto options = ParseOptions(args, message);
    if (error) *error = message;
    return options;
}

TEST(SkyframeOptions, Defaults) {
    const auto o = Parse({"--out", "dir"});
    ASSERT_TRUE(o.has_value());
    EXPECT_EQ(o->outDir, "dir");
    EXPECT_EQ(o->seed, 2);
    EXPECT_EQ(o->exposureMs, 1000);
    EXPECT_EQ(o->gain, 6);
    EXPECT_EQ(o->frames, 1);
    EXPECT_EQ(o->intervalMs, 1000);  // back to back
    EXPECT_EQ(o->focalLength, 176);
    EXPECT_EQ(o->agSpeed, 0.5f);
    EXPECT_EQ(o->guide, 0u);
    EXPECT_EQ(o->view, 3);
}

TEST(SkyframeOptions, EverySetting) {
    const auto o = Parse({"--out=x",
                          "--seed",
                          "-1",
                          "--exposure=250",
                          "--gain",
                          "13",
                          "--frames",
                          "4",
                          "--interval",
                          "2000",
                          "--start",
                          "+86400000",
                          "--focal-length",
                          "352",
                          "--ag-speed",
                          "0.125",
                          "--pole-altitude",
                          "52.5",
                          "--southern",
                          "--alt-error",
                          "-120",
                          "--az-error",
                          "300",
                          "--hour-angle",
                          "-6",
                          "--backlash",
                          "2.5",
                          "--guide",
                          "ra-,dec+",
                          "--seeing",
                          "s.csv",
                          "--seeing-amplitude",
                          "1.5",
                          "--view",
                          "0"});
    ASSERT_TRUE(o.has_value());
    EXPECT_EQ(o->seed, -1);
    EXPECT_EQ(o->exposureMs, 250);
    EXPECT_EQ(o->gain, 13);
    EXPECT_EQ(o->frames, 4);
    EXPECT_EQ(o->intervalMs, 2000);
    EXPECT_EQ(o->startMs, 86'400'000);
    EXPECT_EQ(o->focalLength, 352);
    EXPECT_EQ(o->agSpeed, 0.125f);
    EXPECT_EQ(o->poleAltitude, 52.5f);
    EXPECT_TRUE(o->southern);
    EXPECT_EQ(o->altitudeError, -120.0f);
    EXPECT_EQ(o->azimuthError, 300.0f);
    EXPECT_EQ(o->hourAngle, -6.0f);
    EXPECT_EQ(o->backlash, 2.5f);
    EXPECT_EQ(o->guide, 0b0110u);
    EXPECT_EQ(o->seeingFile, "s.csv");
    EXPECT_EQ(o->seeingAmplitude, 1.5f);
    EXPECT_EQ(o->view, 0);
    EXPECT_EQ(Parse({"--out", "x", "--guide", "9"})->guide, 9u);
    EXPECT_TRUE(Parse({"--help"})->help);
}

TEST(SkyframeOptions, RefusesWhatItCannotRender) {
    struct Case {
        std::vector<std::string_view> args;
        const char* error;
    };
    const std::vector<Case> cases{
        {{"--seed", "2"}, "--out DIR is required"},
        {{"--out", "x", "--bogus"}, "unknown option --bogus"},
        {{"--out", "x", "--seed"}, "--seed needs a value"},
        {{"--out", "x", "--seed", "2x"}, "bad value for --seed: \"2x\""},
        {{"--out", "x", "--exposure", "4096"}, "bad value for --exposure: \"4096\""},
        {{"--out", "x", "--exposure", "0"}, "bad value for --exposure: \"0\""},
        {{"--out", "x", "--gain", "16"}, "bad value for --gain: \"16\""},
        {{"--out", "x", "--ag-speed", "0.3"}, "bad value for --ag-speed: \"0.3\""},
        {{"--out", "x", "--focal-length", "0"}, "bad value for --focal-length: \"0\""},
        {{"--out", "x", "--guide", "ra*"}, "bad value for --guide: \"ra*\""},
        {{"--out", "x", "--guide", "16"}, "bad value for --guide: \"16\""},
        {{"--out", "x", "--hour-angle", "nan"}, "bad value for --hour-angle: \"nan\""},
        {{"--out", "x", "--exposure", "2000", "--interval", "1000"},
         "--interval must not be shorter than --exposure"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(Parse(c.args, &error).has_value()) << c.error;
        EXPECT_EQ(error, c.error);
    }
}

class SkyframeRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("skyframe-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    int Run(std::vector<std::string_view> args) {
        const std::string out = dir_.string();
        args.insert(args.begin(), {"--out", out});
        std::string error;
        const auto options = ParseOptions(args, error);
        EXPECT_TRUE(options.has_value()) << error;
        output_.str("");
        errors_.str("");
        return skyframe::Run(*options, output_, errors_);
    }

    std::vector<uint8_t> Bytes(const std::string& name) const {
        std::ifstream file(dir_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    frame_decoder::Frame Decoded(const std::string& name) const {
        return frame_decoder::Decode(Bytes(name), starloom::kSensorPixels);
    }

    std::filesystem::path dir_;
    std::ostringstream output_;
    std::ostringstream errors_;
};

TEST_F(SkyframeRunTest, Seed2FrameDecodesToTheStarsThatThePreviewShows) {
    ASSERT_EQ(Run({"--seed", "2", "--exposure", "1000", "--gain", "6"}), 0) << errors_.str();
    EXPECT_NE(output_.str().find("stars: 86\n"), std::string::npos) << output_.str();
    EXPECT_NE(output_.str().find("frame-1: t 0 ms, photons "), std::string::npos);

    const frame_decoder::Frame frame = Decoded("frame-1.bin");
    ASSERT_EQ(frame.status, frame_decoder::Status::kImage);
    const auto brightest = std::max_element(frame.pixels.begin(), frame.pixels.end());
    EXPECT_GT(*brightest, 767);  // white in the 8x view
    const auto lit =
        std::count_if(frame.pixels.begin(), frame.pixels.end(), [](uint16_t v) { return v > 256; });
    EXPECT_GT(lit, 50);
    EXPECT_LT(lit, 10000);

    const QImage preview(QString::fromStdString((dir_ / "frame-1.png").string()));
    ASSERT_EQ(preview.width(), starloom::kSensorWidth);
    ASSERT_EQ(preview.height(), starloom::kSensorHeight);
    for (std::size_t i = 0; i < frame.pixels.size(); ++i) {
        const int x = static_cast<int>(i % starloom::kSensorWidth);
        const int y = static_cast<int>(i / starloom::kSensorWidth);
        const int grey = starloom::ViewGrey(frame.pixels[i], 3);
        ASSERT_EQ(preview.pixel(x, y) & 0xFFFFFFu, static_cast<unsigned>(grey * 0x010101))
            << x << "," << y;
    }
}

TEST_F(SkyframeRunTest, EmptyField) {
    ASSERT_EQ(Run({"--seed", "-1", "--view", "0"}), 0) << errors_.str();
    EXPECT_NE(output_.str().find("stars: 0\n"), std::string::npos);
    EXPECT_EQ(Bytes("frame-1.bin").size(), 1840u);
    const QImage preview(QString::fromStdString((dir_ / "frame-1.png").string()));
    EXPECT_EQ(preview.pixel(644, 484) & 0xFFFFFFu, 0x202020u);
}

TEST_F(SkyframeRunTest, SeveralFramesWhileGuiding) {
    ASSERT_EQ(Run({"--frames", "3", "--interval", "1500", "--exposure", "500", "--guide", "ra+",
                   "--az-error", "600", "--backlash", "1"}),
              0)
        << errors_.str();
    for (const char* name : {"frame-1", "frame-2", "frame-3"}) {
        EXPECT_EQ(Decoded(std::string(name) + ".bin").status, frame_decoder::Status::kImage)
            << name;
        EXPECT_TRUE(std::filesystem::exists(dir_ / (std::string(name) + ".png"))) << name;
        EXPECT_NE(output_.str().find(name), std::string::npos);
    }
    EXPECT_NE(output_.str().find("frame-3: t 3000 ms"), std::string::npos) << output_.str();
    EXPECT_FALSE(std::filesystem::exists(dir_ / "frame-4.bin"));
}

TEST_F(SkyframeRunTest, SixteenBitGainSendsNoPicture) {
    ASSERT_EQ(Run({"--gain", "10"}), 0) << errors_.str();
    EXPECT_EQ(Bytes("frame-1.bin"), std::vector<uint8_t>(8, 0));
    EXPECT_TRUE(std::filesystem::exists(dir_ / "frame-1.png"));
}

TEST_F(SkyframeRunTest, ReportsFilesItCannotUse) {
    std::filesystem::create_directories(dir_.parent_path());
    { std::ofstream(dir_) << "a file where the folder should be"; }
    EXPECT_EQ(Run({}), 1);
    EXPECT_NE(errors_.str().find("cannot create"), std::string::npos) << errors_.str();
    std::filesystem::remove(dir_);

    const std::string missing = (dir_ / "no-such-seeing.csv").string();
    EXPECT_EQ(Run({"--seeing", missing}), 1);
    EXPECT_NE(errors_.str().find("cannot read the seeing table"), std::string::npos);
}

}  // namespace
}  // namespace skyframe
