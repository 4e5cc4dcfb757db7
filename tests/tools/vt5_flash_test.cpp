// vt5-flash against simulated HCs that vt5-hcsim serves from another process, directly and
// through vt5-server.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support/bus_fixture.h"
#include "tests/support/subprocess.h"
#include "tests/support/terminal_run.h"
#include "tests/support/wire_client.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

const std::string kData = VT5_FIRMWARE_DIR;
const std::string kBoth = kData + "/vt5_fw_1.10.bin";

class Vt5Flash : public ::testing::Test {
protected:
    void serve(std::vector<std::string> args) {
        fixture.useDaemon();
        args.insert(args.begin(), {VT5_HCSIM_PATH, "--bus", fixture.busSocket()});
        daemon = std::make_unique<vt5test::Subprocess>(args);
        ASSERT_TRUE(daemon->waitFor("VT5_USB_BUS=")) << "vt5-hcsim did not start";
    }
    vt5test::RunResult flash(std::vector<std::string> args) {
        args.insert(args.begin(), VT5_FLASH_PATH);
        return vt5test::runProgram(args);
    }
    std::string control(const std::string& serial, std::vector<std::string> words) {
        words.insert(words.begin(),
                     {VT5_HCSIM_PATH, "--bus", fixture.busSocket(), "control", serial});
        std::string out;
        vt5test::run(words, out);
        return out;
    }

    vt5test::BusFixture fixture;
    std::unique_ptr<vt5test::Subprocess> daemon;
};

