#include "tests/options/gui_test.h"

#include <QApplication>

namespace vt5test {

namespace {

// One application object for the whole test program; it stays until the process ends.
void EnsureApplication() {
    static int argc = 1;
    static char name[] = "vt5-gui-test";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
}

}  // namespace

GuiTest::GuiTest() {
    EnsureApplication();
}

}  // namespace vt5test
