// The simulated SD card as the HC's firmware keeps it, below the command layer.

#include "hcsim/card/sd_card.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/card/card_files.h"
#include "tests/support/bus_fixture.h"

namespace hcsim {
namespace {

namespace fs = std::filesystem;
using vt5test::readHostFile;
using vt5test::utc;
using vt5test::writeHostFile;

class SdCardTest : public ::testing::Test {
protected:
    SdCardTest() {
        writeHostFile(host("LOGS/vt5_log_0307.txt"), "night one", utc(2024, 3, 7, 22, 0, 0));
        writeHostFile(host("LOGS/vt5_log_0308.txt"), "night two", utc(2024, 3, 8, 22, 0, 0));
        writeHostFile(host("readme.txt"), "read me", utc(2023, 12, 24, 18, 30, 7));
        fs::permissions(host("readme.txt"), fs::perms::owner_write, fs::perm_options::remove);
        writeHostFile(host(".hidden"), "x");
        writeHostFile(host("Notes for tonight.txt"), std::string(5000, 'n'));
        vt5test::setModified(host("LOGS"), utc(2024, 3, 8, 22, 0, 0));
    }

    fs::path host(const std::string& relative) const { return dir.path() / relative; }

    // The listing of `path`, one "SHORT|long|size|attributes" a line.
    std::vector<std::string> listing(const std::string& path = ".") {
        std::vector<std::string> lines;
        EXPECT_EQ(card.openDir(path), kCardOk);
        for (;;) {
            std::optional<CardEntry> e;
            EXPECT_EQ(card.readDir(e), kCardOk);
            if (!e) break;
            lines.push_back(e->shortName + "|" + e->longName + "|" + std::to_string(e->size) + "|" +
                            std::to_string(e->attributes));
        }
        return lines;
    }

    CardEntry entry(const std::string& folder, const std::string& longName) {
        EXPECT_EQ(card.openDir(folder), kCardOk);
        for (;;) {
            std::optional<CardEntry> e;
            card.readDir(e);
            if (!e) break;
            if (e->longName == longName) return *e;
        }
        ADD_FAILURE() << longName << " is not listed";
        return {};
    }

    std::string readAll(const std::string& path) {
        EXPECT_EQ(card.open(path, SdCard::kOpenRead), kCardOk);
        std::string all;
        for (;;) {
            SdCard::Bytes piece;
            EXPECT_EQ(card.read(4096, piece), kCardOk);
            if (piece.empty()) break;
            all.append(piece.begin(), piece.end());
        }
        EXPECT_EQ(card.close(platform::now()), kCardOk);
        return all;
    }

    CardStatus writeFile(const std::string& path, const std::string& content) {
        CardStatus status = card.open(path, SdCard::kOpenCreate);
        if (status != kCardOk) return status;
        status = card.write(reinterpret_cast<const uint8_t*>(content.data()), content.size());
        if (status != kCardOk) return status;
        return card.close(platform::now());
    }

    vt5test::TempDir dir;
    SdCard card{dir.path()};
};

TEST_F(SdCardTest, RootListingHasTheVolumeLabelThenTheEntriesWithTheirAttributes) {
    // Attributes: 8 volume label, 16 directory, 32 archive, +1 read-only, +2 hidden. The
    // order is the order of creation, which the modification times stand for.
    EXPECT_EQ(listing(), (std::vector<std::string>{
                             "VELTRA5|VELTRA5|0|8",
                             "README.TXT|readme.txt|7|33",
                             "HIDDEN~1|.hidden|1|34",
                             "NOTESF~1.TXT|Notes for tonight.txt|5000|32",
                             "LOGS|LOGS|0|16",
                         }));
    CardEntry readme = entry("/", "readme.txt");
    EXPECT_EQ(readme.stamp.date, (43 << 9) | (12 << 5) | 24);
    EXPECT_EQ(readme.stamp.time, (18 << 11) | (30 << 5) | 3);
}

TEST_F(SdCardTest, SubfoldersListDotAndDotDotFirstAndTheCurrentPathUsesLongNames) {
    std::string path;
    EXPECT_EQ(card.currentDir(path), kCardOk);
    EXPECT_EQ(path, "/");
    EXPECT_EQ(card.changeDir("LOGS"), kCardOk);
    EXPECT_EQ(card.currentDir(path), kCardOk);
    EXPECT_EQ(path, "/LOGS");
    auto lines = listing();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], ".|.|0|16");
    EXPECT_EQ(lines[1], "..|..|0|16");
    EXPECT_EQ(lines[2], "VT5_LO~1.TXT|vt5_log_0307.txt|9|32");
    EXPECT_EQ(entry(".", ".").stamp.date, entry("/", "LOGS").stamp.date);

