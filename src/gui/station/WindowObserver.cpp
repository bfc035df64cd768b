#include "gui/station/WindowObserver.h"

#include "gui/station/StationWindow.h"

#include <QMetaObject>

namespace pw {

class WindowObserver::QuietBoxes : public MessageBoxes {
public:
    void show(const std::string&, const std::string&, BoxIcon) override {}
};

// One port's runs: the phase and whole percentages for its tile; log lines stay with the records.
class WindowObserver::TileFeed : public OperationView {
public:
    TileFeed(WindowObserver& observer, std::size_t slot) : observer_(observer), slot_(slot) {}
    void appendLogLine(const std::string&) override {}
    void setProgressRange(int, int high) override
    {
        high_ = high;
        percent_ = -1;
    }
    void setProgressPosition(int position) override
    {
        const int high = high_.load();
        if (high <= 0)
            return;
        const int percent = static_cast<int>(std::int64_t{position} * 100 / high);
        if (percent == percent_.exchange(percent))
            return;
        const std::size_t slot = slot_;
        observer_.post([slot, percent](StationWindow& window) { window.showProgress(slot, percent); });
    }
    void setCancelEnabled(bool) override {}
    void phaseBegan(Phase phase) override
    {
        const std::size_t slot = slot_;
        observer_.post([slot, phase](StationWindow& window) { window.showPhase(slot, phase); });
    }

private:
    WindowObserver& observer_;
    std::size_t slot_;
    std::atomic<int> high_{0};
    std::atomic<int> percent_{-1};
};

WindowObserver::WindowObserver(StationWindow& window, std::size_t ports, std::function<void()> stopLine)
    : window_(&window), boxes_(std::make_unique<QuietBoxes>()), stopLine_(std::move(stopLine))
{
    for (std::size_t slot = 0; slot < ports; ++slot)
        feeds_.push_back(std::make_unique<TileFeed>(*this, slot));
}

WindowObserver::~WindowObserver() = default;

OperationView& WindowObserver::view(std::size_t slot)
{
    return *feeds_[slot];
}

MessageBoxes& WindowObserver::boxes(std::size_t)
{
    return *boxes_;
}

void WindowObserver::post(std::function<void(StationWindow&)> call)
{
    QMetaObject::invokeMethod(
        window_.data(),
        [window = window_, call = std::move(call)] {
            if (window)
                call(*window);
        },
        Qt::QueuedConnection);
}

void WindowObserver::notice(std::size_t slot, const std::string& text)
{
    post([slot, text](StationWindow& window) { window.showNotice(slot, text); });
}

void WindowObserver::waiting(std::size_t slot, const StationWait& wait)
{
    post([slot, wait](StationWindow& window) { window.showWaiting(slot, wait); });
}

void WindowObserver::boardStarted(std::size_t slot, unsigned board)
{
    post([slot, board](StationWindow& window) { window.showBoardStarted(slot, board); });
}

void WindowObserver::retrying(std::size_t slot, unsigned board, unsigned attempt, Outcome outcome)
{
    post([slot, board, attempt, outcome](StationWindow& window) { window.showRetry(slot, board, attempt, outcome); });
}

void WindowObserver::boardEnded(std::size_t slot, const BoardReport& report, const QJsonObject&)
{
    post([slot, report](StationWindow& window) { window.showBoardEnded(slot, report); });
}

void WindowObserver::stopped(std::size_t slot, const StationStop& stop)
{
    stopLine_();
    post([slot, stop](StationWindow& window) { window.showStop(slot, stop); });
}

} // namespace pw
