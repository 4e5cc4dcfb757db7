#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QWidget>

#include "tests/options/temp_registry.h"
#include "tests/support/bus_fixture.h"
#include "tests/support/scripted_prompter.h"

namespace vt5test {

// Base of the offscreen dialog tests: a QApplication, a private registry, a private virtual
// USB bus (no real HCs or vt5-hcsim daemon take part) and a scripted Prompter.
class GuiTest : public ::testing::Test {
protected:
    GuiTest();

    // The child of parent with that object name; fails the test when there is none.
    template <class W>
    static W* child(const QWidget& parent, const char* objectName) {
        W* w = parent.findChild<W*>(QString::fromLatin1(objectName));
        EXPECT_NE(w, nullptr) << "no control " << objectName;
        return w;
    }

    TempRegistry registry;
    BusFixture bus;
    ScriptedPrompter prompter;
};

}  // namespace vt5test
