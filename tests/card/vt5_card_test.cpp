// vt5-card against a simulated HC that vt5-hcsim serves from another process, directly and
// through vt5-server.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/card/card_files.h"
#include "tests/support/bus_fixture.h"
#include "tests/support/subprocess.h"
#include "tests/support/wire_client.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/commands/file_system.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using vt5test::readHostFile;
using vt5test::utc;
using vt5test::writeHostFile;

class Vt5Card : public ::testing::Test {
protected:
    void SetUp() override {
        writeHostFile(card() / "LOGS/vt5_log_0307.txt", std::string(9000, 'a'),
                      utc(2024, 3, 7, 22, 10, 4));
        writeHostFile(card() / "LOGS/vt5_log_0308.txt", "b", utc(2024, 3, 8, 22, 10, 4));
        writeHostFile(card() / "LOGS/OLD/vt5_log_0101.txt", "c", utc(2024, 1, 1, 20, 0, 0));
        vt5test::setModified(card() / "LOGS/OLD", utc(2024, 1, 1, 20, 0, 0));
        vt5test::setModified(card() / "LOGS", utc(2024, 3, 8, 22, 10, 4));
        writeHostFile(card() / "Read Me.txt", "read me", utc(2023, 12, 24, 18, 30, 6));
        fs::permissions(card() / "Read Me.txt", fs::perms::owner_write, fs::perm_options::remove);
        fs::create_directory(local());
    }

    void serve(std::vector<std::string> extra = {}) {
        bus.useDaemon();
        std::vector<std::string> args = {VT5_HCSIM_PATH, "--bus",  bus.busSocket(), "--serial",
                                         "CARDHC01",     "--card", card().string()};
        args.insert(args.end(), extra.begin(), extra.end());
        hcsim = std::make_unique<vt5test::Subprocess>(args);
        ASSERT_TRUE(hcsim->waitFor("VT5_USB_BUS=")) << "vt5-hcsim did not start";
    }

    vt5test::RunResult cardTool(std::vector<std::string> args) {
        args.insert(args.begin(), VT5_CARD_PATH);
        return vt5test::runProgram(args);
    }

    std::string control(const std::string& command) {
        std::string out;
        vt5test::run({VT5_HCSIM_PATH, "--bus", bus.busSocket(), "control", "CARDHC01", command},
                     out);
        return out;
    }

    fs::path card() const { return dir.path() / "card"; }
    fs::path local() const { return dir.path() / "here"; }

    vt5test::TempDir dir;
    vt5test::BusFixture bus;
    std::unique_ptr<vt5test::Subprocess> hcsim;
};

