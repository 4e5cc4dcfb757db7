#include "panelcast/panelcast_app.h"

#include "panelcast/panelcast_dlg.h"

int CPanelcastApp::Run() {
    CPanelcastDlg dialog(*this);
    return dialog.exec();
}
