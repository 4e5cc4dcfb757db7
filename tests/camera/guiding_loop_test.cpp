// The whole guiding loop on the virtual clock: Starloom's emulation loop renders the sky of a
// mount with polar misalignment and periodic error, the simulated HC calibrates on it, follows
// the unguided drift, then guides an exposure; the drift in the HC's log shrinks once guiding
// starts, and the report made from the log shows it once the log has come off the card as
// Gantrix's card browser copies it. Directly over USB, and through the API server while
// another client reads the HC's identity.

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "gantrix/report/report_generator.h"
#include "gantrix/server/server_thread.h"
#include "tests/camera/guiding_session.h"
#include "tests/support/server_start.h"
#include "tests/support/wire_client.h"
#include "vt5api/commands/identity.h"

namespace camtest {
namespace {

namespace fs = std::filesystem;
using Mode = hcsim::camera::Autoguider::Mode;

constexpr double kPixelScale = 4.3948;  // arcseconds per pixel at 176 mm
constexpr int64_t kUnguidedMs = 120'000;
constexpr int kExposureSeconds = 150;

// A value of the report page's statistics, in arcseconds.
double pageValue(const std::string& page, const std::string& label) {
    std::smatch m;
    std::regex value("<td>" + label + "</td><td>([-0-9.]+)");
    if (!std::regex_search(page, m, value)) return -1;
    return std::stod(m[1]);
}

class GuidingLoopTest : public ::testing::Test {
protected:
    GuidingLoopTest() {
        // 2 s guide exposures and calibration steps keep the frames few.
        EXPECT_EQ(session.control("guider set exposure 2000"), "ok");
        EXPECT_EQ(session.control("guider set calibration-step 2000"), "ok");
        settings.mount.altitudeError = 600;  // arcseconds
        settings.mount.azimuthError = 1800;
        settings.hoursFromMeridian = -1;
    }

    void calibrateDriftAndGuide(CVT5Api& api) {
        EXPECT_EQ(session.calibrateDriftAndGuide(api, settings, kUnguidedMs, kExposureSeconds), "");
        EXPECT_EQ(session.mode(), Mode::Off);
    }

    // The log shows the drift shrink once guiding starts, and so does the report Gantrix makes
    // of it once it has copied the log from the card (with `api`, the card browser's context).
    void checkLogAndReport(CVT5Api& api) {
        const fs::path log = session.logPath();
        ASSERT_TRUE(fs::exists(log)) << log;
        const LogDrifts d = driftsOf(log);
        ASSERT_GT(d.unguided.frames, 40);
        ASSERT_GT(d.guided.frames, 50);
        // Periodic error and polar misalignment move the star by pixels in two minutes.
        EXPECT_GT(d.unguided.ra, 1.0);
        EXPECT_GT(d.unguided.dec, 0.5);
        EXPECT_LT(d.guided.ra, d.unguided.ra / 5) << "unguided " << d.unguided.ra;
        EXPECT_LT(d.guided.dec, d.unguided.dec / 5) << "unguided " << d.unguided.dec;

        const fs::path copy = session.folder() / "My folder" / log.filename();
        fs::create_directories(copy.parent_path());
        ASSERT_EQ(downloadFromCard(api, "/LOGS/" + log.filename().string(), copy), "");
        ASSERT_EQ(fs::file_size(copy), fs::file_size(log));

        report::ReportGenerator generator(report::LoadReportResources());
        const fs::path folder = session.folder() / "report";
        ASSERT_EQ(generator.GenerateReport(copy.string(), folder.string()), "");
        ASSERT_FALSE(fs::exists(folder / "guiexpo_2.html"));  // one guided exposure
        std::ifstream in(folder / "guiexpo_1.html");
        std::stringstream page;
        page << in.rdbuf();
        const double ra = pageValue(page.str(), "RA std.dev.");
        const double dec = pageValue(page.str(), "DEC std.dev.");
        ASSERT_GE(ra, 0);
        ASSERT_GE(dec, 0);
        EXPECT_LT(ra, d.unguided.ra * kPixelScale / 5);
        EXPECT_LT(dec, d.unguided.dec * kPixelScale / 5);
    }

    GuidingSession session;
    starloom::EmulationSettings settings;
};

TEST_F(GuidingLoopTest, CalibratesAndGuidesDirectly) {
    CVT5Api api;
    ASSERT_EQ(VT5_Open(&api, GuidingSession::kSerial, nullptr, 0, nullptr), 0);
    calibrateDriftAndGuide(api);
    checkLogAndReport(api);
    VT5_Close(&api);
}

TEST_F(GuidingLoopTest, CalibratesAndGuidesThroughTheServerBesideAnotherClient) {
    ServerThread server;
    const int port = vt5test::freeTcpPort();
    ASSERT_TRUE(vt5test::startServerThread(server, port));

    CVT5Api api;
    ASSERT_EQ(VT5_Open(&api, nullptr, "127.0.0.1", port, "Starloom"), 0);
    std::atomic<bool> done{false};
    std::atomic<int> reads{0}, failures{0};
    std::thread reader([&] {
        CVT5Api other;
        if (VT5_Open(&other, nullptr, "127.0.0.1", port, "vt5-info") != 0) {
            ++failures;
            return;
        }
        while (!done) {
            VT5DeviceInfo info{};
            if (VT5cmd_GetDeviceInfo(&other, &info) == 0 &&
                std::string(info.serial) == GuidingSession::kSerial)
                ++reads;
            else
                ++failures;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        VT5_Close(&other);
    });
    calibrateDriftAndGuide(api);
    done = true;
    reader.join();
    VT5_Close(&api);
    CVT5Api browser;
    ASSERT_EQ(VT5_Open(&browser, nullptr, "127.0.0.1", port, "Gantrix - FileSystem"), 0);
    checkLogAndReport(browser);
    VT5_Close(&browser);
    {
        platform::SteadyClock steady;
        platform::ScopedClock realTime(steady);
        server.StopServerThread();
    }
    EXPECT_GT(reads, 10);
    EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace camtest
