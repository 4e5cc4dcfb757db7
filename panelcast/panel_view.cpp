#include "panelcast/panel_view.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

namespace {

// The panel's size in the dialog template, in pixels for its font.
constexpr int kPanelWidth = 296;
constexpr int kPanelHeight = 462;

}  // namespace

CPanelView::CPanelView(QWidget* parent) : QWidget(parent) {
    setFixedSize(kPanelWidth, kPanelHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize CPanelView::sizeHint() const {
    return {kPanelWidth, kPanelHeight};
}

CBitmapRect& CPanelView::Canvas() {
    if (canvas_.Width() == 0) canvas_.Create(width() + 1, height() + 1);
    return canvas_;
}

void CPanelView::paintEvent(QPaintEvent*) {
    CBitmapRect& canvas = Canvas();
    QPainter painter(this);
    if (canvas.Width() == 0) return;
    // RGB32 ignores the top byte, so the 0x00RRGGBB pixels go in as they are.
    QImage image(reinterpret_cast<const uchar*>(canvas.Row(0)), canvas.Width(), canvas.Height(),
                 canvas.Width() * 4, QImage::Format_RGB32);
    painter.drawImage(0, 0, image);
}

void CPanelView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    emit leftPressed(event->position().toPoint());
}

void CPanelView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    emit leftReleased();
}
