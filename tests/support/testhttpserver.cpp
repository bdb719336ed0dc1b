#include "support/testhttpserver.h"

#include <QHostAddress>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <functional>
#include <unordered_map>
#include <vector>

namespace kelvo::test {
namespace {

// A request head larger than this is not a request we expect.
constexpr qsizetype kMaxRequestHead = 64 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 307:
        return "Temporary Redirect";
    case 308:
        return "Permanent Redirect";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

QByteArray responseHead(const HttpResponse& response)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                      reasonPhrase(response.status) + "\r\n";
    if (!response.contentType.isEmpty())
        head += "Content-Type: " + response.contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    for (const auto& [name, value] : response.headers)
        head += name + ": " + value + "\r\n";
    head += "Connection: close\r\n\r\n";
    return head;
}

// Runs action once everything written to the socket has gone to the system.
void whenWritten(QTcpSocket* socket, std::function<void()> action)
{
    if (socket->bytesToWrite() == 0) {
        action();
        return;
    }
    QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [socket, action] {
        if (socket->bytesToWrite() == 0)
            action();
    });
}

} // namespace

struct TestHttpServer::Private {
    // Owned by the test thread.
    QThread thread;
    QObject* worker = nullptr; // lives in the server thread
    quint16 port = 0;

    // Shared between the threads, under mutex.
    mutable QMutex mutex;
    Handler handler;
    QList<QByteArray> requests;

    std::atomic<bool> listening{false};

    // Server thread only.
    QTcpServer* server = nullptr;
    struct Connection {
        QByteArray head;
        bool answered = false;
    };
    std::unordered_map<QTcpSocket*, Connection> connections;

    // Runs function on the server thread and waits for it; called from a
    // handler it simply runs.
    template <typename F> void runInServerThread(F function)
    {
        if (QThread::currentThread() == &thread)
            function();
        else
            QMetaObject::invokeMethod(worker, std::move(function), Qt::BlockingQueuedConnection);
    }

    void accept()
    {
        while (QTcpSocket* socket = server->nextPendingConnection()) {
            socket->setParent(worker);
            connections.emplace(socket, Connection{});
            QObject::connect(socket, &QObject::destroyed, worker,
                             [this, socket] { connections.erase(socket); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::errorOccurred, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket,
                             [this, socket] { readRequest(socket); });
            readRequest(socket);
        }
    }

    void readRequest(QTcpSocket* socket)
    {
        auto it = connections.find(socket);
        if (it == connections.end())
            return;
        Connection& connection = it->second;
        const QByteArray data = socket->readAll();
        if (connection.answered)
            return;
        connection.head += data;

        const qsizetype end = connection.head.indexOf("\r\n\r\n");
        if (end < 0) {
            if (connection.head.size() > kMaxRequestHead)
                socket->abort();
            return;
        }
        connection.answered = true;

        const QByteArray requestLine = connection.head.left(connection.head.indexOf("\r\n"));
        const QList<QByteArray> parts = requestLine.split(' ');
        if (parts.size() != 3 || !parts[2].startsWith("HTTP/")) {
            HttpResponse bad;
            bad.status = 400;
            respond(socket, bad);
            return;
        }
        const QByteArray target = parts[1];

        Handler current;
        {
            QMutexLocker lock(&mutex);
            requests.append(target);
            current = handler;
        }
        const HttpResponse response = current ? current(target) : HttpResponse{};
        if (response.neverAnswer)
            return;
        if (response.delayMs > 0) {
            QTimer::singleShot(response.delayMs, socket,
                               [this, socket, response] { respond(socket, response); });
            return;
        }
        respond(socket, response);
    }

    void respond(QTcpSocket* socket, const HttpResponse& response)
    {
        if (socket->state() != QAbstractSocket::ConnectedState)
            return;
        if (response.closeMidBody) {
            socket->write(responseHead(response) + response.body.left(response.body.size() / 2));
            whenWritten(socket, [socket] { socket->abort(); });
            return;
        }
        socket->write(responseHead(response) + response.body);
        socket->disconnectFromHost();
    }

    // Server thread: stop listening and drop every connection.
    void closeAll()
    {
        if (server)
            server->close();
        listening = false;
        std::vector<QTcpSocket*> open;
        open.reserve(connections.size());
        for (const auto& entry : connections)
            open.push_back(entry.first);
        for (QTcpSocket* socket : open) {
            QObject::disconnect(socket, nullptr, nullptr, nullptr);
            socket->abort();
            // Not deleted at once: a handler may have called close() while
            // its own connection is still in use further up the stack.
            socket->deleteLater();
        }
        connections.clear();
    }
};

TestHttpServer::TestHttpServer() : d(std::make_unique<Private>())
{
    d->handler = [](const QByteArray&) { return HttpResponse{}; };
    d->thread.setObjectName(QStringLiteral("TestHttpServer"));
    d->worker = new QObject;
    d->worker->moveToThread(&d->thread);
    d->thread.start();
    d->runInServerThread([this] {
        d->server = new QTcpServer(d->worker);
        QObject::connect(d->server, &QTcpServer::newConnection, d->worker, [this] { d->accept(); });
    });
}

TestHttpServer::~TestHttpServer()
{
    d->runInServerThread([this] {
        d->closeAll();
        delete d->server;
        d->server = nullptr;
    });
    // Deferred deletions still run as the thread finishes.
    d->worker->deleteLater();
    d->thread.quit();
    d->thread.wait();
}

bool TestHttpServer::listen(quint16 port)
{
    bool ok = false;
    quint16 bound = 0;
    d->runInServerThread([this, port, &ok, &bound] {
        if (d->server->isListening())
            d->closeAll();
        ok = d->server->listen(QHostAddress::LocalHost, port);
        if (ok)
            bound = d->server->serverPort();
        d->listening = ok;
    });
    if (ok)
        d->port = bound;
    return ok;
}

void TestHttpServer::close()
{
    d->runInServerThread([this] { d->closeAll(); });
}

bool TestHttpServer::isListening() const
{
    return d->listening;
}

quint16 TestHttpServer::port() const
{
    return d->port;
}

QUrl TestHttpServer::url() const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(d->port);
    return url;
}

void TestHttpServer::setHandler(Handler handler)
{
    QMutexLocker lock(&d->mutex);
    d->handler = std::move(handler);
}

void TestHttpServer::setResponse(HttpResponse response)
{
    setHandler([response](const QByteArray&) { return response; });
}

QList<QByteArray> TestHttpServer::requests() const
{
    QMutexLocker lock(&d->mutex);
    return d->requests;
}

int TestHttpServer::requestCount() const
{
    QMutexLocker lock(&d->mutex);
    return int(d->requests.size());
}

void TestHttpServer::clearRequests()
{
    QMutexLocker lock(&d->mutex);
    d->requests.clear();
}

} // namespace kelvo::test
