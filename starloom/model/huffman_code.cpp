#include "starloom/model/huffman_code.h"

#include <functional>
#include <queue>
#include <utility>

namespace starloom {

namespace {

constexpr int kMaxCodeLength = 64;

// Weight first, then creation order: the heap yields exactly the node that a scan for the
// least weight, first among equals, would find.
using Candidate = std::pair<float, int>;

bool AssignCodes(HuffmanCode& code) {
    struct Visit {
        int node;
        uint64_t bits;
        int depth;
    };
    std::vector<Visit> stack{{code.root(), 0, 0}};
    while (!stack.empty()) {
        const Visit visit = stack.back();
        stack.pop_back();
        const HuffmanNode& node = code.nodes[visit.node];
        if (node.leaf()) {
            code.code[node.symbol] = visit.bits;
            code.length[node.symbol] = static_cast<uint8_t>(visit.depth);
            continue;
        }
        if (visit.depth >= kMaxCodeLength) return false;
        stack.push_back({node.left, visit.bits, visit.depth + 1});
        stack.push_back({node.right, visit.bits | (uint64_t{1} << visit.depth), visit.depth + 1});
    }
    return true;
}

}  // namespace

bool BuildHuffmanCode(const SymbolCounts& counts, HuffmanCode& code) {
    code.nodes.clear();
    code.code.fill(0);
    code.length.fill(0);
    std::priority_queue<Candidate, std::vector<Candidate>, std::greater<>> active;
    for (int symbol = 0; symbol < kSymbolCount; ++symbol) {
        if (counts[symbol] == 0) continue;
        HuffmanNode leaf;
        leaf.weight = static_cast<float>(counts[symbol]);
        leaf.symbol = static_cast<uint16_t>(symbol);
        active.emplace(leaf.weight, static_cast<int>(code.nodes.size()));
        code.nodes.push_back(leaf);
    }
    if (code.nodes.empty()) return false;
    while (active.size() > 1) {
        const Candidate first = active.top();
        active.pop();
        const Candidate second = active.top();
        active.pop();
        HuffmanNode inner;
        inner.weight = first.first + second.first;
        inner.left = first.second;
        inner.right = second.second;
        active.emplace(inner.weight, static_cast<int>(code.nodes.size()));
        code.nodes.push_back(inner);
    }
    return AssignCodes(code);
}

}  // namespace starloom
