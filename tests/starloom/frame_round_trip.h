#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <span>

#include "tests/starloom/frame_decoder.h"

namespace starloom {

// Whether the compressed frame decodes to exactly this image.
inline ::testing::AssertionResult DecodesTo(std::span<const uint8_t> frame,
                                            std::span<const uint16_t> image) {
    const frame_decoder::Frame decoded = frame_decoder::Decode(frame, image.size());
    if (decoded.status != frame_decoder::Status::kImage) {
        return ::testing::AssertionFailure()
               << "frame of " << frame.size()
               << " bytes does not decode: " << frame_decoder::StatusText(decoded.status);
    }
    for (std::size_t i = 0; i < image.size(); ++i) {
        if (decoded.pixels[i] != image[i]) {
            return ::testing::AssertionFailure()
                   << "pixel " << i << " decodes to " << decoded.pixels[i] << ", image holds "
                   << image[i];
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace starloom
