#include "tests/gantrix/api_server_dlg_fixture.h"

#include <thread>

#include "vt5api/options/connection_options.h"

namespace vt5test {

std::vector<std::vector<std::string>> ApiServerDlgTest::rows(const CAPIServerDlg& dlg) {
    std::vector<std::vector<std::string>> result;
    auto* list = child<QTreeWidget>(dlg, "listClients");
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        std::vector<std::string> row;
        for (int column = 0; column < 3; ++column)
            row.push_back(list->topLevelItem(i)->text(column).toStdString());
        result.push_back(row);
    }
    return result;
}

bool ApiServerDlgTest::tickUntil(CAPIServerDlg& dlg, const std::function<bool()>& done,
                                 int maxTicks) {
    for (int i = 0; i < maxTicks; ++i) {
        dlg.tick();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

void ApiServerDlgTest::startOn(CAPIServerDlg& dlg, int32_t portNumber) {
    dlg.tick();
    port(dlg)->setText(QString::number(portNumber));
    startStop(dlg)->click();
}

void ApiServerDlgTest::saveServedId(const std::string& id) {
    VT5ConnectionOptions options;
    options.programKey = VT5_KEY_GANTRIX_SERVER;
    options.serverOptionAllowed = 0;
    options.directAccessId = id;
    SaveOptions(options);
}

}  // namespace vt5test
