// The network on Linux: from the kelvo-network module, loaded at its first
// use.

#include "platform/modules/networkmodule.h"

namespace kelvo {

std::function<std::unique_ptr<HttpTransfer>()> desktopTransfers()
{
    return moduleTransfers(modules::folders());
}

std::unique_ptr<InstanceChannel> instanceChannel()
{
    auto* module =
        modules::load<NetworkModule>(modules::folders(), QStringLiteral("kelvo-network"));
    return module ? module->instanceChannel() : nullptr;
}

} // namespace kelvo
