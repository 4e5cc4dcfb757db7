#include "starloom/app/frame_view_control.h"

#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <vector>

#include "starloom/model/frame_stretch.h"
#include "starloom/model/frame_view.h"
#include "starloom/model/sensor.h"

namespace starloom {

namespace {

const QColor kUncovered(128, 128, 128);
const QColor kMarkColour(64, 224, 64);
constexpr int kWheelNotch = 120;
// The view's size in the dialog template, about 430 x 300 dialog units.
constexpr int kPreferredWidth = 644;
constexpr int kPreferredHeight = 488;
constexpr int kMinMarkRadius = 10;  // screen pixels

}  // namespace

FrameViewControl::FrameViewControl(QWidget* parent) : QWidget(parent) {
    canvas_.Create(kSensorWidth, kSensorHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(kPreferredWidth / 2, kPreferredHeight / 2);
}

QSize FrameViewControl::sizeHint() const {
    return {kPreferredWidth, kPreferredHeight};
}

void FrameViewControl::ShowFrame(std::span<const uint16_t> frame, int brightness) {
    if (canvas_.Width() == 0 || frame.size() < kSensorPixels) return;
    const std::span<uint32_t> pixels(canvas_.Row(0), kSensorPixels);
    if (brightness == kAutoStretch)
        DrawStretchedView(frame.first(kSensorPixels), AutoStretchLevels(frame), pixels);
    else
        DrawFrameView(frame.first(kSensorPixels), brightness, pixels);
    reducedScale_ = 0.0;
    update();
}

void FrameViewControl::SetGuideMark(std::optional<GuideMark> mark) {
    mark_ = std::move(mark);
    update();
}

double FrameViewControl::FitScale() const {
    // A view larger than the frame shows it unscaled.
    return std::min({1.0, static_cast<double>(width()) / kSensorWidth,
                     static_cast<double>(height()) / kSensorHeight});
}

double FrameViewControl::ScaleOf(int level) const {
    if (level == kFit) return FitScale();
    if (level < 0) return 1.0 / (1 - level);
    return level + 1;
}

QPoint FrameViewControl::CentredOffset() const {
    const double s = FitScale();
    return {-static_cast<int>((width() - kSensorWidth * s) / 2),
            -static_cast<int>((height() - kSensorHeight * s) / 2)};
}

void FrameViewControl::ZoomAt(QPoint cursor, int steps) {
    // The levels in order of scale: the fitted view, then every level that shows more.
    std::vector<int> levels{kFit};
    for (int z = kMinZoom; z <= kMaxZoom; ++z)
        if (ScaleOf(z) > FitScale() + 1e-9) levels.push_back(z);
    std::size_t index = 0;
    for (std::size_t i = 0; i < levels.size(); ++i)
        if (ScaleOf(levels[i]) <= scale() + 1e-9) index = i;
    const auto next =
        std::clamp<long>(static_cast<long>(index) + steps, 0, static_cast<long>(levels.size()) - 1);
    ZoomTo(levels[static_cast<std::size_t>(next)], cursor);
}

void FrameViewControl::ZoomTo(int level, QPoint cursor) {
    level = std::clamp(level, kFit, kMaxZoom);
    const int old = zoom_;
    const double oldScale = scale();
    zoom_ = level;
    if (level == kFit) {
        offset_ = CentredOffset();
    } else if (old >= 0 && level >= 0) {
        // The image point under the cursor stays where it is.
        auto keep = [&](int c, int o) { return (c + o) * (level + 1) / (old + 1) - c; };
        offset_ = QPoint(keep(cursor.x(), offset_.x()), keep(cursor.y(), offset_.y()));
    } else {
        const double ratio = ScaleOf(level) / oldScale;
        auto keep = [&](int c, int o) { return static_cast<int>((c + o) * ratio - c); };
        offset_ = QPoint(keep(cursor.x(), offset_.x()), keep(cursor.y(), offset_.y()));
    }
    update();
}

void FrameViewControl::SetZoom(int level, QPoint offset) {
    zoom_ = std::clamp(level, kFit, kMaxZoom);
    offset_ = zoom_ == kFit ? CentredOffset() : offset;
    update();
}

QPointF FrameViewControl::ViewPosition(double sensorX, double sensorY) const {
    const double s = scale();
    return {(sensorX + 0.5) * s - offset_.x(), (sensorY + 0.5) * s - offset_.y()};
}

QRectF FrameViewControl::ImageRect() const {
    const double s = scale();
    return {-static_cast<double>(offset_.x()), -static_cast<double>(offset_.y()), kSensorWidth * s,
            kSensorHeight * s};
}

const QImage& FrameViewControl::Reduced() {
    const double s = scale();
    if (reducedScale_ == s && !reduced_.isNull()) return reduced_;
    const int w = std::max(1, static_cast<int>(std::ceil(kSensorWidth * s)));
    const int h = std::max(1, static_cast<int>(std::ceil(kSensorHeight * s)));
    reduced_ = QImage(w, h, QImage::Format_RGB32);
    // Source columns and rows of each screen pixel: from first[i] up to first[i + 1].
    auto edges = [s](int count, int limit) {
        std::vector<int> first(static_cast<std::size_t>(count) + 1);
        for (int i = 0; i <= count; ++i)
            first[static_cast<std::size_t>(i)] =
                std::min(limit, static_cast<int>(std::floor(i / s + 1e-9)));
        return first;
    };
    const std::vector<int> xs = edges(w, kSensorWidth), ys = edges(h, kSensorHeight);
    for (int ty = 0; ty < h; ++ty) {
        auto* out = reinterpret_cast<uint32_t*>(reduced_.scanLine(ty));
        const int y0 = ys[ty], y1 = std::max(ys[ty + 1], y0 + 1);
        for (int tx = 0; tx < w; ++tx) {
            const int x0 = xs[tx], x1 = std::max(xs[tx + 1], x0 + 1);
            uint32_t brightest = 0;
            for (int y = y0; y < std::min(y1, kSensorHeight); ++y) {
                const uint32_t* row = canvas_.Row(y);
                for (int x = x0; x < std::min(x1, kSensorWidth); ++x)
                    brightest = std::max(brightest, row[x] & 0xFFFFFFu);
            }
            out[tx] = 0xFF000000u | brightest;
        }
    }
    reducedScale_ = s;
    return reduced_;
}

void FrameViewControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kUncovered);
    if (canvas_.Width() == 0) return;
    if (scale() < 1.0) {
        painter.drawImage(-offset_.x(), -offset_.y(), Reduced());
        PaintMark(painter);
        return;
    }
    const QImage image(reinterpret_cast<const uchar*>(canvas_.Row(0)), canvas_.Width(),
                       canvas_.Height(), canvas_.Width() * 4, QImage::Format_RGB32);
    // Only the canvas pixels in sight are scaled, each to a whole square of screen pixels.
    const int scaleInt = static_cast<int>(scale());
    const QRect placed(-offset_.x(), -offset_.y(), image.width() * scaleInt,
                       image.height() * scaleInt);
    const QRect visible = placed.intersected(rect());
    if (!visible.isEmpty()) {
        const int left = (visible.left() - placed.left()) / scaleInt;
        const int top = (visible.top() - placed.top()) / scaleInt;
        const int right = std::min(image.width(), (visible.right() - placed.left()) / scaleInt + 1);
        const int bottom =
            std::min(image.height(), (visible.bottom() - placed.top()) / scaleInt + 1);
        const QRect source(left, top, right - left, bottom - top);
        const QRect target(placed.left() + left * scaleInt, placed.top() + top * scaleInt,
                           source.width() * scaleInt, source.height() * scaleInt);
        painter.drawImage(target, image, source);
    }
    PaintMark(painter);
}

