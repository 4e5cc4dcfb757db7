#pragma once

#include <cstdint>

namespace platform::clipboard {

// A 32-bit bitmap as the clipboard takes it: width x height pixels 0x00RRGGBB, top row first.
struct Bitmap {
    int width = 0;
    int height = 0;
    const uint32_t* pixels = nullptr;
};

// The system clipboard as the programs use it: opened, emptied, given a bitmap, closed.
// Programs register the Qt clipboard (qt_clipboard.h); tests register a recording one.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual bool open() = 0;
    virtual bool empty() = 0;
    // 0, or the system's error number.
    virtual int setBitmap(const Bitmap& bitmap) = 0;
    virtual void close() = 0;
};

// The registered clipboard; without one, a clipboard that cannot be opened (programs without
// a desktop, e.g. the command-line tools).
Clipboard& current();

// Registers a clipboard for its lifetime; the previous one is back when it ends.
class ScopedClipboard {
public:
    explicit ScopedClipboard(Clipboard& clipboard);
    ~ScopedClipboard();
    ScopedClipboard(const ScopedClipboard&) = delete;
    ScopedClipboard& operator=(const ScopedClipboard&) = delete;

private:
    Clipboard* previous_;
};

}  // namespace platform::clipboard
