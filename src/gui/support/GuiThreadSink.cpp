#include "gui/support/GuiThreadSink.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

namespace pw {

namespace {

const QEvent::Type kHandOverEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

GuiThreadSink::GuiThreadSink(ByteSink& target, QObject* parent)
    : QObject(parent), target_(target), state_(std::make_shared<HandOver>())
{
}

GuiThreadSink::~GuiThreadSink()
{
    abandonDelivery();
}

void GuiThreadSink::receiveByte(std::uint8_t byte, std::uint32_t portNumber)
{
    receiveBytes(&byte, 1, portNumber);
}

void GuiThreadSink::receiveBytes(const std::uint8_t* bytes, std::size_t count, std::uint32_t portNumber)
{
    if (QThread::currentThread() == thread()) {
        target_.receiveBytes(bytes, count, portNumber);
        return;
    }
    const std::lock_guard lock(state_->mutex);
    state_->pending.insert(state_->pending.end(), bytes, bytes + count);
    state_->portNumber = portNumber;
    if (std::exchange(state_->posted, true))
        return; // the hand-over on its way takes these too
    // High priority: a reply is never queued behind the progress and log posts of a run.
    QCoreApplication::postEvent(this, new QEvent(kHandOverEvent), Qt::HighEventPriority);
}

bool GuiThreadSink::event(QEvent* event)
{
    if (event->type() != kHandOverEvent)
        return QObject::event(event);
    deliver();
    return true;
}

void GuiThreadSink::deliver()
{
    std::vector<std::uint8_t> bytes;
    std::uint32_t portNumber = 0;
    {
        const std::lock_guard lock(state_->mutex);
        bytes.swap(state_->pending);
        portNumber = state_->portNumber;
        state_->posted = false;
        state_->delivering = true;
    }
    target_.receiveBytes(bytes.data(), bytes.size(), portNumber);
    const std::lock_guard lock(state_->mutex);
    state_->delivering = false;
    // The GUI thread is serving events, so holding the monitor for it is safe again.
    state_->abandoned = false;
    state_->handled.notify_all();
}

void GuiThreadSink::waitUntilHandled()
{
    if (QThread::currentThread() == thread())
        return;
    const std::shared_ptr<HandOver> state = state_;
    std::unique_lock lock(state->mutex);
    state->handled.wait(lock, [&] { return state->abandoned || (!state->posted && !state->delivering); });
}

void GuiThreadSink::abandonDelivery()
{
    const std::lock_guard lock(state_->mutex);
    state_->abandoned = true;
    state_->handled.notify_all();
}

} // namespace pw
