// The VT5cmd_FS_* functions against the simulated card, directly and through Gantrix's API
// server, and against a scripted HC for the answers no healthy HC gives.

#include "vt5api/commands/file_system.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "hcsim/hc/faults.h"
#include "tests/card/card_files.h"
#include "tests/card/card_fixture.h"
#include "tests/vt5api/scripted_hc.h"
#include "vt5api/commands/identity.h"

namespace {

namespace fs = std::filesystem;
using hcsim::Fault;
using vt5test::utc;
using vt5test::writeHostFile;

std::string pattern(size_t size) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return s;
}

struct CardFolder {
    CardFolder() {
        writeHostFile(dir.path() / "README.TXT", "read me", utc(2023, 12, 24, 18, 30, 6));
        writeHostFile(dir.path() / "LOGS/vt5_log_0307.txt", pattern(10000),
                      utc(2024, 3, 7, 23, 59, 58));
        writeHostFile(dir.path() / "LOGS/short.txt", pattern(5000), utc(2024, 3, 8, 1, 0, 0));
    }
    vt5test::TempDir dir;
};

class FileSystem : protected CardFolder, public vt5test::CardFixture {
protected:
    void SetUp() override {
        plug(dir.path());
        ASSERT_EQ(open(api), VT5_OK);
    }

    // The file system commands the HC received since the last call, as (parameter, bulk).
    std::vector<hcsim::Message> fsCommands() {
        std::vector<hcsim::Message> out;
        for (const hcsim::Message& m : hc->received())
            if (m.code == 0x5F) out.push_back(m);
        hc->clearReceived();
        return out;
    }

    // A 1024-byte long name, as the SD card browser asks for it.
    struct Entry {
        VT5DirEntry record{};
        char longName[1024] = {};
        Entry() {
            std::memset(&record, 0x5A, sizeof record);
            record.structSize = sizeof(VT5DirEntry);
            record.longNameCapacity = sizeof longName;
            record.longName = longName;
        }
    };
};

TEST_P(FileSystem, ListingFolderByFolderEndsWithAnEmptyEntry) {
    char path[64] = {};
    int32_t status = -1;
    ASSERT_EQ(VT5cmd_FS_GetCurrentDir(&api, path, sizeof path, &status), VT5_OK);
    EXPECT_STREQ(path, "/");
    EXPECT_EQ(status, 0);
    ASSERT_EQ(VT5cmd_FS_ChangeDir(&api, "logs", &status), VT5_OK);
    ASSERT_EQ(VT5cmd_FS_GetCurrentDir(&api, path, sizeof path, nullptr), VT5_OK);
    EXPECT_STREQ(path, "/LOGS");
    ASSERT_EQ(VT5cmd_FS_OpenDir(&api, ".", &status), VT5_OK);

    std::vector<std::string> rows;
    Entry e;
    for (;;) {
        ASSERT_EQ(VT5cmd_FS_ReadDir(&api, &e.record, &status), VT5_OK);
        if (!e.record.shortName[0]) break;
        rows.push_back(std::string(e.record.shortName) + " " + e.longName + " " +
                       std::to_string(e.record.size) + " " + std::to_string(e.record.attributes));
        if (std::string(e.longName) == "vt5_log_0307.txt") {
            EXPECT_EQ(e.record.date, (44 << 9) | (3 << 5) | 7);
            EXPECT_EQ(e.record.time, (23 << 11) | (59 << 5) | 29);
        }
    }
    EXPECT_EQ(rows, (std::vector<std::string>{". . 0 16", ".. .. 0 16",
                                              "VT5_LO~1.TXT vt5_log_0307.txt 10000 32",
                                              "SHORT.TXT short.txt 5000 32"}));
    EXPECT_EQ(e.record.size, 0);
    EXPECT_EQ(e.record.date, 0);
    EXPECT_EQ(e.record.time, 0);
    EXPECT_EQ(e.record.attributes, 0);
    EXPECT_STREQ(e.longName, "");
}

