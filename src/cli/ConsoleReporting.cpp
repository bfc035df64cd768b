#include "cli/ConsoleReporting.h"

#include <algorithm>
#include <cstdio>

namespace pw::cli {

namespace {

// A box of several lines becomes one line, so each message is one line per port.
std::string oneLine(const std::string& text)
{
    std::string out;
    std::size_t begin = 0;
    while (begin <= text.size()) {
        const std::size_t end = std::min(text.find('\n', begin), text.size());
        std::string part = text.substr(begin, end - begin);
        while (!part.empty() && (part.back() == ' ' || part.back() == '\r'))
            part.pop_back();
        if (!part.empty())
            out += (out.empty() ? "" : " ") + part;
        begin = end + 1;
    }
    return out;
}

} // namespace

void ConsoleBoxes::show(const std::string& caption, const std::string& text, BoxIcon)
{
    const std::string line = oneLine(text);
    {
        std::lock_guard lock(mutex_);
        last_ = line;
    }
    console_.message(slot_, caption == kAppCaption ? line : caption + ": " + line);
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
    console_.startPhase(slot_, high);
}

void ConsoleView::setProgressPosition(int position)
{
    console_.progress(slot_, position);
}

void ConsoleView::phaseBegan(Phase phase)
{
    console_.phaseBegan(slot_, phaseName(phase));
}

void ConsoleView::phaseEnded(Phase phase, double seconds)
{
    char fields[64];
    std::snprintf(fields, sizeof fields, "\"phase\":\"%s\",\"seconds\":%.3f", phaseName(phase), seconds);
    console_.event(slot_, "phase-end", fields);
}

} // namespace pw::cli
