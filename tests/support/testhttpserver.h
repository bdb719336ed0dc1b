#pragma once

// A scriptable HTTP/1.1 server on 127.0.0.1 for tests that need a real
// service at the other end of a socket.
//
// The server runs in a thread of its own with its own event loop, so it keeps
// answering while the test thread is busy or blocked. Every answer closes its
// connection ("Connection: close"). The handler that scripts the answers is
// called on the server thread: whatever it touches must be safe to use from
// there (atomics, a mutex, a semaphore, or data that stays unchanged while
// the server runs).

#include <QByteArray>
#include <QList>
#include <QUrl>
#include <functional>
#include <memory>
#include <utility>

namespace kelvo::test {

struct HttpResponse {
    int status = 200;
    QByteArray body;
    // Wait this long before answering, without holding up other connections.
    int delayMs = 0;
    // Keep the connection open and never answer (until close() or the end of
    // the server).
    bool neverAnswer = false;
    // Announce the whole body in Content-Length, send half of it, then reset
    // the connection.
    bool closeMidBody = false;
    QByteArray contentType = "text/plain; charset=utf-8";
    // More header lines, e.g. headers = {{"Location", "/elsewhere"}} for a
    // redirect.
    QList<std::pair<QByteArray, QByteArray>> headers;
};

// A plain answer: a status, a body, and how long to wait before sending it.
inline HttpResponse respond(int status, const QByteArray& body, int delayMs = 0)
{
    HttpResponse response;
    response.status = status;
    response.body = body;
    response.delayMs = delayMs;
    return response;
}

class TestHttpServer {
public:
    // Called on the server thread with the request line's target, e.g.
    // "/software/ProgSignals.php?a=1".
    using Handler = std::function<HttpResponse(const QByteArray& target)>;

    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    // Listens on 127.0.0.1; port 0 picks a free port. May be called again
    // after close(), with port() to bring the same address back.
    bool listen(quint16 port = 0);
    // Stops listening and drops every open connection: afterwards
    // connections are refused.
    void close();
    bool isListening() const;

    // The port of the last successful listen(), 0 before the first.
    quint16 port() const;
    // "http://127.0.0.1:PORT"
    QUrl url() const;

    // Both may be called from any thread at any time. The default handler
    // answers 200 with an empty body.
    void setHandler(Handler handler);
    void setResponse(HttpResponse response);

    // The targets of the requests received so far, in order of arrival.
    QList<QByteArray> requests() const;
    int requestCount() const;
    void clearRequests();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace kelvo::test
