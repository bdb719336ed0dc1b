#include "platform/qt/systemproxy.h"

namespace kelvo {

// On Linux a user's proxy lives in the environment, which curl reads itself.
std::optional<QByteArray> systemProxyFor(const QUrl&)
{
    return std::nullopt;
}

} // namespace kelvo