void FrameViewControl::PaintMark(QPainter& painter) {
    if (!mark_) return;
    const QString when = tr("frame %1 · %2 s").arg(mark_->frame).arg(mark_->seconds, 0, 'f', 1);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kMarkColour, 1.5));
    if (!mark_->x || !mark_->y) {
        painter.drawText(QRect(6, 4, width() - 12, 40), Qt::AlignLeft | Qt::AlignTop,
                         tr("No guide star found") + QStringLiteral("\n") + when);
        return;
    }
    const QPointF at = ViewPosition(*mark_->x, *mark_->y);
    const double r = std::max<double>(kMinMarkRadius, 5 * scale());
    painter.drawEllipse(at, r, r);
    const QFontMetrics metrics(font());
    const QString title = tr("Guide star");
    const int textWidth =
        std::max(metrics.horizontalAdvance(title), metrics.horizontalAdvance(when));
    // Beside the star, on the side where it fits.
    double left = at.x() + r + 4;
    if (left + textWidth > width()) left = at.x() - r - 4 - textWidth;
    const QRectF box(left, at.y() - metrics.height(), textWidth + 2, 2 * metrics.height() + 2);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, title + QStringLiteral("\n") + when);
}

void FrameViewControl::resizeEvent(QResizeEvent* event) {
    if (fitted()) {
        offset_ = CentredOffset();
        reducedScale_ = 0.0;
    }
    QWidget::resizeEvent(event);
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
    // The fitted view shows the whole frame already.
    if (!fitted()) offset_ += lastMouse_ - now;
    lastMouse_ = now;
    update();
}

void FrameViewControl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragging_ = false;
    QWidget::mouseReleaseEvent(event);
}

}  // namespace starloom
