// The option form and the progress bar that every command-line tool shares.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/cli/command_line.h"
#include "tools/cli/progress.h"
#include "tools/cli/terminal_text.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

struct Parsed {
    std::optional<int> status;
    cli::CommandLine line{"vt5-test",
                          "[--serial S | --server HOST[:PORT]] CMD ARG...",
                          "A test.\n",
                          {{"--output", "-o", "DIR", "where"},
                           {"--seconds", "", "N", "how long"},
                           {"--yes", "", "", "no questions"}},
                          true};
};

std::unique_ptr<Parsed> Parse(std::vector<std::string> args) {
    auto p = std::make_unique<Parsed>();
    args.insert(args.begin(), "vt5-test");
    std::vector<const char*> argv;
    for (const auto& a : args)
        argv.push_back(a.c_str());
    // Messages of bad command lines go to standard error; keep the test log readable.
    std::FILE* saved = stderr;
    stderr = std::tmpfile();
    p->status = p->line.Parse(static_cast<int>(argv.size()), argv.data());
    std::fclose(stderr);
    stderr = saved;
    return p;
}

TEST(CommandLine, OptionsAndPositionalsInAnyOrder) {
    auto p = Parse({"get", "--server", "scope.local:6000", "A/B.TXT", "-o", "out", "C.TXT", "--yes",
                    "--seconds=5", "--", "--odd-name"});
    ASSERT_FALSE(p->status);
    EXPECT_THAT(p->line.Positional(), ElementsAre("get", "A/B.TXT", "C.TXT", "--odd-name"));
    EXPECT_EQ(p->line.Value("--output"), "out");
    EXPECT_TRUE(p->line.Has("--yes"));
    EXPECT_EQ(*p->line.Number("--seconds", 1, 10, 0), 5);
    EXPECT_EQ(p->line.target().host, "scope.local");
    EXPECT_EQ(p->line.target().port, 6000);
    EXPECT_TRUE(p->line.target().viaServer());
}

TEST(CommandLine, ServerAddresses) {
    struct Row {
        std::string text;
        bool ok;
        std::string host;
        int port;
    } rows[] = {
        {"localhost", true, "localhost", 0},
        {"10.0.0.2:5938", true, "10.0.0.2", 5938},
        {"[::1]:7000", true, "::1", 7000},
        {"[::1]", true, "::1", 0},
        {"::1", true, "::1", 0},  // a bare IPv6 address has no port
        {"host:", false, "", 0},
        {"host:0", false, "", 0},
        {"host:65536", false, "", 0},
        {"host:12ab", false, "", 0},
        {":5937", false, "", 0},
        {"[::1", false, "", 0},
    };
    for (const Row& r : rows) {
        cli::HcTarget t;
        std::string error;
        EXPECT_EQ(cli::ParseServerAddress(r.text, t, error), r.ok) << r.text;
        if (r.ok) {
            EXPECT_EQ(t.host, r.host) << r.text;
            EXPECT_EQ(t.port, r.port) << r.text;
        } else {
            EXPECT_FALSE(error.empty()) << r.text;
        }
    }
}

TEST(CommandLine, BadCommandLinesEndWithStatus2AndHelpWith0) {
    for (auto args : std::vector<std::vector<std::string>>{{"--nope"},
                                                           {"-o"},
                                                           {"--yes=1"},
                                                           {"--serial", "A", "--server", "h"},
                                                           {"--serial", "TOOLONG99"},
                                                           {"--server", "h:99999"}}) {
        EXPECT_EQ(Parse(args)->status, 2) << args[0];
    }
    std::FILE* saved = stdout;
    stdout = std::tmpfile();
    auto help = Parse({"ls", "--help"});
    std::fclose(stdout);
    stdout = saved;
    EXPECT_EQ(help->status, 0);
}

TEST(CommandLine, NumbersOutsideTheirRangeAreRefused) {
    auto p = Parse({"--seconds", "11"});
    ASSERT_FALSE(p->status);
    std::FILE* saved = stderr;
    stderr = std::tmpfile();
    EXPECT_FALSE(p->line.Number("--seconds", 1, 10, 0));
    EXPECT_FALSE(Parse({"--seconds", "1x"})->line.Number("--seconds", 1, 10, 0));
    EXPECT_FALSE(Parse({"--seconds", "nan"})->line.Real("--seconds", 0, 1, 0));
    std::fclose(stderr);
    stderr = saved;
    EXPECT_EQ(*Parse({})->line.Number("--seconds", 1, 10, 7), 7);
    EXPECT_DOUBLE_EQ(*Parse({"--seconds", "0.25"})->line.Real("--seconds", 0, 1, 0), 0.25);
}

