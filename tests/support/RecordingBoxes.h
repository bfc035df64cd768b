#pragma once
#include "base/MessageBoxes.h"

#include <mutex>
#include <string>
#include <vector>

namespace pw::test {

// Message boxes that are "closed" at once and remembered, for assertions.
class RecordingBoxes : public MessageBoxes {
public:
    struct Box {
        std::string caption;
        std::string text;
        BoxIcon icon;
    };

    void show(const std::string& caption, const std::string& text, BoxIcon icon) override;
    std::vector<Box> boxes() const;
    std::vector<std::string> texts() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<Box> boxes_;
};

} // namespace pw::test
