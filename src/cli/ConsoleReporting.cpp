#include "cli/ConsoleReporting.h"

#include "cli/JsonWriter.h"

#include <algorithm>
#include <cstdio>
#include <utility>

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

std::map<std::string, double> ConsoleView::takePhaseSeconds()
{
    std::lock_guard lock(mutex_);
    return std::exchange(phaseSeconds_, {});
}

void ConsoleView::phaseBegan(Phase phase)
{
    console_.phaseBegan(slot_, phaseName(phase));
}

void ConsoleView::phaseEnded(Phase phase, double seconds)
{
    console_.event(slot_, "phase-end",
                   {{"phase", QString::fromLatin1(phaseName(phase))}, {"seconds", jsonSeconds(seconds)}});
    std::lock_guard lock(mutex_);
    phaseSeconds_[phaseName(phase)] = seconds;
}

} // namespace pw::cli
