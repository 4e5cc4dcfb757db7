#include "panelcast/button_images.h"

#include <QImage>
#include <QString>

// Resources of a static library need registering by name, outside any namespace.
static void RegisterPanelcastResources() {
    Q_INIT_RESOURCE(panelcast);
}

namespace {

bool Load(const char* name, ButtonImage& image) {
    image.fill(0);
    QImage gray(QString::fromLatin1(name));
    if (gray.isNull()) return false;
    gray = gray.convertToFormat(QImage::Format_Grayscale8);
    if (gray.width() != kButtonImageSize || gray.height() != kButtonImageSize) return false;
    for (int y = 0; y < kButtonImageSize; ++y) {
        const uchar* row = gray.constScanLine(y);
        std::copy(row, row + kButtonImageSize,
                  image.begin() + static_cast<std::ptrdiff_t>(y) * kButtonImageSize);
    }
    return true;
}

}  // namespace

bool LoadButtonImages(ButtonImages& images) {
    RegisterPanelcastResources();
    bool up = Load(":/panelcast/button_up.png", images.up);
    bool esc = Load(":/panelcast/button_esc.png", images.esc);
    bool set = Load(":/panelcast/button_set.png", images.set);
    return up && esc && set;
}
