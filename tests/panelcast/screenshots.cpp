// panelcast-screenshots: renders Panelcast mirroring a simulated HC offscreen into PNG files,
// for looking at the layout without a display. Usage: panelcast-screenshots OUTPUT_FOLDER

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>

#include "hcsim/hc/simulated_hc.h"
#include "panelcast/panelcast_app.h"
#include "panelcast/panelcast_dlg.h"
#include "platform/ftd2xx/driver.h"
#include "vt5api/ui/prompter.h"

namespace {

bool Save(QWidget& w, const QDir& folder, const char* name) {
    const QString path = folder.filePath(QString::fromLatin1(name));
    const bool ok = w.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

void Key(QWidget& target, int key) {
    for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent event(type, key, Qt::NoModifier);
        QApplication::sendEvent(&target, &event);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: panelcast-screenshots OUTPUT_FOLDER\n");
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
    config.serial = "VT5SIM01";
    hcsim::SimulatedHc hc(bus, config);

    QtPrompter prompter;
    CPanelcastApp app(prompter);
    CPanelcastDlg dialog(app);
    dialog.show();
    bool ok = Save(dialog, folder, "panelcast-disconnected.png");
    dialog.findChild<QPushButton*>(QStringLiteral("buttonConnect"))->click();
    dialog.updateDisplay();
    ok = Save(dialog, folder, "panelcast-menu.png") && ok;
    auto* target = dialog.findChild<QPushButton*>(QStringLiteral("buttonConnect"));
    Key(*target, Qt::Key_Down);
    Key(*target, Qt::Key_Down);
    Key(*target, Qt::Key_Return);
    dialog.updateDisplay();
    ok = Save(dialog, folder, "panelcast-colour.png") && ok;
    return ok ? 0 : 1;
}
