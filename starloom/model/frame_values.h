#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace starloom {

constexpr uint16_t kBiasLevel = 256;    // every pixel's value without light
constexpr uint16_t kMinLitValue = 259;  // values below it are shown as the bias level
constexpr int kMinCountedPhotons = 4;   // fewer photons in a pixel count as none
constexpr int kSixteenBitGain = 10;     // the gain index of 16-bit frames
constexpr int kHighestTwelveBitGain = 9;

// Electrons per pixel value unit, by gain index.
constexpr std::array<float, 11> kGainTable{4.579f,  3.6599f, 3.0641f, 2.2977f, 1.8401f, 1.5422f,
                                           1.1532f, 0.9266f, 0.7777f, 0.5839f, 1.0f};

// The HC's request has 4 bits of gain; the table stops at 10. Indexes above it are taken as
// the highest 12-bit gain, so that the HC still gets a frame it can read (index 10 would send
// no picture at all).
int GainTableIndex(int requestedGain);

uint16_t MaxPixelValue(int gainIndex);

// Pixel value of a photon count (counts below 4 already cleared).
uint16_t PixelValue(uint16_t count, int gainIndex);

// Frame image from the photon image, row by row; counts below 4 are cleared in the photon
// image too.
void MakeFrameImage(std::span<uint16_t> photons, int gainIndex, std::span<uint16_t> frame);

}  // namespace starloom
