// flashwell-screenshots: renders Flashwell's windows offscreen into PNG files, for looking at
// the layouts without a display. Usage: flashwell-screenshots OUTPUT_FOLDER

#include <QApplication>
#include <QDir>
#include <QProgressBar>

#include "flashwell/app/devinfo_dlg.h"
#include "flashwell/app/flashwell_dlg.h"
#include "flashwell/procedure/device_info.h"
#include "hcsim/hc/simulated_hc.h"
#include "platform/ftd2xx/driver.h"
#include "tests/support/screenshots.h"
#include "vt5api/ui/prompter.h"

using vt5test::SaveScreenshot;

int main(int argc, char** argv) {
    const auto output = vt5test::ScreenshotFolder(argc, argv, "flashwell-screenshots");
    if (!output) return 2;
    const QDir& folder = *output;
    QApplication application(argc, argv);

    platform::vbus::LocalBus bus;
    platform::ftd2xx::ScopedBackend attach(bus);
    hcsim::HcConfig config;
    config.serial = "HC000042";
    config.startMode = hcsim::HcMode::Boot;
    hcsim::SimulatedHc hc(bus, config);

    QtPrompter prompter;
    CFlashwellDlg dialog(prompter);
    bool ok = SaveScreenshot(dialog, folder, "flashwell.png");
    dialog.loadFirmware(QStringLiteral(VT5_FIRMWARE_DIR "/vt5_fw_1.10.bin"));
    ok &= SaveScreenshot(dialog, folder, "flashwell-loaded.png");
    auto* progress = dialog.findChild<QProgressBar*>(QStringLiteral("progressUpload"));
    progress->setValue(420);
    progress->setFormat(QStringLiteral("HC firmware %p%"));
    progress->setTextVisible(true);
    ok &= SaveScreenshot(dialog, folder, "flashwell-uploading.png");
    dialog.setDeviceInfoWindow([&](const std::string& text, QWidget* parent) {
        CDevinfoDlg window(text, parent);
        ok &= SaveScreenshot(window, folder, "devinfo.png");
    });
    dialog.updateFirmware();
    ok &= SaveScreenshot(dialog, folder, "flashwell-done.png");
    dialog.readDeviceInfo();
    return ok ? 0 : 1;
}
