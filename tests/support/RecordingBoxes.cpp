#include "support/RecordingBoxes.h"

namespace pw::test {

void RecordingBoxes::show(const std::string& caption, const std::string& text, BoxIcon icon)
{
    std::lock_guard lock(mutex_);
    boxes_.push_back({caption, text, icon});
}

std::vector<RecordingBoxes::Box> RecordingBoxes::boxes() const
{
    std::lock_guard lock(mutex_);
    return boxes_;
}

std::vector<std::string> RecordingBoxes::texts() const
{
    std::lock_guard lock(mutex_);
    std::vector<std::string> result;
    for (const Box& box : boxes_)
        result.push_back(box.text);
    return result;
}

void RecordingBoxes::clear()
{
    std::lock_guard lock(mutex_);
    boxes_.clear();
}

} // namespace pw::test
