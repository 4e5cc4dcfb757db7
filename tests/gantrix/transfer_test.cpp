// The transfer worker against a simulated HC's SD card, run on the test's thread.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "gantrix/app/card_browser/transfer_worker.h"
#include "gantrix/server/server_thread.h"
#include "hcsim/hc/simulated_hc.h"
#include "platform/posix/claimed_file.h"
#include "tests/gantrix/card_host.h"
#include "tests/support/server_start.h"
#include "tests/support/wire_client.h"
#include "tests/vt5api/hc_fixture.h"
#include "vt5api/commands/file_system.h"

namespace {

namespace fs = std::filesystem;
using vt5test::ModifiedAt;
using vt5test::Pattern;
using vt5test::ReadHostFile;
using vt5test::Tree;
using vt5test::UtcSeconds;
using vt5test::WriteHostFile;

struct CardFolder {
    vt5test::TempDir card;
    vt5test::TempDir local;
    hcsim::HcConfig config() const {
        hcsim::HcConfig c;
        c.cardDir = card.path();
        return c;
    }
};

// Directly (false) and through Gantrix's API server thread (true).
class TransferTest : protected CardFolder,
                     public vt5test::HcFixture,
                     public ::testing::WithParamInterface<bool> {
protected:
    TransferTest() : HcFixture(config()) {
        WriteHostFile(card.path() / "LOGS/vt5_log_0307.txt", Pattern(10000, 1),
                      UtcSeconds(2021, 3, 7, 21, 25, 10));
        WriteHostFile(card.path() / "LOGS/vt5_log_0308.txt", Pattern(4096, 2),
                      UtcSeconds(2021, 3, 8, 22, 41, 34));
        WriteHostFile(card.path() / "LOGS/empty.txt", "");
        WriteHostFile(card.path() / "LOGS/kept.txt", "read only", UtcSeconds(2020, 1, 2, 3, 4, 6));
        fs::permissions(card.path() / "LOGS/kept.txt", fs::perms::owner_write,
                        fs::perm_options::remove);
        if (!GetParam()) {
            EXPECT_EQ(open(), VT5_OK);
            return;
        }
        const int port = vt5test::freeTcpPort();
        EXPECT_TRUE(vt5test::startServerThread(server, port));
        EXPECT_EQ(VT5_Open(&api, nullptr, "127.0.0.1", port, "Gantrix - FileSystem"), VT5_OK);
    }
    ~TransferTest() override {
        VT5_Close(&api);
        // The server's stop waits on the clock in use; a virtual one would give up at once.
        platform::SteadyClock steady;
        platform::ScopedClock realTime(steady);
        server.StopServerThread();
    }

    fs::path cardPath(const std::string& name) const { return card.path() / name; }
    fs::path myFolder() const { return local.path() / "My folder"; }
    fs::path copies() const { return myFolder() / "A1B2C3D4E5F6G7H/SD/LOGS"; }

    // The listed entries of the current card folder by long name.
    CardEntry entry(const std::string& name) {
        EXPECT_EQ(VT5cmd_FS_OpenDir(&api, ".", nullptr), VT5_OK);
        CardEntry found;
        ReadListedEntries(&api, [&](CardEntry e) {
            if (e.longName == name) found = e;
        });
        EXPECT_EQ(found.longName, name);
        return found;
    }

    int32_t download(const std::vector<std::string>& names, const std::string& prefix = "/LOGS") {
        TransferJob job;
        job.api = &api;
        job.myFolder = myFolder().string();
        job.uniqueId = " A1B2C3D4E5F6G7H ";
        job.folderPrefix = prefix;
        state.selectionSize = 0;
        for (const std::string& name : names) {
            job.files.push_back(entry(name));
            state.selectionSize += uint64_t(job.files.back().size);
        }
        state.Start(kTransferDownload);
        return RunTransfer(job, state);
    }

    int32_t upload(const std::vector<fs::path>& paths) {
        TransferJob job;
        job.api = &api;
        state.uploadList.clear();
        state.selectionSize = 0;
        for (const fs::path& path : paths) {
            state.uploadList.push_back(path.string());
            state.selectionSize += fs::file_size(path);
        }
        state.Start(kTransferUpload);
        return RunTransfer(job, state);
    }

    TransferState state;
    ServerThread server;
};

TEST_P(TransferTest, DownloadCopiesFilesWithTheirCardTimesIntoTheUidFolder) {
    ASSERT_EQ(VT5cmd_FS_ChangeDir(&api, "LOGS", nullptr), VT5_OK);
    ASSERT_EQ(download({"vt5_log_0307.txt", "empty.txt", "kept.txt", "vt5_log_0308.txt"}), VT5_OK);
    EXPECT_EQ(state.transferMode, kTransferIdle);
    EXPECT_EQ(state.lastTransferMode, kTransferDownload);
    EXPECT_EQ(state.windowsError, 0);
    EXPECT_EQ(state.fileSystemStatus, 0);
    EXPECT_EQ(state.fileCounter, 4);
    EXPECT_EQ(state.transferredBytes, 10000 + 9 + 4096);
    EXPECT_EQ(state.progress, 1000);

    // "My folder" did not exist: the whole path was made. The empty file is not copied.
    EXPECT_EQ(Tree(copies()), "kept.txt vt5_log_0307.txt vt5_log_0308.txt");
    EXPECT_EQ(ReadHostFile(copies() / "vt5_log_0307.txt"), Pattern(10000, 1));
    EXPECT_EQ(ReadHostFile(copies() / "vt5_log_0308.txt"), Pattern(4096, 2));
    EXPECT_EQ(ModifiedAt(copies() / "vt5_log_0307.txt"), UtcSeconds(2021, 3, 7, 21, 25, 10));
    EXPECT_EQ(ModifiedAt(copies() / "kept.txt"), UtcSeconds(2020, 1, 2, 3, 4, 6));
    EXPECT_EQ(fs::status(copies() / "kept.txt").permissions() & fs::perms::owner_write,
              fs::perms::none);
    EXPECT_NE(fs::status(copies() / "vt5_log_0307.txt").permissions() & fs::perms::owner_write,
              fs::perms::none);
    EXPECT_EQ(state.transferredList,
              (std::vector<std::string>{(copies() / "vt5_log_0307.txt").string(),
                                        (copies() / "kept.txt").string(),
                                        (copies() / "vt5_log_0308.txt").string()}));

    // Again, over the copies: the read-only one is replaced too.
    ASSERT_EQ(download({"kept.txt"}), VT5_OK);
    EXPECT_EQ(state.windowsError, 0);
    EXPECT_EQ(ReadHostFile(copies() / "kept.txt"), "read only");
}

// A worker that was killed leaves its hidden file; the next download into that folder removes
// it, but not the file of a download still going.
TEST_P(TransferTest, DownloadRemovesWhatKilledDownloadsLeft) {
    fs::create_directories(copies());
    WriteHostFile(copies() / ".vt5-download-4711-0", "left by a killed worker");
    std::string going;
    platform::UniqueFd claimed =
        platform::CreateClaimedFile(copies().string(), ".vt5-download-", "", going);
    ASSERT_TRUE(claimed);
    ASSERT_EQ(VT5cmd_FS_ChangeDir(&api, "LOGS", nullptr), VT5_OK);
    ASSERT_EQ(download({"vt5_log_0308.txt"}), VT5_OK);
    EXPECT_EQ(Tree(copies()), fs::path(going).filename().string() + " vt5_log_0308.txt");
}

TEST_P(TransferTest, DownloadFromTheRootLandsInSd) {
    WriteHostFile(cardPath("notes.txt"), "at the root");
    ASSERT_EQ(download({"notes.txt"}, ""), VT5_OK);
    EXPECT_EQ(Tree(myFolder()), "A1B2C3D4E5F6G7H A1B2C3D4E5F6G7H/SD A1B2C3D4E5F6G7H/SD/notes.txt");
}

// A cancel request is seen after the next piece: the file being copied is not kept, also
// when that piece was its last.
TEST_P(TransferTest, CancelledDownloadLeavesNoFile) {
    ASSERT_EQ(VT5cmd_FS_ChangeDir(&api, "LOGS", nullptr), VT5_OK);
    for (const char* name : {"vt5_log_0307.txt", "vt5_log_0308.txt"}) {
        TransferJob job;
        job.api = &api;
        job.myFolder = myFolder().string();
        job.uniqueId = "A1B2C3D4E5F6G7H";
        job.folderPrefix = "/LOGS";
        job.files = {entry(name), entry("kept.txt")};
        state.selectionSize = 20000;
        state.Start(kTransferDownload);
        state.cancelRequest = true;
        EXPECT_EQ(RunTransfer(job, state), VT5_OK) << name;
        EXPECT_EQ(state.windowsError, kErrorCancelled) << name;
        EXPECT_EQ(state.fileCounter, 1) << name;
        EXPECT_EQ(state.transferredBytes, 4096) << name;
        EXPECT_TRUE(state.transferredList.empty()) << name;
        EXPECT_EQ(Tree(copies()), "") << name;
    }
    // The card's file was closed: it opens again.
    EXPECT_EQ(VT5cmd_FS_Open(&api, "kept.txt", VT5_FS_OPEN_READ, nullptr), VT5_OK);
}

TEST_P(TransferTest, CardPulledMidDownloadEndsWithItsStatusAndNoPartialFile) {
    ASSERT_EQ(VT5cmd_FS_ChangeDir(&api, "LOGS", nullptr), VT5_OK);
    hc->control("fault card-pulled 5000");
    int32_t code = download({"vt5_log_0308.txt", "vt5_log_0307.txt", "kept.txt"});
    EXPECT_EQ(code, VT5_E_FS_REFUSED);
    EXPECT_EQ(state.fileSystemStatus, 1);  // the card failed during the operation
    EXPECT_EQ(state.windowsError, 0);
    EXPECT_EQ(state.fileCounter, 2);
    EXPECT_EQ(Tree(copies()), "vt5_log_0308.txt");
    EXPECT_EQ(state.transferredList.size(), 1u);
}

TEST_P(TransferTest, DownloadFolderThatCannotBeMadeStopsBeforeTheCard) {
    WriteHostFile(myFolder(), "a file where the folder should be");
    ASSERT_EQ(VT5cmd_FS_ChangeDir(&api, "LOGS", nullptr), VT5_OK);
    EXPECT_EQ(download({"kept.txt"}), VT5_OK);
    EXPECT_EQ(state.windowsError, kErrorPathNotFound);
    EXPECT_EQ(state.fileCounter, 0);
    EXPECT_EQ(state.transferMode, kTransferIdle);
}

// Names that would leave the download folder are refused before anything is opened.
TEST_P(TransferTest, CardNamesThatAreNoPlainFileNamesAreRefused) {
    const struct {
        const char* name;
        const char* prefix;
        const char* uid;
        int error;
    } cases[] = {{"../escape.txt", "/LOGS", "A1B2C3D4E5F6G7H", kErrorInvalidName},
                 {"a/b.txt", "/LOGS", "A1B2C3D4E5F6G7H", kErrorInvalidName},
                 {"..", "/LOGS", "A1B2C3D4E5F6G7H", kErrorInvalidName},
                 {"ok.txt", "/LOGS/../..", "A1B2C3D4E5F6G7H", kErrorPathNotFound},
                 {"ok.txt", "/LOGS", " ..  ", kErrorPathNotFound},
                 {"ok.txt", "/LOGS", "../../A1B2C3D4", kErrorPathNotFound}};
    for (const auto& c : cases) {
        TransferJob job;
        job.api = &api;
        job.myFolder = myFolder().string();
        job.uniqueId = c.uid;
        job.folderPrefix = c.prefix;
        CardEntry e;
        e.longName = c.name;
        e.size = 10;
        job.files = {e};
        state.selectionSize = 10;
        state.Start(kTransferDownload);
        EXPECT_EQ(RunTransfer(job, state), VT5_OK) << c.name;
        EXPECT_EQ(state.windowsError, c.error) << c.name;
        EXPECT_EQ(state.transferredBytes, 0) << c.name;
    }
    // The download folder was made, nothing else.
    EXPECT_EQ(Tree(local.path()),
              "My folder My folder/A1B2C3D4E5F6G7H My folder/A1B2C3D4E5F6G7H/SD "
              "My folder/A1B2C3D4E5F6G7H/SD/LOGS");
}

TEST(DownloadFolder, MyFolderUidAndCardFolder) {
    EXPECT_EQ(DownloadFolder("/data/vt5", " ABC ", "/LOGS/2021"), "/data/vt5/ABC/SD/LOGS/2021/");
    EXPECT_EQ(DownloadFolder("/data/vt5", "ABC", ""), "/data/vt5/ABC/SD/");
    EXPECT_EQ(DownloadFolder("", "ABC", ""), "./ABC/SD/");
    EXPECT_EQ(DownloadFolder("/" + std::string(1023, 'x'), "ABC", ""), "./ABC/SD/");
}

TEST_P(TransferTest, UploadWritesFilesIntoTheCurrentCardFolder) {
    WriteHostFile(local.path() / "flats.txt", Pattern(9000, 3));
    WriteHostFile(local.path() / "empty.dat", "");
    ASSERT_EQ(VT5cmd_FS_ChangeDir(&api, "LOGS", nullptr), VT5_OK);
    ASSERT_EQ(upload({local.path() / "flats.txt", local.path() / "empty.dat"}), VT5_OK);
    EXPECT_EQ(state.windowsError, 0);
    EXPECT_EQ(state.fileSystemStatus, 0);
    EXPECT_EQ(state.fileCounter, 2);
    EXPECT_EQ(state.transferredBytes, 9000);
    EXPECT_EQ(state.progress, 1000);
    EXPECT_EQ(ReadHostFile(cardPath("LOGS/flats.txt")), Pattern(9000, 3));
    EXPECT_TRUE(fs::exists(cardPath("LOGS/empty.dat")));
    EXPECT_EQ(fs::file_size(cardPath("LOGS/empty.dat")), 0u);
    EXPECT_EQ(state.transferredList.size(), 2u);
}

TEST_P(TransferTest, CancelledUploadLeavesNothingOnTheCard) {
    WriteHostFile(local.path() / "a.dat", Pattern(9000, 4));
    WriteHostFile(local.path() / "b.dat", Pattern(100, 5));
    TransferJob job;
    job.api = &api;
    state.uploadList = {(local.path() / "a.dat").string(), (local.path() / "b.dat").string()};
    state.selectionSize = 9100;
    state.Start(kTransferUpload);
    state.cancelRequest = true;
    EXPECT_EQ(RunTransfer(job, state), VT5_OK);
    EXPECT_EQ(state.windowsError, kErrorCancelled);
    EXPECT_EQ(state.transferredBytes, 4096);
    EXPECT_EQ(state.fileCounter, 1);
    EXPECT_FALSE(fs::exists(cardPath("a.dat")));
    EXPECT_FALSE(fs::exists(cardPath("b.dat")));
    EXPECT_EQ(VT5cmd_FS_Open(&api, "a.dat", VT5_FS_OPEN_READ, nullptr), VT5_E_FS_REFUSED);
}

TEST_P(TransferTest, FullCardEndsTheUploadWithItsStatus) {
    WriteHostFile(local.path() / "big.dat", Pattern(20000, 6));
    WriteHostFile(local.path() / "next.dat", "next");
    hc->control("fault card-full 10000");
    EXPECT_EQ(upload({local.path() / "big.dat", local.path() / "next.dat"}), VT5_E_FS_REFUSED);
    EXPECT_EQ(state.fileSystemStatus, 17);  // no room left on the card
    EXPECT_EQ(state.windowsError, 0);
    EXPECT_EQ(state.fileCounter, 1);
    EXPECT_FALSE(fs::exists(cardPath("big.dat")));
    EXPECT_FALSE(fs::exists(cardPath("next.dat")));
}

TEST_P(TransferTest, MissingLocalFileStopsTheUpload) {
    WriteHostFile(local.path() / "there.dat", "here");
    EXPECT_EQ(upload({local.path() / "there.dat"}), VT5_OK);
    fs::remove(local.path() / "there.dat");
    state.uploadList = {(local.path() / "there.dat").string()};
    state.Start(kTransferUpload);
    EXPECT_EQ(RunTransfer(TransferJob{&api, {}, {}, {}, {}}, state), VT5_OK);
    EXPECT_EQ(state.windowsError, kErrorFileNotFound);
}

INSTANTIATE_TEST_SUITE_P(Link, TransferTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "ThroughServer" : "Direct";
                         });

}  // namespace
