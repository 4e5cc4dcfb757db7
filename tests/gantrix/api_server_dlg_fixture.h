#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

#include "gantrix/app/api_server_dlg.h"
#include "tests/gantrix/gantrix_fixture.h"

namespace vt5test {

class ApiServerDlgTest : public GantrixTest {
protected:
    static QPushButton* startStop(const CAPIServerDlg& dlg) {
        return child<QPushButton>(dlg, "buttonStartStop");
    }
    static QLineEdit* port(const CAPIServerDlg& dlg) { return child<QLineEdit>(dlg, "editPort"); }
    static QString state(const CAPIServerDlg& dlg) {
        return child<QLabel>(dlg, "labelState")->text();
    }
    static std::string device(const CAPIServerDlg& dlg) {
        return child<QLabel>(dlg, "labelDevice")->text().toStdString();
    }
    // The client list's rows, three columns each.
    static std::vector<std::vector<std::string>> rows(const CAPIServerDlg& dlg);

    // Ticks every 50 ms of real time until done (checked after each tick); false when it
    // did not happen within maxTicks.
    static bool tickUntil(CAPIServerDlg& dlg, const std::function<bool()>& done,
                          int maxTicks = 400);
    // Types the port and presses "Start Server" as a user would, after the first tick.
    static void startOn(CAPIServerDlg& dlg, int32_t port);
    // The direct access ID of the server's connection options.
    static void saveServedId(const std::string& id);
};

}  // namespace vt5test
