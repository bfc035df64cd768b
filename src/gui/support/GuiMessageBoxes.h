#pragma once
#include "base/MessageBoxes.h"

#include <QObject>

namespace pw {

// Message boxes of the desktop program. Every box is modal and shown on the GUI thread: a
// call from another thread is carried over there, and `show` returns once the box is closed.
// Construct it on the GUI thread.
class GuiMessageBoxes : public QObject, public MessageBoxes {
public:
    explicit GuiMessageBoxes(QObject* parent = nullptr);

    void show(const std::string& caption, const std::string& text, BoxIcon icon) override;
    void post(const std::string& caption, const std::string& text, BoxIcon icon) override;

private:
    void showHere(const QString& caption, const QString& text, BoxIcon icon);
};

} // namespace pw
