// The HC's autoguider on Starloom's sky: guided exposures asked for before any calibration,
// clouds hiding the star, a mount that does not move in RA, DEC backlash, changes of the
// guide settings while guiding, and a session that ends in the middle of an exposure. The
// guiding log tells what happened.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <vector>

#include "gantrix/report/report_generator.h"
#include "hcsim/camera/camera_emulation_family.h"
#include "tests/camera/guiding_session.h"

namespace camtest {
namespace {

namespace fs = std::filesystem;
using Mode = hcsim::camera::Autoguider::Mode;

struct LogLine {
    std::string time;  // HH:MM:SS.mmm
    std::string keyword;
    std::vector<std::string> fields;
};

std::vector<LogLine> readLog(const fs::path& path) {
    std::vector<LogLine> lines;
    std::ifstream in(path);
    for (std::string text; std::getline(in, text);) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        std::vector<std::string> f;
        std::stringstream s(text);
        for (std::string field; std::getline(s, field, '\t');)
            f.push_back(field);
        if (text.back() == '\t') f.push_back("");
        if (f.size() < 3) continue;
        lines.push_back({f[1], f[2], {f.begin() + 3, f.end()}});
    }
    return lines;
}

// Keywords of the lines, those in `skip` left out.
std::vector<std::string> keywords(const std::vector<LogLine>& lines,
                                  const std::vector<std::string>& skip) {
    std::vector<std::string> out;
    for (const LogLine& l : lines)
        if (std::find(skip.begin(), skip.end(), l.keyword) == skip.end()) out.push_back(l.keyword);
    return out;
}

int count(const std::vector<LogLine>& lines, const std::string& keyword) {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                          [&](const LogLine& l) { return l.keyword == keyword; }));
}

// Milliseconds of the day of an HH:MM:SS.mmm time.
int64_t ms(const std::string& t) {
    return ((std::stoll(t.substr(0, 2)) * 60 + std::stoll(t.substr(3, 2))) * 60 +
            std::stoll(t.substr(6, 2))) *
               1000 +
           std::stoll(t.substr(9, 3));
}

class AutoguiderTest : public ::testing::Test {
protected:
    AutoguiderTest() {
        EXPECT_EQ(session.control("guider set calibration-step 2000"), "ok");
        EXPECT_EQ(VT5_Open(&api, GuidingSession::kSerial, nullptr, 0, nullptr), 0);
        loop.SetTraceSink([this](const std::string& line) {
            if (line.rfind("Calibration: ", 0) == 0)
                calibrationSteps.push_back(std::stoi(line.substr(13)));
        });
    }
    ~AutoguiderTest() override { VT5_Close(&api); }