TEST(Progress, DrawsOnlyOnATerminalUnlessForced) {
    std::FILE* file = std::tmpfile();
    {
        cli::Progress quiet("copy", 100, cli::Progress::Unit::Bytes, file);
        quiet.Update(50);
        EXPECT_FALSE(quiet.active());
    }
    EXPECT_EQ(std::ftell(file), 0);
    {
        cli::Progress drawn("copy", 100, cli::Progress::Unit::Bytes, file, true);
        drawn.Update(100);
    }
    std::rewind(file);
    char text[4096] = {};
    size_t n = std::fread(text, 1, sizeof text - 1, file);
    std::string s(text, n);
    EXPECT_THAT(s, HasSubstr("100%"));
    EXPECT_EQ(s.back(), '\r');  // cleared at the end
    std::fclose(file);
}

TEST(Progress, RendersWithinTheWidth) {
    std::FILE* file = std::tmpfile();
    cli::Progress p("get LOGS/VERY_LONG_NAME_OF_A_LOG_FILE_0001.TXT", 2'000'000,
                    cli::Progress::Unit::Bytes, file, false);
    std::string line = p.Render(500'000, 250'000, 80);
    EXPECT_LE(line.size(), 80u);
    EXPECT_THAT(line, HasSubstr(" 25%"));
    EXPECT_THAT(line, HasSubstr("500.0 kB / 2.0 MB"));
    EXPECT_THAT(line, HasSubstr("250.0 kB/s"));
    EXPECT_LE(p.Render(3'000'000, 0, 30).size(), 30u);
    EXPECT_THAT(p.Render(3'000'000, 0, 80), HasSubstr("100%"));  // more than announced
    cli::Progress items("files", 0, cli::Progress::Unit::Items, file, false);
    EXPECT_THAT(items.Render(0, 0, 80), HasSubstr("100%"));  // nothing to do is done
    std::fclose(file);
}

TEST(TerminalText, ControlCharactersAreShownEscaped) {
    struct Case {
        const char* name;
        std::string text;
        std::string keep;
        std::string shown;
    };
    const Case cases[] = {
        {"plain text", "vt5_log_0307.txt", "", "vt5_log_0307.txt"},
        {"UTF-8 letters", "M\xC3\xBCnchen \xE2\x98\x85 \xF0\x9F\x94\xAD", "",
         "M\xC3\xBCnchen \xE2\x98\x85 \xF0\x9F\x94\xAD"},
        {"escape sequence", "HC \x1B[2J\x1B]0;owned\x07", "", "HC \\033[2J\\033]0;owned\\a"},
        {"line controls", "a\tb\nc\rd\be\vf\fg", "", "a\\tb\\nc\\rd\\be\\vf\\fg"},
        {"kept line ends", "one\ntwo\r\n", "\n", "one\ntwo\\r\n"},
        {"NUL and DEL", std::string("a\0b\x7F", 4), "", "a\\000b\\177"},
        {"C1 control U+009B",
         "x\xC2\x9B"
         "31mred",
         "",
         "x\\302\\233"
         "31mred"},
        {"U+00A0 is no control",
         "a\xC2\xA0"
         "b",
         "",
         "a\xC2\xA0"
         "b"},
        {"a lone CSI byte",
         "x\x9B"
         "1m",
         "",
         "x\\233"
         "1m"},
        {"overlong slash", "\xC0\xAF", "", "\\300\\257"},
        {"cut sequence at the end", "ok\xE2\x98", "", "ok\\342\\230"},
        {"surrogate", "\xED\xA0\x80", "", "\\355\\240\\200"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cli::EscapeControls(c.text, c.keep), c.shown) << c.name;
}

TEST(TerminalText, OnlyATerminalGetsTheEscapes) {
    const std::string text = "name\x1B[2J";
    std::FILE* file = std::tmpfile();
    EXPECT_EQ(cli::ForTerminal(file, text), text);
    std::fclose(file);

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    std::FILE* terminal = std::fopen(::ptsname(master), "w");
    ASSERT_NE(terminal, nullptr);
    EXPECT_EQ(cli::ForTerminal(terminal, text), "name\\033[2J");
    std::fclose(terminal);
    ::close(master);
}

}  // namespace
