#pragma once
#include "line/StationObserver.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace pw {

class StationWindow;

// Carries what the stations report, from their threads, over to the window's thread. A run's
// progress goes over only when its whole percentage changes, so a fast line never floods the
// window; boxes of the runs become the board's reason and are not shown.
class WindowObserver : public StationObserver {
public:
    // `stopLine`: called at once, from the station's thread, when a stop needs a person, so no
    // other port starts a board while the box is on its way.
    WindowObserver(StationWindow& window, std::size_t ports, std::function<void()> stopLine);
    ~WindowObserver() override;

    OperationView& view(std::size_t slot) override;
    MessageBoxes& boxes(std::size_t slot) override;
    void notice(std::size_t slot, const std::string& text) override;
    void started(std::size_t) override {}
    void waiting(std::size_t slot, const StationWait& wait) override;
    void boardStarted(std::size_t slot, unsigned board) override;
    void retrying(std::size_t slot, unsigned board, unsigned attempt, Outcome outcome) override;
    void boardEnded(std::size_t slot, const BoardReport& report, const QJsonObject& record) override;
    void stopped(std::size_t slot, const StationStop& stop) override;
    void finished(std::size_t, const StationTotals&) override {}

private:
    class TileFeed;
    class QuietBoxes;
    void post(std::function<void(StationWindow&)> call);

    QPointer<StationWindow> window_;
    std::vector<std::unique_ptr<TileFeed>> feeds_;
    std::unique_ptr<QuietBoxes> boxes_;
    std::function<void()> stopLine_;
};

} // namespace pw
