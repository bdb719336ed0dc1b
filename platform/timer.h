#pragma once

#include <functional>
#include <memory>

class QObject;

namespace kelvo {

// A periodic tick at a fixed interval, running from start() on.
class PeriodicTimer {
public:
    virtual ~PeriodicTimer() = default;
    virtual void start(int intervalMs, std::function<void()> onTick) = 0;
    virtual int interval() const = 0;
    virtual bool isActive() const = 0;
};

std::unique_ptr<PeriodicTimer> makeQtTimer(QObject* parent);

} // namespace kelvo
