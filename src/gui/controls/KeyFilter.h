#pragma once
#include <QObject>
#include <QValidator>

#include <functional>

namespace pw {

enum class KeyAction { Pass, Consume };

// Which key-down events reach a number field: digits of both keyboards always; A to F and the
// editing keys Backspace, Delete, Left and Right only in hexadecimal mode; nothing else, so
// Enter, Escape, Tab, Up and Down never reach the field or its dialog. Keys pressed with Alt
// are left alone.
KeyAction KeyFilter(int key, Qt::KeyboardModifiers modifiers, bool hexMode);

// Applies KeyFilter to the key presses of the object it is installed on. It sees them before
// the widget's own event handling, so Tab is stopped before it moves the focus.
class KeyFilterGuard : public QObject {
public:
    KeyFilterGuard(std::function<bool()> hexMode, QObject* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<bool()> hexMode_;
};

// Drops spaces however they arrive (pasting, input methods), instead of inserting them.
class NoSpaceValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

} // namespace pw
