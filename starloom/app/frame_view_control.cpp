#include "starloom/app/frame_view_control.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>

#include "starloom/model/frame_view.h"
#include "starloom/model/sensor.h"

namespace starloom {

namespace {

const QColor kUncovered(128, 128, 128);
constexpr int kWheelNotch = 120;

}  // namespace

FrameViewControl::FrameViewControl(QWidget* parent) : QWidget(parent) {
    canvas_.Create(kSensorWidth, kSensorHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void FrameViewControl::ShowFrame(std::span<const uint16_t> frame, int brightness) {
    if (canvas_.Width() == 0 || frame.size() < kSensorPixels) return;
    DrawFrameView(frame.first(kSensorPixels), brightness,
                  std::span<uint32_t>(canvas_.Row(0), kSensorPixels));
    update();
}

void FrameViewControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kUncovered);
    if (canvas_.Width() == 0) return;
    const QImage image(reinterpret_cast<const uchar*>(canvas_.Row(0)), canvas_.Width(),
                       canvas_.Height(), canvas_.Width() * 4, QImage::Format_RGB32);
    // Only the canvas pixels in sight are scaled, each to a whole square of screen pixels.
    const int scale = zoom_ + 1;
    const QRect placed(-offset_.x(), -offset_.y(), image.width() * scale, image.height() * scale);
    const QRect visible = placed.intersected(rect());
    if (visible.isEmpty()) return;
    const int left = (visible.left() - placed.left()) / scale;
    const int top = (visible.top() - placed.top()) / scale;
    const int right = std::min(image.width(), (visible.right() - placed.left()) / scale + 1);
    const int bottom = std::min(image.height(), (visible.bottom() - placed.top()) / scale + 1);
    const QRect source(left, top, right - left, bottom - top);
    const QRect target(placed.left() + left * scale, placed.top() + top * scale,
                       source.width() * scale, source.height() * scale);
    painter.drawImage(target, image, source);
}

void FrameViewControl::ZoomAt(QPoint cursor, int steps) {
    const int old = zoom_;
    zoom_ = std::clamp(zoom_ + steps, 0, kMaxZoom);
    // The image point under the cursor stays where it is.
    auto keep = [&](int c, int o) { return (c + o) * (zoom_ + 1) / (old + 1) - c; };
    offset_ = QPoint(keep(cursor.x(), offset_.x()), keep(cursor.y(), offset_.y()));
    update();
}

void FrameViewControl::wheelEvent(QWheelEvent* event) {
    wheelRest_ += event->angleDelta().y();
    const int steps = wheelRest_ / kWheelNotch;
    wheelRest_ -= steps * kWheelNotch;
    if (steps != 0) ZoomAt(event->position().toPoint(), steps);
    event->accept();
}

void FrameViewControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    dragging_ = true;
    lastMouse_ = event->position().toPoint();
}

void FrameViewControl::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || !(event->buttons() & Qt::LeftButton)) return QWidget::mouseMoveEvent(event);
    const QPoint now = event->position().toPoint();
    offset_ += lastMouse_ - now;
    lastMouse_ = now;
    update();
}

void FrameViewControl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragging_ = false;
    QWidget::mouseReleaseEvent(event);
}

}  // namespace starloom
