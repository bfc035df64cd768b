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

    // For a run nobody watches: each box is written to stderr instead and nothing waits for a
    // click that will never come.
    void writeToStandardError() { toStandardError_ = true; }
    // How many boxes have been written so.
    int written() const { return written_; }

private:
    void showHere(const QString& caption, const QString& text, BoxIcon icon);

    bool toStandardError_ = false; // both only touched on the GUI thread
    int written_ = 0;
};

} // namespace pw
