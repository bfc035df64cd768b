#include "gui/DemoRun.h"

#include "gui/MainWindow.h"
#include "gui/panel/IspPanel.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QTimer>

namespace pw {

namespace {

constexpr int kLongestRunMs = 120000;

// Quits with `code`; the window goes with the application, which ends its run first.
void finish(MainWindow* window, const QString& shotFile, int code)
{
    if (shotFile.isEmpty())
        return;
    window->grab().save(shotFile);
    QCoreApplication::exit(code);
}

} // namespace

void startDemoProgram(MainWindow& window, const QString& imageFile, const QString& shotFile)
{
    IspPanel* panel = window.panel();
    MainWindow* target = &window;
    QObject::connect(
        panel, &IspPanel::operationEnded, target, [target, shotFile] { finish(target, shotFile, 0); },
        Qt::QueuedConnection);
    panel->loadFile(imageFile);
    panel->OnProgram();
    if (!panel->operationRunning()) {
        finish(target, shotFile, 1);
        return;
    }
    QTimer::singleShot(kLongestRunMs, target, [target, shotFile] { finish(target, shotFile, 1); });
}

} // namespace pw
