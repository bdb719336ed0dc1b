#pragma once

#include <QDateTime>

namespace kelvo {

// The machine's local clock. Everything that reads the time of day goes
// through here, so the schedule can be driven by a clock under test control.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override;
};

} // namespace kelvo
