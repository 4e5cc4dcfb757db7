// make_frame_seeds FOLDER: writes the frame decoder fuzzer's seed corpus, frames made by the
// suite's own encoder from pictures like the camera's (dark sky with noise, stars, a bright
// gradient, saturated areas, flat fields) in several sizes. Each file is the fuzz target's
// input: two bytes for the picture size (pixels - 1, little-endian), then the frame.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "starloom/model/frame_encoder.h"

namespace {

constexpr uint16_t kBlack = 256;
constexpr uint16_t kWhite = 4095;

// A fixed pseudo-random sequence, so that the corpus is the same on every run.
class Noise {
public:
    uint16_t Next(int spread) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint16_t>((state_ >> 33) % uint64_t(spread));
    }

private:
    uint64_t state_ = 0x5EED;
};

uint16_t Clamp(double value) {
    return static_cast<uint16_t>(std::lround(std::fmin(std::fmax(value, kBlack), kWhite)));
}

using Picture = std::function<uint16_t(int x, int y, int side, Noise& noise)>;

struct Seed {
    const char* name;
    Picture picture;
};

const Seed kSeeds[] = {
    {"flat", [](int, int, int, Noise&) -> uint16_t { return 300; }},
    {"dark_noise", [](int, int, int, Noise& n) -> uint16_t { return kBlack + n.Next(24); }},
    {"star",
     [](int x, int y, int side, Noise& n) {
         const double dx = x - side / 2.0, dy = y - side / 2.0;
         return Clamp(280 + n.Next(16) + 3000 * std::exp(-(dx * dx + dy * dy) / 4.0));
     }},
    {"saturated_star",
     [](int x, int y, int side, Noise& n) {
         const double dx = x - side / 3.0, dy = y - side / 3.0;
         return Clamp(300 + n.Next(8) + 20000 * std::exp(-(dx * dx + dy * dy) / 9.0));
     }},
    {"gradient",
     [](int x, int y, int side, Noise&) { return Clamp(kBlack + (x + y) * 3839.0 / (2 * side)); }},
    {"all_values",
     [](int x, int y, int side, Noise&) -> uint16_t {
         return static_cast<uint16_t>(kBlack + (y * side + x) % (kWhite - kBlack + 1));
     }},
    {"stripes", [](int x, int, int, Noise&) -> uint16_t { return (x / 3) % 2 ? kWhite : kBlack; }},
    {"wide_noise", [](int, int, int, Noise& n) -> uint16_t { return kBlack + n.Next(3840); }},
};

// Square pictures up to the target's largest (4096 pixels), and a line of one pixel.
const int kSides[] = {1, 4, 16, 64};

bool WriteSeed(const std::filesystem::path& file, std::size_t pixels,
               std::span<const uint8_t> frame) {
    std::ofstream out(file, std::ios::binary);
    const uint16_t size = static_cast<uint16_t>(pixels - 1);
    const char prefix[2] = {static_cast<char>(size & 0xFF), static_cast<char>(size >> 8)};
    out.write(prefix, 2);
    out.write(reinterpret_cast<const char*>(frame.data()), std::streamsize(frame.size()));
    return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_frame_seeds FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    starloom::FrameEncoder encoder;
    int written = 0;
    for (const Seed& seed : kSeeds) {
        for (int side : kSides) {
            Noise noise;
            std::vector<uint16_t> image;
            for (int y = 0; y < side; ++y) {
                for (int x = 0; x < side; ++x)
                    image.push_back(seed.picture(x, y, side, noise));
            }
            const std::span<const uint8_t> frame = encoder.Encode(image);
            if (frame.empty()) {
                std::fprintf(stderr, "%s: a value outside the camera's range\n", seed.name);
                return 1;
            }
            const std::string name = std::string(seed.name) + "_" + std::to_string(side * side);
            if (!WriteSeed(folder / name, image.size(), frame)) return 1;
            ++written;
        }
    }
    // The two frames without a picture.
    const uint8_t skipped[4] = {};
    if (!WriteSeed(folder / "skipped", 64, skipped)) return 1;
    if (!WriteSeed(folder / "sixteen_bit", 64, encoder.EncodeSixteenBit())) return 1;
    std::printf("%d frames and 2 without a picture in %s\n", written, folder.c_str());
    return 0;
}
