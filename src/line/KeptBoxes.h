#pragma once
#include "base/MessageBoxes.h"

#include <mutex>
#include <string>

namespace pw {

// A box of several lines as one line, so each reason is one line per port.
std::string boxAsOneLine(const std::string& text);

// Passes every box on to the front end's boxes and keeps the last one, as one line, as the
// reason of a run that ended without a message of its own.
class KeptBoxes : public MessageBoxes {
public:
    explicit KeptBoxes(MessageBoxes& shown) : shown_(shown) {}
    void show(const std::string& caption, const std::string& text, BoxIcon icon) override;
    void post(const std::string& caption, const std::string& text, BoxIcon icon) override;
    std::string lastText() const;

private:
    void keep(const std::string& text);

    MessageBoxes& shown_;
    mutable std::mutex mutex_;
    std::string last_;
};

} // namespace pw
