#include "gui/controls/HexSuffixEdit.h"

#include "gui/controls/KeyFilter.h"

#include <QLineEdit>
#include <QPainter>

namespace pw {

namespace {

// A 1-pixel frame on `r` (exclusive right and bottom edges, as the layout gives them).
void drawFrame(QPainter& painter, const QRect& r, const QColor& topLeft, const QColor& bottomRight)
{
    const int left = r.x();
    const int top = r.y();
    const int right = r.x() + r.width() - 1;
    const int bottom = r.y() + r.height() - 1;
    painter.setPen(topLeft);
    painter.drawLine(left, top, right - 1, top);
    painter.drawLine(left, top, left, bottom - 1);
    painter.setPen(bottomRight);
    painter.drawLine(left, bottom, right, bottom);
    painter.drawLine(right, top, right, bottom);
}

} // namespace

SuffixLayout suffixLayout(QSize size)
{
    const int w = size.width() - (HexSuffixEdit::kStripWidth + 2);
    const int h = size.height() - 2;
    const QPoint origin(1, 1);
    SuffixLayout layout;
    layout.textArea = QRect(origin, QSize(w, h));
    layout.editArea = QRect(origin + QPoint(1, 1), QSize(w - 1, h - 2));
    layout.strip = QRect(origin + QPoint(w + 2, 2), QSize(HexSuffixEdit::kStripWidth - 4, h - 4));
    layout.innerFrame = QRect(origin, QSize(w + HexSuffixEdit::kStripWidth, h));
    layout.outerFrame = layout.innerFrame.adjusted(-1, -1, 1, 1);
    layout.suffixAt = QPoint(layout.strip.left(), origin.y() + 1);
    return layout;
}

HexSuffixEdit::HexSuffixEdit(QWidget* parent) : QWidget(parent)
{
    edit_ = new QLineEdit(this);
    edit_->setFrame(false);
    edit_->installEventFilter(new KeyFilterGuard([] { return true; }, edit_));
    edit_->setValidator(new NoSpaceValidator(edit_));
    // The digits end where the suffix begins, so "8" and "00" read as one number: 800. The
    // edit lets the field's own background show, under which the suffix is drawn.
    edit_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QPalette clear = edit_->palette();
    clear.setColor(QPalette::Base, Qt::transparent);
    edit_->setPalette(clear);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFocusProxy(edit_);
    connect(edit_, &QLineEdit::textChanged, this, &HexSuffixEdit::textChanged);
}

QString HexSuffixEdit::text() const
{
    return edit_->text();
}

void HexSuffixEdit::setText(const QString& text)
{
    edit_->setText(text);
}

// Room for the widest start address (0x10000: "100") and a digit more, as QLineEdit draws
// text: 2 px inside each side.
QSize HexSuffixEdit::sizeHint() const
{
    const int text = edit_->fontMetrics().horizontalAdvance(QStringLiteral("FFFF")) + 4;
    return {text + kStripWidth + 3, edit_->sizeHint().height() + 4};
}

void HexSuffixEdit::resizeEvent(QResizeEvent* event)
{
    edit_->setGeometry(suffixLayout(size()).editArea);
    QWidget::resizeEvent(event);
}

void HexSuffixEdit::paintEvent(QPaintEvent*)
{
    const SuffixLayout layout = suffixLayout(size());
    QPainter painter(this);
    painter.fillRect(layout.textArea, palette().color(QPalette::Base));
    painter.fillRect(layout.strip, palette().color(QPalette::Button));
    drawFrame(painter, layout.innerFrame, QColor(0xA8, 0xA8, 0xA8), QColor(0xFF, 0xFF, 0xFF));
    drawFrame(painter, layout.outerFrame, QColor(0x70, 0x70, 0x70), QColor(0xF0, 0xF0, 0xF0));
    painter.setPen(Qt::black);
    const QRect suffix(layout.suffixAt, QSize(kStripWidth - 2, layout.textArea.height() - 1));
    // Centred as the edit centres its text, so the digits and the suffix sit on one baseline.
    painter.drawText(suffix, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("00"));
}

} // namespace pw
