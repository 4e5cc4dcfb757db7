#pragma once

#include <QWidget>

#include "common/bitmap_rect.h"

// The panel control: a canvas of its client size plus one pixel in each direction, made at
// the first paint (or the first drawing into it) and shown unscaled. Left button presses and
// releases on it are passed on in its own (and the canvas's) coordinates.
class CPanelView : public QWidget {
    Q_OBJECT

public:
    explicit CPanelView(QWidget* parent = nullptr);

    // The canvas, made now when it is not there yet.
    CBitmapRect& Canvas();
    QSize sizeHint() const override;

signals:
    void leftPressed(QPoint at);
    void leftReleased();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    CBitmapRect canvas_;
};