TEST_P(FileSystem, LongNamesFromBulkDataOrElseTheShortName) {
    ASSERT_EQ(VT5cmd_FS_OpenDir(&api, "/", nullptr), VT5_OK);
    Entry label, readme, logs;
    for (Entry* e : {&label, &readme, &logs}) {
        e->record.longNameCapacity = 8;
        ASSERT_EQ(VT5cmd_FS_ReadDir(&api, &e->record, nullptr), VT5_OK);
    }
    EXPECT_STREQ(label.longName, "VELTRA5");
    EXPECT_EQ(label.record.attributes, 0x08);
    // README.TXT has no long name of its own: the short name's first 7 characters stand in.
    EXPECT_STREQ(readme.record.shortName, "README.TXT");
    EXPECT_STREQ(readme.longName, "README.");
    EXPECT_STREQ(logs.longName, "LOGS");

    ASSERT_EQ(VT5cmd_FS_OpenDir(&api, "/LOGS", nullptr), VT5_OK);
    Entry dot, dotdot, log, none;
    for (Entry* e : {&dot, &dotdot, &log}) {
        e->record.longNameCapacity = 8;
        ASSERT_EQ(VT5cmd_FS_ReadDir(&api, &e->record, nullptr), VT5_OK);
    }
    EXPECT_STREQ(log.longName, "vt5_log");  // 7 characters of the long name
    none.record.longNameCapacity = 0;
    none.longName[0] = 'x';
    ASSERT_EQ(VT5cmd_FS_ReadDir(&api, &none.record, nullptr), VT5_OK);
    EXPECT_EQ(none.longName[0], 'x');
    EXPECT_STREQ(none.record.shortName, "SHORT.TXT");
}

TEST_P(FileSystem, ReadingAsksForPiecesOf4096AndStopsAtTheEnd) {
    struct Case {
        const char* file;
        int32_t length;
        std::vector<uint32_t> asked;
        int32_t read;
    };
    for (const Case& c :
         {Case{"/LOGS/vt5_log_0307.txt", 10000, {4096, 4096, 1808}, 10000},
          // The HC sends fewer at the end, the rest is asked for again,
          // and a piece without bulk data ends the call.
          Case{"/LOGS/short.txt", 6000, {4096, 1904, 1000}, 5000}, Case{"/README.TXT", 0, {}, 0}}) {
        ASSERT_EQ(VT5cmd_FS_Open(&api, c.file, VT5_FS_OPEN_READ, nullptr), VT5_OK);
        fsCommands();
        std::vector<char> buffer(static_cast<size_t>(c.length) + 16, '#');
        int32_t got = -1;
        ASSERT_EQ(VT5cmd_FS_Read(&api, buffer.data(), c.length, &got, nullptr), VT5_OK);
        EXPECT_EQ(got, c.read) << c.file;
        std::vector<uint32_t> asked;
        for (const hcsim::Message& m : fsCommands())
            asked.push_back(m.params[0].value[0] | m.params[0].value[1] << 8);
        EXPECT_EQ(asked, c.asked) << c.file;
        std::string expected =
            c.read ? vt5test::readHostFile(dir.path() / std::string(c.file).substr(1)) : "";
        EXPECT_EQ(std::string(buffer.data(), static_cast<size_t>(got)), expected);
        EXPECT_EQ(std::string(buffer.data() + c.length, 16), std::string(16, '#'));
        ASSERT_EQ(VT5cmd_FS_Close(&api, nullptr), VT5_OK);
    }
}