// A firmware file's description is the file's, not ours: on a terminal, its control
// characters are shown, not obeyed.
TEST_F(Vt5Flash, InfoShowsControlCharactersOfADescriptionEscapedOnATerminal) {
    std::ifstream in(kBoth, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string hostile = std::string(
        "HC \x1B[2J\x1B]0;owned\x07\xC2\x9B"
        "1m",
        21);
    ASSERT_GT(bytes.size(), 54u);
    bytes.replace(14, hostile.size(), hostile);  // the HC section's 40-byte description
    vt5test::TempDir dir;
    const std::string file = dir.file("hostile.bin");
    std::ofstream(file, std::ios::binary) << bytes;

    auto shown = vt5test::runOnTerminal({VT5_FLASH_PATH, "info", file});
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_THAT(shown.out, HasSubstr("\"HC \\033[2J\\033]0;owned\\a\\302\\233"
                                     "1m"));
    EXPECT_THAT(shown.out, HasSubstr("HC firmware:\n"));  // the lines stay lines
    EXPECT_EQ(shown.out.find('\x1B'), std::string::npos);
    // A script reads the bytes as they are.
    auto piped = flash({"info", file});
    EXPECT_EQ(piped.status, 0);
    EXPECT_THAT(piped.out, HasSubstr(hostile));
}

TEST_F(Vt5Flash, InfoPrintsTheContentsOrWhyTheFileDidNotLoad) {
    auto ok = flash({"info", kBoth});
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(
        ok.out,
        "Selected Firware file content:\n HC firmware:\n   \"Veltra-5 HC firmware 1.10\"\n    "
        " ver. 01.10.3\n Camera firmware\n   \"Veltra-5 guide camera 2.10\"\n     ver. "
        "02.10.1\n\n");
    EXPECT_EQ(ok.err, "");
    auto cut = flash({"info", kData + "/vt5_fw_truncated.bin"});
    EXPECT_EQ(cut.status, 3);
    EXPECT_THAT(cut.err, HasSubstr("wrong file contents"));
    EXPECT_EQ(cut.out, "");
    auto missing = flash({"info", kData + "/no-such-file.bin"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_THAT(missing.err, HasSubstr("can't open/find file"));

    for (auto args : std::vector<std::vector<std::string>>{
             {}, {"flash"}, {"info"}, {"info", "a", "b"}, {"devinfo", "x"}, {"update"}}) {
        auto bad = flash(args);
        EXPECT_EQ(bad.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_THAT(bad.err, HasSubstr("vt5-flash: "));
    }
    auto help = flash({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("Usage: vt5-flash"));
}

TEST_F(Vt5Flash, UpdatesBothPartsAndTheDeviceInformationShowsThem) {
    serve({"--serial", "FLASH001", "--mode", "boot"});
    auto update = flash({"update", kBoth, "--serial", "FLASH001"});
    EXPECT_EQ(update.status, 0) << update.err;
    EXPECT_EQ(
        update.out,
        "Opening device... OK\nUploading HC firmware...\nUploading Camera firmware...\nUpdate "
        "DONE.\n");
    EXPECT_EQ(update.err, "") << "no progress bar off a terminal";

    auto info = flash({"devinfo", "--serial", "FLASH001"});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_THAT(info.out, HasSubstr("=== HandController's state:  BOOT MODE"));
    EXPECT_THAT(info.out, HasSubstr("Firmware version:   01.10.3\n     description:   \"Veltra-5 "
                                    "HC firmware 1.10\""));
    EXPECT_THAT(info.out, HasSubstr("Firmware version:   02.10\n     description:   \"Veltra-5 "
                                    "guide camera 2.10\""));

    // A part the file lacks is named, and nothing is done.
    auto hcOnly =
        flash({"update", kData + "/vt5_fw_1.10_hc_only.bin", "--camera", "--serial", "FLASH001"});
    EXPECT_EQ(hcOnly.status, 1);
    EXPECT_THAT(hcOnly.err, HasSubstr("holds no camera firmware"));
    EXPECT_EQ(hcOnly.out, "");
}

TEST_F(Vt5Flash, ThePcbQuestionIsNoWithoutATerminalAndYesWithYes) {
    serve({"--serial", "FLASH001", "--mode", "boot"});
    const std::string pcb5 = kData + "/vt5_fw_1.12_pcb5.bin";
    auto no = flash({"update", pcb5, "--hc"});
    EXPECT_EQ(no.status, 1);
    EXPECT_THAT(no.err, HasSubstr("vt5-flash: WARNING: PCB version (0x3) is reported to be newer"));
    EXPECT_THAT(no.err, HasSubstr("--yes"));
    EXPECT_EQ(no.out, "Opening device... OK\nUpdate failed.\n");
    EXPECT_THAT(control("FLASH001", {"firmware"}), HasSubstr("hc status=0 version=01.04.2"));

    auto yes = flash({"update", pcb5, "--hc", "--yes"});
    EXPECT_EQ(yes.status, 0) << yes.err;
    EXPECT_THAT(yes.out, HasSubstr("WARNING: an older Firmware is uploaded to the HC"));
    EXPECT_THAT(control("FLASH001", {"firmware"}), HasSubstr("hc status=0 version=01.12.1"));
}

TEST_F(Vt5Flash, AChunkFailureIsExplainedAndTheRetryTakes) {
    serve({"--serial", "FLASH001", "--mode", "boot"});
    EXPECT_EQ(control("FLASH001", {"fault", "chunk", "0xC1"}), "ok\n");
    auto failed = flash({"update", kBoth, "--hc"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_THAT(failed.err,
                HasSubstr("vt5-flash: HC firmware update error: Update has failed\n\nUpdate "
                          "error: Checksum error after programming. You may retry the update.\n"));
    EXPECT_EQ(failed.out, "Opening device... OK\nUploading HC firmware...\nUpdate failed.\n");
    auto retried = flash({"update", kBoth, "--hc"});
    EXPECT_EQ(retried.status, 0) << retried.err;
    EXPECT_THAT(control("FLASH001", {"firmware"}), HasSubstr("hc status=0 version=01.10.3"));
}

TEST_F(Vt5Flash, UpdatesThroughTheApiServer) {
    serve({"--serial", "FLASH001", "--mode", "boot"});
    const int port = vt5test::freeTcpPort();
    vt5test::Subprocess server({VT5_SERVER_PATH, "--port", std::to_string(port)}, true);
    ASSERT_TRUE(server.waitFor("listening on port " + std::to_string(port)));
    const std::string at = "127.0.0.1:" + std::to_string(port);
    auto update = flash({"update", kBoth, "--server", at});
    EXPECT_EQ(update.status, 0) << update.err;
    EXPECT_THAT(update.out, HasSubstr("Update DONE."));
    auto info = flash({"devinfo", "--server", at});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_THAT(info.out, HasSubstr("Firmware version:   01.10.3"));
    EXPECT_THAT(info.out, HasSubstr("Firmware version:   02.10\n"));
    server.kill(SIGTERM);
    EXPECT_TRUE(server.waitFor("stopped"));

    // No server there any more.
    auto gone = flash({"update", kBoth, "--server", at});
    EXPECT_EQ(gone.status, 1);
    EXPECT_THAT(gone.err, HasSubstr("Can't connect to API Server!"));
}

}  // namespace
