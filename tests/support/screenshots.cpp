#include "tests/support/screenshots.h"

#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace vt5test {

std::optional<QDir> ScreenshotFolder(int argc, char** argv, const char* program) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", program);
        return std::nullopt;
    }
    QDir folder(QString::fromLocal8Bit(argv[1]));
    folder.mkpath(QStringLiteral("."));
    const std::string hive = folder.filePath(QStringLiteral("registry.reg")).toStdString();
    ::setenv("VT5_REGISTRY", hive.c_str(), 1);
    ::setenv("VT5_USB_BACKENDS", "none", 1);
    return folder;
}

bool SaveScreenshot(QWidget& widget, const QDir& folder, const char* name) {
    widget.show();
    widget.adjustSize();
    const QString path = folder.filePath(QString::fromLatin1(name));
    const bool ok = widget.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

}  // namespace vt5test
