#include "hcsim/display/update_stream.h"

#include <algorithm>

namespace hcsim {
namespace update_stream {

std::vector<uint16_t> changeWords(const std::vector<uint16_t>* before,
                                  const std::vector<uint16_t>& after) {
    std::vector<uint16_t> words(kMaskWords, 0);
    std::vector<uint16_t> values;
    values.reserve(before ? 1024 : after.size());
    // Pixels go in blocks of one mask word; a block that did not change is passed over in one
    // comparison, as most of the screen is between two updates.
    for (size_t first = 0; first < after.size(); first += 16) {
        const size_t last = std::min(first + 16, after.size());
        if (before &&
            std::equal(after.begin() + first, after.begin() + last, before->begin() + first))
            continue;
        for (size_t i = first; i < last; ++i) {
            if (before && (*before)[i] == after[i]) continue;
            words[i / 16] |= static_cast<uint16_t>(0x8000 >> (i % 16));
            values.push_back(after[i]);
        }
    }
    words.insert(words.end(), values.begin(), values.end());
    return words;
}

Bytes encode(const std::vector<uint16_t>& words, bool endCode) {
    Bytes out;
    out.reserve(words.size() / 4 + 16);
    auto put = [&out](uint16_t w) {
        out.push_back(static_cast<uint8_t>(w));
        out.push_back(static_cast<uint8_t>(w >> 8));
    };
    uint16_t marker = kFirstMarker;
    size_t i = 0;
    while (i < words.size()) {
        uint16_t w = words[i];
        size_t run = 1;
        while (i + run < words.size() && run < kLongestRun && words[i + run] == w)
            ++run;
        // A run whose value equals its own code word would read as an escaped literal.
        if (run >= 2 && w == (marker | (run - 2))) --run;
        if (run >= 2) {
            put(static_cast<uint16_t>(marker | (run - 2)));
            put(w);
        } else {
            put(w);
            if ((w & kMarkerBits) == marker) put(w);  // escaped: it looks like a marker
            run = 1;
        }
        i += run;
        marker = static_cast<uint16_t>(marker + kMarkerStep);
    }
    if (endCode) {
        put(static_cast<uint16_t>(marker | 0x7F));
        put(0);
    }
    return out;
}

}  // namespace update_stream

Bytes ChangeTracker::update(const Screen& now) {
    const std::vector<uint16_t>* before = sent_ ? &*sent_ : nullptr;
    Bytes stream = update_stream::encode(update_stream::changeWords(before, now.pixels()));
    sent_ = now.pixels();
    return stream;
}

Bytes ChangeTracker::snapshot(const Screen& now) {
    return update_stream::encode(update_stream::changeWords(nullptr, now.pixels()));
}

}  // namespace hcsim
