#pragma once

#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <span>

#include "common/bitmap_rect.h"

namespace starloom {

// The star the HC is taken to guide on, as the view marks it.
struct GuideMark {
    std::optional<double> x;  // sensor pixels; nothing when no star was found
    std::optional<double> y;
    int frame = 0;         // frames sent since the emulation started
    double seconds = 0.0;  // HC time of the frame since the emulation started
};

// Starloom's view of the last frame: a 1288 x 968 canvas of 0x00RRGGBB pixels. At zoom level
// z from 0 to 7 each sensor pixel is (z + 1) x (z + 1) screen pixels, the image's top-left
// corner at minus the offset; levels -1 to -3 show it at 1/2, 1/3 and 1/4, and kFit fits the
// whole frame into the view, centred, as the view opens and whenever the view's size
// changes while it is fitted. What the image leaves uncovered is grey. The wheel zooms about
// the cursor from the fitted view to level 7 and back; dragging with the left button moves
// the image. The guide star is marked with the frame number and time.
class FrameViewControl : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMaxZoom = 7;
    static constexpr int kMinZoom = -3;
    static constexpr int kFit = kMinZoom - 1;
    // The "View" list's entry after the four bit windows: the automatic stretch.
    static constexpr int kAutoStretch = 4;

    explicit FrameViewControl(QWidget* parent = nullptr);

    // Draws the frame image with the brightness of the dialog's "View" list (0 = 1x ... 3 = 8x,
    // kAutoStretch).
    void ShowFrame(std::span<const uint16_t> frame, int brightness);
    void SetGuideMark(std::optional<GuideMark> mark);
    const std::optional<GuideMark>& guideMark() const { return mark_; }

    const CBitmapRect& canvas() const { return canvas_; }
    int zoom() const { return zoom_; }
    bool fitted() const { return zoom_ == kFit; }
    // Screen pixels per sensor pixel.
    double scale() const { return ScaleOf(zoom_); }
    QPoint offset() const { return offset_; }
    // The zoom step of the wheel with the cursor at `cursor` (view coordinates).
    void ZoomAt(QPoint cursor, int steps);
    // A level (kFit ... 7) with the image point under `cursor` kept in place.
    void ZoomTo(int level, QPoint cursor);
    void ZoomToFit() { ZoomTo(kFit, QPoint()); }
    // A level and offset as they stand, as a user would leave them.
    void SetZoom(int level, QPoint offset);
    // Where the centre of a sensor position shows in the view.
    QPointF ViewPosition(double sensorX, double sensorY) const;
    // The part of the view that the image covers.
    QRectF ImageRect() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    double FitScale() const;
    double ScaleOf(int level) const;
    QPoint CentredOffset() const;
    // The canvas reduced for scales below 1: each screen pixel shows the brightest sensor
    // pixel under it, so that stars stay visible.
    const QImage& Reduced();
    void PaintMark(QPainter& painter);

    CBitmapRect canvas_;
    int zoom_ = kFit;
    QPoint offset_;
    bool dragging_ = false;
    QPoint lastMouse_;
    int wheelRest_ = 0;  // wheel delta short of a whole notch
    std::optional<GuideMark> mark_;
    QImage reduced_;
    double reducedScale_ = 0.0;  // 0: to be made again
};

}  // namespace starloom
