#include "gui/dialogs/GuiRunner.h"

#include <QEventLoop>
#include <QMetaObject>

namespace pw {

GuiRunner::GuiRunner(IspContext& ctx, QObject* parent) : QObject(parent), runner_(ctx) {}

GuiRunner::~GuiRunner()
{
    stopAndJoin();
}

bool GuiRunner::start(std::function<void()> work, bool needsOpenPort)
{
    if (active_)
        return false;
    // The previous worker has finished its work; only its thread remains to be joined.
    runner_.join();
    active_ = true;
    const bool started = runner_.start(
        [this, work = std::move(work)] {
            work();
            active_ = false;
            QMetaObject::invokeMethod(
                this, [this] { emit ended(); }, Qt::QueuedConnection);
        },
        needsOpenPort);
    if (!started)
        active_ = false;
    return started;
}

void GuiRunner::cancel()
{
    runner_.cancel();
}

void GuiRunner::stopAndJoin()
{
    if (active_)
        runner_.cancel();
    // A fresh loop per round: an `ended` left over from an earlier run must not end the wait.
    while (active_) {
        QEventLoop loop;
        connect(this, &GuiRunner::ended, &loop, &QEventLoop::quit);
        if (active_)
            loop.exec();
    }
    runner_.join();
}

} // namespace pw
