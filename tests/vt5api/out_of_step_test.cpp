// After an answer that was not read whole, the link throws away what the HC still sends
// before the next exchange, so that the next answer is the next command's.

#include <gtest/gtest.h>

#include "hcsim/hc/faults.h"
#include "tests/vt5api/hc_fixture.h"

namespace {

using hcsim::Fault;

class OutOfStep : public vt5test::HcFixture {
protected:
    void SetUp() override { ASSERT_EQ(open(), VT5_OK); }
};

TEST_F(OutOfStep, TheNextExchangeAfterABrokenAnswerGetsItsOwnAnswer) {
    struct Case {
        const char* name;
        Fault fault;
        int32_t first;
    };
    const Case cases[] = {
        {"bulk announced beyond the buffer",
         Fault::extraBulk(hcsim::testPattern(VT5_BULK_BUFFER_SIZE + 1)), VT5_E_INVALID_ANSWER},
        {"streamed bulk left unread",
         Fault::extraBulk(hcsim::testPattern(3000), hcsim::BulkDelivery::Streamed), VT5_OK},
        {"answer from another command", Fault::wrongAnswerId(), VT5_E_WRONG_ANSWER_ID},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        hc->inject(c.fault);
        EXPECT_EQ(hardwareIdExchange(), c.first);
        for (int i = 0; i < 3; ++i) {
            uint8_t id = 0;
            EXPECT_EQ(VT5cmd_GetHardwareID(&api, &id), VT5_OK);
            EXPECT_EQ(id, 3);
        }
        EXPECT_FALSE(api.link->OutOfStep());
        EXPECT_EQ(api.link->QueryReadBufLen(), 0);
    }
}

}  // namespace
