#include "gantrix/app/card_browser/desktop_open.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

void OpenWithDesktop(const QString& path, OpenOutcome outcome) {
    // Without a parent: a browser that xdg-open starts in the foreground outlives the window
    // that asked for it, and the process object goes once xdg-open has ended.
    auto* process = new QProcess;
    process->setProgram(QStringLiteral("xdg-open"));
    process->setArguments({path});
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(process, &QProcess::finished, process,
                     [process, outcome](int exitCode, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (outcome) outcome(status == QProcess::NormalExit && exitCode == 0);
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, path, outcome](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart) return;
                         process->deleteLater();
                         const bool opened = QDesktopServices::openUrl(QUrl::fromLocalFile(path));
                         if (outcome) outcome(opened);
                     });
    process->start();
}
