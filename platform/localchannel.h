#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace kelvo {

// The local socket through which a start of the program reaches the one that
// runs in its folder already (instanceguard.h).
class InstanceChannel {
public:
    virtual ~InstanceChannel() = default;
    // Serves the socket `name`, replacing one left by a process that died:
    // each knock calls onKnock, then is answered. False when it cannot.
    virtual bool listen(const QString& name, std::function<void()> onKnock) = 0;
    // Knocks at `name`; true once answered, within timeoutMs.
    virtual bool knock(const QString& name, int timeoutMs) = 0;
};

// The channel of this platform (one implementation per platform: on Linux from
// the network module, on Windows linked in). Null when it cannot be had.
std::unique_ptr<InstanceChannel> instanceChannel();

} // namespace kelvo
