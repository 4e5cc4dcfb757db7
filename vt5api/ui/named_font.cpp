#include "vt5api/ui/named_font.h"

#include <QFontDatabase>
#include <QStringList>

namespace {

bool Installed(const QString& family) {
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

}  // namespace

QFont NamedFont(const QString& family, int pixelHeight, int weight, QFont base) {
    if (Installed(family)) base.setFamily(family);
    base.setPixelSize(pixelHeight);
    base.setWeight(static_cast<QFont::Weight>(weight));
    return base;
}

QFont FamilyIfInstalled(const QString& family, int pointSize, QFont base) {
    if (Installed(family)) {
        base.setFamily(family);
        base.setPointSize(pointSize);
    }
    return base;
}
