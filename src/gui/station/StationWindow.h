#pragma once
#include "base/MessageBoxes.h"
#include "line/BoardSerials.h"
#include "line/ImageInput.h"
#include "line/RecordStore.h"
#include "line/StationLine.h"
#include "line/StationSetup.h"
#include "settings/Settings.h"

#include <QWidget>

#include <chrono>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

class QGridLayout;
class QLabel;
class QPushButton;
class QTableWidget;

namespace pw {

class PortTile;
class WindowObserver;

// pagewise-station's window: a tile per port, the line's counts above them and its last
// boards below, Start (F5) and Stop. The line runs on threads of its own; the window only
// shows what it reports, so a slow hook or a stuck port never freezes it. `boxes` shows the
// stop box and the refusals.
class StationWindow : public QWidget {
    Q_OBJECT
public:
    StationWindow(const SettingsStore& store, MessageBoxes& boxes, QWidget* parent = nullptr);
    ~StationWindow() override;

    // The profile the line runs; empty when none has been opened or saved yet.
    const QString& profilePath() const { return profilePath_; }
    // Reads a profile; false (after its box) when it is refused.
    bool openProfile(const QString& path);
    void setSetup(const StationSetup& setup);
    const StationSetup& setup() const { return setup_; }
    bool running() const { return thread_.joinable(); }

    void start();
    void stop(); // the boards on the fixtures end; pressed again, they are cancelled
    void edit(); // the setup dialog, while stopped

    // What the stations report, on this thread.
    void showWaiting(std::size_t slot, const StationWait& wait);
    void showBoardStarted(std::size_t slot, unsigned board);
    void showPhase(std::size_t slot, Phase phase);
    void showProgress(std::size_t slot, int percent);
    void showRetry(std::size_t slot, unsigned board, unsigned attempt, Outcome outcome);
    void showBoardEnded(std::size_t slot, const BoardReport& report);
    void showStop(std::size_t slot, const StationStop& stop);
    void showNotice(std::size_t slot, const std::string& text);

    // For the tests and the pictures.
    PortTile* tile(std::size_t slot) const { return tiles_.at(slot); }
    QString totalsText() const;
    int historyRows() const;
    QString historyCell(int row, int column) const;

signals:
    void lineEnded(); // every station has ended and the window is ready for Start again

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool prepare();
    void buildTiles(const std::vector<std::string>& labels);
    void lineFinished();
    void updateButtons();
    void updateTotals();
    void addHistoryRow(const std::string& port, const BoardReport& report);

    const SettingsStore& store_;
    MessageBoxes& boxes_;
    StationSetup setup_;
    QString profilePath_;

    PreparedImage image_;
    std::unique_ptr<BoardSerials> serials_;
    std::unique_ptr<RecordStore> records_;
    std::unique_ptr<WindowObserver> observer_;
    std::unique_ptr<StationLine> line_;
    std::thread thread_;
    bool stopAsked_ = false;
    std::optional<std::pair<std::size_t, StationStop>> pendingStop_;

    unsigned passed_ = 0;
    unsigned failed_ = 0;
    std::chrono::steady_clock::time_point startedAt_{};
    std::vector<unsigned> boardsPerTile_;

    QLabel* totals_;
    QLabel* imageLabel_;
    QGridLayout* tileGrid_;
    std::vector<PortTile*> tiles_;
    std::vector<std::string> labels_; // each tile's port
    QTableWidget* history_;
    QPushButton* startButton_;
    QPushButton* stopButton_;
    QPushButton* editButton_;
};

// The stop box's text: what happened, at which board and port, and what to do.
QString stopText(const std::string& port, const StationStop& stop);
// Why a board failed, in words for the operator.
QString failureReason(const BoardReport& report);

} // namespace pw
