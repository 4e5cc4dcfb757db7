#include "tests/starloom/frame_decoder.h"

#include <algorithm>

namespace frame_decoder {

namespace {

// Little-endian 32-bit words, each read from bit 0 upward.
class BitReader {
public:
    BitReader(std::span<const uint8_t> bytes, std::size_t startByte)
        : bytes_(bytes), bit_(startByte * 8) {}

    bool Bit(uint32_t& out) {
        if (bit_ >= bytes_.size() * 8) return false;
        const std::size_t word = bit_ / 32;
        const std::size_t inWord = bit_ % 32;
        const uint8_t byte = bytes_[word * 4 + inWord / 8];
        out = (byte >> (inWord % 8)) & 1u;
        ++bit_;
        return true;
    }

    // n bits, the first read into bit 0.
    bool Bits(int n, uint32_t& out) {
        out = 0;
        for (int i = 0; i < n; ++i) {
            uint32_t b = 0;
            if (!Bit(b)) return false;
            out |= b << i;
        }
        return true;
    }

    std::size_t bit() const { return bit_; }

private:
    std::span<const uint8_t> bytes_;
    std::size_t bit_;
};

struct Node {
    int child[2] = {-1, -1};
    int symbol = -1;
};

uint32_t Word(std::span<const uint8_t> bytes, std::size_t index) {
    const std::size_t i = index * 4;
    return static_cast<uint32_t>(bytes[i]) | static_cast<uint32_t>(bytes[i + 1]) << 8 |
           static_cast<uint32_t>(bytes[i + 2]) << 16 | static_cast<uint32_t>(bytes[i + 3]) << 24;
}

// Preorder: 0 = inner node (left subtree, then right), 1 = leaf with a 12-bit symbol.
Status ReadTree(BitReader& reader, uint32_t nodeCount, std::vector<Node>& tree) {
    std::vector<bool> seen(4096, false);
    tree.clear();
    tree.reserve(nodeCount);
    // Slots still waiting for a subtree: (parent, side); the root has no parent.
    std::vector<std::pair<int, int>> open{{-1, 0}};
    while (!open.empty()) {
        if (tree.size() >= nodeCount) return Status::kBadTree;
        const auto [parent, side] = open.back();
        open.pop_back();
        uint32_t kind = 0;
        if (!reader.Bit(kind)) return Status::kTruncated;
        const int index = static_cast<int>(tree.size());
        tree.emplace_back();
        if (parent >= 0) tree[parent].child[side] = index;
        if (kind == 1) {
            uint32_t symbol = 0;
            if (!reader.Bits(12, symbol)) return Status::kTruncated;
            if (seen[symbol]) return Status::kBadTree;
            seen[symbol] = true;
            tree[index].symbol = static_cast<int>(symbol);
        } else {
            open.emplace_back(index, 1);
            open.emplace_back(index, 0);
        }
    }
    return tree.size() == nodeCount ? Status::kImage : Status::kBadTree;
}

bool ReadSymbol(BitReader& reader, const std::vector<Node>& tree, int& symbol) {
    int node = 0;
    while (tree[node].symbol < 0) {
        uint32_t branch = 0;
        if (!reader.Bit(branch)) return false;
        node = tree[node].child[branch];
    }
    symbol = tree[node].symbol;
    return true;
}

// Bytes through the word that holds the reader's next bit.
std::size_t BytesThroughNextWord(const BitReader& reader) {
    return (reader.bit() / 32 + 1) * 4;
}

}  // namespace

Frame Decode(std::span<const uint8_t> bytes, std::size_t pixelCount) {
    Frame frame;
    if (bytes.size() < 4 || bytes.size() % 4 != 0) return frame;
    const bool allZero = std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
    if (allZero && bytes.size() == 4) {
        frame.status = Status::kSkipped;
        return frame;
    }
    if (allZero && bytes.size() == 8) {
        frame.status = Status::kSixteenBit;
        return frame;
    }
    frame.header = Word(bytes, 0);

    BitReader reader(bytes, 4);
    if (!reader.Bits(24, frame.nodeCount)) {
        frame.status = Status::kTruncated;
        return frame;
    }
    if (frame.nodeCount == 0 || frame.nodeCount % 2 == 0 || frame.nodeCount > 2 * 4096 - 1) {
        frame.status = Status::kBadTree;
        return frame;
    }
    std::vector<Node> tree;
    frame.status = ReadTree(reader, frame.nodeCount, tree);
    if (frame.status != Status::kImage) return frame;
    if (frame.header != BytesThroughNextWord(reader)) {
        frame.status = Status::kBadHeader;
        return frame;
    }

    frame.pixels.reserve(pixelCount);
    while (frame.pixels.size() < pixelCount) {
        int symbol = 0;
        if (!ReadSymbol(reader, tree, symbol)) {
            frame.status = Status::kTruncated;
            return frame;
        }
        ++frame.tokens;
        std::size_t run = 1;
        if (symbol < 256) {
            run = static_cast<std::size_t>(symbol) + 1;
            if (!ReadSymbol(reader, tree, symbol)) {
                frame.status = Status::kTruncated;
                return frame;
            }
            ++frame.tokens;
            if (symbol < 256) {
                frame.status = Status::kBadToken;
                return frame;
            }
        }
        if (frame.pixels.size() + run > pixelCount) {
            frame.status = Status::kBadToken;
            return frame;
        }
        frame.pixels.insert(frame.pixels.end(), run, static_cast<uint16_t>(symbol));
    }
    if (bytes.size() != BytesThroughNextWord(reader)) {
        frame.status = Status::kBadEnd;
        return frame;
    }
    // What follows the last token up to the end must be zero.
    uint32_t rest = 0;
    while (reader.Bit(rest)) {
        if (rest != 0) {
            frame.status = Status::kBadEnd;
            return frame;
        }
    }
    frame.status = Status::kImage;
    return frame;
}

const char* StatusText(Status status) {
    switch (status) {
        case Status::kImage:
            return "image";
        case Status::kSkipped:
            return "skipped frame";
        case Status::kSixteenBit:
            return "16-bit frame";
        case Status::kBadLength:
            return "length is not whole words";
        case Status::kBadHeader:
            return "header does not match the code tree";
        case Status::kBadTree:
            return "bad code tree";
        case Status::kTruncated:
            return "frame ends early";
        case Status::kBadToken:
            return "bad token";
        case Status::kBadEnd:
            return "length does not match the tokens";
    }
    return "unknown";
}

}  // namespace frame_decoder
