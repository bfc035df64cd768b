#include "cli/ConsoleReporting.h"

#include "line/JsonWriter.h"
#include "line/KeptBoxes.h"

namespace pw::cli {

void ConsoleBoxes::show(const std::string& caption, const std::string& text, BoxIcon)
{
    const std::string line = boxAsOneLine(text);
    console_.message(slot_, caption == kAppCaption ? line : caption + ": " + line);
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
    console_.event(slot_, "phase-end",
                   {{"phase", QString::fromLatin1(phaseName(phase))}, {"seconds", jsonSeconds(seconds)}});
}

} // namespace pw::cli
