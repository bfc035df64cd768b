#include "gui/station/StationWindow.h"

#include "gui/station/PortTile.h"
#include "gui/station/StationSetupDialog.h"
#include "gui/station/WindowObserver.h"
#include "line/LinePorts.h"
#include "line/RunPreparation.h"
#include "line/StationProfile.h"
#include "line/StoreName.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace pw {

namespace {

constexpr int kHistoryRows = 200;
const QStringList kHistoryColumns{QObject::tr("Time"),   QObject::tr("Port"),   QObject::tr("Board"),
                                  QObject::tr("Result"), QObject::tr("Serial"), QObject::tr("Attempt"),
                                  QObject::tr("Seconds")};

QString phaseWord(Phase phase)
{
    switch (phase) {
    case Phase::Erase: return StationWindow::tr("Erasing");
    case Phase::Program: return StationWindow::tr("Programming");
    case Phase::Verify: return StationWindow::tr("Verifying");
    }
    return StationWindow::tr("Programming");
}

// Four tiles side by side at most, so eight fit in two rows of a 1280 x 800 screen.
int columnsFor(std::size_t tiles)
{
    return tiles <= 2 ? static_cast<int>(tiles) : (tiles <= 4 ? 2 : 4);
}

} // namespace

QString failureReason(const BoardReport& report)
{
    if (report.hook)
        return StationWindow::tr("hook failed: %1 %2")
            .arg(QString::fromStdString(*report.hook), QString::fromStdString(report.hookResult.status));
    if (report.outcome.exitCode == ExitPortError)
        return StationWindow::tr("port error");
    if (report.outcome.exitCode == ExitNotKept)
        return StationWindow::tr("no serial number");
    switch (report.outcome.result.outcome) {
    case Outcome::Success: break;
    case Outcome::Mismatch:
        return StationWindow::tr("verify mismatch: %1").arg(QString::fromStdString(report.outcome.result.message));
    case Outcome::TimedOut: return StationWindow::tr("no reply");
    case Outcome::LineLost: return StationWindow::tr("the port hung up");
    case Outcome::Cancelled: return StationWindow::tr("cancelled");
    case Outcome::ImageError: return StationWindow::tr("the image cannot be read");
    case Outcome::Refused: return StationWindow::tr("refused");
    case Outcome::WrongReply: return StationWindow::tr("wrong reply to connect: reset the MCU");
    }
    return QString::fromStdString(report.outcome.result.message);
}

QString stopText(const std::string& port, const StationStop& stop)
{
    const QString where = StationWindow::tr("board %1 on %2").arg(stop.board).arg(QString::fromStdString(port));
    const QString detail = QString::fromStdString(stop.detail);
    QString happened;
    QString todo;
    switch (stop.reason) {
    case StopReason::RecordNotKept:
        happened = StationWindow::tr("The record of %1 could not be written to %2: %3.")
                       .arg(where, QString::fromStdString(stop.store), detail);
        todo = databaseName(stop.store)
                   ? StationWindow::tr("Bring the database back, or check its connection in Edit, then press Start.")
                   : StationWindow::tr("Make room on the disk or choose another record file, then press Start.");
        break;
    case StopReason::SerialPool:
        happened = StationWindow::tr("No serial number for %1: %2.").arg(where, detail);
        todo = StationWindow::tr("Give the line a serial pool that can be written and has numbers left, then press "
                                 "Start.");
        break;
    case StopReason::PortGone:
        happened = StationWindow::tr("%1 cannot be opened: %2").arg(QString::fromStdString(port), detail);
        todo = StationWindow::tr("Plug the adapter in, or choose its port in Edit, then press Start.");
        break;
    case StopReason::ResetLineFailed:
        happened = StationWindow::tr("%1 cannot pulse %2 to reset %3: %4")
                       .arg(QString::fromStdString(port), QString::fromLatin1(modemLineName(stop.line)), where, detail);
        todo = StationWindow::tr("Check the adapter and the fixture's reset wiring, then press Start.");
        break;
    case StopReason::ImageUnusable:
        happened = StationWindow::tr("The image could not be read for %1: %2").arg(where, detail);
        todo = StationWindow::tr("Check the image in Edit, then press Start.");
        break;
    }
    return happened + QStringLiteral("\n\n") + StationWindow::tr("Nothing more is programmed on the line.") +
           QLatin1Char(' ') + todo;
}

