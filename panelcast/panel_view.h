#pragma once

#include <QWidget>

#include "common/bitmap_rect.h"

// The panel control: a canvas of its client size plus one pixel in each direction, made at
// the first paint (or the first drawing into it) and shown unscaled.
class CPanelView : public QWidget {
    Q_OBJECT

public:
    explicit CPanelView(QWidget* parent = nullptr);

    // The canvas, made now when it is not there yet.
    CBitmapRect& Canvas();
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CBitmapRect canvas_;
};
