// vt5-card against a simulated HC that vt5-hcsim serves from another process, directly and
// through vt5-server.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ftd2xx/ftd2xx.h"
#include "tests/card/card_files.h"
#include "tests/support/bus_fixture.h"
#include "tests/support/subprocess.h"
#include "tests/support/terminal_run.h"
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

    // Whether a program holds the simulated HC open, as the bus lists it.
    bool hcHeld() {
        uint32_t n = 0;
        if (FT_CreateDeviceInfoList(&n) != FT_OK) return true;
        std::vector<FT_DEVICE_LIST_INFO_NODE> nodes(n);
        if (n > 0 && FT_GetDeviceInfoList(nodes.data(), &n) != FT_OK) return true;
        for (const auto& node : nodes)
            if (std::string(node.SerialNumber) == "CARDHC01") return node.Flags & FT_FLAGS_OPENED;
        return true;
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
    for (auto args : std::vector<std::vector<std::string>>{
             {}, {"cp"}, {"ls", "-o", "x"}, {"ls", "/", "/LOGS"}, {"get"}, {"put"}, {"rm"}}) {
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

TEST_F(Vt5Card, BadCommandLinesEndBeforeAnyHcIsOpened) {
    // No HC on this bus: only a check before opening one gives 2 and the reason.
    bus.useDaemon();
    struct Case {
        std::vector<std::string> args;
        const char* reason;
    };
    const Case cases[] = {
        {{"ls", "a", "b"}, "ls takes one card path"},
        {{"get"}, "get needs at least one card path"},
        {{"get", "-o", "x"}, "get needs at least one card path"},
        {{"put"}, "put needs at least one local file"},
        {{"rm"}, "rm needs at least one card path"},
    };
    for (const Case& c : cases) {
        auto bad = cardTool(c.args);
        EXPECT_EQ(bad.status, 2) << c.args[0];
        EXPECT_THAT(bad.err, HasSubstr(std::string("vt5-card: ") + c.reason)) << c.args[0];
        EXPECT_THAT(bad.err, HasSubstr("--help")) << c.args[0];
    }
}

// Paths longer than a file system command carries: cut to 511 characters, each would name the
// decoy beside its file.
TEST_F(Vt5Card, LongPathsReachTheirOwnEntryAndNeverACutOne) {
    const std::string a(240, 'A'), b(240, 'B');
    struct Case {
        const char* name;
        std::string given;  // as typed
    };
    const Case cases[] = {
        {"520 characters", "/LONGP/" + a + "/" + b + "/decoy_at_cut_real_file_name.txt"},
        // 511 characters as typed, 512 with the root's "/" in front.
        {"511 characters from the root", "LONGP/" + a + "/" + b + "/real_file_name_23_chars"},
    };
    for (const Case& c : cases) {
        const std::string full = c.given[0] == '/' ? c.given : "/" + c.given;
        ASSERT_GT(full.size(), 511u) << c.name;
        const std::string realName = fs::path(full).filename();
        const std::string decoyName = fs::path(full.substr(0, 511)).filename();
        ASSERT_NE(realName, decoyName);
        const fs::path folder = card() / "LONGP" / a / b;
        writeHostFile(folder / realName, "the real file");
        writeHostFile(folder / decoyName, "the decoy");
    }
    serve();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string full = c.given[0] == '/' ? c.given : "/" + c.given;
        const std::string realName = fs::path(full).filename();
        const std::string decoyName = fs::path(full.substr(0, 511)).filename();
        const fs::path folder = card() / "LONGP" / a / b;
        const fs::path here = local() / realName;

        auto ls = cardTool({"ls", c.given});
        ASSERT_EQ(ls.status, 0) << ls.err;
        EXPECT_THAT(ls.out, HasSubstr("\t13\t"));  // "the real file"
        EXPECT_THAT(ls.out, HasSubstr("\t" + realName + "\n"));

        auto get = cardTool({"get", c.given, "-o", local().string()});
        ASSERT_EQ(get.status, 0) << get.err;
        EXPECT_EQ(readHostFile(here), "the real file");
        EXPECT_FALSE(fs::exists(local() / decoyName));

        writeHostFile(here, "uploaded");
        auto put = cardTool({"put", here.string(), fs::path(full).parent_path().string()});
        ASSERT_EQ(put.status, 0) << put.err;
        EXPECT_EQ(readHostFile(folder / realName), "uploaded");
        EXPECT_EQ(readHostFile(folder / decoyName), "the decoy");

        auto rm = cardTool({"rm", c.given});
        ASSERT_EQ(rm.status, 0) << rm.err;
        EXPECT_FALSE(fs::exists(folder / realName));
        EXPECT_EQ(readHostFile(folder / decoyName), "the decoy");
        fs::remove(here);

        // The HC's current folder is where it was.
        EXPECT_THAT(control("card"), HasSubstr(" cwd=/ "));
    }
    EXPECT_EQ(vt5test::folderNames(card() / "LONGP" / a / b),
              "decoy_at_cut_real_file real_file_name_23_char");

    // A name no FAT card can hold is refused, not cut.
    auto tooLong = cardTool({"ls", "/LONGP/" + std::string(256, 'C') + "/" + a + "/" + b});
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_THAT(tooLong.err, HasSubstr("a card name has at most 255 bytes"));
}

TEST_F(Vt5Card, NamesUpToTheFatLimitAreDownloadedAndKilledRunsLeaveNothingForLong) {
    // FAT names have up to 255 bytes; the hidden name a download is written under must fit too.
    const std::string longName = std::string(246, 'n') + ".txt";
    writeHostFile(card() / longName, "a long name");
    std::string big(3'000'000, 'x');
    writeHostFile(card() / "big.bin", big);
    serve({"--paced"});  // 300 kB/s: the big file takes ten seconds
    auto get = cardTool({"get", "/" + longName, "-o", local().string()});
    ASSERT_EQ(get.status, 0) << get.err;
    EXPECT_EQ(readHostFile(local() / longName), "a long name");
    EXPECT_EQ(vt5test::folderNames(local()), longName);

    // A run killed in the middle of a download leaves its hidden file...
    vt5test::Subprocess killed({VT5_CARD_PATH, "get", "/big.bin", "-o", local().string()});
    auto hidden = [&] {
        for (const auto& e : fs::directory_iterator(local()))
            if (e.path().filename().string().rfind(".vt5-card-", 0) == 0) return true;
        return false;
    };
    for (int i = 0; i < 3000 && !hidden(); ++i)
        ::usleep(10'000);
    ASSERT_TRUE(hidden()) << "the download did not start";
    killed.kill(SIGKILL);
    killed.wait();
    ASSERT_TRUE(hidden());
    // The kernel frees a real HC as its holder ends; vt5-hcsim frees its own once it has seen
    // the killed run's connection close, a moment later.
    for (int i = 0; i < 3000 && hcHeld(); ++i)
        ::usleep(10'000);
    ASSERT_FALSE(hcHeld()) << "the killed run still holds the HC";
    // ...which the next run in that folder removes.
    auto next = cardTool({"get", "/" + longName, "-o", local().string()});
    ASSERT_EQ(next.status, 0) << next.err;
    EXPECT_EQ(vt5test::folderNames(local()), longName);
}

TEST_F(Vt5Card, LinksInTheCardFolderLeadNowhere) {
    vt5test::TempDir outside;
    writeHostFile(outside.path() / "secret.txt", "secret");
    writeHostFile(outside.path() / "folder/kept.txt", "kept");
    fs::create_symlink(outside.path() / "secret.txt", card() / "secret.txt");
    fs::create_symlink(outside.path() / "folder", card() / "out");
    fs::create_symlink(".", card() / "loop");
    serve();
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"get", "/secret.txt", "-o", local().string()}, "no such file or folder on the card"},
        {{"get", "/out/kept.txt", "-o", local().string()}, "status 5"},
        {{"rm", "/out/kept.txt"}, "status 5"},
        {{"put", (card() / "Read Me.txt").string(), "/out"}, "no such folder on the card: /out"},
        {{"ls", "/loop/loop/loop"}, "status 5"},
    };
    for (const Case& c : cases) {
        auto run = cardTool(c.args);
        EXPECT_EQ(run.status, 1) << c.args[0] << " " << c.args[1];
        EXPECT_THAT(run.err, HasSubstr(c.message)) << c.args[0] << " " << c.args[1];
    }
    EXPECT_EQ(vt5test::folderNames(local()), "");
    EXPECT_EQ(readHostFile(outside.path() / "folder/kept.txt"), "kept");
    EXPECT_EQ(vt5test::folderNames(outside.path() / "folder"), "kept.txt");
}

