// The network on Windows: linked in, as everything else is here.

#include "platform/httptransfer.h"
#include "platform/qt/localchannel.h"

namespace kelvo {

std::function<std::unique_ptr<HttpTransfer>()> desktopTransfers()
{
    // TLS through Schannel, which trusts the Windows certificate store.
    return curlTransfers();
}

std::unique_ptr<InstanceChannel> instanceChannel()
{
    return makeLocalChannel();
}

} // namespace kelvo
