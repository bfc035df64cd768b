#include "gui/support/TextWidth.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

namespace pw {

int lineEditWidthFor(const QLineEdit& field, const QString& text)
{
    QStyleOptionFrame option;
    option.initFrom(&field);
    option.lineWidth = field.hasFrame() ? field.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &field) : 0;
    const QMargins margins = field.textMargins();
    // QLineEdit keeps 2 px of its own on each side of the text.
    const QSize textSize(field.fontMetrics().horizontalAdvance(text) + margins.left() + margins.right() + 4,
                         field.fontMetrics().height());
    return field.style()->sizeFromContents(QStyle::CT_LineEdit, &option, textSize, &field).width();
}

void fitLongestText(QLineEdit& field, const QString& text)
{
    field.setMinimumWidth(lineEditWidthFor(field, text));
}

} // namespace pw