StationWindow::StationWindow(const SettingsStore& store, MessageBoxes& boxes, QWidget* parent)
    : QWidget(parent), store_(store), boxes_(boxes), totals_(new QLabel(this)), imageLabel_(new QLabel(this)),
      tileGrid_(new QGridLayout), history_(new QTableWidget(0, static_cast<int>(kHistoryColumns.size()), this)),
      startButton_(new QPushButton(tr("Start"), this)), stopButton_(new QPushButton(tr("Stop"), this)),
      editButton_(new QPushButton(tr("Edit..."), this))
{
    setWindowTitle(tr("Pagewise Station"));
    QFont large = totals_->font();
    large.setPointSizeF(large.pointSizeF() * 1.6);
    large.setBold(true);
    totals_->setFont(large);
    startButton_->setDefault(true);
    startButton_->setToolTip(tr("Start the line (F5)"));
    stopButton_->setToolTip(tr("End after the boards on the fixtures; pressed again, cancel them"));
    auto* f5 = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(f5, &QShortcut::activated, this, &StationWindow::start);
    connect(startButton_, &QPushButton::clicked, this, &StationWindow::start);
    connect(stopButton_, &QPushButton::clicked, this, &StationWindow::stop);
    connect(editButton_, &QPushButton::clicked, this, &StationWindow::edit);

    history_->setHorizontalHeaderLabels(kHistoryColumns);
    history_->verticalHeader()->hide();
    history_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    history_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    history_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch); // the port
    history_->setMaximumHeight(180);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(startButton_);
    buttons->addWidget(stopButton_);
    buttons->addWidget(editButton_);
    buttons->addStretch(1);
    buttons->addWidget(imageLabel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(totals_);
    layout->addLayout(tileGrid_, 1);
    layout->addWidget(history_);
    updateTotals();
    updateButtons();
}

StationWindow::~StationWindow()
{
    if (running()) {
        line_->stop();
        line_->stop(); // cancel the boards: nothing waits for them any more
        thread_.join();
    }
}

bool StationWindow::openProfile(const QString& path)
{
    StationSetup read;
    if (const std::string problem = readStationProfile(path.toStdString(), read); !problem.empty()) {
        showErrorBox(boxes_, problem);
        return false;
    }
    profilePath_ = path;
    setSetup(read);
    return true;
}

void StationWindow::setSetup(const StationSetup& setup)
{
    setup_ = setup;
    buildTiles(setup_.ports);
    imageLabel_->setText(QString::fromStdString(setup_.image));
    updateButtons();
}

void StationWindow::buildTiles(const std::vector<std::string>& labels)
{
    for (PortTile* tile : tiles_)
        delete tile;
    tiles_.clear();
    labels_ = labels;
    boardsPerTile_.assign(labels.size(), 0);
    const int columns = std::max(1, columnsFor(labels.size()));
    for (std::size_t slot = 0; slot < labels.size(); ++slot) {
        auto* tile = new PortTile(QString::fromStdString(labels[slot]),
                                  QString::fromStdString(adapterSerialOf(labels[slot])), this);
        tileGrid_->addWidget(tile, static_cast<int>(slot) / columns, static_cast<int>(slot) % columns);
        tiles_.push_back(tile);
    }
    for (int column = 0; column < 4; ++column)
        tileGrid_->setColumnStretch(column, column < columns ? 1 : 0); // tiles of one size
}

