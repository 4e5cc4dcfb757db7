#pragma once

// What Panelcast draws into its panel: the mirrored display, the six button lights and the
// border that tells the connection state. Pixels are 0x00RRGGBB.

#include <array>
#include <cstdint>

#include "common/bitmap_rect.h"
#include "common/rgb565.h"
#include "vt5api/commands/display.h"

// A button image: 39 x 39 gray levels, top row first.
constexpr int kButtonImageSize = 39;
using ButtonImage = std::array<uint8_t, kButtonImageSize * kButtonImageSize>;

struct ButtonImages {
    ButtonImage up;   // an arrow pointing up
    ButtonImage esc;  // ESC lettering
    ButtonImage set;  // SET lettering
};

// Where the 240 x 320 display lies in a panel of client size width x height: centred across,
// and with the buttons below it (442 pixels in all) centred down; never above or left of 0.
struct DisplayPosition {
    int left = 0;
    int top = 0;
};
DisplayPosition PlaceDisplay(int width, int height);

// An RGB565 pixel with its top bits repeated into the low ones.
constexpr uint32_t DisplayPixel(uint16_t p) {
    return common::Rgb565ToRgb32(p);
}

// A pixel of a button image under a light of that level (above 9: 9) and colour (1, 2, or
// any other value).
uint32_t LightPixel(uint8_t gray, int level, int colour);

void DrawDisplay(CBitmapRect& canvas, const uint16_t* frame, DisplayPosition at);
// Where button b (0 ESC ... 5 down) is drawn: the centre of its image.
struct ButtonCentre {
    int x = 0;
    int y = 0;
};
ButtonCentre ButtonPosition(int button, int panelWidth, DisplayPosition at);
// The button whose image covers panel pixel (x, y), or -1.
int ButtonAt(int x, int y, int panelWidth, DisplayPosition at);

// Panel width is the control's client width (the canvas is one pixel larger). Buttons whose
// bit is set in `pressed` are drawn held down: a lighter face inside a light rim.
void DrawButtonLights(CBitmapRect& canvas, const VT5ButtonLights& lights,
                      const ButtonImages& images, int panelWidth, DisplayPosition at,
                      unsigned pressed = 0);
// The face of a held button where the image's gray level is 8 or less, and its rim.
uint32_t PressedFacePixel(uint8_t gray);
constexpr uint32_t kPressedRim = 0xE0E0E0;
// A frame t + 1 pixels thick, t = panel width / 40: green when connected, red when not.
void DrawBorder(CBitmapRect& canvas, int panelWidth, bool connected);

constexpr uint32_t kPanelBackground = 0x202020;
constexpr uint32_t kBorderConnected = 0x10A010;
constexpr uint32_t kBorderDisconnected = 0xC01010;
