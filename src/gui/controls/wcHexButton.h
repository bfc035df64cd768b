#pragma once
#include <QString>
#include <QWidget>

class QLineEdit;

namespace pw {

class BaseDropList;
class BaseButtonStrip;

// A number field that the user switches between hexadecimal ("x") and decimal ("d") entry
// with the base button at its left end. Changing the base rewrites the number in the new base
// through the ordinary text path, so textChanged reports it like any edit.
class wcHexButton : public QWidget {
    Q_OBJECT
public:
    enum PressState { Normal = 0, Pressed = 1, Disabled = 2 };

    explicit wcHexButton(QWidget* parent = nullptr);
    ~wcHexButton() override;

    bool IsHex() const { return hexMode_; }
    QString text() const;
    void setText(const QString& text);
    QLineEdit* lineEdit() const { return edit_; }

    // The button strip in the field's own coordinates, inside its frame: the frame's inner
    // height, 8/10 of that wide.
    QRect buttonRect() const;
    QWidget* buttonStrip() const;
    PressState pressState() const { return pressState_; }
    QString baseLetter() const { return hexMode_ ? QStringLiteral("x") : QStringLiteral("d"); }
    BaseDropList* dropList() const { return dropList_; } // null until first opened

    void openDropList();
    // A choice made in the drop list: sets the base and rewrites the text if it changed.
    void chooseBase(bool hex);
    void setButtonPressed(bool pressed);

    QSize sizeHint() const override;

signals:
    void textChanged(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class BaseButtonStrip;
    void stripPressed();
    void stripMoved(bool over);
    void stripReleased(bool over);
    void convertIfBaseChanged();
    int frameWidth() const;

    QLineEdit* edit_ = nullptr;
    BaseButtonStrip* strip_ = nullptr;
    BaseDropList* dropList_ = nullptr;
    bool hexMode_ = true;
    bool convertedMode_ = true;
    bool tracking_ = false;
    PressState pressState_ = Normal;
};

} // namespace pw
