// Gantrix's server thread outlives its HC: unplugged and plugged in again, it serves the next
// client with the HC opened anew, and its status record follows the HC.

#include <chrono>
#include <thread>

#include "tests/server/thread_fixture.h"
#include "vt5api/commands/identity.h"

namespace vt5test {
namespace {

class ThreadHcLoss : public ThreadFixture {};

bool eventually(const std::function<bool()>& ready) {
    for (int i = 0; i < 500 && !ready(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return ready();
}

TEST_F(ThreadHcLoss, ServedHcUnpluggedAndPluggedInAgain) {
    for (const char* served : {"", "HC000001"}) {
        SCOPED_TRACE(served[0] ? "served serial given" : "any HC");
        hcsim::HcConfig config;
        config.serial = "HC000001";
        plugHc(config);
        startServer(served);
        uint8_t hardware = 0;
        {
            CVT5Api first;
            ASSERT_EQ(openClient(first, "First"), VT5_OK);
            ASSERT_EQ(VT5cmd_GetHardwareID(&first, &hardware), VT5_OK);
            ASSERT_TRUE(eventually([this] { return status().deviceOpen; }));

            hc_.reset();  // unplugged under the open handle
            // Absent: the client's command fails with an answer, not a lost server.
            EXPECT_NE(VT5cmd_GetHardwareID(&first, &hardware), VT5_OK);
            CVT5Api meanwhile;
            EXPECT_NE(openClient(meanwhile, "Meanwhile"), VT5_OK);
            EXPECT_TRUE(eventually([this] { return !status().deviceOpen; }));
        }
        plugHc(config);
        CVT5Api second;
        EXPECT_EQ(openClient(second, "Second"), VT5_OK);
        EXPECT_EQ(VT5cmd_GetHardwareID(&second, &hardware), VT5_OK);
        EXPECT_TRUE(eventually([this] { return status().deviceOpen; }));
        EXPECT_TRUE(server_.IsServerRunning());
        EXPECT_EQ(status().state, ServerStatus::kActive);
        EXPECT_TRUE(logged({"the HC is gone"}));
        VT5_Close(&second);
        tap_.reset();
        stopServer();
        hc_.reset();
    }
}

}  // namespace
}  // namespace vt5test
