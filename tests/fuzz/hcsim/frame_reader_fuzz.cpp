// Frames from the PC as the simulated HC reads them: refused or read without faults, and a
// picture read is searched for a guide star like any other.
#include <cstddef>
#include <cstdint>

#include "hcsim/camera/frame_decoder.h"
#include "hcsim/camera/star_measure.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static hcsim::camera::FrameImage image;
    const auto decoded = hcsim::camera::decodeFrame(data, size, image);
    if (decoded.kind != hcsim::camera::FrameKind::Image) return 0;
    const auto bg = hcsim::camera::estimateBackground(image);
    hcsim::camera::findGuideStar(image, bg, {});
    hcsim::camera::measureStarNear(image, bg, {}, 640, 480, 16);
    return 0;
}