TEST_P(FileSystem, WritingSendsPiecesFromTheirOffsets) {
    std::string data = pattern(5000);
    ASSERT_EQ(VT5cmd_FS_Open(&api, "/LOGS/Uploaded Notes.txt", VT5_FS_OPEN_WRITE_NEW, nullptr),
              VT5_OK);
    fsCommands();
    int32_t written = -1;
    ASSERT_EQ(VT5cmd_FS_Write(&api, data.data(), 5000, &written, nullptr), VT5_OK);
    EXPECT_EQ(written, 5000);
    auto sent = fsCommands();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(std::string(sent[0].bulk.begin(), sent[0].bulk.end()), data.substr(0, 4096));
    EXPECT_EQ(std::string(sent[1].bulk.begin(), sent[1].bulk.end()), data.substr(4096));
    EXPECT_FALSE(fs::exists(dir.path() / "LOGS/Uploaded Notes.txt"));
    ASSERT_EQ(VT5cmd_FS_Write(&api, data.data(), 0, &written, nullptr), VT5_OK);
    EXPECT_EQ(written, 0);
    EXPECT_TRUE(fsCommands().empty());
    ASSERT_EQ(VT5cmd_FS_Close(&api, nullptr), VT5_OK);
    EXPECT_EQ(vt5test::readHostFile(dir.path() / "LOGS/Uploaded Notes.txt"), data);
}

TEST_P(FileSystem, PathsAreCutTo511Characters) {
    std::string path(600, 'p');
    int32_t status = 0;
    EXPECT_EQ(VT5cmd_FS_ChangeDir(&api, path.c_str(), &status), VT5_E_FS_REFUSED);
    EXPECT_EQ(status, 5);  // no such folder
    auto sent = fsCommands();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].bulk.size(), 511u);
    EXPECT_EQ(*sent[0].bulkSize, 511u);
}

TEST_P(FileSystem, CurrentDirBufferTooSmallIsLeftAloneOrCut) {
    ASSERT_EQ(VT5cmd_FS_ChangeDir(&api, "LOGS", nullptr), VT5_OK);
    char buffer[8] = "abcdefg";
    ASSERT_EQ(VT5cmd_FS_GetCurrentDir(&api, buffer, 1, nullptr), VT5_OK);
    EXPECT_STREQ(buffer, "abcdefg");
    ASSERT_EQ(VT5cmd_FS_GetCurrentDir(&api, buffer, 4, nullptr), VT5_OK);
    EXPECT_STREQ(buffer, "/LO");
    EXPECT_EQ(buffer[4], 'e');
    ASSERT_EQ(VT5cmd_FS_GetCurrentDir(&api, nullptr, 100, nullptr), VT5_OK);
}

TEST_P(FileSystem, BadArgumentsFailBeforeAnythingIsSent) {
    Entry e;
    int32_t got = 7;
    char byte = 0;
    e.record.structSize = sizeof(VT5DirEntry) - 1;
    EXPECT_EQ(VT5cmd_FS_ChangeDir(&api, nullptr, nullptr), VT5_E_BAD_ARGUMENT);
    EXPECT_EQ(VT5cmd_FS_OpenDir(&api, nullptr, nullptr), VT5_E_BAD_ARGUMENT);
    EXPECT_EQ(VT5cmd_FS_Delete(&api, nullptr, nullptr), VT5_E_BAD_ARGUMENT);
    EXPECT_EQ(VT5cmd_FS_Open(&api, nullptr, 1, nullptr), VT5_E_BAD_ARGUMENT);
    EXPECT_EQ(VT5cmd_FS_ReadDir(&api, nullptr, nullptr), VT5_E_BAD_ARGUMENT);
    EXPECT_EQ(VT5cmd_FS_ReadDir(&api, &e.record, nullptr), VT5_E_BAD_ARGUMENT);
    EXPECT_EQ(VT5cmd_FS_Read(&api, &byte, -1, &got, nullptr), VT5_E_BAD_ARGUMENT);
    EXPECT_EQ(got, 0);
    EXPECT_EQ(VT5cmd_FS_Write(&api, nullptr, 1, nullptr, nullptr), VT5_E_BAD_ARGUMENT);
    EXPECT_EQ(VT5cmd_FS_Write(&api, &byte, -1, nullptr, nullptr), VT5_E_BAD_ARGUMENT);
    EXPECT_EQ(VT5cmd_FS_GetCurrentDir(nullptr, nullptr, 0, nullptr), VT5_E_NO_LINK);
    EXPECT_TRUE(fsCommands().empty());
}

