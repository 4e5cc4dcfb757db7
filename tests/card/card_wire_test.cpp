// The simulated card's answers byte for byte, through the FT_* operations: what the PC side
// is checked against must itself follow the protocol's tables.

#include <string>

#include "tests/card/card_files.h"
#include "tests/hcsim/hc_fixture.h"
#include "tests/support/bus_fixture.h"

namespace hcsim::test {
namespace {

class CardWire : public HcFixture {
protected:
    void SetUp() override {
        vt5test::writeHostFile(dir.path() / "vt5_log_0307.txt", "guide star lost\n",
                               vt5test::utc(2024, 3, 7, 23, 59, 58));
        vt5test::setModified(dir.path(), vt5test::utc(2024, 3, 8, 1, 2, 4));
        HcConfig config;
        config.cardDir = dir.path();
        plug(config);
    }

    // Command 0x5F, counter 7, with bulk data when given.
    Bytes fs(Bytes params, const std::string& bulk = {}) {
        Bytes message{0x5F, 0x07};
        if (!bulk.empty()) {
            auto n = static_cast<uint32_t>(bulk.size());
            message.insert(message.end(), {0xFC, uint8_t(n), uint8_t(n >> 8), 0, 0});
        }
        message.insert(message.end(), params.begin(), params.end());
        message.push_back(0xFF);
        message.insert(message.end(), bulk.begin(), bulk.end());
        return send(message);
    }

    vt5test::TempDir dir;
};

TEST_F(CardWire, EntriesStatusesAndBulkDataAsTheTablesSay) {
    EXPECT_EQ(fs({0xBD}), (Bytes{0x5F, 0x07, 0x00, 19, 0x00, 0xBD, 4, 0,    0,    0,
                                 0,    0xFC, 4,    1,  0,    0,    0, 0xFD, 0x00, '/'}));
    EXPECT_EQ(fs({0xD2}, "/"), (Bytes{0x5F, 0x07, 0x00, 11, 0x00, 0xD2, 4, 0, 0, 0, 0}));
    // The volume label: size 0, time, date, attributes 0x08, 12 name characters.
    const uint16_t time = (1 << 11) | (2 << 5) | 2, date = (44 << 9) | (3 << 5) | 8;
    Bytes label{0x5F, 0x07, 0x00, 32, 0x00, 0xDC, 25, 0, 0, 0, 0, 0, 0, 0, 0};
    label.insert(label.end(), {uint8_t(time), uint8_t(time >> 8), uint8_t(date), uint8_t(date >> 8),
                               0x08, 'V', 'E', 'L', 'T', 'R', 'A', '5', 0, 0, 0, 0, 0});
    EXPECT_EQ(fs({0xDC, 0x01}), label);
    // A file with a long name: the entry, then the long name as bulk data.
    const uint16_t fileTime = (23 << 11) | (59 << 5) | 29, fileDate = (44 << 9) | (3 << 5) | 7;
    Bytes entry{0x5F,
                0x07,
                0x00,
                40,
                0x00,
                0xDC,
                25,
                0,
                0,
                0,
                0,
                16,
                0,
                0,
                0,
                uint8_t(fileTime),
                uint8_t(fileTime >> 8),
                uint8_t(fileDate),
                uint8_t(fileDate >> 8),
                0x20};
    for (char c : std::string("VT5_LO~1.TXT"))
        entry.push_back(static_cast<uint8_t>(c));
    entry.insert(entry.end(), {0xFC, 4, 16, 0, 0, 0, 0xFD, 0x00});
    for (char c : std::string("vt5_log_0307.txt"))
        entry.push_back(static_cast<uint8_t>(c));
    EXPECT_EQ(fs({0xDC, 0x01}), entry);
    EXPECT_EQ(fs({0xDC, 0x01}), (Bytes{0x5F, 0x07, 0x00, 11, 0x00, 0xDC, 4, 0, 0, 0, 0}));

    EXPECT_EQ(fs({0x30, 0x01}, "VT5_LO~1.TXT"),
              (Bytes{0x5F, 0x07, 0x00, 11, 0x00, 0x30, 4, 0, 0, 0, 0}));
    Bytes piece{0x5F, 0x07, 0x00, 19, 0x00, 0x33, 4, 0, 0, 0, 0, 0xFC, 4, 5, 0, 0, 0, 0xFD, 0};
    for (char c : std::string("guide"))
        piece.push_back(static_cast<uint8_t>(c));
    EXPECT_EQ(fs({0x33, 5, 0}), piece);
    Bytes rest = fs({0x33, 0x00, 0x10});  // 4096: what is left, 11 bytes
    ASSERT_EQ(rest.size(), 19u + 11);
    EXPECT_EQ(std::string(rest.begin() + 19, rest.end()), " star lost\n");
    EXPECT_EQ(fs({0x33, 0x00, 0x10}), (Bytes{0x5F, 0x07, 0x00, 11, 0x00, 0x33, 4, 0, 0, 0, 0}));
    EXPECT_EQ(fs({0x3C}), (Bytes{0x5F, 0x07, 0x00, 11, 0x00, 0x3C, 4, 0, 0, 0, 0}));

    // A delete without the confirmation code is refused with the HC's status 20.
    EXPECT_EQ(fs({0xC1, 0xF3, 0xA1, 0x27, 0x5E}, "vt5_log_0307.txt"),
              (Bytes{0x5F, 0x07, 0x00, 11, 0x00, 0xC1, 4, 20, 0, 0, 0}));
    EXPECT_EQ(fs({0xC1, 0xF3, 0xA1, 0x27, 0x5D}, "vt5_log_0307.txt"),
              (Bytes{0x5F, 0x07, 0x00, 11, 0x00, 0xC1, 4, 0, 0, 0, 0}));
    // A piece of more than 4096 bytes is refused by the message parser (type 20).
    EXPECT_EQ(fs({0x36}, std::string(4097, 'x')), (Bytes{0x5F, 0x07, 20, 0x05, 0x00}));
}

TEST_F(CardWire, CardVerbsAndFaultsOfVt5HcsimControl) {
    EXPECT_EQ(hc_->control("card").rfind("ok card=inserted folder=", 0), 0u);
    EXPECT_EQ(hc_->control("card pull"), "ok");
    EXPECT_EQ(fs({0xBD}), (Bytes{0x5F, 0x07, 0x00, 11, 0x00, 0xBD, 4, 3, 0, 0, 0}));
    EXPECT_EQ(hc_->control("card insert"), "ok");
    EXPECT_EQ(hc_->control("fault card-full 10"), "ok");
    EXPECT_EQ(hc_->control("fault card-pulled"), "ok");
    EXPECT_EQ(fs({0xBD}), (Bytes{0x5F, 0x07, 0x00, 11, 0x00, 0xBD, 4, 3, 0, 0, 0}));
    EXPECT_EQ(hc_->control("card insert"), "ok");
    EXPECT_EQ(hc_->control("fault card-pulled x").rfind("error:", 0), 0u);
    EXPECT_EQ(hc_->control("card wiggle").rfind("error:", 0), 0u);
    EXPECT_NE(hc_->control("help").find("fault card-full"), std::string::npos);
    EXPECT_EQ(hc_->control("fault clear"), "ok");
}

}  // namespace
}  // namespace hcsim::test
