#include "app/cli/ConsoleReporting.h"

namespace pw::cli {

void ConsoleBoxes::show(const std::string& caption, const std::string& text, BoxIcon)
{
    {
        std::lock_guard lock(mutex_);
        last_ = text;
    }
    console_.message(slot_, caption == kAppCaption ? text : caption + ": " + text);
}

std::string ConsoleBoxes::lastText() const
{
    std::lock_guard lock(mutex_);
    return last_;
}

void ConsoleView::appendLogLine(const std::string& line)
{
    console_.logLine(slot_, line);
}

void ConsoleView::setProgressRange(int, int high)
{
    high_ = high;
    console_.progress(slot_, 0, high_);
}

void ConsoleView::setProgressPosition(int position)
{
    console_.progress(slot_, position, high_);
}

} // namespace pw::cli
