#include "hcsim/hc/hc_config.h"

namespace hcsim {
namespace {

// FNV-1a over the serial, spread by splitmix64: stable across runs and platforms.
uint64_t seedOf(const std::string& serial) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : serial) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    return h;
}

uint64_t mix(uint64_t& state) {
    uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

}  // namespace

std::array<uint32_t, 2> chipIdOf(const HcConfig& config) {
    if (config.chipId) return *config.chipId;
    uint64_t state = seedOf(config.serial) ^ 0x43484950u;
    uint64_t v = mix(state);
    return {static_cast<uint32_t>(v), static_cast<uint32_t>(v >> 32)};
}

std::array<uint8_t, 16> uniqueIdOf(const HcConfig& config) {
    if (config.uniqueId) return *config.uniqueId;
    static constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    uint64_t state = seedOf(config.serial);
    std::array<uint8_t, 16> id{};
    for (size_t i = 0; i < 15; ++i)
        id[i] = static_cast<uint8_t>(kAlphabet[mix(state) % 36]);
    return id;  // the 16th byte stays 0
}

}  // namespace hcsim
