#include "platform/clock.h"

namespace kelvo {

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

} // namespace kelvo
