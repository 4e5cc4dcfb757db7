#include "tools/vt5-skyframe/preview_png.h"

#include <QImage>
#include <QString>
#include <cstring>
#include <vector>

#include "starloom/model/frame_view.h"

namespace skyframe {

bool WritePreviewPng(std::span<const uint16_t> frame, int width, int height, int brightness,
                     const std::filesystem::path& path, std::string& error) {
    std::vector<uint32_t> pixels(frame.size());
    starloom::DrawFrameView(frame, brightness, pixels);
    // RGB32 ignores the top byte, so the 0x00RRGGBB pixels go in as they are.
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        std::memcpy(image.scanLine(y), pixels.data() + static_cast<std::size_t>(y) * width,
                    static_cast<std::size_t>(width) * sizeof(uint32_t));
    }
    if (!image.save(QString::fromStdString(path.string()), "PNG")) {
        error = "cannot write " + path.string();
        return false;
    }
    return true;
}

}  // namespace skyframe
