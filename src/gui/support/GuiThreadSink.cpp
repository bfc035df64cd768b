#include "gui/support/GuiThreadSink.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

namespace pw {

namespace {

const QEvent::Type kHandOverType = static_cast<QEvent::Type>(QEvent::registerEventType());

// What one read brought, on its way to the GUI thread.
class HandOverEvent : public QEvent {
public:
    HandOverEvent(const std::uint8_t* bytes, std::size_t count, std::uint32_t portNumber)
        : QEvent(kHandOverType), read(bytes, bytes + count), port(portNumber)
    {
    }
    const std::vector<std::uint8_t> read;
    const std::uint32_t port;
};

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
    const std::shared_ptr<HandOver> state = state_;
    std::unique_lock lock(state->mutex);
    const std::uint64_t ticket = ++state->posted;
    // Posted while holding the lock, so tickets and queue order agree. High priority: a reply
    // is never queued behind the progress and log posts of a run.
    QCoreApplication::postEvent(this, new HandOverEvent(bytes, count, portNumber), Qt::HighEventPriority);
    state->handled.wait(lock, [&] { return state->abandoned || state->delivered >= ticket; });
}

bool GuiThreadSink::event(QEvent* event)
{
    if (event->type() != kHandOverType)
        return QObject::event(event);
    const auto* handOver = static_cast<const HandOverEvent*>(event);
    deliver(handOver->read, handOver->port);
    return true;
}

void GuiThreadSink::deliver(const std::vector<std::uint8_t>& bytes, std::uint32_t portNumber)
{
    target_.receiveBytes(bytes.data(), bytes.size(), portNumber);
    const std::lock_guard lock(state_->mutex);
    ++state_->delivered;
    // The GUI thread is serving events, so holding the monitor for it is safe again.
    state_->abandoned = false;
    state_->handled.notify_all();
}

void GuiThreadSink::abandonDelivery()
{
    const std::lock_guard lock(state_->mutex);
    state_->abandoned = true;
    state_->handled.notify_all();
}

} // namespace pw
