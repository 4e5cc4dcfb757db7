// What Panelcast draws: placement, pixel conversion, button lights and the border.

#include <gtest/gtest.h>

#include "panelcast/frame_rate.h"
#include "panelcast/panel_drawing.h"

namespace {

TEST(PanelDrawing, DisplayPlacement) {
    struct Case {
        int width, height, left, top;
    } cases[] = {{300, 400, 30, 0}, {296, 456, 28, 7}, {240, 442, 0, 0}, {100, 100, 0, 0}};
    for (const Case& c : cases) {
        DisplayPosition at = PlaceDisplay(c.width, c.height);
        EXPECT_EQ(at.left, c.left) << c.width << " x " << c.height;
        EXPECT_EQ(at.top, c.top) << c.width << " x " << c.height;
    }
}

TEST(PanelDrawing, Rgb565TopBitsRepeatIntoTheLowOnes) {
    EXPECT_EQ(DisplayPixel(0xFFFF), 0xFFFFFFu & 0xFFFFFF);
    EXPECT_EQ(DisplayPixel(0x0000), 0u);
    EXPECT_EQ(DisplayPixel(0xF800), 0xFF0000u);
    EXPECT_EQ(DisplayPixel(0x07E0), 0x00FF00u);
    EXPECT_EQ(DisplayPixel(0x8410), 0x848284u);  // 16, 32, 16: 132, 130, 132
}

TEST(PanelDrawing, LightLevelsAndColours) {
    // Gray up to 8: the dark face; above it the light, by level table and colour factors.
    EXPECT_EQ(LightPixel(0, 9, 0), 0x202020u);
    EXPECT_EQ(LightPixel(8, 9, 0), 0u);
    EXPECT_EQ(LightPixel(255, 9, 0), 0xD93600u);  // L = 217: (217, 54, 0)
    EXPECT_EQ(LightPixel(255, 9, 1), 0xA248A2u);  // (162, 72, 162)
    EXPECT_EQ(LightPixel(255, 9, 2), 0x006CFFu);  // (0, 108, 434 -> 255)
    EXPECT_EQ(LightPixel(255, 0, 2), 0u);
    EXPECT_EQ(LightPixel(131, 4, 0), uint32_t(123 * 71 / 247) << 16 | uint32_t(123 * 17 / 247)
                                                                          << 8);
    for (int gray : {9, 100, 255}) {
        EXPECT_EQ(LightPixel(gray, 12, 1), LightPixel(gray, 9, 1)) << gray;  // 12 is drawn as 9
        EXPECT_EQ(LightPixel(gray, 5, 7), LightPixel(gray, 5, 0)) << gray;   // 7 like 0
    }
}

TEST(PanelDrawing, ButtonsAreTurnedAndPlaced) {
    // An image with one bright pixel near its top-left corner shows where each turn puts it.
    ButtonImages images{};
    images.up[1 * kButtonImageSize + 2] = 255;  // row 1, column 2
    images.esc[0] = 255;
    images.set[0] = 255;
    VT5ButtonLights lights{};
    for (auto& b : lights.button)
        b = {9, 0};
    CBitmapRect canvas;
    canvas.Create(301, 401);
    DisplayPosition at{30, 0};
    DrawButtonLights(canvas, lights, images, 300, at);
    const uint32_t lit = LightPixel(255, 9, 0);
    EXPECT_EQ(canvas.GetPixel(30, 331), lit);   // ESC at (49, 350): top-left (30, 331)
    EXPECT_EQ(canvas.GetPixel(232, 331), lit);  // SET at (251, 350)
    EXPECT_EQ(canvas.GetPixel(133, 332), lit);  // up at (150, 350), as stored
    EXPECT_EQ(canvas.GetPixel(96, 369), lit);   // left at (114, 386): rows and columns exchanged
    EXPECT_EQ(canvas.GetPixel(204, 369), lit);  // right at (186, 386): and mirrored
    int litPixels = 0;
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            litPixels += canvas.GetPixel(x, y) == lit;
    // Down at (150, 422) spans y 403 to 441, below the panel: clipped away.
    EXPECT_EQ(litPixels, 5);
}

TEST(PanelDrawing, TheButtonUnderAPanelPixel) {
    // Panel 300 wide, display at (30, 0): ESC (49, 350), SET (251, 350), left (114, 386),
    // right (186, 386), up (150, 350), down (150, 422).
    const DisplayPosition at{30, 0};
    struct Case {
        int x, y, button;
    } cases[] = {{49, 350, VT5_BUTTON_ESC},
                 {30, 331, VT5_BUTTON_ESC},
                 {68, 369, VT5_BUTTON_ESC},
                 {69, 350, -1},
                 {251, 350, VT5_BUTTON_SET},
                 {114, 386, VT5_BUTTON_LEFT},
                 {186, 386, VT5_BUTTON_RIGHT},
                 {150, 350, VT5_BUTTON_UP},
                 {150, 422, VT5_BUTTON_DOWN},
                 {150, 386, -1},
                 {100, 100, -1},
                 // Where the squares of up and left overlap, the nearer centre wins.
                 {132, 367, VT5_BUTTON_UP},
                 {131, 369, VT5_BUTTON_LEFT}};
    for (const Case& c : cases)
        EXPECT_EQ(ButtonAt(c.x, c.y, 300, at), c.button) << c.x << ", " << c.y;
}

TEST(PanelDrawing, AHeldButtonIsDrawnPressedAndTheOthersAsTheyWere) {
    ButtonImages images{};
    images.up.fill(0);  // all dark face
    images.up[20 * kButtonImageSize + 19] = 255;
    VT5ButtonLights lights{};
    for (auto& b : lights.button)
        b = {9, 0};
    CBitmapRect plain, pressed;
    plain.Create(301, 461);
    pressed.Create(301, 461);
    const DisplayPosition at{30, 10};
    DrawButtonLights(plain, lights, images, 300, at);
    DrawButtonLights(pressed, lights, images, 300, at, 1u << VT5_BUTTON_UP);
    const ButtonCentre up = ButtonPosition(VT5_BUTTON_UP, 300, at);
    EXPECT_EQ(pressed.GetPixel(up.x - 19, up.y - 19), kPressedRim);        // rim
    EXPECT_EQ(pressed.GetPixel(up.x - 5, up.y - 5), PressedFacePixel(0));  // lighter face
    EXPECT_GT(PressedFacePixel(0) & 0xFF, plain.GetPixel(up.x - 5, up.y - 5) & 0xFF);
    EXPECT_EQ(pressed.GetPixel(up.x, up.y + 1), plain.GetPixel(up.x, up.y + 1));  // the light
    // The other buttons are drawn as without a press.
    const ButtonCentre down = ButtonPosition(VT5_BUTTON_DOWN, 300, at);
    EXPECT_EQ(pressed.GetPixel(down.x, down.y), plain.GetPixel(down.x, down.y));
    EXPECT_EQ(pressed.GetPixel(down.x - 19, down.y + 5), plain.GetPixel(down.x - 19, down.y + 5));
}

TEST(PanelDrawing, BorderThicknessFollowsThePanelWidth) {
    CBitmapRect canvas;
    canvas.Create(297, 457);
    DrawBorder(canvas, 296, false);  // t = 7: 8 pixels
    EXPECT_EQ(canvas.GetPixel(7, 200), kBorderDisconnected);
    EXPECT_EQ(canvas.GetPixel(8, 200), 0u);
    EXPECT_EQ(canvas.GetPixel(296 - 7, 200), kBorderDisconnected);
    EXPECT_EQ(canvas.GetPixel(296 - 8, 200), 0u);
    EXPECT_EQ(canvas.GetPixel(100, 456 - 7), kBorderDisconnected);
    DrawBorder(canvas, 296, true);
    EXPECT_EQ(canvas.GetPixel(0, 0), kBorderConnected);
}

TEST(FrameRate, TextsAsPercentDReadsThem) {
    struct Case {
        const char* text;
        std::optional<int> rate;
    } cases[] = {{"20", 20},
                 {"7", 7},
                 {"31", 30},
                 {"1", 1},
                 {"  9", 9},
                 {"12fps", 12},
                 {"0", std::nullopt},
                 {"", std::nullopt},
                 {"abc", std::nullopt},
                 {"-5", std::nullopt},
                 {"99999999999999", 30}};
    for (const Case& c : cases)
        EXPECT_EQ(ParseFrameRate(c.text), c.rate) << '"' << c.text << '"';
    EXPECT_EQ(TimerPeriod(7), 142);
    EXPECT_EQ(TimerPeriod(30), 33);
    EXPECT_EQ(TimerPeriod(20), 50);
}

}  // namespace
