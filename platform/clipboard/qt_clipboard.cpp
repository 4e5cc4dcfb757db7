#include "platform/clipboard/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <cerrno>
#include <cstring>

namespace platform::clipboard {

bool QtClipboard::open() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) &&
           QGuiApplication::clipboard();
}

bool QtClipboard::empty() {
    QGuiApplication::clipboard()->clear();
    return true;
}

int QtClipboard::setBitmap(const Bitmap& bitmap) {
    QImage image(bitmap.width, bitmap.height, QImage::Format_RGB32);
    if (image.isNull() || !bitmap.pixels) return ENOMEM;
    for (int y = 0; y < bitmap.height; ++y)
        std::memcpy(image.scanLine(y), bitmap.pixels + static_cast<size_t>(y) * bitmap.width,
                    static_cast<size_t>(bitmap.width) * sizeof(uint32_t));
    QGuiApplication::clipboard()->setImage(image);
    return 0;
}

}  // namespace platform::clipboard
