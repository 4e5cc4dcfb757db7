// Panelcast: the Veltra-5's display and buttons on the PC.

#include <QApplication>

#include "panelcast/panelcast_app.h"
#include "platform/clipboard/qt_clipboard.h"
#include "vt5api/ui/prompter.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Panelcast"));
    // Desktops match the window to its menu entry and icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("veltra5-panelcast"));
    QApplication::setOrganizationName(QStringLiteral("NORVANE"));
    platform::clipboard::QtClipboard clipboard;
    platform::clipboard::ScopedClipboard useClipboard(clipboard);
    QtPrompter prompter;
    CPanelcastApp panelcast(prompter);
    panelcast.Run();
    return 0;
}