// The checks the command line makes before its first frame, and the stores opened.
bool StationWindow::prepare()
{
    if (setup_.image.empty() || setup_.ports.empty()) {
        showErrorBox(boxes_, tr("Choose the image and at least one port in Edit first.").toStdString());
        return false;
    }
    const std::uint32_t start = setup_.operation == StationOperation::Auto ? writeStart(setup_, store_) : 0;
    std::vector<std::string> devices;
    std::optional<Refusal> refusal = prepareRunImage(setup_.image, start, true, image_);
    if (!refusal)
        refusal = prepareSerials(setup_, start, image_, serials_);
    if (!refusal)
        refusal = openRecords(setup_, records_);
    if (!refusal)
        refusal = resolveRunPorts(setup_.ports, store_, devices);
    if (refusal) {
        serials_.reset();
        records_.reset();
        showErrorBox(boxes_, refusal->message);
        return false;
    }
    observer_ = std::make_unique<WindowObserver>(*this, devices.size(), [this] { line_->endAfterBoards(); });
    line_ = std::make_unique<StationLine>(setup_, image_, devices, store_, *observer_, records_.get(), serials_.get());
    std::vector<std::string> labels;
    for (std::size_t slot = 0; slot < line_->size(); ++slot)
        labels.push_back(line_->label(slot));
    buildTiles(labels);
    return true;
}

void StationWindow::start()
{
    if (running() || !prepare())
        return;
    passed_ = failed_ = 0;
    startedAt_ = std::chrono::steady_clock::now();
    stopAsked_ = false;
    pendingStop_.reset();
    imageLabel_->setText(tr("%1   Check Sum %2")
                             .arg(QFileInfo(QString::fromStdString(image_.binaryPath)).fileName(),
                                  QString::fromStdString(image_.checksumText)));
    thread_ = std::thread([this] {
        line_->run();
        QMetaObject::invokeMethod(
            this, [this] { lineFinished(); }, Qt::QueuedConnection);
    });
    updateTotals();
    updateButtons();
}

void StationWindow::stop()
{
    if (!running())
        return;
    line_->stop();
    stopAsked_ = true;
    updateButtons();
}

