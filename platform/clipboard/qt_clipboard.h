#pragma once

#include "platform/clipboard/clipboard.h"

namespace platform::clipboard {

// The desktop's clipboard through Qt; needs a QGuiApplication (open fails without one).
class QtClipboard final : public Clipboard {
public:
    bool open() override;
    bool empty() override;
    int setBitmap(const Bitmap& bitmap) override;
    void close() override {}
};

}  // namespace platform::clipboard
