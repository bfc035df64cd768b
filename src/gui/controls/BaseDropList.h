#pragma once
#include <QFrame>
#include <QPoint>
#include <QRect>
#include <QStringList>

class QListWidget;

namespace pw {

class wcHexButton;

// Top-left corner of the base list of height `h` for a field at `field` (screen coordinates)
// in the window `mainWindow`: below the field when more than twice the list's height is free
// below it, otherwise above it.
QPoint dropListPosition(const QRect& field, const QRect& mainWindow, int h);

// The pop-up list of bases a field opens from its button. Row 0 is hexadecimal, any other row
// decimal. Closing without a choice (Enter, Escape, a click elsewhere) changes nothing; the
// same window serves every opening.
class BaseDropList : public QFrame {
    Q_OBJECT
public:
    BaseDropList(wcHexButton& field, const QStringList& choices);

    // Fills the list, places it beside the field and shows it with the focus in the list.
    void popUp(const QRect& fieldOnScreen, const QRect& mainWindow);
    QListWidget* list() const { return list_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fill();
    QSize listSize() const;
    void choose();

    wcHexButton& field_;
    QStringList choices_;
    QListWidget* list_ = nullptr;
};

} // namespace pw