// Card names are the card's: on a terminal, a C1 control in one is shown, not obeyed.
TEST_F(Vt5Card, LsShowsControlCharactersEscapedOnATerminal) {
    const std::string name =
        "night \xC2\x9B"
        "2J.txt";
    writeHostFile(card() / name, "x", utc(2024, 3, 9, 1, 2, 4));
    serve();
    auto shown = vt5test::runOnTerminal({VT5_CARD_PATH, "ls", "/" + name});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_THAT(shown.out, HasSubstr("\t1\t2024-03-09 01:02:04\t-----A\tnight \\302\\2332J.txt\n"));
    auto piped = cardTool({"ls", "/" + name});
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_THAT(piped.out, HasSubstr("\t" + name + "\n"));
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
    // The copy is under way once the tool has moved past the start of a local file it holds
    // open: the hidden download beside up.bin, or up.bin as it is uploaded.
    auto copying = [&](pid_t pid) {
        const fs::path fds = "/proc/" + std::to_string(pid) + "/fd";
        std::error_code error;
        const fs::path folder = fs::canonical(local(), error);
        for (const auto& fd : fs::directory_iterator(fds, error)) {
            std::error_code gone;
            const fs::path target = fs::read_symlink(fd.path(), gone);
            if (gone || target.parent_path() != folder) continue;
            std::ifstream info("/proc/" + std::to_string(pid) + "/fdinfo/" +
                               fd.path().filename().string());
            std::string key;
            long long pos = 0;
            if (info >> key >> pos && key == "pos:" && pos > 0) return true;
        }
        return false;
    };
    for (std::vector<std::string> args :
         {std::vector<std::string>{"get", "/big.bin", "-o", local().string()},
          std::vector<std::string>{"put", (local() / "up.bin").string(), "/LOGS"}}) {
        args.insert(args.begin(), VT5_CARD_PATH);
        vt5test::Subprocess tool(args, true);
        // Interrupted once the copy has begun, however long the start took.
        for (int waited = 0; !copying(tool.pid()) && waited < 60000; waited += 10)
            ::usleep(10'000);
        ASSERT_TRUE(copying(tool.pid())) << args[1];
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