TEST_P(FileSystem, RefusalsComeAs66WithTheHcsStatus) {
    struct Case {
        const char* name;
        std::function<int32_t(int32_t*)> call;
        int32_t status;
    };
    const Case cases[] = {
        {"missing file", [&](int32_t* s) { return VT5cmd_FS_Open(&api, "nope.txt", 1, s); }, 4},
        {"unknown mode", [&](int32_t* s) { return VT5cmd_FS_Open(&api, "README.TXT", 3, s); }, 19},
        {"read without open",
         [&](int32_t* s) { return VT5cmd_FS_Read(&api, nullptr, 10, nullptr, s); }, 9},
        {"close without open", [&](int32_t* s) { return VT5cmd_FS_Close(&api, s); }, 9},
        {"listing not open",
         [&](int32_t* s) {
             Entry e;
             return VT5cmd_FS_ReadDir(&api, &e.record, s);
         },
         9},
        {"folder not empty", [&](int32_t* s) { return VT5cmd_FS_Delete(&api, "LOGS", s); }, 7},
    };
    for (const Case& c : cases) {
        int32_t status = 0;
        EXPECT_EQ(c.call(&status), VT5_E_FS_REFUSED) << c.name;
        EXPECT_EQ(status, c.status) << c.name;
        EXPECT_EQ(c.call(nullptr), VT5_E_FS_REFUSED) << c.name;  // the status is optional
    }
    int32_t status = -1;
    ASSERT_EQ(VT5cmd_FS_Delete(&api, "/LOGS/short.txt", &status), VT5_OK);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(fs::exists(dir.path() / "LOGS/short.txt"));
    // The confirmation code travels with every delete.
    auto sent = fsCommands();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back().params[0].value, (hcsim::Bytes{0xF3, 0xA1, 0x27, 0x5D}));
}

TEST_P(FileSystem, TheReadTimeOutIs3000MsForTheExchangeAndThenAsBefore) {
    // The HC's chip sees the time-outs set, directly or by the server on the client's behalf.
    bus.recorder().clear();
    ASSERT_EQ(VT5cmd_FS_ChangeDir(&api, "/", nullptr), VT5_OK);
    ASSERT_EQ(VT5cmd_FS_Close(&api, nullptr), VT5_E_FS_REFUSED);
    ASSERT_EQ(VT5cmd_FS_GetCurrentDir(&api, nullptr, 0, nullptr), VT5_OK);
    EXPECT_EQ(bus.recorder().calls("SetTimeouts"),
              (std::vector<std::string>{"SetTimeouts 3000 1000", "SetTimeouts 1000 1000",
                                        "SetTimeouts 3000 1000", "SetTimeouts 1000 1000"}));
    // A read of several pieces sets it once for all of them.
    ASSERT_EQ(VT5cmd_FS_Open(&api, "/LOGS/vt5_log_0307.txt", 1, nullptr), VT5_OK);
    bus.recorder().clear();
    std::vector<char> buffer(10000);
    ASSERT_EQ(VT5cmd_FS_Read(&api, buffer.data(), 10000, nullptr, nullptr), VT5_OK);
    EXPECT_EQ(bus.recorder().calls("SetTimeouts"),
              (std::vector<std::string>{"SetTimeouts 3000 1000", "SetTimeouts 1000 1000"}));
    int32_t readMs = 0;
    ASSERT_EQ(VT5_SetTimeouts(&api, -1, -1, &readMs, nullptr), VT5_OK);
    EXPECT_EQ(readMs, 1000);
    if (viaServer()) return;  // the wait itself: on the direct route, where it is the caller's
    // Milliseconds of virtual time a call takes when the HC does not answer.
    auto stalled = [&](auto call) {
        hc->inject(Fault::stall());
        auto start = platform::now();
        call();
        return std::chrono::duration_cast<platform::Millis>(platform::now() - start).count();
    };
    int32_t result = 0;
    EXPECT_EQ(stalled([&] { result = VT5cmd_FS_Close(&api, nullptr); }), 3000);
    EXPECT_EQ(result, VT5_E_COMMUNICATION);
    // After an unanswered exchange the next one first waits 20 ms for a silent line, so that
    // a late answer cannot pass for its own.
    EXPECT_EQ(stalled([&] { VT5cmd_FS_GetCurrentDir(&api, nullptr, 0, nullptr); }), 20 + 1000);
    uint8_t id = 0;
    EXPECT_EQ(stalled([&] { VT5cmd_GetHardwareID(&api, &id); }), 20 + 1000);
}

