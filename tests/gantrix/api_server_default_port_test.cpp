// The API server dialog with an empty port edit: the server listens on the default port 5937,
// which no other test may hold meanwhile (this test runs alone).

#include <gtest/gtest.h>

#include "tests/gantrix/api_server_dlg_fixture.h"
#include "vt5api/options/connection_target.h"

namespace {

using vt5test::ApiServerDlgTest;

TEST_F(ApiServerDlgTest, EmptyPortStartsOn5937AndIsEmptiedAfterStopping) {
    plugHc("HC000042");
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

    // Connection options saved with an empty port reach this server.
    VT5ConnectionOptions options;
    options.connectToServer = 1;
    options.serverAddress = "127.0.0.1";
    ASSERT_EQ(options.serverPort, 0);
    VT5ConnectionTarget target = TargetFromOptions(options);
    CVT5Api client;
    EXPECT_EQ(VT5_Open(&client, target.Serial(), target.Host(), target.port, "Starloom"), VT5_OK);
    VT5_Close(&client);

    startStop(dlg)->click();
    EXPECT_EQ(port(dlg)->text(), "");
    dlg.tick();
    EXPECT_EQ(state(dlg), "OFF");
    EXPECT_EQ(app.server.WithStatus([](ServerStatus& s) { return s.configuredPort; }), 0);
}

}  // namespace
