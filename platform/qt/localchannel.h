#pragma once

#include "platform/localchannel.h"

namespace kelvo {

// The channel over Qt's local sockets (Unix domain sockets, or named pipes on
// Windows).
std::unique_ptr<InstanceChannel> makeLocalChannel();

} // namespace kelvo
