#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "starloom/model/frame_tokens.h"

namespace starloom {

struct HuffmanNode {
    float weight = 0.0f;
    int left = -1;  // inner nodes only
    int right = -1;
    uint16_t symbol = 0;  // leaves only

    bool leaf() const { return left < 0; }
};

// Huffman code of one frame. Nodes are kept in creation order: first one leaf per symbol that
// occurs, in increasing symbol order, then the inner nodes; the last one is the root.
struct HuffmanCode {
    std::vector<HuffmanNode> nodes;
    // Branch bits from the root down, the first branch in bit 0 (0 = left, 1 = right).
    std::array<uint64_t, kSymbolCount> code{};
    std::array<uint8_t, kSymbolCount> length{};

    int root() const { return static_cast<int>(nodes.size()) - 1; }
};

// Builds the code from the symbol counts: the two lightest active nodes (the earlier-created
// one first among equal weights) become the left and right child of a new node until one
// node is left. Returns false when no symbol occurs or a code would exceed 64 bits.
bool BuildHuffmanCode(const SymbolCounts& counts, HuffmanCode& code);

}  // namespace starloom