    EXPECT_EQ(card.changeDir(".."), kCardOk);
    EXPECT_EQ(card.currentDir(path), kCardOk);
    EXPECT_EQ(path, "/");
    EXPECT_EQ(card.changeDir(".."), kCardNoPath);  // nothing above the root
    EXPECT_EQ(card.changeDir("readme.txt"), kCardNoPath);
    EXPECT_EQ(card.changeDir("nowhere"), kCardNoPath);
    EXPECT_EQ(card.currentDir(path), kCardOk);
    EXPECT_EQ(path, "/");
}

TEST_F(SdCardTest, PathsIgnoreCaseTakeShortNamesAndEitherSeparator) {
    std::string path;
    for (const char* to : {"logs", "\\Logs", "/LOGS/", "LOGS/./", "/LOGS/../LOGS"}) {
        ASSERT_EQ(card.changeDir("/"), kCardOk);
        EXPECT_EQ(card.changeDir(to), kCardOk) << to;
        card.currentDir(path);
        EXPECT_EQ(path, "/LOGS") << to;
    }
    EXPECT_EQ(readAll("VT5_LO~2.TXT"), "night two");
    EXPECT_EQ(readAll("/notesf~1.txt").size(), 5000u);
    EXPECT_EQ(readAll("..\\README.TXT"), "read me");
}

TEST_F(SdCardTest, ShortNamesStayWhenAFileThatSortsFirstAppears) {
    EXPECT_EQ(entry("/LOGS", "vt5_log_0308.txt").shortName, "VT5_LO~2.TXT");
    writeHostFile(host("LOGS/vt5_log_0301.txt"), "older", utc(2024, 3, 1, 22, 0, 0));
    EXPECT_EQ(entry("/LOGS", "vt5_log_0301.txt").shortName, "VT5_LO~3.TXT");
    EXPECT_EQ(entry("/LOGS", "vt5_log_0307.txt").shortName, "VT5_LO~1.TXT");
    EXPECT_EQ(entry("/LOGS", "vt5_log_0308.txt").shortName, "VT5_LO~2.TXT");
    // A name whose file is gone is free again.
    fs::remove(host("LOGS/vt5_log_0307.txt"));
    entry("/LOGS", "vt5_log_0308.txt");
    writeHostFile(host("LOGS/vt5_log_0309.txt"), "new");
    EXPECT_EQ(entry("/LOGS", "vt5_log_0309.txt").shortName, "VT5_LO~1.TXT");
}

