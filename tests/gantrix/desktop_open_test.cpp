// Opening with the desktop's program: xdg-open's exit status says whether a program took the
// path. A stand-in xdg-open on PATH records what it was asked and ends as told.

#include "gantrix/app/card_browser/desktop_open.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "tests/options/gui_test.h"

namespace {

namespace fs = std::filesystem;

class DesktopOpenTest : public vt5test::GuiTest {
protected:
    ~DesktopOpenTest() override { qputenv("PATH", savedPath_); }

    // xdg-open writes its argument to `asked` and exits with exitCode.
    void fakeXdgOpen(int exitCode) {
        const fs::path script = bin.path() / "xdg-open";
        std::ofstream(script) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << asked().string()
                              << "'\nexit " << exitCode << "\n";
        fs::permissions(script, fs::perms::owner_all);
        qputenv("PATH", QByteArray::fromStdString(bin.path().string()) + ":" + savedPath_);
    }
    fs::path asked() const { return bin.path() / "asked"; }

    vt5test::TempDir bin;
    QByteArray savedPath_ = qgetenv("PATH");
};

TEST_F(DesktopOpenTest, TheExitStatusOfXdgOpenTellsWhetherAProgramOpenedThePath) {
    struct Case {
        int exitCode;
        bool opened;
    };
    // 0: opened; 3: no program for it (no web browser installed); 4: the program failed.
    const Case cases[] = {{0, true}, {3, false}, {4, false}};
    const QString page = QStringLiteral("/reports/A1B2C3D4E5F6G7H/Processed/x log/guiexpo_1.html");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exitCode);
        fs::remove(asked());
        fakeXdgOpen(c.exitCode);
        std::optional<bool> outcome;
        OpenWithDesktop(page, [&](bool opened) { outcome = opened; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 60000));
        EXPECT_EQ(*outcome, c.opened);
        std::ifstream in(asked());
        std::string argument((std::istreambuf_iterator<char>(in)), {});
        EXPECT_EQ(argument, page.toStdString());
    }
}

}  // namespace
