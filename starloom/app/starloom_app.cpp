#include "starloom/app/starloom_app.h"

#include <QCoreApplication>

#include "starloom/app/starloom_dlg.h"
#include "starloom/app/starloom_texts.h"
#include "vt5api/commands/display.h"

CStarloomw32App::CStarloomw32App(Prompter& prompter) : prompter_(prompter) {
    QCoreApplication::setOrganizationName(QString::fromLatin1(kRegistryKeyName));
}

int CStarloomw32App::Run() {
    CStarloomw32Dlg dialog(prompter_);
    dialog.setScreenshot(VT5cmd_DisplayToClipboard);
    return dialog.exec();
}
