// The kelvo-network module: the Qt transfer objects over one network access
// manager, and the local socket between two starts in one folder.

#include "platform/modules/networkmodule.h"

#include "platform/qt/localchannel.h"

#include <QNetworkAccessManager>

namespace kelvo {
namespace {

class ManagerFactory final : public TransferFactory {
public:
    std::unique_ptr<HttpTransfer> make() override { return makeQtTransfer(&m_manager); }

private:
    QNetworkAccessManager m_manager;
};

} // namespace

class NetworkPlugin final : public QObject, public NetworkModule {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID KELVO_NETWORK_MODULE_IID)
    Q_INTERFACES(kelvo::NetworkModule)

public:
    std::unique_ptr<TransferFactory> transferFactory() override
    {
        return std::make_unique<ManagerFactory>();
    }
    std::unique_ptr<InstanceChannel> instanceChannel() override { return makeLocalChannel(); }
};

} // namespace kelvo

#include "networkmodule.moc"
