// Starloom: emulates the Veltra-5's guide camera from a modelled sky and mount.

#include <QApplication>

#include "starloom/app/starloom_app.h"
#include "vt5api/ui/prompter.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Starloom"));
    QtPrompter prompter;
    CStarloomw32App starloom(prompter);
    return starloom.Run() >= 0 ? 0 : 1;
}
