#include "gui/support/GuiThreadSink.h"

#include <QThread>

namespace pw {

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
    // Queued while holding the lock, so tickets and queue order agree.
    QMetaObject::invokeMethod(
        this, [this, read = std::vector<std::uint8_t>(bytes, bytes + count), portNumber] { deliver(read, portNumber); },
        Qt::QueuedConnection);
    state->handled.wait(lock, [&] { return state->abandoned || state->delivered >= ticket; });
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
