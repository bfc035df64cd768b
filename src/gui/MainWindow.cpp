#include "gui/MainWindow.h"

#include "gui/AboutBox.h"
#include "gui/support/DialogUnits.h"
#include "gui/panel/IspPanel.h"
#include "gui/dialogs/ConfigDialog.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

namespace pw {

namespace {

// Whether Dump and Export are shown: the window's own preference, beside the three settings.
const std::string kDumpExportSetting = "Show Dump Export";

} // namespace

MainWindow::MainWindow(IspContext& ctx, SettingsStore& store, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      ctx_(ctx), store_(store)
{
    // Set once: the chip type cannot change while the window is open.
    setWindowTitle(QString::asprintf("Pagewise _ %s", ctx_.chipName()));
    buildMenu();

    client_ = new QWidget(this);
    clientLayout_ = new QVBoxLayout(client_);
    clientLayout_->setContentsMargins(0, 0, 0, 0);
    setCentralWidget(client_);

    showPanel();
    // As last chosen; connected after, so that opening the window writes no setting.
    const bool dumpAndExport = store_.readValue(kDumpExportSetting).value_or(0) != 0;
    dumpAndExport_->setChecked(dumpAndExport);
    panel_->setDumpAndExportShown(dumpAndExport);
    connect(dumpAndExport_, &QAction::toggled, this, &MainWindow::showDumpAndExport);
    fitToPanel();
    setAcceptDrops(true);
}

// The window's own size in dialog units, or more where the panel needs it (larger fonts,
// a 2x screen, Dump and Export shown): a fixed size that never clips a control.
void MainWindow::fitToPanel()
{
    const QSize client = dialogUnitsToPixels(font(), 251, 162).expandedTo(client_->sizeHint());
    setFixedSize(client.width(), client.height() + menuBar()->sizeHint().height());
}

void MainWindow::buildMenu()
{
    QMenuBar* bar = menuBar();
    connect(bar->addAction(QStringLiteral("ISP")), &QAction::triggered, this, &MainWindow::showPanel);
    connect(bar->addAction(QStringLiteral("Config.")), &QAction::triggered, this, &MainWindow::showConfig);
    connect(bar->addAction(QStringLiteral("Help")), &QAction::triggered, this, &MainWindow::showAbout);
    // Closing after the handler has returned, not from inside it.
    connect(bar->addAction(QStringLiteral("Exit")), &QAction::triggered, this, &QWidget::close, Qt::QueuedConnection);
    // Dump and Export are for the few who read flash back or keep logs: off until asked for.
    QMenu* view = bar->addMenu(QStringLiteral("View"));
    dumpAndExport_ = view->addAction(QStringLiteral("Dump and Export Buttons"));
    dumpAndExport_->setCheckable(true);
    dumpAndExport_->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+D")));
}

void MainWindow::showDumpAndExport(bool shown)
{
    panel_->setDumpAndExportShown(shown);
    store_.writeValue(kDumpExportSetting, shown ? 1 : 0);
    fitToPanel();
}

void MainWindow::showPanel()
{
    if (!panel_) {
        panel_ = new IspPanel(ctx_, client_);
        clientLayout_->addWidget(panel_);
    }
    panel_->show();
    panel_->setFocus(Qt::OtherFocusReason);
    activateWindow();
}

void MainWindow::showConfig()
{
    ConfigDialog dialog(ctx_, store_, this);
    dialog.exec();
}

void MainWindow::showAbout()
{
    AboutBox box(ctx_.versionText, this);
    box.exec();
}

QString MainWindow::droppableFile(const QMimeData* mime) const
{
    if (!panel_ || !mime || !mime->hasUrls() || mime->urls().size() != 1 || !mime->urls().front().isLocalFile())
        return {};
    const QString path = mime->urls().front().toLocalFile();
    return panel_->acceptsDroppedFile(path) ? path : QString();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppableFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (!droppableFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QString path = droppableFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    panel_->loadFile(path);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // A running worker is cancelled and joined, and the port closed, before the window goes.
    if (panel_)
        panel_->shutdown();
    event->accept();
}

} // namespace pw
