#include "platform/modules/networkmodule.h"

#include <QObject>

namespace kelvo {
namespace {

// The module, loaded once for all transfers of one platform bundle.
class LoadedNetwork {
public:
    explicit LoadedNetwork(QStringList folders) : m_folders(std::move(folders)) {}

    TransferFactory* factory()
    {
        if (!m_factory) {
            if (auto* module =
                    modules::load<NetworkModule>(m_folders, QStringLiteral("kelvo-network")))
                m_factory = module->transferFactory();
        }
        return m_factory.get();
    }

private:
    QStringList m_folders;
    std::unique_ptr<TransferFactory> m_factory;
};

// Hands every request to a transfer of the module, made at the first one.
class ModuleTransfer final : public HttpTransfer {
public:
    explicit ModuleTransfer(std::shared_ptr<LoadedNetwork> module) : m_module(std::move(module)) {}

    void send(const HttpRequest& request, ReplyHandler onReply) override
    {
        cancel();
        if (!m_transfer) {
            if (TransferFactory* factory = m_module->factory())
                m_transfer = factory->make();
        }
        if (m_transfer) {
            m_transfer->send(request, std::move(onReply));
            return;
        }
        // Nothing to ask with: fail from the event loop, as a refused
        // connection would. Dropping m_failure drops the call with it.
        m_failure = std::make_unique<QObject>();
        QMetaObject::invokeMethod(
            m_failure.get(),
            [this, handler = std::move(onReply)] {
                m_failure.release()->deleteLater();
                // The handler may start a new request or destroy this
                // transfer: nothing touches it afterwards.
                if (handler)
                    handler(HttpReply::failedWith(HttpReply::Failure::Connect,
                                                  QStringLiteral("no network module")));
            },
            Qt::QueuedConnection);
    }

    bool stillExecuting() const override { return m_transfer && m_transfer->stillExecuting(); }

    void cancel() override
    {
        m_failure.reset();
        if (m_transfer)
            m_transfer->cancel();
    }

private:
    // Declared first, destroyed last: the module's factory outlives the
    // transfer it made.
    std::shared_ptr<LoadedNetwork> m_module;
    std::unique_ptr<HttpTransfer> m_transfer;
    std::unique_ptr<QObject> m_failure;
};

} // namespace

std::function<std::unique_ptr<HttpTransfer>()> moduleTransfers(QStringList folders)
{
    auto module = std::make_shared<LoadedNetwork>(std::move(folders));
    return [module]() -> std::unique_ptr<HttpTransfer> {
        return std::make_unique<ModuleTransfer>(module);
    };
}

} // namespace kelvo
