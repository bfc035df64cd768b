#pragma once
#include "context/IspContext.h"
#include "ops/OperationRunner.h"

#include <QObject>

#include <atomic>
#include <functional>

namespace pw {

// An OperationRunner for a window. The worker may hold itself on the GUI thread (a box shown
// from the worker waits until it is closed), so a window that goes away must not simply join:
// `stopAndJoin` cancels and keeps serving GUI events until the worker has ended.
class GuiRunner : public QObject {
    Q_OBJECT
public:
    explicit GuiRunner(IspContext& ctx, QObject* parent = nullptr);
    ~GuiRunner() override;

    // Whether start would start now (see OperationRunner::canStart).
    bool canStart(bool needsOpenPort = true) const { return !active_ && runner_.canStart(needsOpenPort); }
    // False when an operation runs or, with `needsOpenPort`, the port is closed.
    bool start(std::function<void()> work, bool needsOpenPort = true);
    void cancel();
    bool active() const { return active_.load(); }
    // Cancels a running worker, serves GUI events until it has ended, then joins it.
    void stopAndJoin();

signals:
    // Emitted on the GUI thread after a worker has finished its work.
    void ended();

private:
    OperationRunner runner_;
    std::atomic<bool> active_{false};
};

} // namespace pw
