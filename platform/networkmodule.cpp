// The kelvo-network module: the Qt transfer objects over one network access
// manager, and the local socket between two starts in one folder.

#include "platform/networkmodule.h"

#include <QNetworkAccessManager>

namespace {

class ManagerFactory final : public kelvo::TransferFactory {
public:
    std::unique_ptr<kelvo::HttpTransfer> make() override
    {
        return kelvo::makeQtTransfer(&m_manager);
    }

private:
    QNetworkAccessManager m_manager;
};

} // namespace

extern "C" Q_DECL_EXPORT kelvo::TransferFactory* kelvo_create_transfer_factory()
{
    return new ManagerFactory;
}

extern "C" Q_DECL_EXPORT kelvo::InstanceChannel* kelvo_create_instance_channel()
{
    return kelvo::makeLocalChannel().release();
}