    void begin(const starloom::EmulationSettings& settings = {}) {
        bool boot = true;
        ASSERT_EQ(loop.CheckFirmware(boot), 0);
        ASSERT_EQ(loop.Begin([&] { loop.ApplyAll(settings); }), 0);
        run(3000);
    }
    void run(int64_t ms, const std::function<bool()>& until = {}) {
        ASSERT_EQ(session.run(loop, ms, until), 0);
    }
    void runUntilGuiding() {
        run(300'000, [&] { return session.mode() == Mode::Guiding; });
        ASSERT_EQ(session.mode(), Mode::Guiding) << session.control("guider");
    }
    std::vector<LogLine> log() { return readLog(session.logPath()); }

    GuidingSession session;
    CVT5Api api;
    std::unique_ptr<starloom::StarloomModel> model = std::make_unique<starloom::StarloomModel>();
    starloom::EmulationLoop loop{api, *model};
    std::vector<int> calibrationSteps;
};

TEST_F(AutoguiderTest, AGuidedExposureAskedForFirstCalibratesThenGuidesThenExposes) {
    begin();
    ASSERT_EQ(session.control("expose 20"), "ok");
    EXPECT_EQ(session.control("expose 30").rfind("error:", 0), 0u);  // one at a time
    runUntilGuiding();
    run(12'000);
    // The HC's live line tells the drift, and every other second the time left.
    for (int second = 0; second < 2; ++second) {
        const auto live = session.hc().with(
            [](hcsim::HcDevice& d, platform::TimePoint now, platform::vbus::Bytes&) {
                return d.family<hcsim::CameraEmulationFamily>()->liveLine(now);
            });
        ASSERT_TRUE(live);
        EXPECT_TRUE(
            std::regex_match(*live, std::regex(R"(RA[+-]\d\.\d" DE[+-]\d\.\d"|EXPO 0:0\d)")))
            << *live;
        run(1000);
    }
    run(12'000);
    ASSERT_EQ(loop.End(), 0);

    const std::vector<LogLine> lines = log();
    EXPECT_EQ(keywords(lines, {"CAM FRAME", "AG DRIFT", "AG OUT"}),
              (std::vector<std::string>{"LOG START", "CAM CONN", "CAM BIN", "CALIB RESULT",
                                        "AG START", "EXPO STATE", "EXPO STATE", "EXPO STATE",
                                        "AG STOP", "LOG STOP"}));
    std::vector<const LogLine*> expo;
    for (const LogLine& l : lines) {
        if (l.keyword == "EXPO STATE") expo.push_back(&l);
        if (l.keyword == "AG START") {
            EXPECT_EQ(l.fields, (std::vector<std::string>{"RA+DEC", "0.70", "0.10", "0.10", "0.60",
                                                          "0.15", "176.0"}));
        }
    }
    ASSERT_EQ(expo.size(), 3u);
    EXPECT_EQ(expo[0]->fields, (std::vector<std::string>{"EXPO", "20"}));
    EXPECT_EQ(expo[1]->fields[0], "READOUT");
    EXPECT_EQ(expo[2]->fields[0], "IDLE");
    EXPECT_EQ(ms(expo[1]->time) - ms(expo[0]->time), 20'000);
    EXPECT_EQ(ms(expo[2]->time) - ms(expo[1]->time), 2'000);
    // The calibration announced its steps: RA out first, the last one done.
    ASSERT_FALSE(calibrationSteps.empty());
    EXPECT_EQ(calibrationSteps.front(), 0x0101);
    EXPECT_EQ(calibrationSteps.back(), 0xFF00);
}

TEST_F(AutoguiderTest, CloudsHideTheStarAndGuidingGoesOnWhenItComesBack) {
    begin();
    ASSERT_EQ(session.control("guide start"), "ok");
    runUntilGuiding();
    run(10'000);
    const size_t before = log().size();
    model->sky().GenerateStarField(-1);  // clouds
    run(20'000);
    EXPECT_EQ(session.mode(), Mode::Guiding);
    EXPECT_NE(session.control("guider").find("star=none"), std::string::npos);
    // From the second frame on (the first may have caught the star before the clouds came).
    std::vector<LogLine> all = log(), cloudy;
    int frames = 0;
    for (size_t i = before; i < all.size(); ++i) {
        frames += all[i].keyword == "CAM FRAME";
        if (frames >= 2) cloudy.push_back(all[i]);
    }
    ASSERT_GT(count(cloudy, "CAM FRAME"), 10);
    EXPECT_EQ(count(cloudy, "AG DRIFT"), 0);
    EXPECT_EQ(count(cloudy, "AG OUT"), 0);  // no corrections without a star
    for (const LogLine& l : cloudy)
        if (l.keyword == "CAM FRAME") {
            EXPECT_EQ(l.fields[3], "0.0");
        }

    const int drifts = count(log(), "AG DRIFT");
    model->sky().GenerateStarField(2);  // clear again: the star is found where it was
    run(10'000);
    EXPECT_EQ(session.mode(), Mode::Guiding);
    EXPECT_EQ(session.control("guider").find("star=none"), std::string::npos);
    EXPECT_GT(count(log(), "AG DRIFT"), drifts + 3);
}

TEST_F(AutoguiderTest, AMountThatDoesNotMoveInRaFailsTheCalibration) {
    begin();
    model->mount().SetResponseDelay(11);  // the RA drive ignores the guide outputs
    ASSERT_EQ(session.control("guide start"), "ok");
    run(300'000, [&] { return !calibrationSteps.empty() && calibrationSteps.back() >= 0xFF00; });
    ASSERT_FALSE(calibrationSteps.empty());
    EXPECT_EQ(calibrationSteps.back(), 0xFFFF);
    EXPECT_EQ(session.mode(), Mode::Looping);
    const std::string status = session.control("guider");
    EXPECT_NE(status.find("calibrated=no"), std::string::npos);
    EXPECT_NE(status.find("error=\"calibration failed: the star moved too little in RA\""),
              std::string::npos)
        << status;
    EXPECT_EQ(count(log(), "CALIB FAIL"), 1);
    EXPECT_EQ(count(log(), "AG START"), 0);
}

TEST_F(AutoguiderTest, DecBacklashIsTakenUpBeforeDecIsMeasured) {
    starloom::EmulationSettings settings;
    settings.backlash = true;
    settings.backlashSeconds = 5;
    begin(settings);
    ASSERT_EQ(session.control("calibrate"), "ok");
    bool begun = false;
    run(300'000, [&] {
        begun = begun || session.mode() == Mode::Calibrating;
        return begun && session.mode() != Mode::Calibrating;
    });
    const std::vector<LogLine> lines = log();
    auto result = std::find_if(lines.begin(), lines.end(),
                               [](const LogLine& l) { return l.keyword == "CALIB RESULT"; });
    ASSERT_NE(result, lines.end());
    const double raRate = std::stod(result->fields[2]);
    const double decRate = std::stod(result->fields[5]);
    // 176 mm at half the sidereal rate: 1.711 px/s on both axes.
    EXPECT_NEAR(raRate, 1.711, 0.05);
    EXPECT_NEAR(decRate, 1.711, 0.05);
    int clearing = 0;
    for (int step : calibrationSteps)
        clearing += (step >> 8) == 3;
    EXPECT_GE(clearing, 3);  // 5 s of play in 2 s steps
}

TEST_F(AutoguiderTest, SettingsChangedWhileGuidingAreLoggedAndUsed) {
    begin();
    ASSERT_EQ(session.control("guide start"), "ok");
    runUntilGuiding();
    ASSERT_EQ(session.control("guider set ra-p 0.5"), "ok");
    ASSERT_EQ(session.control("guider set ra-i 0.2"), "ok");
    EXPECT_EQ(session.control("guider set ra-p 3").rfind("error:", 0), 0u);
    run(5000);
    std::vector<std::vector<std::string>> trims;
    for (const LogLine& l : log())
        if (l.keyword == "AG TRIM") trims.push_back(l.fields);
    EXPECT_EQ(trims, (std::vector<std::vector<std::string>>{{"0.50", "0.10"}, {"0.50", "0.20"}}));
    // Guiding stops on request; the star is still followed and its drift logged.
    ASSERT_EQ(session.control("guide stop"), "ok");
    EXPECT_EQ(session.mode(), Mode::Looping);
    const int drifts = count(log(), "AG DRIFT");
    run(5000);
    EXPECT_GT(count(log(), "AG DRIFT"), drifts);
    EXPECT_EQ(count(log(), "AG STOP"), 1);
}

TEST_F(AutoguiderTest, AStopInTheMiddleOfAnExposureClosesItAndTheLog) {
    begin();
    ASSERT_EQ(session.control("expose 600"), "ok");
    runUntilGuiding();
    run(30'000);
    ASSERT_EQ(loop.End(), 0);
    const std::vector<LogLine> lines = log();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3].keyword, "AG STOP");
    EXPECT_EQ(lines[lines.size() - 2].keyword, "EXPO STATE");
    EXPECT_EQ(lines[lines.size() - 2].fields[0], "IDLE");
    EXPECT_EQ(lines.back().keyword, "LOG STOP");
    // The half exposure still makes a report page.
    report::ReportGenerator generator(report::LoadReportResources());
    const fs::path folder = session.folder() / "report";
    EXPECT_EQ(generator.GenerateReport(session.logPath().string(), folder.string()), "");
    EXPECT_TRUE(fs::exists(folder / "guiexpo_1.html"));
}

}  // namespace
}  // namespace camtest
