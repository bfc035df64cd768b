#include "gui/dialogs/QueuedView.h"

#include <QMetaObject>

namespace pw {

QueuedView::QueuedView(QObject* window, Handlers handlers) : window_(window), handlers_(std::move(handlers)) {}

void QueuedView::post(std::function<void()> call)
{
    if (call)
        QMetaObject::invokeMethod(window_.data(), std::move(call), Qt::QueuedConnection);
}

void QueuedView::appendLogLine(const std::string& line)
{
    if (handlers_.appendLogLine)
        post([this, line] { handlers_.appendLogLine(line); });
}

void QueuedView::setProgressRange(int low, int high)
{
    if (handlers_.setProgressRange)
        post([this, low, high] { handlers_.setProgressRange(low, high); });
}

void QueuedView::setProgressPosition(int position)
{
    if (handlers_.setProgressPosition)
        post([this, position] { handlers_.setProgressPosition(position); });
}

void QueuedView::setCancelEnabled(bool enabled)
{
    if (handlers_.setCancelEnabled)
        post([this, enabled] { handlers_.setCancelEnabled(enabled); });
}

void QueuedView::setProgressVisible(bool visible)
{
    if (handlers_.setProgressVisible)
        post([this, visible] { handlers_.setProgressVisible(visible); });
}

void QueuedView::openTextViewer(const std::string& path)
{
    if (handlers_.openTextViewer)
        post([this, path] { handlers_.openTextViewer(path); });
}

} // namespace pw
