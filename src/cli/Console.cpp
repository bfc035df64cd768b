#include "cli/Console.h"

#include "line/JsonWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace pw::cli {

namespace {

constexpr int kBarWidth = 30;

std::string withoutTrailingNewline(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

std::string formatDuration(double seconds)
{
    const int whole = seconds < 0 ? 0 : static_cast<int>(std::lround(seconds));
    char text[16];
    std::snprintf(text, sizeof text, "%d:%02d", whole / 60, whole % 60);
    return text;
}

} // namespace

Console::Console(std::size_t portCount, ConsoleMode mode)
    : slots_(portCount), quiet_(mode != ConsoleMode::Human), events_(mode == ConsoleMode::Events),
      bars_(!quiet_ && ::isatty(STDERR_FILENO) == 1), plainProgress_(!quiet_ && !bars_)
{
}

Console::~Console()
{
    finish();
}

void Console::setLabel(std::size_t slot, std::string label, std::uint64_t totalBytes)
{
    std::lock_guard lock(mutex_);
    slots_[slot].label = std::move(label);
    slots_[slot].totalBytes = totalBytes;
    slots_[slot].started = std::chrono::steady_clock::now();
}

std::string Console::prefix(std::size_t slot) const
{
    return slots_.size() > 1 ? "[" + slots_[slot].label + "] " : std::string();
}

void Console::event(std::size_t slot, const char* name, const QJsonObject& fields)
{
    if (!events_)
        return;
    std::lock_guard lock(mutex_);
    writeEvent(slot, name, fields);
}

void Console::writeEvent(std::size_t slot, const char* name, QJsonObject fields)
{
    fields.insert("v", 1);
    fields.insert("event", QString::fromLatin1(name));
    fields.insert("port", jsonText(slots_[slot].label));
    std::fprintf(stdout, "%s\n", jsonLine(fields).c_str());
    std::fflush(stdout);
}

void Console::resultLine(std::size_t slot, const std::string& text, const char* name, const QJsonObject& fields)
{
    std::lock_guard lock(mutex_);
    if (events_) {
        writeEvent(slot, name, fields);
        return;
    }
    eraseBars();
    std::fprintf(stdout, "%s\n", text.c_str());
    std::fflush(stdout);
    drawBars();
}

void Console::phaseBegan(std::size_t slot, const char* phase)
{
    std::lock_guard lock(mutex_);
    slots_[slot].phase = phase;
    slots_[slot].percentSent = 0;
    if (events_)
        writeEvent(slot, "phase-begin", {{"phase", QString::fromLatin1(phase)}});
}

// A progress event when the whole percentage has grown, at most every 250 ms; 100 % always.
void Console::sendPercent(std::size_t slot)
{
    Slot& shown = slots_[slot];
    if (shown.high <= 0 || shown.rewound)
        return;
    const int percent = std::min(static_cast<int>(std::int64_t{shown.position} * 100 / shown.high), 100);
    const auto now = std::chrono::steady_clock::now();
    if (percent <= shown.percentSent || (percent < 100 && now - shown.percentSentAt < std::chrono::milliseconds(250)))
        return;
    shown.percentSent = percent;
    shown.percentSentAt = now;
    QJsonObject fields{{"percent", percent}};
    if (!shown.phase.empty())
        fields.insert("phase", jsonText(shown.phase));
    writeEvent(slot, "progress", fields);
}

void Console::logLine(std::size_t slot, const std::string& line)
{
    if (events_) {
        event(slot, "log", {{"line", jsonText(withoutTrailingNewline(line))}});
        return;
    }
    if (quiet_)
        return;
    std::lock_guard lock(mutex_);
    eraseBars();
    std::fprintf(stdout, "%s%s\n", prefix(slot).c_str(), withoutTrailingNewline(line).c_str());
    std::fflush(stdout);
    drawBars();
}

void Console::message(std::size_t slot, const std::string& text)
{
    std::lock_guard lock(mutex_);
    writeMessage(slot, text);
    if (events_)
        writeEvent(slot, "message", {{"text", jsonText(withoutTrailingNewline(text))}});
}

void Console::waiting(std::size_t slot, const std::string& text, const QJsonObject& fields)
{
    std::lock_guard lock(mutex_);
    writeMessage(slot, text);
    if (events_) {
        QJsonObject withText = fields;
        withText.insert("text", jsonText(text));
        writeEvent(slot, "waiting", withText);
    }
}

void Console::writeMessage(std::size_t slot, const std::string& text)
{
    eraseBars();
    std::fprintf(stderr, "%s%s\n", prefix(slot).c_str(), withoutTrailingNewline(text).c_str());
    drawBars();
}

void Console::startPhase(std::size_t slot, int high)
{
    std::lock_guard lock(mutex_);
    Slot& shown = slots_[slot];
    if (plainProgress_ && shown.tenthsShown > 0)
        printTenths(slot, 10); // the phase before it ran to its end
    shown.high = high;
    shown.position = shown.tenthsShown = shown.percentSent = 0;
    shown.rewound = false;
}

// A position below the last one is the engine's reset to 0, either at the end of a run or
// before Auto's verify pass, which keeps the program pass's range: a pass has begun again
// only when the position moves on from there.
void Console::progress(std::size_t slot, int position)
{
    if (!bars_ && !plainProgress_ && !events_)
        return;
    std::lock_guard lock(mutex_);
    Slot& shown = slots_[slot];
    if (position < shown.position) {
        shown.rewound = true;
    } else if (shown.rewound && position > 0) {
        if (plainProgress_)
            printTenths(slot, 10);
        shown.tenthsShown = shown.percentSent = 0;
        shown.rewound = false;
    }
    shown.position = position;
    if (events_) {
        sendPercent(slot);
        return;
    }
    if (plainProgress_) {
        if (!shown.rewound && shown.high > 0)
            printTenths(slot, static_cast<int>(std::int64_t{position} * 10 / shown.high));
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDraw_ < std::chrono::milliseconds(100) && position != shown.high)
        return;
    lastDraw_ = now;
    eraseBars();
    drawBars();
}

void Console::complete(std::size_t slot)
{
    std::lock_guard lock(mutex_);
    Slot& shown = slots_[slot];
    if (shown.high <= 0)
        return; // no phase with progress (a chip erase)
    shown.position = shown.high;
    shown.rewound = false;
    if (events_) {
        sendPercent(slot);
    } else if (plainProgress_) {
        printTenths(slot, 10);
    } else if (bars_) {
        eraseBars();
        drawBars();
    }
}

// Each whole tenth once: "progress 30%" when the pass has passed 30 %.
void Console::printTenths(std::size_t slot, int upTo)
{
    Slot& shown = slots_[slot];
    while (shown.tenthsShown < std::min(upTo, 10)) {
        ++shown.tenthsShown;
        std::fprintf(stderr, "%sprogress %d%%\n", prefix(slot).c_str(), shown.tenthsShown * 10);
    }
}

void Console::finish()
{
    std::lock_guard lock(mutex_);
    if (barsShown_)
        std::fputc('\n', stderr);
    barsShown_ = false;
    bars_ = false;
}

std::string Console::renderSlot(const Slot& slot) const
{
    const double fraction = slot.high > 0 ? static_cast<double>(slot.position) / slot.high : 0.0;
    const int filled = static_cast<int>(fraction * kBarWidth);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - slot.started).count();
    const double done = fraction * static_cast<double>(slot.totalBytes);
    const double rate = elapsed > 0 ? done / elapsed : 0.0;
    const double left = rate > 0 ? (static_cast<double>(slot.totalBytes) - done) / rate : 0.0;
    char text[160];
    std::snprintf(text, sizeof text, "%-12s [%s%s] %3d%%  %7.0f B/s  %s left", slot.label.c_str(),
                  std::string(static_cast<std::size_t>(filled), '#').c_str(),
                  std::string(static_cast<std::size_t>(kBarWidth - filled), '.').c_str(),
                  static_cast<int>(fraction * 100), rate, formatDuration(left).c_str());
    return text;
}

// The bars are the last lines on the terminal; a log line first wipes them.
void Console::eraseBars()
{
    if (!barsShown_)
        return;
    for (std::size_t i = 0; i < slots_.size(); ++i)
        std::fputs(i == 0 ? "\r\x1b[2K" : "\x1b[1A\r\x1b[2K", stderr);
    barsShown_ = false;
}

void Console::drawBars()
{
    if (!bars_)
        return;
    for (std::size_t i = 0; i < slots_.size(); ++i)
        std::fprintf(stderr, "%s%s", i == 0 ? "" : "\n", renderSlot(slots_[i]).c_str());
    std::fflush(stderr);
    barsShown_ = true;
}

} // namespace pw::cli
