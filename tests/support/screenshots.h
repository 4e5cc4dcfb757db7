#pragma once

#include <QDir>
#include <optional>

class QWidget;

namespace vt5test {

// For the screenshot tools (run by hand): the output folder named by the one argument,
// created, with a private registry hive in it and the user's USB devices and vt5-hcsim daemon
// kept out; nothing (after the usage on standard error) for a wrong command line. Call it
// before the QApplication is made.
std::optional<QDir> ScreenshotFolder(int argc, char** argv, const char* program);

// Shows the widget at its natural size and renders it into folder/name (PNG); says so on
// standard output.
bool SaveScreenshot(QWidget& widget, const QDir& folder, const char* name);

}  // namespace vt5test
