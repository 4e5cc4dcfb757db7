#pragma once

#include <QCursor>
#include <QGuiApplication>

// Shows the wait cursor over the program's windows while the window thread is blocked (opening
// the HC, waiting for it to start). End it before showing a message box.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};
