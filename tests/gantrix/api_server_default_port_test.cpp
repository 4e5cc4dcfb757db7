// The API server dialog with an empty port edit: the server listens on the default port 5937,
// which no other test may hold meanwhile (this test runs alone).

#include <gtest/gtest.h>

#include "tests/gantrix/api_server_dlg_fixture.h"

namespace {

using vt5test::ApiServerDlgTest;

TEST_F(ApiServerDlgTest, EmptyPortStartsOn5937AndIsEmptiedAfterStopping) {
    CAPIServerDlg dlg(app);
    dlg.tick();
    startStop(dlg)->click();
    EXPECT_EQ(port(dlg)->text(), "5937");
    ASSERT_TRUE(tickUntil(dlg, [&] { return state(dlg) == "Active"; })) << state(dlg).toStdString();
    EXPECT_EQ(app.server.WithStatus([](ServerStatus& s) { return s.portInUse; }), 5937);

    {
        CAPIServerDlg reopened(app);
        EXPECT_EQ(port(reopened)->text(), "5937");
    }

    startStop(dlg)->click();
    EXPECT_EQ(port(dlg)->text(), "");
    dlg.tick();
    EXPECT_EQ(state(dlg), "OFF");
    EXPECT_EQ(app.server.WithStatus([](ServerStatus& s) { return s.configuredPort; }), 0);
}

}  // namespace
