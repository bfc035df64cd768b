#include "gui/station/PortTile.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace pw {

namespace {

struct Look {
    const char* background;
    const char* text;
};

// Grey waiting, blue running, green PASS, red FAIL, amber for a board to take away.
Look lookOf(PortTile::State state)
{
    switch (state) {
    case PortTile::State::Idle:
    case PortTile::State::Waiting: return {"#d8d8d8", "#202020"};
    case PortTile::State::Running: return {"#2f6fd0", "#ffffff"};
    case PortTile::State::Passed: return {"#2e9e44", "#ffffff"};
    case PortTile::State::Failed:
    case PortTile::State::Stopped: return {"#c62828", "#ffffff"};
    case PortTile::State::Remove: return {"#f2a900", "#202020"};
    }
    return {"#d8d8d8", "#202020"};
}

} // namespace

PortTile::PortTile(const QString& port, const QString& adapterSerial, QWidget* parent)
    : QFrame(parent), port_(new QLabel(this)), word_(new QLabel(this)), detail_(new QLabel(this)),
      boards_(new QLabel(this)), progress_(new QProgressBar(this))
{
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    port_->setText(adapterSerial.isEmpty() ? port : port + QStringLiteral("  ·  ") + adapterSerial);
    QFont bold = port_->font();
    bold.setBold(true);
    port_->setFont(bold);
    QFont large = word_->font();
    large.setPointSizeF(large.pointSizeF() * 3.2); // readable from two metres
    large.setBold(true);
    word_->setFont(large);
    // The tile's width is the grid's to give: long words wrap instead of widening the window,
    // so eight tiles fit in 1280 x 800.
    for (QLabel* label : {port_, word_, detail_}) {
        label->setWordWrap(true);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    word_->setAlignment(Qt::AlignCenter);
    detail_->setAlignment(Qt::AlignCenter);
    progress_->setRange(0, 100);
    progress_->setFormat(QStringLiteral("%p %"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(port_);
    layout->addStretch(1);
    layout->addWidget(word_);
    layout->addWidget(progress_);
    layout->addWidget(detail_);
    layout->addStretch(1);
    layout->addWidget(boards_);
    setMinimumSize(240, 200);
    showBoards(0);
    setState(State::Idle, tr("Stopped"), {});
}

void PortTile::setState(State state, const QString& word, const QString& detail)
{
    state_ = state;
    const Look look = lookOf(state);
    setStyleSheet(QStringLiteral("pw--PortTile { background: %1; } QLabel { color: %2; }")
                      .arg(QLatin1String(look.background), QLatin1String(look.text)));
    word_->setText(word);
    detail_->setText(detail);
    progress_->setVisible(state == State::Running);
}

// A verdict stays up until the next board is placed: the operator must see it.
void PortTile::showWaiting(unsigned board)
{
    const QString next = tr("waiting for board %1").arg(board);
    if (state_ == State::Passed || state_ == State::Failed)
        detail_->setText(verdict_ + QLatin1Char('\n') + next);
    else
        setState(State::Waiting, tr("Waiting for board"), tr("board %1").arg(board));
}

void PortTile::showRunning(unsigned board, const QString& phase)
{
    if (state_ != State::Running)
        progress_->setValue(0);
    setState(State::Running, phase, tr("board %1").arg(board));
}

void PortTile::showPhase(const QString& phase)
{
    if (state_ == State::Running)
        word_->setText(phase);
}

void PortTile::showProgress(int percent)
{
    progress_->setValue(percent);
}

void PortTile::showPassed(unsigned board, const QString& serial, double seconds)
{
    const QString seconds1 = QString::number(seconds, 'f', 1);
    verdict_ = serial.isEmpty() ? tr("board %1, %2 s").arg(board).arg(seconds1)
                                : tr("board %1, serial %2, %3 s").arg(board).arg(serial, seconds1);
    setState(State::Passed, QStringLiteral("PASS"), verdict_);
}

void PortTile::showFailed(unsigned board, const QString& reason, const QString& detail)
{
    verdict_ = tr("board %1: %2").arg(board).arg(reason);
    setState(State::Failed, QStringLiteral("FAIL"), verdict_);
    detail_->setToolTip(detail);
}

void PortTile::showRemove(unsigned board)
{
    const QString failed = state_ == State::Failed ? QStringLiteral("FAIL ") + verdict_ + QLatin1Char('\n') : QString();
    setState(State::Remove, tr("Remove board"), failed + tr("take board %1 away").arg(board));
}

void PortTile::showStopped(const QString& reason)
{
    setState(State::Stopped, tr("STOPPED"), reason);
}

void PortTile::showBoards(unsigned count)
{
    boards_->setText(count == 1 ? tr("1 board") : tr("%1 boards").arg(count));
}

QString PortTile::word() const
{
    return word_->text();
}

QString PortTile::detail() const
{
    return detail_->text();
}

} // namespace pw
