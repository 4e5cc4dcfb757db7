#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gantrix/app/gantrix_app.h"
#include "hcsim/hc/simulated_hc.h"
#include "tests/options/gui_test.h"

namespace vt5test {

// Gantrix's application object over the GUI test base, with simulated HCs to plug in.
// HOME is a private folder, so that the default "My folder" (Veltra-5 in the documents
// folder) is the test's own.
class GantrixTest : public GuiTest {
protected:
    GantrixTest();
    ~GantrixTest() override;

    hcsim::SimulatedHc& plugHc(const std::string& serial,
                               hcsim::HcMode mode = hcsim::HcMode::Firmware);
    // Starts the API server thread as its dialog does (port 0: 5937); true once it listens.
    bool startServer(int32_t port, const std::string& servedSerial = {});
    // Polls done every 10 ms of real time (for the server thread); false after the timeout.
    static bool waitUntil(const std::function<bool()>& done, int timeoutMs = 3000);
    // A TCP port nobody listens on at the moment.
    static int32_t freePort();

    std::string expectedApiError(const char* step, int32_t code) const;

    // The documents folder of the private home.
    std::filesystem::path documents() const { return home.path() / "Documents"; }

    TempDir home;
    QByteArray savedHome = qgetenv("HOME");
    QByteArray savedConfigHome = qgetenv("XDG_CONFIG_HOME");
    std::vector<std::unique_ptr<hcsim::SimulatedHc>> hcs;
    CGantrixApp app{prompter};
};

}  // namespace vt5test
