// Flashwell: the firmware updater of the Veltra-5 suite.

#include <QApplication>

#include "flashwell/app/flashwell_app.h"
#include "vt5api/ui/prompter.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Flashwell"));
    // Desktops match the window to its menu entry and icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("veltra5-flashwell"));
    QApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    QtPrompter prompter;
    CFlashwellApp flashwell(prompter);
    flashwell.Run();
    return 0;
}