void StationWindow::edit()
{
    if (running())
        return;
    StationSetupDialog dialog(setup_, profilePath_, store_, boxes_, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    profilePath_ = dialog.profilePath();
    setSetup(dialog.setup());
}

void StationWindow::lineFinished()
{
    thread_.join();
    line_.reset();
    observer_.reset();
    records_.reset();
    serials_.reset();
    stopAsked_ = false;
    updateButtons();
    if (pendingStop_) {
        const auto [slot, stop] = *pendingStop_;
        pendingStop_.reset();
        boxes_.show(kAppCaption, stopText(labels_.at(slot), stop).toStdString(), BoxIcon::Stop);
    }
    emit lineEnded();
}

void StationWindow::updateButtons()
{
    const bool isRunning = running();
    startButton_->setEnabled(!isRunning);
    editButton_->setEnabled(!isRunning);
    stopButton_->setEnabled(isRunning);
    stopButton_->setText(stopAsked_ ? tr("Cancel boards") : tr("Stop"));
}

QString StationWindow::totalsText() const
{
    return totals_->text();
}

void StationWindow::updateTotals()
{
    const unsigned boards = passed_ + failed_;
    const double hours = std::chrono::duration<double>(std::chrono::steady_clock::now() - startedAt_).count() / 3600.0;
    const QString yield =
        boards ? QString::number(100.0 * passed_ / boards, 'f', 1) + QStringLiteral(" %") : QStringLiteral("–");
    const QString perHour = boards && hours > 0 ? QString::number(std::lround(boards / hours)) : QStringLiteral("–");
    totals_->setText(
        tr("Passed %1    Failed %2    Yield %3    %4 boards per hour").arg(passed_).arg(failed_).arg(yield, perHour));
}

void StationWindow::showWaiting(std::size_t slot, const StationWait& wait)
{
    PortTile* tile = tiles_.at(slot);
    switch (wait.what) {
    case StationWait::For::Board: tile->showWaiting(wait.board); break;
    case StationWait::For::Removal: tile->showRemove(wait.board); break;
    case StationWait::For::Port: tile->showStopped(tr("waiting for the port to come back")); break;
    }
}

void StationWindow::showBoardStarted(std::size_t slot, unsigned board)
{
    tiles_.at(slot)->showRunning(board, setup_.operation == StationOperation::Auto ? tr("Erasing") : tr("Programming"));
}

void StationWindow::showPhase(std::size_t slot, Phase phase)
{
    tiles_.at(slot)->showPhase(phaseWord(phase));
}

void StationWindow::showProgress(std::size_t slot, int percent)
{
    tiles_.at(slot)->showProgress(percent);
}

void StationWindow::showRetry(std::size_t slot, unsigned board, unsigned attempt, Outcome outcome)
{
    tiles_.at(slot)->showRunning(board, tr("Retrying"));
    tiles_.at(slot)->setToolTip(
        tr("attempt %1 ended in %2").arg(attempt).arg(QString::fromLatin1(traitsOf(outcome).word)));
}

void StationWindow::showBoardEnded(std::size_t slot, const BoardReport& report)
{
    PortTile* tile = tiles_.at(slot);
    const bool passed = !errorClassOf(report);
    (passed ? passed_ : failed_) += 1;
    tile->showBoards(++boardsPerTile_.at(slot));
    const QString serial = report.outcome.serial ? QString::number(report.outcome.serial->number) : QString();
    if (passed)
        tile->showPassed(report.board, serial, report.outcome.result.seconds);
    else
        tile->showFailed(report.board, failureReason(report), QString::fromStdString(report.outcome.result.message));
    addHistoryRow(report.outcome.port, report);
    updateTotals();
}

void StationWindow::showStop(std::size_t slot, const StationStop& stop)
{
    tiles_.at(slot)->showStopped(stopText(labels_.at(slot), stop).section(QLatin1Char('\n'), 0, 0));
    if (!pendingStop_)
        pendingStop_ = std::make_pair(slot, stop);
}

void StationWindow::showNotice(std::size_t slot, const std::string& text)
{
    tiles_.at(slot)->setToolTip(QString::fromStdString(text));
}

void StationWindow::addHistoryRow(const std::string& port, const BoardReport& report)
{
    history_->insertRow(0);
    const QString serial = report.outcome.serial ? QString::number(report.outcome.serial->number) : QString();
    const QStringList cells{QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss")),
                            QString::fromStdString(port),
                            QString::number(report.board),
                            errorClassOf(report) ? QStringLiteral("FAIL ") + failureReason(report)
                                                 : QStringLiteral("PASS"),
                            serial,
                            QString::number(report.attempt),
                            QString::number(report.outcome.result.seconds, 'f', 1)};
    for (int column = 0; column < cells.size(); ++column)
        history_->setItem(0, column, new QTableWidgetItem(cells[column]));
    while (history_->rowCount() > kHistoryRows)
        history_->removeRow(history_->rowCount() - 1);
}

int StationWindow::historyRows() const
{
    return history_->rowCount();
}

QString StationWindow::historyCell(int row, int column) const
{
    const QTableWidgetItem* item = history_->item(row, column);
    return item ? item->text() : QString();
}

void StationWindow::closeEvent(QCloseEvent* event)
{
    if (running()) {
        const auto answer = QMessageBox::question(
            this, tr("Pagewise Station"),
            tr("Boards are being programmed. Cancel them and close the window? Their records say cancelled."));
        if (answer != QMessageBox::Yes) {
            event->ignore();
            return;
        }
    }
    event->accept();
}

} // namespace pw
