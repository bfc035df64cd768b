#include "gui/controls/BusySpinner.h"

#include <QPainter>

namespace pw {

SpinnerGeometry spinnerGeometry(QSize size)
{
    SpinnerGeometry g;
    g.right = size.width() - 1;
    g.bottom = size.height() - 1;
    g.dx = g.right / 6;
    g.dy = g.bottom / 6;
    return g;
}

SpinnerLine spinnerLine(const SpinnerGeometry& g, int position)
{
    const QPoint midLeft(g.left, g.bottom / 2);
    const QPoint midRight(g.right, g.bottom / 2);
    const QPoint midBottom(g.right / 2, g.bottom);
    const QPoint midTop(g.right / 2, g.top);
    const QPoint lowLeft(g.left + g.dx, g.bottom - g.dy);
    const QPoint highRight(g.right - g.dx, g.top + g.dy);
    const QPoint lowRight(g.right - g.dx, g.bottom - g.dy);
    const QPoint highLeft(g.left + g.dx, g.top + g.dy);
    switch (position & 7) {
    case 0: return {midLeft, midRight};
    case 1: return {lowLeft, highRight};
    case 2: return {midBottom, midTop};
    case 3: return {lowRight, highLeft};
    case 4: return {midRight, midLeft};
    case 5: return {highRight, lowLeft};
    case 6: return {midTop, midBottom};
    default: return {highLeft, lowRight};
    }
}

BusySpinner::BusySpinner(QSize size, QWidget* parent) : QWidget(parent), geometry_(spinnerGeometry(size))
{
    setFixedSize(size);
}

void BusySpinner::Step()
{
    int current = position_.load();
    while (!position_.compare_exchange_weak(current, (current + 1) % 8)) {
    }
    // Painting belongs to the GUI thread; the repaint draws the new line over a fresh face.
    QMetaObject::invokeMethod(
        this, [this] { update(); }, Qt::QueuedConnection);
}

void BusySpinner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    // The line excludes its end point, so p and p + 4 draw the same pixels.
    const SpinnerLine line = spinnerLine(geometry_, position_.load());
    const QPoint step((line.to.x() > line.from.x()) - (line.to.x() < line.from.x()),
                      (line.to.y() > line.from.y()) - (line.to.y() < line.from.y()));
    painter.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
    painter.drawLine(line.from, line.to - step);
}

} // namespace pw
