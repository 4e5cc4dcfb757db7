#include "flashwell/app/flashwell_app.h"

#include "flashwell/app/flashwell_dlg.h"

int CFlashwellApp::Run() {
    CFlashwellDlg dialog(prompter);
    return dialog.exec();
}
