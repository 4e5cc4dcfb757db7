#include "hcsim/camera/frame_decoder.h"

#include <algorithm>
#include <array>
#include <vector>

namespace hcsim::camera {
namespace {

constexpr int kSymbolBits = 12;
constexpr int kSymbols = 1 << kSymbolBits;
constexpr uint32_t kMaxNodes = 2 * kSymbols - 1;
constexpr int kLastRepeatSymbol = 255;  // symbols 0 to 255 are repeat counts minus one

uint32_t le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Bits of the stream after the header word, each word (and so each byte) lowest bit first.
class BitReader {
public:
    BitReader(const uint8_t* data, size_t size) : data_(data), bits_(size * 8) {}

    bool bit(uint32_t& out) {
        if (pos_ >= bits_) return false;
        out = (data_[pos_ >> 3] >> (pos_ & 7)) & 1u;
        ++pos_;
        return true;
    }
    bool bits(int count, uint32_t& out) {
        out = 0;
        for (int i = 0; i < count; ++i) {
            uint32_t b = 0;
            if (!bit(b)) return false;
            out |= b << i;
        }
        return true;
    }
    size_t position() const { return pos_; }

private:
    const uint8_t* data_;
    size_t bits_;
    size_t pos_ = 0;
};

struct Node {
    int32_t child[2] = {-1, -1};
    int32_t symbol = -1;  // -1: inner node
};

DecodedFrame invalid(std::string why) {
    return {FrameKind::Invalid, std::move(why)};
}

// Reads the tree in preorder; node 0 is the root.
bool readTree(BitReader& in, uint32_t count, std::vector<Node>& nodes, std::string& error) {
    std::array<bool, kSymbols> seen{};
    auto readNode = [&](int32_t& index) {
        if (nodes.size() >= count) {
            error = "code tree has more nodes than its count";
            return false;
        }
        uint32_t leaf = 0;
        if (!in.bit(leaf)) {
            error = "frame ends inside the code tree";
            return false;
        }
        Node node;
        if (leaf) {
            uint32_t symbol = 0;
            if (!in.bits(kSymbolBits, symbol)) {
                error = "frame ends inside the code tree";
                return false;
            }
            if (seen[symbol]) {
                error = "symbol twice in the code tree";
                return false;
            }
            seen[symbol] = true;
            node.symbol = static_cast<int32_t>(symbol);
        }
        index = static_cast<int32_t>(nodes.size());
        nodes.push_back(node);
        return true;
    };
    int32_t root = 0;
    if (!readNode(root)) return false;
    // Inner nodes whose children are still to come, with the side to fill next.
    std::vector<std::pair<int32_t, int>> open;
    if (nodes[0].symbol < 0) open.push_back({0, 0});
    while (!open.empty()) {
        auto& [parent, side] = open.back();
        int32_t child = 0;
        if (!readNode(child)) return false;
        int32_t p = parent;
        nodes[p].child[side] = child;
        if (++side == 2) open.pop_back();
        if (nodes[child].symbol < 0) open.push_back({child, 0});
    }
    if (nodes.size() != count) {
        error = "code tree has fewer nodes than its count";
        return false;
    }
    return true;
}

bool readSymbol(BitReader& in, const std::vector<Node>& nodes, int32_t& symbol) {
    int32_t n = 0;
    while (nodes[n].symbol < 0) {
        uint32_t b = 0;
        if (!in.bit(b)) return false;
        n = nodes[n].child[b];
    }
    symbol = nodes[n].symbol;
    return true;
}

}  // namespace

DecodedFrame decodeFrame(const uint8_t* data, size_t size, FrameImage& image) {
    if (size < 4 || size % 4 != 0) return invalid("length is not a whole number of words");
    bool allZero = std::all_of(data, data + size, [](uint8_t b) { return b == 0; });
    if (allZero && (size == 4 || size == 8)) return {FrameKind::Empty, {}};

    const uint32_t header = le32(data);
    if (header < 8 || header % 4 != 0 || header > size) return invalid("bad header word");

    BitReader in(data + 4, size - 4);
    uint32_t count = 0;
    if (!in.bits(24, count)) return invalid("frame ends inside the node count");
    if (count == 0 || count % 2 == 0 || count > kMaxNodes) return invalid("bad node count");
    std::vector<Node> nodes;
    nodes.reserve(count);
    std::string error;
    if (!readTree(in, count, nodes, error)) return invalid(error);
    // The header counts the bytes up to the word in which the first code begins.
    if (header != 4 * (1 + in.position() / 32 + 1))
        return invalid("header does not match the code tree");

    image.pixels.resize(FrameImage::kPixels);
    size_t filled = 0;
    while (filled < image.pixels.size()) {
        int32_t symbol = 0;
        if (!readSymbol(in, nodes, symbol)) return invalid("frame ends before the last pixel");
        size_t run = 1;
        if (symbol <= kLastRepeatSymbol) {
            run = static_cast<size_t>(symbol) + 1;
            if (!readSymbol(in, nodes, symbol)) return invalid("frame ends before the last pixel");
            if (symbol <= kLastRepeatSymbol) return invalid("repeat count without a value");
        }
        if (run > image.pixels.size() - filled) return invalid("more pixels than the sensor has");
        std::fill_n(image.pixels.begin() + static_cast<std::ptrdiff_t>(filled), run,
                    static_cast<uint16_t>(symbol));
        filled += run;
    }
    if (size != 4 * (1 + in.position() / 32 + 1))
        return invalid("length does not end after the last code");
    return {FrameKind::Image, {}};
}

}  // namespace hcsim::camera