TEST_F(SdCardTest, HostEntriesAFatCardCannotHoldAreLeftOut) {
    writeHostFile(host("LOGS/what?.txt"), "x");
    writeHostFile(host("LOGS/.vt5card-1-0.part"), "half");
    {
        // A sparse file of 5 GiB: beyond FAT's 4 GiB - 1.
        std::FILE* f = std::fopen(host("LOGS/huge.bin").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(::ftruncate(fileno(f), 5ll << 30), 0);
        std::fclose(f);
    }
    ::mkfifo(host("LOGS/pipe").c_str(), 0600);
    EXPECT_EQ(listing("LOGS").size(), 4u);
}

// Symbolic links in the host folder: a FAT card has none, and none may lead the card out of
// its folder or round in a loop.
TEST_F(SdCardTest, LinksAreNoEntriesAndLeadNowhere) {
    vt5test::TempDir outside;
    writeHostFile(outside.path() / "secret.txt", "secret");
    writeHostFile(outside.path() / "folder/kept.txt", "kept");
    fs::create_symlink(outside.path() / "secret.txt", host("secret.txt"));
    fs::create_symlink(outside.path() / "folder", host("out"));
    fs::create_symlink(".", host("loop"));
    fs::create_symlink("loopb", host("loopa"));
    fs::create_symlink("loopa", host("loopb"));
    fs::create_symlink("LOGS", host("inside"));  // stays on the card, yet is no entry either
    fs::create_symlink("../secret.txt", host("LOGS/up.txt"));
    const std::vector<std::string> root = listing("/");

    struct Case {
        const char* name;
        std::function<CardStatus()> run;
        CardStatus status;
    };
    const Case cases[] = {
        {"read a linked file", [&] { return card.open("/secret.txt", SdCard::kOpenRead); },
         kCardNoFile},
        {"read through a linked folder",
         [&] { return card.open("/out/kept.txt", SdCard::kOpenRead); }, kCardNoPath},
        {"read a link in a subfolder", [&] { return card.open("/LOGS/up.txt", SdCard::kOpenRead); },
         kCardNoFile},
        {"delete through a linked folder", [&] { return card.remove("/out/kept.txt", true); },
         kCardNoPath},
        {"delete a link", [&] { return card.remove("/secret.txt", true); }, kCardNoFile},
        {"write into a linked folder", [&] { return writeFile("/out/new.txt", "x"); }, kCardNoPath},
        {"list a linked folder", [&] { return card.openDir("/out"); }, kCardNoPath},
        {"enter a loop", [&] { return card.changeDir("/loop"); }, kCardNoPath},
        {"walk a loop", [&] { return card.changeDir("/loop/loop/loop/loop"); }, kCardNoPath},
        {"read a two-link loop", [&] { return card.open("/loopa", SdCard::kOpenRead); },
         kCardNoFile},
        {"enter a link inside", [&] { return card.changeDir("/inside"); }, kCardNoPath},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.run(), c.status) << c.name;
        std::string path;
        card.currentDir(path);
        EXPECT_EQ(path, "/") << c.name;
    }
    int log = 0;
    EXPECT_EQ(card.createFile("/out", "vt5_log_0001.txt", platform::now(), log), kCardExists);

    EXPECT_EQ(listing("/"), root);
    EXPECT_EQ(listing("/LOGS").size(), 4u);  // ".", "..", and the two logs
    // Writing the name of a link replaces the link on the card, never what it points to.
    EXPECT_EQ(writeFile("/secret.txt", "the card's own"), kCardOk);
    EXPECT_EQ(readAll("/secret.txt"), "the card's own");
    EXPECT_EQ(readHostFile(outside.path() / "secret.txt"), "secret");
    EXPECT_EQ(vt5test::folderNames(outside.path() / "folder"), "kept.txt");
}

TEST_F(SdCardTest, AWrittenFileAppearsInTheHostFolderOnlyWhenClosedWhole) {
    std::string before = vt5test::folderNames(dir.path());
    ASSERT_EQ(card.open("/LOGS/uploaded file.txt", SdCard::kOpenCreate), kCardOk);
    std::string content(10000, 'u');
    for (size_t at = 0; at < content.size(); at += 4096) {
        size_t n = std::min<size_t>(4096, content.size() - at);
        ASSERT_EQ(card.write(reinterpret_cast<const uint8_t*>(content.data()) + at, n), kCardOk);
    }
    EXPECT_EQ(vt5test::folderNames(host("LOGS")), "vt5_log_0307.txt vt5_log_0308.txt");
    auto closedAt = platform::now() + std::chrono::hours(2);
    ASSERT_EQ(card.close(closedAt), kCardOk);
    EXPECT_EQ(readHostFile(host("LOGS/uploaded file.txt")), content);
    EXPECT_EQ(vt5test::folderNames(dir.path()), before);
    CardEntry e = entry("/LOGS", "uploaded file.txt");
    FatStamp expected = fatStamp(card.wallTime(closedAt));
    EXPECT_EQ(e.stamp.date, expected.date);
    EXPECT_EQ(e.stamp.time, expected.time);
    EXPECT_EQ(e.size, 10000u);
}

