#pragma once

#include <cstdint>
#include <vector>

// A canvas of width x height 32-bit pixels, top row first, with the small drawing operations the
// report graphs and the on-screen views share. Every operation clips to the canvas: nothing is
// drawn outside it, and a canvas that could not be allocated (0 x 0) ignores every call.
class CBitmapRect {
public:
    CBitmapRect() = default;

    // Allocates a zero-filled canvas; -1 (and a 0 x 0 canvas) when the pixels cannot be had.
    int Create(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }

    void Fill(uint32_t colour);
    // A size x size square with its top-left corner at (x, y).
    void SetPixel(int x, int y, uint32_t colour, int size = 1);
    uint32_t GetPixel(int x, int y) const;
    // Solid lines; end points in either order, both included.
    void VerticalLine(int x, int y1, int y2, uint32_t colour);
    void HorizontalLine(int x1, int y, int x2, uint32_t colour);

    // Anti-aliased line (Xiaolin Wu) with 16.16 fixed-point minor coordinates; intensity scales
    // the weight with which the colour is blended over what is there.
    void Line(float x1, float y1, float x2, float y2, uint32_t colour, float intensity = 1.0f);

    // A soft round dot: every channel becomes the larger of what is there and the colour
    // weighted by a gaussian of the distance from (x, y), out to 3.33 sigma.
    void GaussianDot(float x, float y, float sigmaX, float sigmaY, uint32_t colour);

    // The pixels of row y, or nullptr when y is outside the canvas.
    uint32_t* Row(int y);
    const uint32_t* Row(int y) const;

private:
    // Blends the colour into one pixel with weight w (0..1 nominally), byte by byte for the
    // three colour bytes; the fourth byte stays.
    void Blend(int x, int y, float w, uint32_t colour);

    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> pixels_;
};
