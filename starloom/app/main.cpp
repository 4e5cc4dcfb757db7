// Starloom: emulates the Veltra-5's guide camera from a modelled sky and mount.

#include <QApplication>

#include "platform/clipboard/qt_clipboard.h"
#include "starloom/app/starloom_app.h"
#include "vt5api/ui/prompter.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Starloom"));
    // Desktops match the window to its menu entry and icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("veltra5-starloom"));
    // "Take Screenshot of the HC" puts the display on the desktop's clipboard.
    platform::clipboard::QtClipboard clipboard;
    platform::clipboard::ScopedClipboard useClipboard(clipboard);
    QtPrompter prompter;
    CStarloomw32App starloom(prompter);
    return starloom.Run() >= 0 ? 0 : 1;
}
