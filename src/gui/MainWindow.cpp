#include "gui/MainWindow.h"

#include "gui/AboutBox.h"
#include "gui/support/DialogUnits.h"
#include "gui/panel/IspPanel.h"
#include "gui/dialogs/ConfigDialog.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QVBoxLayout>

namespace pw {

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
    fitToPanel();
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
}

void MainWindow::showPanel()
{
    if (!panel_) {
        panel_ = new IspPanel(ctx_, client_);
        clientLayout_->addWidget(panel_);
        connect(panel_, &IspPanel::advancedButtonsShown, this, &MainWindow::fitToPanel);
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
    AboutBox box(ctx_.versionText, this, [this] {
        if (panel_)
            panel_->showAdvancedButtons();
    });
    box.exec();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // A running worker is cancelled and joined, and the port closed, before the window goes.
    if (panel_)
        panel_->shutdown();
    event->accept();
}

} // namespace pw
