// The HC's display on the clipboard.

#include <memory>
#include <new>
#include <vector>

#include "platform/clipboard/clipboard.h"
#include "vt5api/commands/display.h"

namespace {

// The clipboard is closed again on every path once it was opened.
class OpenClipboard {
public:
    explicit OpenClipboard(platform::clipboard::Clipboard& c) : c_(c), open_(c.open()) {}
    ~OpenClipboard() {
        if (open_) c_.close();
    }
    OpenClipboard(const OpenClipboard&) = delete;
    OpenClipboard& operator=(const OpenClipboard&) = delete;
    bool isOpen() const { return open_; }

private:
    platform::clipboard::Clipboard& c_;
    bool open_;
};

}  // namespace

int32_t VT5cmd_DisplayToClipboard(CVT5Api* api) {
    std::vector<uint16_t> frame(VT5_DISPLAY_PIXELS, 0);
    int32_t result = VT5cmd_ReadDisplaySnapshot(api, frame.data(), nullptr);
    if (result != VT5_OK) return result;
    std::unique_ptr<uint32_t[]> pixels(new (std::nothrow) uint32_t[VT5_DISPLAY_PIXELS]);
    if (!pixels) return VT5_E_BITMAP;
    for (int32_t i = 0; i < VT5_DISPLAY_PIXELS; ++i) {
        uint32_t p = frame[static_cast<size_t>(i)];
        uint32_t r = (p >> 11) << 3, g = ((p >> 5) & 0x3F) << 2, b = (p & 0x1F) << 3;
        pixels[i] = r << 16 | g << 8 | b;
    }
    platform::clipboard::Clipboard& clipboard = platform::clipboard::current();
    OpenClipboard open(clipboard);
    if (!open.isOpen() || !clipboard.empty()) return VT5_E_CLIPBOARD;
    platform::clipboard::Bitmap bitmap{VT5_DISPLAY_WIDTH, VT5_DISPLAY_HEIGHT, pixels.get()};
    return clipboard.setBitmap(bitmap) == 0 ? VT5_OK : VT5_E_CLIPBOARD;
}
