// Gantrix: the control program of the Veltra-5 suite.

#include <QApplication>

#include "gantrix/app/gantrix_app.h"
#include "vt5api/ui/prompter.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Gantrix"));
    // Desktops match the window to its menu entry and icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("veltra5-gantrix"));
    QApplication::setOrganizationName(QStringLiteral("NORVANE"));
    QtPrompter prompter;
    CGantrixApp gantrix(prompter);
    gantrix.Run();
    return 0;
}