TEST_F(SdCardTest, AnUnfinishedWrittenFileLeavesNothingBehind) {
    struct Ending {
        const char* name;
        std::function<void(SdCard&)> end;
    };
    for (const Ending& ending : std::vector<Ending>{
             {"another open", [](SdCard& c) { c.open("readme.txt", SdCard::kOpenRead); }},
             {"restart", [](SdCard& c) { c.restart(); }},
             {"pulled card", [](SdCard& c) { c.pull(), c.insert(); }}}) {
        ASSERT_EQ(card.open("partial.bin", SdCard::kOpenCreate), kCardOk);
        ASSERT_EQ(card.write(reinterpret_cast<const uint8_t*>("half"), 4), kCardOk);
        ending.end(card);
        card.close(platform::now());
        EXPECT_FALSE(fs::exists(host("partial.bin"))) << ending.name;
        EXPECT_EQ(vt5test::folderNames(dir.path()), ".hidden LOGS Notes for tonight.txt readme.txt")
            << ending.name;
    }
}

TEST_F(SdCardTest, WritingOverAFileKeepsItsNameAndGuardsWhatMayNotBeReplaced) {
    ASSERT_EQ(writeFile("NOTES FOR TONIGHT.TXT", "replaced"), kCardOk);
    EXPECT_EQ(readHostFile(host("Notes for tonight.txt")), "replaced");
    EXPECT_FALSE(fs::exists(host("NOTES FOR TONIGHT.TXT")));
    EXPECT_EQ(writeFile("readme.txt", "x"), kCardDenied);  // read-only
    EXPECT_EQ(writeFile("logs", "x"), kCardExists);        // a folder
    EXPECT_EQ(writeFile("nowhere/x.txt", "x"), kCardNoPath);
    EXPECT_EQ(writeFile("a:b.txt", "x"), kCardInvalidName);
    EXPECT_EQ(writeFile("", "x"), kCardInvalidName);
    EXPECT_EQ(readHostFile(host("readme.txt")), "read me");
    ASSERT_EQ(writeFile("empty.txt", ""), kCardOk);  // a file of 0 bytes is a file too
    EXPECT_TRUE(fs::exists(host("empty.txt")));
}

TEST_F(SdCardTest, DeletingNeedsTheConfirmationAndSparesWhatIsInUse) {
    EXPECT_EQ(card.remove("Notes for tonight.txt", false), kCardBadConfirmation);
    EXPECT_EQ(card.remove("readme.txt", true), kCardDenied);
    EXPECT_EQ(card.remove("LOGS", true), kCardDenied);  // not empty
    EXPECT_EQ(card.remove("missing.txt", true), kCardNoFile);
    EXPECT_EQ(card.remove("nowhere/missing.txt", true), kCardNoPath);
    EXPECT_EQ(card.remove("/", true), kCardDenied);
    ASSERT_EQ(card.open("NOTESF~1.TXT", SdCard::kOpenRead), kCardOk);
    EXPECT_EQ(card.remove("Notes for tonight.txt", true), kCardDenied);  // open
    EXPECT_EQ(card.close(platform::now()), kCardOk);
    EXPECT_EQ(card.remove("NOTESF~1.TXT", true), kCardOk);
    EXPECT_FALSE(fs::exists(host("Notes for tonight.txt")));

    fs::create_directory(host("EMPTY"));
    ASSERT_EQ(card.changeDir("EMPTY"), kCardOk);
    EXPECT_EQ(card.remove("/EMPTY", true), kCardDenied);  // the current folder
    ASSERT_EQ(card.changeDir(".."), kCardOk);
    EXPECT_EQ(card.remove("empty", true), kCardOk);
    EXPECT_FALSE(fs::exists(host("EMPTY")));
}

