#pragma once

#include <QIcon>
#include <functional>

class QPainter;

// A window icon drawn in code at the sizes window managers ask for: `draw` paints one square of
// `size` pixels, on a transparent ground with antialiasing on.
QIcon DrawnIcon(const std::function<void(QPainter& p, qreal size)>& draw);
