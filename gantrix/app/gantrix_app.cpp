#include "gantrix/app/gantrix_app.h"

#include "gantrix/app/gantrix_dlg.h"
#include "gantrix/app/gantrix_texts.h"
#include "gantrix/app/my_folder.h"
#include "vt5api/ui/prompter.h"

CGantrixApp::CGantrixApp(Prompter& prompterRef) : prompter(prompterRef) {
    platform::registry::createKey(kGantrixSettingsKey, settingsKey);
    server.SetErrorReport([this](const std::string& text) {
        prompter.message(nullptr, kCaptionError, text, QMessageBox::Critical);
    });
}

int CGantrixApp::Run() {
    CGantrixDlg dialog(*this);
    return dialog.exec();
}