TEST_F(Vt5Card, ListsOneEntryALineWithTabs) {
    serve();
    auto root = cardTool({"ls"});
    ASSERT_EQ(root.status, 0) << root.err;
    auto lines = ::testing::ElementsAre(HasSubstr("VELTRA5\t0\t"),
                                        "README~1.TXT\t7\t2023-12-24 18:30:06\tR----A\tRead Me.txt",
                                        "LOGS\t0\t2024-03-08 22:10:04\t----D-\tLOGS");
    std::vector<std::string> got;
    std::istringstream in(root.out);
    for (std::string l; std::getline(in, l);)
        got.push_back(l);
    EXPECT_THAT(got, lines);
    EXPECT_EQ(root.err, "");

    auto logs = cardTool({"ls", "logs"});
    ASSERT_EQ(logs.status, 0) << logs.err;
    EXPECT_EQ(logs.out,
              "OLD\t0\t2024-01-01 20:00:00\t----D-\tOLD\n"
              "VT5_LO~1.TXT\t9000\t2024-03-07 22:10:04\t-----A\tvt5_log_0307.txt\n"
              "VT5_LO~2.TXT\t1\t2024-03-08 22:10:04\t-----A\tvt5_log_0308.txt\n");
    auto one = cardTool({"ls", "/LOGS/VT5_LO~2.TXT"});
    EXPECT_EQ(one.out, "VT5_LO~2.TXT\t1\t2024-03-08 22:10:04\t-----A\tvt5_log_0308.txt\n");

    auto missing = cardTool({"ls", "/NOPE"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_THAT(missing.err, HasSubstr("vt5-card: no such file or folder on the card: /NOPE"));
    for (auto args : std::vector<std::vector<std::string>>{{}, {"cp"}, {"ls", "-o", "x"}}) {
        auto bad = cardTool(args);
        EXPECT_EQ(bad.status, 2);
        EXPECT_THAT(bad.err, HasSubstr("vt5-card: "));
    }
}

TEST_F(Vt5Card, GetCopiesFilesAndFoldersWithTheirCardTimes) {
    fs::create_directory(card() / "LOGS/EMPTY");
    serve();
    auto get = cardTool({"get", "LOGS", "/read me.txt", "-o", local().string()});
    ASSERT_EQ(get.status, 0) << get.err;
    EXPECT_EQ(get.out, "");
    EXPECT_EQ(get.err, "");  // no terminal: no progress bar
    EXPECT_EQ(readHostFile(local() / "LOGS/vt5_log_0307.txt"), std::string(9000, 'a'));
    EXPECT_EQ(readHostFile(local() / "LOGS/OLD/vt5_log_0101.txt"), "c");
    EXPECT_EQ(vt5test::folderNames(local()), "LOGS Read Me.txt");
    struct stat st {};
    ASSERT_EQ(::stat((local() / "LOGS/vt5_log_0307.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, std::chrono::system_clock::to_time_t(utc(2024, 3, 7, 22, 10, 4)));
    ASSERT_EQ(::stat((local() / "Read Me.txt").c_str(), &st), 0);
    EXPECT_FALSE(st.st_mode & S_IWUSR);  // read-only on the card
    EXPECT_TRUE(fs::is_directory(local() / "LOGS/EMPTY"));
    ASSERT_EQ(::stat((local() / "LOGS/OLD").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, std::chrono::system_clock::to_time_t(utc(2024, 1, 1, 20, 0, 0)));

    // Again into a folder that does not exist yet, and the whole card.
    auto all = cardTool({"get", "/", "-o", (local() / "all").string()});
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(vt5test::folderNames(local() / "all"), "LOGS Read Me.txt");
    auto missing = cardTool({"get", "/LOGS/nope.txt", "LOGS", "-o", (local() / "x").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_THAT(missing.err, HasSubstr("no such file or folder on the card: /LOGS/nope.txt"));
    EXPECT_FALSE(fs::exists(local() / "x"));  // nothing copied
}

TEST_F(Vt5Card, PutCopiesWhatACardHoldsAndRmDeletes) {
    serve();
    writeHostFile(local() / "notes.txt", "clear skies");
    {
        // A sparse file of 5 GiB: too large for FAT.
        std::ofstream big(local() / "huge.ser");
    }
    fs::resize_file(local() / "huge.ser", 5ull << 30);
    auto put = cardTool(
        {"put", (local() / "huge.ser").string(), (local() / "notes.txt").string(), "logs/old"});
    EXPECT_EQ(put.status, 1);
    EXPECT_THAT(put.err, HasSubstr("huge.ser is too large for the card (5120 MiB"));
    EXPECT_EQ(readHostFile(card() / "LOGS/OLD/notes.txt"), "clear skies");
    EXPECT_FALSE(fs::exists(card() / "LOGS/OLD/huge.ser"));

    auto toRoot = cardTool({"put", (local() / "notes.txt").string()});
    ASSERT_EQ(toRoot.status, 0) << toRoot.err;
    EXPECT_TRUE(fs::exists(card() / "notes.txt"));
    auto noFolder = cardTool({"put", (local() / "notes.txt").string(), "/NOPE"});
    EXPECT_EQ(noFolder.status, 1);
    EXPECT_THAT(noFolder.err, HasSubstr("no such folder on the card: /NOPE"));

    auto rm = cardTool({"rm", "/notes.txt", "/LOGS/OLD/NOTES.TXT", "/NOPE", "LOGS"});
    EXPECT_EQ(rm.status, 1);
    EXPECT_FALSE(fs::exists(card() / "notes.txt"));
    EXPECT_FALSE(fs::exists(card() / "LOGS/OLD/notes.txt"));
    EXPECT_THAT(rm.err, HasSubstr("no such file or folder on the card: /NOPE"));
    EXPECT_THAT(rm.err, HasSubstr("Deleting /LOGS: the HC's file system refused (status 7)"));
    EXPECT_TRUE(fs::exists(card() / "LOGS"));
}

TEST_F(Vt5Card, APulledCardEndsTheDownloadWithAClearMessageAndNoPartialFile) {
    serve();
    writeHostFile(local() / "vt5_log_0307.txt", "an older copy");
    ASSERT_THAT(control("fault card-pulled 5000"), HasSubstr("ok"));
    auto get = cardTool({"get", "/LOGS/vt5_log_0307.txt", "-o", local().string()});
    EXPECT_EQ(get.status, 1);
    EXPECT_THAT(get.err, HasSubstr("Reading /LOGS/vt5_log_0307.txt: the HC's file system "
                                   "refused (status 1)"));
    EXPECT_EQ(vt5test::folderNames(local()), "vt5_log_0307.txt");
    EXPECT_EQ(readHostFile(local() / "vt5_log_0307.txt"), "an older copy");
    auto gone = cardTool({"ls"});
    EXPECT_EQ(gone.status, 1);
    EXPECT_THAT(gone.err, HasSubstr("status 3"));
}

TEST_F(Vt5Card, InterruptedTransfersLeaveNothingHalfCopied) {
    serve({"--paced"});  // 300 kB/s: 3 MB take ten seconds
    std::string big(3'000'000, 'x');
    writeHostFile(card() / "big.bin", big);
    writeHostFile(local() / "up.bin", big);
    for (std::vector<std::string> args :
         {std::vector<std::string>{"get", "/big.bin", "-o", local().string()},
          std::vector<std::string>{"put", (local() / "up.bin").string(), "/LOGS"}}) {
        args.insert(args.begin(), VT5_CARD_PATH);
        vt5test::Subprocess tool(args, true);
        ::usleep(1'500'000);
        tool.kill(SIGINT);
        int status = tool.wait();
        ASSERT_TRUE(WIFEXITED(status)) << args[1];
        EXPECT_EQ(WEXITSTATUS(status), 130) << args[1];
    }
    EXPECT_EQ(vt5test::folderNames(local()), "up.bin");
    EXPECT_EQ(vt5test::folderNames(card() / "LOGS"), "OLD vt5_log_0307.txt vt5_log_0308.txt");
}

TEST_F(Vt5Card, WorksThroughTheApiServer) {
    serve();
    int port = vt5test::freeTcpPort();
    vt5test::Subprocess server({VT5_SERVER_PATH, "--port", std::to_string(port)}, true);
    ASSERT_TRUE(server.waitFor("listening on port " + std::to_string(port)));
    std::string at = "127.0.0.1:" + std::to_string(port);
    auto ls = cardTool({"--server", at, "ls", "/LOGS"});
    ASSERT_EQ(ls.status, 0) << ls.err;
    EXPECT_THAT(ls.out, HasSubstr("\tvt5_log_0308.txt\n"));
    auto get = cardTool({"--server", at, "get", "/LOGS/vt5_log_0307.txt", "-o", local().string()});
    ASSERT_EQ(get.status, 0) << get.err;
    EXPECT_EQ(readHostFile(local() / "vt5_log_0307.txt"), std::string(9000, 'a'));
    auto put = cardTool({"--server", at, "put", (local() / "vt5_log_0307.txt").string(), "/"});
    ASSERT_EQ(put.status, 0) << put.err;
    EXPECT_EQ(readHostFile(card() / "vt5_log_0307.txt"), std::string(9000, 'a'));

    // While another client of the server holds the card, vt5-card says so.
    CVT5Api browser;
    ASSERT_EQ(VT5_Open(&browser, nullptr, "127.0.0.1", port, "Gantrix - FileSystem"), VT5_OK);
    ASSERT_EQ(VT5cmd_FS_ChangeDir(&browser, "/LOGS", nullptr), VT5_OK);
    auto busy = cardTool({"--server", at, "ls"});
    EXPECT_EQ(busy.status, 1);
    EXPECT_THAT(busy.err, HasSubstr("another program on the API server is using the card"));
    VT5_Close(&browser);
    EXPECT_EQ(cardTool({"--server", at, "ls"}).status, 0);
    server.kill(SIGTERM);
    EXPECT_TRUE(server.waitFor("stopped"));
}

}  // namespace
