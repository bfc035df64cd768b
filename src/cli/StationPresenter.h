#pragma once
#include "cli/Console.h"
#include "cli/ConsoleReporting.h"
#include "line/ImageInput.h"
#include "line/StationObserver.h"

#include <memory>
#include <string>
#include <vector>

namespace pw::cli {

// pagewise-cli station's words for what its stations report: lines on the terminal, or
// --events' JSON lines.
class StationPresenter : public StationObserver {
public:
    StationPresenter(Console& console, std::size_t ports, const PreparedImage& image);
    // The ports' names as the stations give them, known once the line is made.
    void setLabels(std::vector<std::string> labels) { labels_ = std::move(labels); }

    OperationView& view(std::size_t slot) override { return *views_[slot]; }
    MessageBoxes& boxes(std::size_t slot) override { return *boxes_[slot]; }
    void notice(std::size_t slot, const std::string& text) override { console_.message(slot, text); }
    void started(std::size_t slot) override;
    void waiting(std::size_t slot, const StationWait& wait) override;
    void boardStarted(std::size_t, unsigned) override {}
    void retrying(std::size_t slot, unsigned board, unsigned attempt, Outcome outcome) override;
    void boardEnded(std::size_t slot, const BoardReport& report, const QJsonObject& record) override;
    void stopped(std::size_t slot, const StationStop& stop) override;
    void finished(std::size_t, const StationTotals&) override {} // the totals follow once every port has ended

private:
    Console& console_;
    const PreparedImage& image_;
    std::vector<std::string> labels_;
    std::vector<std::unique_ptr<ConsoleBoxes>> boxes_;
    std::vector<std::unique_ptr<ConsoleView>> views_;
};

// The exit status and result word of a station that ended with these totals.
ExitCode stationExit(const StationTotals& totals);
const char* stationResult(const StationTotals& totals);

} // namespace pw::cli
