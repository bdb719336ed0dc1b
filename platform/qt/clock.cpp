#include "platform/clock.h"

namespace kelvo {

namespace {

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace

std::shared_ptr<Clock> systemClock()
{
    return std::make_shared<SystemClock>();
}

} // namespace kelvo
