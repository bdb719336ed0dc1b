#pragma once

// A signal service on 127.0.0.1 for tests that need a real server at the
// other end of a socket. It answers the time request ("?a=1") and every other
// request with answers the test may change at any moment; it runs on threads
// of its own, so it keeps answering while the test thread waits.

#include <QByteArray>
#include <QList>
#include <QUrl>
#include <atomic>
#include <httplib.h>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>

namespace kelvo::test {

struct Answer {
    // Until the client hangs up: a body of one byte every 100 ms, header lines
    // without end, or not a byte; or 80 KB of header lines before the body.
    enum Hang { None, Trickle, EndlessHeaders, Silent, BigHeaders };
    Answer(QByteArray body = {}, int status = 200, int delayMs = 0, QByteArray location = {})
        : body(std::move(body)), status(status), delayMs(delayMs), location(std::move(location))
    {
    }
    Answer(Hang hang) : hang(hang) {}
    QByteArray body;
    int status = 200;
    int delayMs = 0;
    QByteArray location;   // a Location header, for a redirect
    QByteArray retryAfter; // a Retry-After header
    Hang hang = None;
};

class TestServer {
public:
    ~TestServer() { stop(); }

    // A request as the server received it.
    struct Request {
        QByteArray method, target, body;
        httplib::Headers headers;
    };

    // Port 0 picks a free port; after stop(), start(port()) brings the same
    // address back. With a certificate and its key, it speaks https.
    bool start(quint16 port = 0, const QByteArray& certificate = {}, const QByteArray& key = {})
    {
        stop();
        m_stopping = false;
        m_tls = !certificate.isEmpty();
        if (m_tls)
            m_server =
                std::make_unique<httplib::SSLServer>(certificate.constData(), key.constData());
        else
            m_server = std::make_unique<httplib::Server>();
        // One answer per connection, sent at once: stop() need not wait for
        // idle connections, and no answer waits for a delayed ACK.
        m_server->set_keep_alive_max_count(1);
        m_server->set_tcp_nodelay(true);
        const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
            const bool isTime = request.get_param_value("a") == "1";
            std::unique_lock lock(m_mutex);
            const Answer answer = isTime ? m_time : m_signals;
            ++(isTime ? m_timeRequests : m_signalRequests);
            m_requests.append({QByteArray::fromStdString(request.method),
                               QByteArray::fromStdString(request.target),
                               QByteArray::fromStdString(request.body), request.headers});
            lock.unlock();
            if (!answer.location.isEmpty())
                response.set_header("Location", answer.location.toStdString());
            if (!answer.retryAfter.isEmpty())
                response.set_header("Retry-After", answer.retryAfter.toStdString());
            std::this_thread::sleep_for(std::chrono::milliseconds(answer.delayMs));
            response.status = answer.status;
            const std::string body = answer.body.toStdString();
            if (answer.hang == Answer::EndlessHeaders || answer.hang == Answer::Silent)
                return hang(request, answer.hang);
            for (int i = 0; answer.hang == Answer::BigHeaders && i < 10; ++i)
                response.set_header("X-Filler-" + std::to_string(i), std::string(8000, 'x'));
            if (answer.hang == Answer::Trickle)
                return response.set_content_provider("text/plain", [this](size_t, auto& sink) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                    return !m_stopping && sink.write("0", 1);
                });
            response.set_content(body, "text/plain");
        };
        m_server->Get(".*", handler);
        m_server->Post(".*", handler);
        const int bound = port ? (m_server->bind_to_port("127.0.0.1", port) ? port : -1)
                               : m_server->bind_to_any_port("127.0.0.1");
        if (bound <= 0)
            return false;
        m_port = quint16(bound);
        m_thread = std::thread([server = m_server.get()] { server->listen_after_bind(); });
        while (!m_server->is_running()) // a stop() before it runs would not reach it
            std::this_thread::yield();
        return true;
    }
    // Afterwards connections are refused.
    void stop()
    {
        if (m_thread.joinable()) {
            m_stopping = true;
            m_server->stop();
            m_thread.join();
        }
    }
    quint16 port() const { return m_port; }
    QUrl url() const
    {
        return QUrl(QStringLiteral("%1://127.0.0.1:%2").arg(m_tls ? "https" : "http").arg(m_port));
    }

    void setTime(const Answer& answer)
    {
        std::lock_guard lock(m_mutex);
        m_time = answer;
    }
    void setSignals(const Answer& answer)
    {
        std::lock_guard lock(m_mutex);
        m_signals = answer;
    }
    int timeRequests() const { return std::lock_guard(m_mutex), m_timeRequests; }
    int signalRequests() const { return std::lock_guard(m_mutex), m_signalRequests; }
    Request last() const
    {
        return std::lock_guard(m_mutex), m_requests.value(m_requests.size() - 1);
    }
    QList<Request> requests() const { return std::lock_guard(m_mutex), m_requests; }

private:
    // Answers what no HTTP server sends by itself, on the request's own
    // socket, until the client hangs up; httplib's answer then goes nowhere.
    void hang(const httplib::Request& request, Answer::Hang how)
    {
        int socket = 3;
        for (sockaddr_in peer{}; socket < 1024; ++socket) {
            socklen_t size = sizeof peer;
            if (getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &size) == 0 &&
                peer.sin_family == AF_INET && ntohs(peer.sin_port) == request.remote_port &&
                request.local_port == m_port)
                break;
        }
        const std::string start = "HTTP/1.1 200 OK\r\n";
        const std::string line = "X-Filler: " + std::string(100, 'x') + "\r\n";
        bool open =
            how == Answer::Silent || send(socket, start.data(), start.size(), MSG_NOSIGNAL) > 0;
        while (open && !m_stopping) {
            if (how == Answer::EndlessHeaders) {
                open = send(socket, line.data(), line.size(), MSG_NOSIGNAL) > 0;
                continue;
            }
            pollfd in{socket, POLLIN, 0};
            char byte;
            open = poll(&in, 1, 50) == 0 || recv(socket, &byte, 1, MSG_PEEK) > 0;
        }
    }

    std::unique_ptr<httplib::Server> m_server;
    std::atomic<bool> m_stopping = false;
    std::thread m_thread;
    quint16 m_port = 0;
    bool m_tls = false;
    QList<Request> m_requests;
    mutable std::mutex m_mutex;
    Answer m_time;
    Answer m_signals;
    int m_timeRequests = 0;
    int m_signalRequests = 0;
};

} // namespace kelvo::test
