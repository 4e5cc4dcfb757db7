#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace hcsim::test {

// Writes frames bit by bit as the frame format lays them out, for frames no encoder makes
// (broken ones, odd trees). The tree is given in preorder: "i" an inner node, a number a
// leaf with that symbol, e.g. {"i", "256", "i", "63", "255"}.
class FrameBuilder {
public:
    explicit FrameBuilder(std::vector<std::string> tree, int nodeCount = -1);

    // Appends the code of `symbol` (its branch bits from the root).
    FrameBuilder& token(int symbol);
    FrameBuilder& tokens(const std::vector<int>& symbols, int times = 1);
    // The frame: header word, tree, codes; ends in the word after the last bit.
    std::vector<uint8_t> bytes() const;

private:
    void put(uint32_t value, int bits);
    void walk(size_t& at, std::string code);

    std::vector<uint32_t> words_{0, 0};
    size_t bit_ = 32;  // word 0 is the header
    std::vector<std::string> tree_;
    std::vector<std::pair<int, std::string>> codes_;
};

}  // namespace hcsim::test
