#pragma once

#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <span>

#include "common/bitmap_rect.h"

namespace starloom {

// Starloom's view of the last frame: a 1288 x 968 canvas of 0x00RRGGBB pixels drawn at zoom
// level z (0 to 7) as (z + 1) x (z + 1) screen pixels each, its top-left corner at minus the
// offset; what the image leaves uncovered is grey. The wheel zooms about the cursor, dragging
// with the left button moves the image.
class FrameViewControl : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMaxZoom = 7;

    explicit FrameViewControl(QWidget* parent = nullptr);

    // Draws the frame image with the brightness of the dialog's "View" list (0 = 1x ... 3 = 8x).
    void ShowFrame(std::span<const uint16_t> frame, int brightness);

    const CBitmapRect& canvas() const { return canvas_; }
    int zoom() const { return zoom_; }
    QPoint offset() const { return offset_; }
    // The zoom step of the wheel with the cursor at `cursor` (view coordinates).
    void ZoomAt(QPoint cursor, int steps);

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    CBitmapRect canvas_;
    int zoom_ = 0;
    QPoint offset_;
    bool dragging_ = false;
    QPoint lastMouse_;
    int wheelRest_ = 0;  // wheel delta short of a whole notch
};

}  // namespace starloom
