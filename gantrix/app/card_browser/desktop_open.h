#pragma once

// Opens a local file or folder with the program the desktop chooses for it (a report page in
// the web browser, a folder in the file manager), and tells afterwards whether one did.

#include <QString>
#include <functional>

// How an opening went; called on the window thread, perhaps long after the call.
using OpenOutcome = std::function<void(bool opened)>;
// Opens path; outcome learns whether a program took it.
using DesktopOpener = std::function<void(const QString& path, OpenOutcome outcome)>;

// The desktop's opener: xdg-open, whose exit status says whether a program could be found and
// started for the path (QDesktopServices cannot tell that), else QDesktopServices where no
// xdg-open is installed.
void OpenWithDesktop(const QString& path, OpenOutcome outcome);
