#include "vt5api/ui/ui_text.h"

QString UiText(std::string_view text) {
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return s;
}

std::string ApiText(const QString& text) {
    return text.toStdString();
}
