// The kelvo-network module: the Qt transfer objects over one network access
// manager, and the local socket between two starts in one folder.

#include "platform/networkmodule.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
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

// A knock is one line, "show"; the answer "shown" comes once the window is.
class LocalChannel final : public kelvo::InstanceChannel {
public:
    bool listen(const QString& name, std::function<void()> onKnock) override
    {
        m_server.setSocketOptions(QLocalServer::UserAccessOption);
        QLocalServer::removeServer(name);
        QObject::connect(&m_server, &QLocalServer::newConnection, [this, onKnock] {
            while (QLocalSocket* caller = m_server.nextPendingConnection()) {
                QObject::connect(caller, &QLocalSocket::disconnected, caller,
                                 &QObject::deleteLater);
                QObject::connect(caller, &QLocalSocket::readyRead, caller, [caller, onKnock] {
                    if (!caller->canReadLine())
                        return;
                    caller->readAll();
                    onKnock();
                    caller->write("shown\n");
                    caller->disconnectFromServer();
                });
            }
        });
        return m_server.listen(name);
    }

    bool knock(const QString& name, int timeoutMs) override
    {
        const QDeadlineTimer deadline(timeoutMs);
        QLocalSocket socket;
        socket.connectToServer(name);
        if (!socket.waitForConnected(int(deadline.remainingTime())))
            return false;
        socket.write("show\n");
        while (!socket.canReadLine()) {
            if (!socket.waitForReadyRead(int(deadline.remainingTime())))
                return false;
        }
        return socket.readLine() == "shown\n";
    }

private:
    QLocalServer m_server;
};

} // namespace

extern "C" Q_DECL_EXPORT kelvo::TransferFactory* kelvo_create_transfer_factory()
{
    return new ManagerFactory;
}

extern "C" Q_DECL_EXPORT kelvo::InstanceChannel* kelvo_create_instance_channel()
{
    return new LocalChannel;
}
