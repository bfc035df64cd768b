#include "gui/controls/KeyFilter.h"

#include <QKeyEvent>

namespace pw {

KeyAction KeyFilter(int key, Qt::KeyboardModifiers modifiers, bool hexMode)
{
    if (modifiers & Qt::AltModifier)
        return KeyAction::Pass;
    // Keypad digits arrive as the main keyboard's digits with the keypad modifier.
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return KeyAction::Pass;
    if (!hexMode)
        return KeyAction::Consume;
    if (key >= Qt::Key_A && key <= Qt::Key_F)
        return KeyAction::Pass;
    switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Left:
    case Qt::Key_Right: return KeyAction::Pass;
    default: return KeyAction::Consume;
    }
}

KeyFilterGuard::KeyFilterGuard(std::function<bool()> hexMode, QObject* parent)
    : QObject(parent), hexMode_(std::move(hexMode))
{
}

bool KeyFilterGuard::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        return KeyFilter(key->key(), key->modifiers(), hexMode_()) == KeyAction::Consume;
    }
    return QObject::eventFilter(watched, event);
}

QValidator::State NoSpaceValidator::validate(QString& input, int& pos) const
{
    const int before = static_cast<int>(input.left(pos).count(QLatin1Char(' ')));
    input.remove(QLatin1Char(' '));
    pos -= before;
    return Acceptable;
}

} // namespace pw
