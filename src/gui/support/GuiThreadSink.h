#pragma once
#include "serial/ByteSink.h"

#include <QObject>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace pw {

// Hands what each read brought from the monitor thread to `target` on the GUI thread, in one
// hand-over and in order, ahead of the GUI's other posted events (a run's progress and log
// lines), and holds the monitor thread until all of it was handled there: woken then, the
// monitor is already running when the worker, woken by the same match, queues its next frame.
// Construct it on the GUI thread.
//
// `abandonDelivery` (called when the port closes) releases the pending hand-over and every
// later one at once, so a closing GUI thread never waits on its own monitor; the bytes are
// still delivered in order when the GUI thread gets to them. Waiting comes back by itself as
// soon as the GUI thread handles a hand-over again. Bytes still queued when the sink is
// destroyed are dropped, never delivered to a dead target.
class GuiThreadSink : public QObject, public ByteSink {
public:
    explicit GuiThreadSink(ByteSink& target, QObject* parent = nullptr);
    ~GuiThreadSink() override;

    void receiveByte(std::uint8_t byte, std::uint32_t portNumber) override;
    void receiveBytes(const std::uint8_t* bytes, std::size_t count, std::uint32_t portNumber) override;
    void abandonDelivery() override;

protected:
    bool event(QEvent* event) override;

private:
    struct HandOver {
        std::mutex mutex;
        std::condition_variable handled;
        std::uint64_t posted = 0;    // bytes queued so far
        std::uint64_t delivered = 0; // bytes handled on the GUI thread so far
        bool abandoned = false;
    };

    void deliver(const std::vector<std::uint8_t>& bytes, std::uint32_t portNumber);

    ByteSink& target_;
    std::shared_ptr<HandOver> state_; // shared with the waiters, which may outlive the sink
};

} // namespace pw
