// starloom-screenshots: renders Starloom's dialog offscreen into PNG files, idle and with a
// frame of the seed-2 sky, fitted to the view and at 3:1 about its guide star, for looking at
// the layout without a display.
// Usage: starloom-screenshots OUTPUT_FOLDER

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>

#include "platform/ftd2xx/driver.h"
#include "platform/ftd2xx/vbus/local_bus.h"
#include "starloom/app/frame_view_control.h"
#include "starloom/app/starloom_dlg.h"
#include "tests/starloom/event_hc.h"
#include "tests/support/bus_fixture.h"
#include "vt5api/ui/prompter.h"

namespace {

bool Save(QWidget& w, const QDir& folder, const char* name) {
    w.show();
    const QString path = folder.filePath(QString::fromLatin1(name));
    const bool ok = w.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: starloom-screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    QDir folder(QString::fromLocal8Bit(argv[1]));
    folder.mkpath(QStringLiteral("."));
    const std::string hive = folder.filePath(QStringLiteral("registry.reg")).toStdString();
    ::setenv("VT5_REGISTRY", hive.c_str(), 1);
    ::setenv("VT5_USB_BACKENDS", "none", 1);
    QApplication application(argc, argv);

    // An HC that asks for one exposure of 2 s at gain 6 and then for its frame.
    platform::vbus::LocalBus bus;
    platform::ftd2xx::ScopedBackend attached(bus);
    auto device = std::make_unique<vt5test::EventHc>();
    vt5test::EventHc& hc = *device;
    auto chip = bus.plug(vt5test::hcIdentity("SHOT0001"), std::move(device));
    hc.hcTime = 1000;
    hc.event(0x0A, 1000, 0x6000 | 2000);
    hc.event(0x0B, 3000);

    QtPrompter prompter;
    CStarloomw32Dlg dialog(prompter);
    bool ok = Save(dialog, folder, "starloom-idle.png");
    dialog.findChild<QPushButton*>(QStringLiteral("buttonStart"))->click();
    dialog.emulationStep();
    ok = Save(dialog, folder, "starloom-frame.png") && ok;
    // 1:1 about the guide star, then two notches in: 3 screen pixels a sensor pixel.
    dialog.findChild<QPushButton*>(QStringLiteral("buttonZoomActual"))->click();
    dialog.view().ZoomAt(dialog.view().rect().center(), 2);
    ok = Save(dialog, folder, "starloom-frame-zoom3.png") && ok;
    dialog.findChild<QPushButton*>(QStringLiteral("buttonStart"))->click();
    return ok ? 0 : 1;
}
