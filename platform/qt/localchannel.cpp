// The local socket between two starts in one folder.

#include "platform/qt/localchannel.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

namespace kelvo {
namespace {

// What one user's other programs may hold of the listener: a few callers at
// a time, a short line each, for a few seconds.
constexpr int kMaxCallers = 8;
constexpr qint64 kMaxLine = 64;
constexpr int kCallerIdleMs = 5'000;
// How often a listener that failed (Qt closes it when an accept fails) is
// looked for and set up again.
constexpr int kRelistenMs = 30'000;

// A knock is one line, "show"; the answer "shown" comes once the window is.
class LocalChannel final : public InstanceChannel {
public:
    bool listen(const QString& name, std::function<void()> onKnock) override
    {
        m_name = name;
        m_server.setSocketOptions(QLocalServer::UserAccessOption);
        QObject::connect(&m_server, &QLocalServer::newConnection, [this, onKnock] {
            while (QLocalSocket* caller = m_server.nextPendingConnection())
                serve(caller, onKnock);
        });
        QObject::connect(&m_relisten, &QTimer::timeout, [this] {
            if (!m_server.isListening())
                start();
        });
        m_relisten.start(kRelistenMs);
        return start();
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
    bool start()
    {
        QLocalServer::removeServer(m_name);
        return m_server.listen(m_name);
    }

    void serve(QLocalSocket* caller, const std::function<void()>& onKnock)
    {
        ++m_callers;
        QObject::connect(caller, &QObject::destroyed, &m_server, [this] { --m_callers; });
        QObject::connect(caller, &QLocalSocket::disconnected, caller, &QObject::deleteLater);
        const auto drop = [caller] {
            caller->abort();
            caller->deleteLater();
        };
        if (m_callers > kMaxCallers)
            return drop();
        // (the timer goes with its caller)
        QTimer::singleShot(kCallerIdleMs, caller, drop);
        QObject::connect(caller, &QLocalSocket::readyRead, caller, [caller, onKnock, drop] {
            if (!caller->canReadLine()) {
                if (caller->bytesAvailable() > kMaxLine)
                    drop();
                return;
            }
            caller->readAll();
            onKnock();
            caller->write("shown\n");
            caller->disconnectFromServer();
        });
    }

    int m_callers = 0; // (before the server, which counts its callers down as it goes)
    QLocalServer m_server;
    QString m_name;
    QTimer m_relisten;
};

} // namespace

std::unique_ptr<InstanceChannel> makeLocalChannel()
{
    return std::make_unique<LocalChannel>();
}

} // namespace kelvo
