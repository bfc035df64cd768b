#include "cli/StationPresenter.h"

#include "cli/PortRun.h"

namespace pw::cli {

StationPresenter::StationPresenter(Console& console, std::size_t ports, const PreparedImage& image)
    : console_(console), image_(image), labels_(ports)
{
    for (std::size_t slot = 0; slot < ports; ++slot) {
        boxes_.push_back(std::make_unique<ConsoleBoxes>(console, slot));
        views_.push_back(std::make_unique<ConsoleView>(console, slot));
    }
}

void StationPresenter::started(std::size_t slot)
{
    announceStart(console_, slot, "station", image_.binaryPath, image_.bytes);
}

void StationPresenter::waiting(std::size_t slot, const StationWait& wait)
{
    const std::string& label = labels_[slot];
    const std::string board = std::to_string(wait.board);
    std::string text;
    QJsonObject fields;
    switch (wait.what) {
    case StationWait::For::Board:
        text = "waiting for board " + board + " on " + label;
        fields = {{"for", "board"}, {"board", static_cast<qint64>(wait.board)}};
        break;
    case StationWait::For::Removal:
        text = wait.again ? "waiting for board " + board + " to be removed from " + label
                          : "remove board " + board + " from " + label;
        fields = {{"for", "removal"}, {"board", static_cast<qint64>(wait.board)}};
        break;
    case StationWait::For::Port:
        text = "waiting for " + label + " to come back";
        fields = {{"for", "port"}};
        break;
    }
    console_.waiting(slot, wait.again ? "still " + text : text, fields);
}

void StationPresenter::retrying(std::size_t slot, unsigned board, unsigned attempt, Outcome outcome)
{
    console_.message(slot, "board " + std::to_string(board) + " on " + labels_[slot] + ": attempt " +
                               std::to_string(attempt) + " ended in " + traitsOf(outcome).word + ", running it again");
}

void StationPresenter::boardEnded(std::size_t slot, const BoardReport& report, const QJsonObject&)
{
    console_.resultLine(slot, boardLine(report), "board", boardFields(report));
}

void StationPresenter::stopped(std::size_t slot, const StationStop& stop)
{
    switch (stop.reason) {
    case StopReason::RecordNotKept:
        console_.message(slot, "the record of board " + std::to_string(stop.board) + " on " + labels_[slot] +
                                   " could not be written to " + stop.store + ": " + stop.detail +
                                   "; every station stops");
        break;
    case StopReason::SerialPool:
        console_.message(slot, "board " + std::to_string(stop.board) + " on " + labels_[slot] + ": " + stop.detail +
                                   "; every station stops");
        break;
    case StopReason::ResetLineFailed:
        console_.message(slot, std::string("cannot pulse ") + modemLineName(stop.line) + " on " + labels_[slot] + ": " +
                                   stop.detail);
        break;
    case StopReason::PortGone:
    case StopReason::ImageUnusable: break; // its box or its board's FAIL line has said it
    }
}

ExitCode stationExit(const StationTotals& totals)
{
    if (totals.stop)
        return traitsOf(totals.stop->reason).exitCode;
    return totals.failed > 0 ? ExitMismatch : ExitSuccess;
}

const char* stationResult(const StationTotals& totals)
{
    if (totals.stop)
        return traitsOf(totals.stop->reason).word;
    return totals.failed > 0 ? "failed" : "success";
}

} // namespace pw::cli
