#pragma once
#include <string>

namespace pw {

enum class BoxIcon { Stop, Plain };

// Modal message boxes, as the core asks for them. The GUI shows a QMessageBox on the GUI
// thread; headless front ends print or record. `show` returns once the user has closed the box,
// so a worker that reports a failure is held until it has been read.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void show(const std::string& caption, const std::string& text, BoxIcon icon) = 0;
    // Shows the box without waiting for it to be closed. The serial monitor thread reports
    // through this, so a thread that is closing the port never waits on an open box.
    virtual void post(const std::string& caption, const std::string& text, BoxIcon icon) { show(caption, text, icon); }
};

// Caption of the program's own error boxes.
inline constexpr const char* kAppCaption = "Pagewise";

inline void showErrorBox(MessageBoxes& boxes, const std::string& text)
{
    boxes.show(kAppCaption, text, BoxIcon::Stop);
}

} // namespace pw
