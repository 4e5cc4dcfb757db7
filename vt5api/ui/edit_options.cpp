#include "vt5api/ui/edit_options.h"

#include "vt5api/ui/conn_dlg.h"

int EditOptions(VT5ConnectionOptions& options, QWidget* parent) {
    CVT5ConnDlg dialog(options, parent);
    const int result = dialog.exec();
    if (result == QDialog::Accepted) options = dialog.options();
    return result;
}
