// The kelvo-network module: the transfers through libcurl, and the local
// socket between two starts in one folder.

#include "platform/modules/networkmodule.h"

#include "platform/qt/localchannel.h"

namespace kelvo {
namespace {

class CurlFactory final : public TransferFactory {
public:
    std::unique_ptr<HttpTransfer> make() override { return m_transfers(); }

private:
    std::function<std::unique_ptr<HttpTransfer>()> m_transfers = curlTransfers();
};

} // namespace

class NetworkPlugin final : public QObject, public NetworkModule {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID KELVO_NETWORK_MODULE_IID)
    Q_INTERFACES(kelvo::NetworkModule)

public:
    std::unique_ptr<TransferFactory> transferFactory() override
    {
        return std::make_unique<CurlFactory>();
    }
    std::unique_ptr<InstanceChannel> instanceChannel() override { return makeLocalChannel(); }
};

} // namespace kelvo

#include "networkmodule.moc"
