#pragma once

#include <QDateTime>
#include <memory>

namespace kelvo {

// The machine's local clock. Everything that reads the time of day goes
// through here, so the schedule can be driven by a clock under test control.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

// The machine's own.
std::shared_ptr<Clock> systemClock();

} // namespace kelvo
