#pragma once
#include <QJsonObject>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace pw::cli {

// What a run prints besides its messages (on stderr): log lines and progress for a person,
// nothing, or --events' JSON lines for a line controller.
enum class ConsoleMode { Human, Quiet, Events };

// The terminal, shared by every port of a run: log lines on stdout, messages on stderr and,
// when stderr is a terminal, one live progress line per port below them; when it is not (a
// log file, a line controller), a plain line at every tenth of a phase. In Events mode stdout
// carries only JSON lines, each with the schema version, the event's name and the port.
class Console {
public:
    Console(std::size_t portCount, ConsoleMode mode);
    ~Console();

    void setLabel(std::size_t slot, std::string label, std::uint64_t totalBytes);
    // Events mode: one line {"v":1,"event":NAME,"port":...,FIELDS}; nothing otherwise.
    void event(std::size_t slot, const char* name, const QJsonObject& fields = {});
    void phaseBegan(std::size_t slot, const char* phase);
    // A line that says how a run or a board ended: on stdout even when quiet; in Events mode
    // the event NAME with FIELDS instead.
    void resultLine(std::size_t slot, const std::string& text, const char* name, const QJsonObject& fields);
    // A message a station says while it waits (stderr), and in Events mode a `waiting` event.
    void waiting(std::size_t slot, const std::string& text, const QJsonObject& fields);
    void logLine(std::size_t slot, const std::string& line);
    void message(std::size_t slot, const std::string& text);
    // A phase with its own progress range begins (Auto has three).
    void startPhase(std::size_t slot, int high);
    void progress(std::size_t slot, int position);
    // The slot's run succeeded: its progress shows as complete.
    void complete(std::size_t slot);
    void finish(); // leaves the last progress lines on screen

private:
    struct Slot {
        std::string label;
        std::uint64_t totalBytes = 0;
        int position = 0;
        int high = 0;
        int tenthsShown = 0;  // plain progress lines printed for the current pass
        bool rewound = false; // the position went back; see progress()
        std::string phase;    // for progress events
        int percentSent = 0;  // the last progress event's, in this pass
        std::chrono::steady_clock::time_point percentSentAt{};
        std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    };

    std::string prefix(std::size_t slot) const;
    std::string renderSlot(const Slot& slot) const;
    void eraseBars();
    void drawBars();
    void printTenths(std::size_t slot, int upTo);
    void writeEvent(std::size_t slot, const char* name, QJsonObject fields);
    void writeMessage(std::size_t slot, const std::string& text);
    void sendPercent(std::size_t slot);

    std::mutex mutex_;
    std::vector<Slot> slots_;
    bool quiet_;
    bool events_;
    bool bars_;          // stderr is a terminal
    bool plainProgress_; // stderr is not a terminal, and progress is wanted
    bool barsShown_ = false;
    std::chrono::steady_clock::time_point lastDraw_{};
};

} // namespace pw::cli
