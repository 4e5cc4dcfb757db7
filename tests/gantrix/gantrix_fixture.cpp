#include "tests/gantrix/gantrix_fixture.h"

#include <cstdio>
#include <cstring>
#include <thread>

#include "gantrix/app/gantrix_texts.h"
#include "tests/support/free_port.h"
#include "vt5api/api/vt5_errors.h"
#include "vt5api/ui/ui_text.h"

namespace vt5test {

GantrixTest::GantrixTest() {
    qputenv("HOME", QByteArray::fromStdString(home.path().string()));
    // Without a user-dirs.dirs there, the documents folder is ~/Documents.
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((home.path() / ".config").string()));
}

GantrixTest::~GantrixTest() {
    app.server.StopServerThread();
    VT5_Close(&app.toolApi);
    qputenv("HOME", savedHome);
    if (savedConfigHome.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", savedConfigHome);
}

hcsim::SimulatedHc& GantrixTest::plugHc(const std::string& serial, hcsim::HcMode mode) {
    hcsim::HcConfig config;
    config.serial = serial;
    config.startMode = mode;
    hcs.push_back(std::make_unique<hcsim::SimulatedHc>(bus.bus(), config));
    return *hcs.back();
}

bool GantrixTest::startServer(int32_t port, const std::string& servedSerial) {
    app.server.WithStatus([&](ServerStatus& s) {
        s.configuredPort = port;
        std::snprintf(s.servedSerial, sizeof s.servedSerial, "%s", servedSerial.c_str());
        s.openPending = !servedSerial.empty();
    });
    app.server.StartServerThread();
    return waitUntil([&] {
               return app.server.WithStatus(
                   [](ServerStatus& s) { return s.state != ServerStatus::kStarting; });
           }) &&
           app.server.WithStatus([](ServerStatus& s) { return s.state == ServerStatus::kActive; });
}

bool GantrixTest::waitUntil(const std::function<bool()>& done, int timeoutMs) {
    for (int waited = 0; !done(); waited += 10) {
        if (waited >= timeoutMs) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

int32_t GantrixTest::freePort() {
    return FreeTcpPort();
}

std::string GantrixTest::expectedApiError(const char* step, int32_t code) const {
    char text[1024];
    std::snprintf(text, sizeof text, kApiErrorFormat, step, code, VT5_GetErrorText(code));
    return UiText(text).toStdString();
}

}  // namespace vt5test
