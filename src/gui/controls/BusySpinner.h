#pragma once
#include <QPoint>
#include <QSize>
#include <QWidget>

#include <atomic>

namespace pw {

// The spinner's geometry for a control of `size`: the inner rectangle (1, 1) to (R, B) with
// R = W - 1 and B = H - 1, and the diagonal insets dx = R / 6, dy = B / 6.
struct SpinnerGeometry {
    int left = 1;
    int top = 1;
    int right = 0;
    int bottom = 0;
    int dx = 0;
    int dy = 0;
};
SpinnerGeometry spinnerGeometry(QSize size);

struct SpinnerLine {
    QPoint from;
    QPoint to;
};
// The line shown at `position` (0 to 7): it turns by 45 degrees counter-clockwise per step,
// and positions p and p + 4 cover the same segment from opposite ends.
SpinnerLine spinnerLine(const SpinnerGeometry& geometry, int position);

// A small square with a line through its middle that turns one step per Step call. Step may be
// called from any thread: it only advances the position and asks the GUI thread to repaint.
class BusySpinner : public QWidget {
    Q_OBJECT
public:
    explicit BusySpinner(QSize size, QWidget* parent = nullptr);

    void Step();
    int position() const { return position_.load(); }
    const SpinnerGeometry& geometry() const { return geometry_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const SpinnerGeometry geometry_; // fixed when the control is made, as its size is
    std::atomic<int> position_{0};
};

} // namespace pw
