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
    layout.suffixAt = origin + QPoint(w + 2, 1);
    return layout;
}

HexSuffixEdit::HexSuffixEdit(QWidget* parent) : QWidget(parent)
{
    edit_ = new QLineEdit(this);
    edit_->setFrame(false);
    edit_->installEventFilter(new KeyFilterGuard([] { return true; }, edit_));
    edit_->setValidator(new NoSpaceValidator(edit_));
    setFocusProxy(edit_);
    connect(edit_, &QLineEdit::textChanged, this, &HexSuffixEdit::textChanged);
}

QString HexSuffixEdit::text() const { return edit_->text(); }

void HexSuffixEdit::setText(const QString& text) { edit_->setText(text); }

QSize HexSuffixEdit::sizeHint() const
{
    const QSize edit = edit_->sizeHint();
    return {edit.width() + kStripWidth + 3, edit.height() + 4};
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
    painter.fillRect(layout.innerFrame, palette().color(QPalette::Base));
    painter.fillRect(layout.strip, palette().color(QPalette::Button));
    drawFrame(painter, layout.innerFrame, QColor(0xA8, 0xA8, 0xA8), QColor(0xFF, 0xFF, 0xFF));
    drawFrame(painter, layout.outerFrame, QColor(0x70, 0x70, 0x70), QColor(0xF0, 0xF0, 0xF0));
    painter.setPen(Qt::black);
    const QRect suffix(layout.suffixAt, QSize(kStripWidth - 2, layout.textArea.height() - 1));
    painter.drawText(suffix, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("00"));
}

} // namespace pw
