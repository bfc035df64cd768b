#include "gui/DemoRun.h"

#include "gui/MainWindow.h"
#include "gui/panel/IspPanel.h"

#include <QPixmap>
#include <QTimer>

namespace pw {

namespace {

constexpr int kLongestRunMs = 120000;

void finish(MainWindow* window, const QString& shotFile)
{
    if (shotFile.isEmpty())
        return;
    window->grab().save(shotFile);
    window->close();
}

} // namespace

void startDemoProgram(MainWindow& window, const QString& imageFile, const QString& shotFile)
{
    IspPanel* panel = window.panel();
    MainWindow* target = &window;
    QObject::connect(
        panel, &IspPanel::operationEnded, target, [target, shotFile] { finish(target, shotFile); },
        Qt::QueuedConnection);
    panel->loadFile(imageFile);
    panel->OnProgram();
    if (!panel->operationRunning()) {
        finish(target, shotFile);
        return;
    }
    QTimer::singleShot(kLongestRunMs, target, [target, shotFile] { finish(target, shotFile); });
}

} // namespace pw
