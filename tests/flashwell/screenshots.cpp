// flashwell-screenshots: renders Flashwell's windows offscreen into PNG files, for looking at
// the layouts without a display. Usage: flashwell-screenshots OUTPUT_FOLDER

#include <QApplication>
#include <QDir>
#include <QProgressBar>
#include <cstdio>
#include <cstdlib>

#include "flashwell/app/devinfo_dlg.h"
#include "flashwell/app/flashwell_dlg.h"
#include "flashwell/procedure/device_info.h"
#include "hcsim/hc/simulated_hc.h"
#include "platform/ftd2xx/driver.h"
#include "vt5api/ui/prompter.h"

namespace {

bool Save(QWidget& w, const QDir& folder, const char* name) {
    w.show();
    w.adjustSize();
    const QString path = folder.filePath(QString::fromLatin1(name));
    const bool ok = w.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: flashwell-screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    QDir folder(QString::fromLocal8Bit(argv[1]));
    folder.mkpath(QStringLiteral("."));
    const std::string hive = folder.filePath(QStringLiteral("registry.reg")).toStdString();
    ::setenv("VT5_REGISTRY", hive.c_str(), 1);
    ::setenv("VT5_USB_BACKENDS", "none", 1);
    QApplication application(argc, argv);

    platform::vbus::LocalBus bus;
    platform::ftd2xx::ScopedBackend attach(bus);
    hcsim::HcConfig config;
    config.serial = "HC000042";
    config.startMode = hcsim::HcMode::Boot;
    hcsim::SimulatedHc hc(bus, config);

    QtPrompter prompter;
    CFlashwellDlg dialog(prompter);
    bool ok = Save(dialog, folder, "flashwell.png");
    dialog.loadFirmware(QStringLiteral(VT5_FIRMWARE_DIR "/vt5_fw_1.10.bin"));
    ok &= Save(dialog, folder, "flashwell-loaded.png");
    auto* progress = dialog.findChild<QProgressBar*>(QStringLiteral("progressUpload"));
    progress->setValue(420);
    progress->setFormat(QStringLiteral("HC firmware %p%"));
    progress->setTextVisible(true);
    ok &= Save(dialog, folder, "flashwell-uploading.png");
    dialog.setDeviceInfoWindow([&](const std::string& text, QWidget* parent) {
        CDevinfoDlg window(text, parent);
        ok &= Save(window, folder, "devinfo.png");
    });
    dialog.updateFirmware();
    ok &= Save(dialog, folder, "flashwell-done.png");
    dialog.readDeviceInfo();
    return ok ? 0 : 1;
}