TEST_F(SdCardTest, ReadingAndWritingKeepToTheOpenFileAndItsMode) {
    SdCard::Bytes data;
    uint8_t byte = 0;
    EXPECT_EQ(card.read(10, data), kCardNotOpen);
    EXPECT_EQ(card.write(&byte, 1), kCardNotOpen);
    EXPECT_EQ(card.close(platform::now()), kCardNotOpen);
    EXPECT_EQ(card.readDir(*std::make_unique<std::optional<CardEntry>>()), kCardNotOpen);
    EXPECT_EQ(card.open("readme.txt", 2), kCardInvalidParameter);
    EXPECT_EQ(card.open("missing.txt", SdCard::kOpenRead), kCardNoFile);
    EXPECT_EQ(card.open("LOGS", SdCard::kOpenRead), kCardDenied);
    ASSERT_EQ(card.open("readme.txt", SdCard::kOpenRead), kCardOk);
    EXPECT_EQ(card.read(0, data), kCardInvalidParameter);
    EXPECT_EQ(card.read(4097, data), kCardInvalidParameter);
    EXPECT_EQ(card.write(&byte, 1), kCardWrongMode);
    EXPECT_EQ(card.read(4, data), kCardOk);
    EXPECT_EQ(std::string(data.begin(), data.end()), "read");
    EXPECT_EQ(card.read(4096, data), kCardOk);
    EXPECT_EQ(std::string(data.begin(), data.end()), " me");
    EXPECT_EQ(card.read(4096, data), kCardOk);
    EXPECT_TRUE(data.empty());  // the end of the file
    ASSERT_EQ(card.open("new.txt", SdCard::kOpenCreate), kCardOk);
    EXPECT_EQ(card.read(1, data), kCardWrongMode);
}

TEST_F(SdCardTest, AFullCardRefusesTheWriteAndDropsTheFileAtClose) {
    card.setFreeSpace(5000);
    std::string piece(4096, 'f');
    auto bytes = reinterpret_cast<const uint8_t*>(piece.data());
    ASSERT_EQ(card.open("big.bin", SdCard::kOpenCreate), kCardOk);
    EXPECT_EQ(card.write(bytes, 4096), kCardOk);
    EXPECT_EQ(card.write(bytes, 4096), kCardFull);
    EXPECT_EQ(card.write(bytes, 1), kCardFull);
    EXPECT_EQ(card.close(platform::now()), kCardFull);
    EXPECT_FALSE(fs::exists(host("big.bin")));
    // What is left still takes a small file.
    EXPECT_EQ(writeFile("small.txt", std::string(900, 's')), kCardOk);
    EXPECT_EQ(writeFile("more.txt", std::string(5, 's')), kCardFull);
    card.clearFaults();
    EXPECT_EQ(writeFile("more.txt", std::string(5000, 's')), kCardOk);
}

TEST_F(SdCardTest, APulledCardFailsTheTransferThenIsNotReadyUntilInserted) {
    card.pullAfter(4500);
    ASSERT_EQ(card.changeDir("LOGS"), kCardOk);
    ASSERT_EQ(card.open("/Notes for tonight.txt", SdCard::kOpenRead), kCardOk);
    SdCard::Bytes data;
    EXPECT_EQ(card.read(4096, data), kCardOk);
    EXPECT_EQ(card.read(4096, data), kCardDiskError);
    EXPECT_TRUE(data.empty());
    EXPECT_FALSE(card.inserted());
    std::string path;
    EXPECT_EQ(card.currentDir(path), kCardNotReady);
    EXPECT_EQ(card.read(4096, data), kCardNotReady);
    EXPECT_EQ(card.close(platform::now()), kCardNotReady);
    EXPECT_EQ(card.openDir("."), kCardNotReady);
    EXPECT_TRUE(card.insert());
    EXPECT_EQ(card.currentDir(path), kCardOk);
    EXPECT_EQ(path, "/");  // a new mount starts at the root
    EXPECT_EQ(card.close(platform::now()), kCardNotOpen);
}

