#include "panelcast/panel_drawing.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kLevelTable[10] = {0, 13, 30, 49, 71, 95, 122, 151, 183, 217};
constexpr int kDisplayWidth = VT5_DISPLAY_WIDTH;
constexpr int kDisplayHeight = VT5_DISPLAY_HEIGHT;
// The display and the button rows beneath it.
constexpr int kPanelContentHeight = 442;
constexpr int kHalfButton = kButtonImageSize / 2;

enum class Orientation { AsStored, Left, Right, Down };

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

ButtonCentre ButtonPosition(int button, int panelWidth, DisplayPosition at) {
    const int w = panelWidth;
    switch (button) {
        case VT5_BUTTON_ESC:
            return {at.left + 19, at.top + 350};
        case VT5_BUTTON_SET:
            return {w - at.left - 19, at.top + 350};
        case VT5_BUTTON_LEFT:
            return {w / 2 - 36, at.top + 386};
        case VT5_BUTTON_RIGHT:
            return {w / 2 + 36, at.top + 386};
        case VT5_BUTTON_UP:
            return {w / 2, at.top + 350};
        default:
            return {w / 2, at.top + 422};
    }
}

int ButtonAt(int x, int y, int panelWidth, DisplayPosition at) {
    // The arrows' squares overlap at their corners; the nearest centre wins there.
    int best = -1;
    int bestDistance = 0;
    for (int b = 0; b < VT5_BUTTON_COUNT; ++b) {
        const ButtonCentre c = ButtonPosition(b, panelWidth, at);
        const int dx = x - c.x, dy = y - c.y;
        if (std::abs(dx) > kHalfButton || std::abs(dy) > kHalfButton) continue;
        const int distance = dx * dx + dy * dy;
        if (best < 0 || distance < bestDistance) best = b, bestDistance = distance;
    }
    return best;
}

uint32_t PressedFacePixel(uint8_t gray) {
    const uint32_t face = 0x58u + 4u * (8u - std::min<uint32_t>(gray, 8u));
    return face << 16 | face << 8 | face;
}

void DrawButtonLights(CBitmapRect& canvas, const VT5ButtonLights& lights,
                      const ButtonImages& images, int panelWidth, DisplayPosition at,
                      unsigned pressed) {
    const ButtonImage* image[VT5_BUTTON_COUNT] = {&images.esc, &images.set, &images.up,
                                                  &images.up,  &images.up,  &images.up};
    const Orientation orientation[VT5_BUTTON_COUNT] = {Orientation::AsStored, Orientation::AsStored,
                                                       Orientation::Left,     Orientation::Right,
                                                       Orientation::AsStored, Orientation::Down};
    constexpr int last = kButtonImageSize - 1;
    for (int b = 0; b < VT5_BUTTON_COUNT; ++b) {
        const ButtonCentre p = ButtonPosition(b, panelWidth, at);
        const auto& light = lights.button[b];
        const bool held = (pressed >> b) & 1u;
        for (int y = 0; y < kButtonImageSize; ++y) {
            uint32_t* row = canvas.Row(p.y - kHalfButton + y);
            if (!row) continue;
            for (int x = 0; x < kButtonImageSize; ++x) {
                int cx = p.x - kHalfButton + x;
                if (cx < 0 || cx >= canvas.Width()) continue;
                const uint8_t gray = Sample(*image[b], orientation[b], x, y);
                if (!held)
                    row[cx] = LightPixel(gray, light.level, light.colour);
                else if (x == 0 || y == 0 || x == last || y == last)
                    row[cx] = kPressedRim;
                else
                    row[cx] = gray <= 8 ? PressedFacePixel(gray)
                                        : LightPixel(gray, light.level, light.colour);
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
