#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace starloom {

// Atmospheric image motion, replayed from "seeing.csv": two columns normalised to mean 0 and
// unit variance, sampled at a fixed rate and repeated.
struct SeeingTable {
    static constexpr std::size_t kMaxSamples = 5000;
    static constexpr float kDefaultRate = 12.56f;  // samples per second

    std::vector<float> column1;
    std::vector<float> column2;
    float rate = kDefaultRate;

    std::size_t count() const { return column1.size(); }
};

// Fills the table from the file; returns false and leaves the table as it was when the file
// cannot be opened. Lines that do not start with "number,number" are skipped.
bool LoadSeeingTable(SeeingTable& table, const std::filesystem::path& path,
                     float rate = SeeingTable::kDefaultRate);

struct SeeingSample {
    float column2;
    float column1;
};

// The offsets at simulation time t (ms), linearly interpolated; nothing when the table is
// empty.
std::optional<SeeingSample> SeeingOffset(const SeeingTable& table, int64_t timeMs);

}  // namespace starloom
