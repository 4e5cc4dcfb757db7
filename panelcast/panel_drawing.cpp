#include "panelcast/panel_drawing.h"

#include <algorithm>

namespace {

constexpr int kLevelTable[10] = {0, 13, 30, 49, 71, 95, 122, 151, 183, 217};
constexpr int kDisplayWidth = VT5_DISPLAY_WIDTH;
constexpr int kDisplayHeight = VT5_DISPLAY_HEIGHT;
// The display and the button rows beneath it.
constexpr int kPanelContentHeight = 442;
constexpr int kHalfButton = kButtonImageSize / 2;

enum class Orientation { AsStored, Left, Right, Down };

struct ButtonPlace {
    int x, y;
    const ButtonImage* image;
    Orientation orientation;
};

// The image pixel that lands on (x, y) of the drawn button.
uint8_t Sample(const ButtonImage& image, Orientation o, int x, int y) {
    constexpr int last = kButtonImageSize - 1;
    switch (o) {
        case Orientation::Left:  // rows and columns exchanged
            std::swap(x, y);
            break;
        case Orientation::Right:  // exchanged and mirrored left-right
            std::swap(x, y);
            y = last - y;
            break;
        case Orientation::Down:  // mirrored top-bottom
            y = last - y;
            break;
        case Orientation::AsStored:
            break;
    }
    return image[static_cast<size_t>(y) * kButtonImageSize + x];
}

}  // namespace

DisplayPosition PlaceDisplay(int width, int height) {
    return {std::max(0, (width - kDisplayWidth) / 2),
            std::max(0, (height - kPanelContentHeight) / 2)};
}

uint32_t LightPixel(uint8_t gray, int level, int colour) {
    if (gray <= 8) {
        uint32_t dark = 4u * (8u - gray);
        return dark << 16 | dark << 8 | dark;
    }
    int l = kLevelTable[std::clamp(level, 0, 9)];
    int factor[3];
    if (colour == 1) {
        factor[0] = 3 * l / 4, factor[1] = l / 3, factor[2] = 3 * l / 4;
    } else if (colour == 2) {
        factor[0] = 0, factor[1] = l / 2, factor[2] = 2 * l;
    } else {
        factor[0] = l, factor[1] = l / 4, factor[2] = 0;
    }
    uint32_t pixel = 0;
    for (int c = 0; c < 3; ++c)
        pixel = pixel << 8 | static_cast<uint32_t>(std::min(255, (gray - 8) * factor[c] / 247));
    return pixel;
}

void DrawDisplay(CBitmapRect& canvas, const uint16_t* frame, DisplayPosition at) {
    for (int y = 0; y < kDisplayHeight; ++y) {
        uint32_t* row = canvas.Row(at.top + y);
        if (!row) continue;
        const uint16_t* source = frame + static_cast<size_t>(y) * kDisplayWidth;
        int first = std::max(0, -at.left);
        int end = std::min(kDisplayWidth, canvas.Width() - at.left);
        for (int x = first; x < end; ++x)
            row[at.left + x] = DisplayPixel(source[x]);
    }
}

void DrawButtonLights(CBitmapRect& canvas, const VT5ButtonLights& lights,
                      const ButtonImages& images, int panelWidth, DisplayPosition at) {
    const int w = panelWidth;
    const ButtonPlace places[VT5_BUTTON_COUNT] = {
        {at.left + 19, at.top + 350, &images.esc, Orientation::AsStored},
        {w - at.left - 19, at.top + 350, &images.set, Orientation::AsStored},
        {w / 2 - 36, at.top + 386, &images.up, Orientation::Left},
        {w / 2 + 36, at.top + 386, &images.up, Orientation::Right},
        {w / 2, at.top + 350, &images.up, Orientation::AsStored},
        {w / 2, at.top + 422, &images.up, Orientation::Down},
    };
    for (int b = 0; b < VT5_BUTTON_COUNT; ++b) {
        const ButtonPlace& p = places[b];
        const auto& light = lights.button[b];
        for (int y = 0; y < kButtonImageSize; ++y) {
            uint32_t* row = canvas.Row(p.y - kHalfButton + y);
            if (!row) continue;
            for (int x = 0; x < kButtonImageSize; ++x) {
                int cx = p.x - kHalfButton + x;
                if (cx < 0 || cx >= canvas.Width()) continue;
                row[cx] =
                    LightPixel(Sample(*p.image, p.orientation, x, y), light.level, light.colour);
            }
        }
    }
}

void DrawBorder(CBitmapRect& canvas, int panelWidth, bool connected) {
    const int thickness = panelWidth / 40 + 1;
    const uint32_t colour = connected ? kBorderConnected : kBorderDisconnected;
    const int w = canvas.Width(), h = canvas.Height();
    for (int i = 0; i < thickness; ++i) {
        canvas.HorizontalLine(0, i, w - 1, colour);
        canvas.HorizontalLine(0, h - 1 - i, w - 1, colour);
        canvas.VerticalLine(i, 0, h - 1, colour);
        canvas.VerticalLine(w - 1 - i, 0, h - 1, colour);
    }
}
