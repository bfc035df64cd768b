#pragma once
#include <QFrame>

class QLabel;
class QProgressBar;

namespace pw {

// One fixture of the line, readable from across the bench: the port, its state as a large
// word on a colour (the word is always there: colour is never the only cue), a progress bar
// while a board runs, what the last board got, and the count of boards.
class PortTile : public QFrame {
    Q_OBJECT
public:
    enum class State { Idle, Waiting, Running, Passed, Failed, Remove, Stopped };

    PortTile(const QString& port, const QString& adapterSerial, QWidget* parent = nullptr);

    void showWaiting(unsigned board);
    void showRunning(unsigned board, const QString& phase);
    void showPhase(const QString& phase); // of the board that runs
    void showProgress(int percent);
    void showPassed(unsigned board, const QString& serial, double seconds);
    void showFailed(unsigned board, const QString& reason, const QString& detail);
    void showRemove(unsigned board);
    void showStopped(const QString& reason);
    void showBoards(unsigned count);

    State state() const { return state_; }
    QString verdict() const { return verdict_; }
    QString word() const;
    QString detail() const;

private:
    void setState(State state, const QString& word, const QString& detail);

    State state_ = State::Idle;
    QString verdict_; // the last board's, in words
    QLabel* port_;
    QLabel* word_;
    QLabel* detail_;
    QLabel* boards_;
    QProgressBar* progress_;
};

} // namespace pw
