// The local socket between two starts in one folder.

#include "platform/qt/localchannel.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>

namespace kelvo {
namespace {

// A knock is one line, "show"; the answer "shown" comes once the window is.
class LocalChannel final : public InstanceChannel {
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

std::unique_ptr<InstanceChannel> makeLocalChannel()
{
    return std::make_unique<LocalChannel>();
}

} // namespace kelvo
