#include "gantrix/app/gantrix_app.h"

#include "gantrix/app/gantrix_dlg.h"
#include "gantrix/app/gantrix_texts.h"
#include "gantrix/app/my_folder.h"
#include "gantrix/server/network_settings.h"
#include "vt5api/ui/prompter.h"

CGantrixApp::CGantrixApp(Prompter& prompterRef) : prompter(prompterRef) {
    platform::registry::createKey(kGantrixSettingsKey, settingsKey);
    server.SetErrorReport([this](const std::string& text) {
        prompter.message(nullptr, kCaptionError, text, QMessageBox::Critical);
    });
    // Where the server listens and whom it serves: read at each start, so that a change to
    // the settings applies to the next one.
    server.SetNetworkSettingsLoader(LoadServerNetworkSettings);
}

int CGantrixApp::Run() {
    CGantrixDlg dialog(*this);
    return dialog.exec();
}