TEST(SdCardSlot, WithoutAFolderThereIsNoCard) {
    SdCard card{fs::path()};
    std::string path;
    SdCard::Bytes data;
    std::optional<CardEntry> e;
    int file = 0;
    EXPECT_FALSE(card.inserted());
    EXPECT_FALSE(card.insert());
    EXPECT_EQ(card.currentDir(path), kCardNotReady);
    EXPECT_EQ(card.changeDir("/"), kCardNotReady);
    EXPECT_EQ(card.openDir("."), kCardNotReady);
    EXPECT_EQ(card.readDir(e), kCardNotReady);
    EXPECT_EQ(card.remove("x", true), kCardNotReady);
    EXPECT_EQ(card.open("x", 1), kCardNotReady);
    EXPECT_EQ(card.read(1, data), kCardNotReady);
    EXPECT_EQ(card.close(platform::now()), kCardNotReady);
    EXPECT_EQ(card.createFile("/LOGS", "x.txt", platform::now(), file), kCardNotReady);
}

TEST_F(SdCardTest, FirmwareFilesAreWrittenBesideThePcsOpenFile) {
    auto start = platform::now();
    int log = 0;
    ASSERT_EQ(card.createFile("/GUIDING/2024", "guide log.txt", start, log), kCardOk);
    fs::path hostLog = host("GUIDING/2024/guide log.txt");
    EXPECT_TRUE(fs::exists(hostLog));
    // The PC works on its own file meanwhile.
    ASSERT_EQ(card.open("/readme.txt", SdCard::kOpenRead), kCardOk);
    ASSERT_EQ(card.append(log, "line 1\n", 7, start + std::chrono::seconds(10)), kCardOk);
    EXPECT_EQ(readHostFile(hostLog), "line 1\n");  // on the card at once
    SdCard::Bytes data;
    EXPECT_EQ(card.read(4, data), kCardOk);
    EXPECT_EQ(card.remove("/guiding/2024/GUIDEL~1.TXT", true), kCardDenied);
    EXPECT_EQ(card.open("/GUIDING/2024/guide log.txt", SdCard::kOpenCreate), kCardDenied);
    EXPECT_EQ(readAll("/GUIDING/2024/guide log.txt"), "line 1\n");

    auto last = start + std::chrono::minutes(90);
    ASSERT_EQ(card.append(log, "line 2\n", 7, last), kCardOk);
    ASSERT_EQ(card.closeFile(log, last), kCardOk);
    EXPECT_EQ(card.append(log, "x", 1, last), kCardNotOpen);
    CardEntry e = entry("/GUIDING/2024", "guide log.txt");
    FatStamp expected = fatStamp(card.wallTime(last));
    EXPECT_EQ(e.stamp.date, expected.date);
    EXPECT_EQ(e.stamp.time, expected.time);
    EXPECT_EQ(e.size, 14u);
    EXPECT_EQ(card.remove("/GUIDING/2024/guide log.txt", true), kCardOk);

    // The PC's open file is not the firmware's to replace.
    ASSERT_EQ(card.open("/readme2.txt", SdCard::kOpenCreate), kCardOk);
    ASSERT_EQ(card.close(platform::now()), kCardOk);
    ASSERT_EQ(card.open("/readme2.txt", SdCard::kOpenRead), kCardOk);
    EXPECT_EQ(card.createFile("/", "README2.TXT", last, log), kCardDenied);
    EXPECT_EQ(card.createFile("/readme.txt", "x.txt", last, log), kCardExists);
    EXPECT_EQ(card.createFile("/LOGS", "bad|name", last, log), kCardInvalidName);
}

}  // namespace
}  // namespace hcsim
