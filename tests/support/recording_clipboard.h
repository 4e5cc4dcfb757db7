#pragma once

#include <cstdint>
#include <vector>

#include "platform/clipboard/clipboard.h"

namespace vt5test {

// A clipboard for tests: keeps the last bitmap put on it and can be told to fail a step.
class RecordingClipboard final : public platform::clipboard::Clipboard {
public:
    bool open() override {
        ++opened;
        isOpen = !failOpen;
        return isOpen;
    }
    bool empty() override {
        if (failEmpty) return false;
        width = height = 0;
        pixels.clear();
        return true;
    }
    int setBitmap(const platform::clipboard::Bitmap& b) override {
        if (setError) return setError;
        width = b.width;
        height = b.height;
        pixels.assign(b.pixels, b.pixels + static_cast<size_t>(b.width) * b.height);
        return 0;
    }
    void close() override {
        ++closed;
        isOpen = false;
    }

    bool failOpen = false;
    bool failEmpty = false;
    int setError = 0;

    int opened = 0;
    int closed = 0;
    bool isOpen = false;
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB
};

}  // namespace vt5test