TEST_P(FileSystem, NoCardIsNotAvailable) {
    hc->control("card pull");
    int32_t status = 0;
    char path[16] = "untouched";
    EXPECT_EQ(VT5cmd_FS_GetCurrentDir(&api, path, sizeof path, &status), VT5_E_FS_REFUSED);
    EXPECT_EQ(status, 3);
    EXPECT_STREQ(path, "untouched");
    EXPECT_EQ(hc->control("card insert"), "ok");
    EXPECT_EQ(VT5cmd_FS_GetCurrentDir(&api, path, sizeof path, &status), VT5_OK);
}

TEST_P(FileSystem, ACardPulledMidDownloadEndsWithAClearStatus) {
    ASSERT_EQ(hc->control("fault card-pulled 6000"), "ok");
    ASSERT_EQ(VT5cmd_FS_Open(&api, "/LOGS/vt5_log_0307.txt", 1, nullptr), VT5_OK);
    std::vector<char> buffer(4096);
    int32_t got = 0, status = 0;
    ASSERT_EQ(VT5cmd_FS_Read(&api, buffer.data(), 4096, &got, &status), VT5_OK);
    EXPECT_EQ(VT5cmd_FS_Read(&api, buffer.data(), 4096, &got, &status), VT5_E_FS_REFUSED);
    EXPECT_EQ(status, 1);  // the card failed during the read
    EXPECT_EQ(got, 0);
    EXPECT_EQ(VT5cmd_FS_Close(&api, &status), VT5_E_FS_REFUSED);
    EXPECT_EQ(status, 3);  // and is gone
}

TEST_P(FileSystem, AFullCardFailsTheUploadAndKeepsNothing) {
    ASSERT_EQ(hc->control("fault card-full 3000"), "ok");
    std::string data = pattern(5000);
    ASSERT_EQ(VT5cmd_FS_Open(&api, "big.bin", VT5_FS_OPEN_WRITE_NEW, nullptr), VT5_OK);
    int32_t written = 0, status = 0;
    EXPECT_EQ(VT5cmd_FS_Write(&api, data.data(), 5000, &written, &status), VT5_E_FS_REFUSED);
    EXPECT_EQ(status, 17);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(VT5cmd_FS_Close(&api, &status), VT5_E_FS_REFUSED);
    EXPECT_FALSE(fs::exists(dir.path() / "big.bin"));
    ASSERT_EQ(hc->control("fault clear"), "ok");
    ASSERT_EQ(VT5cmd_FS_Open(&api, "big.bin", VT5_FS_OPEN_WRITE_NEW, nullptr), VT5_OK);
    ASSERT_EQ(VT5cmd_FS_Write(&api, data.data(), 5000, &written, &status), VT5_OK);
    ASSERT_EQ(VT5cmd_FS_Close(&api, &status), VT5_OK);
    EXPECT_EQ(fs::file_size(dir.path() / "big.bin"), 5000u);
}

