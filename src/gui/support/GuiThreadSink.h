#pragma once
#include "serial/ByteSink.h"

#include <QObject>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace pw {

// Hands what the monitor thread reads to `target` on the GUI thread, in order. The monitor does
// not wait for the GUI thread after a read: it waits only before it writes the next frame
// (`waitUntilHandled`), so every byte read is matched before the next frame goes out while the
// read itself costs one wake-up of the GUI thread. Reads that arrive while one hand-over is on
// its way join it. The hand-over goes ahead of the GUI's other posted events (progress, log
// lines), which never hold a reply back. Construct it on the GUI thread.
//
// `abandonDelivery` (called when the port closes) releases a waiting monitor at once, so a
// closing GUI thread never waits on its own monitor; the bytes are still delivered in order
// when the GUI thread gets to them. Waiting comes back by itself as soon as the GUI thread
// handles a hand-over again. Bytes still queued when the sink is destroyed are dropped, never
// delivered to a dead target.
class GuiThreadSink : public QObject, public ByteSink {
public:
    explicit GuiThreadSink(ByteSink& target, QObject* parent = nullptr);
    ~GuiThreadSink() override;

    void receiveByte(std::uint8_t byte, std::uint32_t portNumber) override;
    void receiveBytes(const std::uint8_t* bytes, std::size_t count, std::uint32_t portNumber) override;
    void waitUntilHandled() override;
    void abandonDelivery() override;

protected:
    bool event(QEvent* event) override;

private:
    struct HandOver {
        std::mutex mutex;
        std::condition_variable handled;
        std::vector<std::uint8_t> pending; // read, not yet taken by the GUI thread
        std::uint32_t portNumber = 0;
        bool posted = false;     // a hand-over event is on its way to the GUI thread
        bool delivering = false; // the GUI thread is handing bytes to the target
        bool abandoned = false;
    };

    void deliver();

    ByteSink& target_;
    std::shared_ptr<HandOver> state_; // shared with a waiting monitor, which may outlive the sink
};

} // namespace pw
