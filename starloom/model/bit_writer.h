#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace starloom {

// Fills 32-bit words from their least significant bit upward, then the next word. The words
// must be zeroed and large enough for everything written.
class BitWriter {
public:
    BitWriter(std::span<uint32_t> words, std::size_t firstWord)
        : words_(words), position_(firstWord * 32) {}

    // The lowest count bits of value (count 0 to 64), lowest first.
    void Write(uint64_t value, int count) {
        while (count > 0) {
            const int offset = static_cast<int>(position_ & 31);
            const int take = count < 32 - offset ? count : 32 - offset;
            const uint64_t mask = (uint64_t{1} << take) - 1;
            words_[position_ >> 5] |= static_cast<uint32_t>((value & mask) << offset);
            value >>= take;
            count -= take;
            position_ += static_cast<std::size_t>(take);
        }
    }

    // The word into which the next bit goes: a word filled exactly is behind it.
    std::size_t nextWord() const { return position_ >> 5; }

private:
    std::span<uint32_t> words_;
    std::size_t position_;
};

}  // namespace starloom
