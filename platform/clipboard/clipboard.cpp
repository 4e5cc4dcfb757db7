#include "platform/clipboard/clipboard.h"

#include <atomic>

namespace platform::clipboard {
namespace {

class NoClipboard final : public Clipboard {
public:
    bool open() override { return false; }
    bool empty() override { return false; }
    int setBitmap(const Bitmap&) override { return 1; }
    void close() override {}
};

NoClipboard none;
std::atomic<Clipboard*> registered{nullptr};

}  // namespace

Clipboard& current() {
    Clipboard* c = registered.load();
    return c ? *c : none;
}

ScopedClipboard::ScopedClipboard(Clipboard& clipboard)
    : previous_(registered.exchange(&clipboard)) {}

ScopedClipboard::~ScopedClipboard() {
    registered.store(previous_);
}

}  // namespace platform::clipboard