TEST_P(FileSystem, BulkDataBeyondThePieceIsNeverCopied) {
    ASSERT_EQ(VT5cmd_FS_Open(&api, "README.TXT", 1, nullptr), VT5_OK);
    // The HC answers a read of 100 bytes with 7 bytes and then 5000 more.
    hc->inject(Fault::extraBulk(hcsim::testPattern(5000)));
    std::vector<char> buffer(100 + 64, '#');
    int32_t got = 0;
    ASSERT_EQ(VT5cmd_FS_Read(&api, buffer.data(), 100, &got, nullptr), VT5_OK);
    EXPECT_EQ(got, 100);
    EXPECT_EQ(std::string(buffer.data(), 7), "read me");
    EXPECT_EQ(std::string(buffer.data() + 100, 64), std::string(64, '#'));
}

INSTANTIATE_TEST_SUITE_P(Routes, FileSystem,
                         ::testing::Values(vt5test::Route::Direct, vt5test::Route::Server),
                         vt5test::routeName);

// Answers no healthy HC gives.
class FileSystemScripted : public ::testing::Test {
protected:
    void SetUp() override {
        // 5F with its nine parameters.
        std::vector<uint8_t> table = {2, 0xF8, 1, 0x01, 0, 0x5F, 9, 0xBD, 0, 0xCD, 0, 0xD2, 0, 0xDC,
                                      1, 0xC1, 4, 0x30, 1, 0x33, 2, 0x36, 0, 0x3C, 0};
        auto device = std::make_unique<vt5test::ScriptedHc>(false, 0x0112, table);
        hc = device.get();
        chip = bus.bus().plug(vt5test::hcIdentity("SCRIPT01"), std::move(device));
        ASSERT_EQ(VT5_Open(&api, nullptr, nullptr, 0, nullptr), VT5_OK);
    }

    platform::VirtualClock virtualClock;
    platform::ScopedClock useVirtual{virtualClock};
    vt5test::BusFixture bus;
    std::shared_ptr<platform::vbus::Chip> chip;
    vt5test::ScriptedHc* hc = nullptr;
    CVT5Api api;
};

TEST_F(FileSystemScripted, MissingOrMisshapenAnswersGive30) {
    hc->script(0, {});                        // no 0x3C
    hc->script(0, {0x3C, 2, 0, 0});           // two bytes
    hc->script(0, {0xDC, 5, 0, 0, 0, 0, 0});  // neither 4 nor 25
    hc->script(0, {0x33, 4, 0, 0, 0, 0});     // another parameter's status
    EXPECT_EQ(VT5cmd_FS_Close(&api, nullptr), VT5_E_INVALID_ANSWER);
    EXPECT_EQ(VT5cmd_FS_Close(&api, nullptr), VT5_E_INVALID_ANSWER);
    VT5DirEntry e{};
    e.structSize = sizeof e;
    EXPECT_EQ(VT5cmd_FS_ReadDir(&api, &e, nullptr), VT5_E_INVALID_ANSWER);
    EXPECT_EQ(VT5cmd_FS_Open(&api, "x", 1, nullptr), VT5_E_INVALID_ANSWER);
}

TEST_F(FileSystemScripted, AnEntryWithARefusalStatusGives66) {
    int32_t status = 0;
    std::vector<uint8_t> entry = {0xDC, 25, 0x2A, 0, 0, 0};
    entry.resize(2 + 25, 'A');
    hc->script(0, entry);
    VT5DirEntry e{};
    e.structSize = sizeof e;
    EXPECT_EQ(VT5cmd_FS_ReadDir(&api, &e, &status), VT5_E_FS_REFUSED);
    EXPECT_EQ(status, 0x2A);
}

TEST_F(FileSystemScripted, AGetCurrentDirWithoutPathLeavesTheBuffer) {
    hc->script(0, {0xBD, 4, 0, 0, 0, 0});
    char path[8] = "same";
    EXPECT_EQ(VT5cmd_FS_GetCurrentDir(&api, path, sizeof path, nullptr), VT5_OK);
    EXPECT_STREQ(path, "same");
}

}  // namespace
