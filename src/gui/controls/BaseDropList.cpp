#include "gui/controls/BaseDropList.h"

#include "gui/controls/wcHexButton.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QStyle>
#include <QResizeEvent>

#include <algorithm>

namespace pw {

QPoint dropListPosition(const QRect& field, const QRect& mainWindow, int h)
{
    // Bottoms as the first row outside the rectangle.
    const int fieldBottom = field.y() + field.height();
    const int mainBottom = mainWindow.y() + mainWindow.height();
    if (mainBottom - fieldBottom - 2 * h > 0)
        return {field.x(), fieldBottom};
    return {field.x(), field.y() - h};
}

BaseDropList::BaseDropList(wcHexButton& field, const QStringList& choices)
    : QFrame(&field, Qt::Popup), field_(field), choices_(choices)
{
    // A thin frame in the style's own shade, as an ordinary drop-down list has, not black.
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    QPalette shade = palette();
    shade.setColor(QPalette::WindowText, shade.color(QPalette::Mid));
    setPalette(shade);
    list_ = new QListWidget(this);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setFrameStyle(QFrame::NoFrame);
    list_->installEventFilter(this);
    connect(list_, &QListWidget::clicked, this, [this] { choose(); });
}

void BaseDropList::fill()
{
    list_->clear();
    list_->addItems(choices_);
    // Rows with the breathing room of a drop-down list's rows.
    const int rowHeight = list_->fontMetrics().height() + list_->fontMetrics().height() / 2;
    for (int row = 0; row < list_->count(); ++row)
        list_->item(row)->setSizeHint(QSize(0, rowHeight));
}

QSize BaseDropList::listSize() const
{
    const int f = frameWidth();
    int t = 0;
    for (const QString& choice : choices_)
        t = std::max(t, list_->fontMetrics().horizontalAdvance(choice));
    const int margin = 2 * (list_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list_) + 1) +
                       2 * list_->fontMetrics().averageCharWidth();
    const int l = list_->visualItemRect(list_->item(0)).left() + margin;
    const int r = list_->visualItemRect(list_->item(list_->count() - 1)).bottom() + 1;
    return {std::max(t + l + 2 * f, 45), r + 2 * f};
}

void BaseDropList::popUp(const QRect& fieldOnScreen, const QRect& mainWindow)
{
    fill();
    list_->resize(100, 100 * static_cast<int>(choices_.size())); // room to measure the rows
    const QSize size = listSize();
    setGeometry(QRect(dropListPosition(fieldOnScreen, mainWindow, size.height()), size));
    show();
    list_->setFocus(Qt::PopupFocusReason);
}

void BaseDropList::resizeEvent(QResizeEvent* event)
{
    // Sized by hand: a layout would hold the list to its minimum size hint.
    list_->setGeometry(contentsRect());
    QFrame::resizeEvent(event);
}

void BaseDropList::choose()
{
    int first = -1;
    for (const QModelIndex& index : list_->selectionModel()->selectedIndexes())
        first = first < 0 ? index.row() : std::min(first, index.row());
    field_.chooseBase(first == 0);
    hide();
}

bool BaseDropList::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
            hide();
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void BaseDropList::hideEvent(QHideEvent* event)
{
    field_.setButtonPressed(false);
    QFrame::hideEvent(event);
}

} // namespace pw
