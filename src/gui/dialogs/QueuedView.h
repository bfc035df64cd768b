#pragma once
#include "ops/OperationView.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <string>

namespace pw {

// An OperationView for a window: each call from the worker is queued to the window's thread,
// in order, and never blocks the worker. Calls still queued when the window goes are dropped.
class QueuedView : public OperationView {
public:
    struct Handlers {
        std::function<void(const std::string&)> appendLogLine;
        std::function<void(int, int)> setProgressRange;
        std::function<void(int)> setProgressPosition;
        std::function<void(bool)> setCancelEnabled;
        std::function<void(bool)> setProgressVisible;
        std::function<void(const std::string&)> openTextViewer;
    };

    QueuedView(QObject* window, Handlers handlers);

    void appendLogLine(const std::string& line) override;
    void setProgressRange(int low, int high) override;
    void setProgressPosition(int position) override;
    void setCancelEnabled(bool enabled) override;
    void setProgressVisible(bool visible) override;
    void openTextViewer(const std::string& path) override;

private:
    void post(std::function<void()> call);

    QPointer<QObject> window_;
    Handlers handlers_; // written once, before any worker starts
};

} // namespace pw
