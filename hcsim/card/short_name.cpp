#include "hcsim/card/short_name.h"

#include <cstring>

namespace hcsim {

namespace {

constexpr size_t kMaxLongName = 255;

bool illegalInShortName(char c) {
    return std::strchr("+,;=[]", c) != nullptr;
}

}  // namespace

std::string upperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool validLongName(std::string_view name) {
    if (name.empty() || name.size() > kMaxLongName) return false;
    if (name.back() == '.' || name.back() == ' ') return false;
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || std::strchr("\"*/:<>?\\|", c)) return false;
    return true;
}

std::string shortNameBasis(std::string_view longName, bool& exact) {
    // Characters in short-name form, one per character of the long name (a UTF-8 sequence
    // is one character and becomes one '_'); spaces are dropped.
    std::string mapped;
    bool lossy = false;
    for (size_t i = 0; i < longName.size(); ++i) {
        auto c = static_cast<unsigned char>(longName[i]);
        if (c == ' ') {
            lossy = true;
        } else if (c >= 0x80) {
            while (i + 1 < longName.size() && (longName[i + 1] & 0xC0) == 0x80)
                ++i;
            mapped += '_';
            lossy = true;
        } else if (illegalInShortName(static_cast<char>(c))) {
            mapped += '_';
            lossy = true;
        } else {
            mapped += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
    }
    size_t start = mapped.find_first_not_of('.');
    if (start == std::string::npos) start = mapped.size();
    if (start > 0) lossy = true;
    std::string_view rest = std::string_view(mapped).substr(start);
    size_t lastDot = rest.rfind('.');
    std::string_view first = rest.substr(0, std::min(rest.find('.'), rest.size()));
    std::string basis(first.substr(0, 8));
    if (lastDot != std::string_view::npos && lastDot + 1 < rest.size()) {
        basis += '.';
        basis += rest.substr(lastDot + 1, 3);
    }
    exact = !lossy && basis == upperCase(longName);
    return basis;
}

std::string makeShortName(std::string_view longName,
                          const std::function<bool(const std::string&)>& taken) {
    bool exact = false;
    std::string basis = shortNameBasis(longName, exact);
    if (exact && !taken(basis)) return basis;
    size_t dot = basis.find('.');
    std::string first = basis.substr(0, dot);
    std::string extension = dot == std::string::npos ? "" : basis.substr(dot);
    if (first.empty()) first = "_";
    for (unsigned n = 1;; ++n) {
        std::string tail = "~" + std::to_string(n);
        std::string name = first.substr(0, 8 - tail.size()) + tail + extension;
        if (!taken(name)) return name;
    }
}

}  // namespace hcsim
