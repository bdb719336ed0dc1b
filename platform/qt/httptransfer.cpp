#include "platform/httptransfer.h"

#include "platform/socketreset.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QTimer>

namespace kelvo {
namespace {

// One request at a time over a shared network access manager.
//
// Every connection to a reply uses m_context as its receiver, so dropping a
// request is a single disconnect: a reply that was cancelled, replaced by a
// newer request or outlived its transfer can never reach a handler. Replies
// are always released with deleteLater(), never deleted from inside one of
// their own signals.
class QtHttpTransfer final : public HttpTransfer {
public:
    QtHttpTransfer(QNetworkAccessManager* manager, TransferLimits limits)
        : m_manager(manager), m_limits(limits)
    {
        // The whole transfer's deadline: a reply that trickles in, or headers
        // without end, never hold the next request back.
        m_deadline.setSingleShot(true);
        QObject::connect(&m_deadline, &QTimer::timeout, &m_context, [this] {
            QNetworkReply* reply = m_reply.data();
            if (!reply)
                return;
            const QUrl url = reply->url();
            m_deadlineHit = true;
            reply->abort(); // finished() reports it as a failure (and may
                            // destroy this transfer)
            resetConnectionsTo(
                quint16(url.port(url.scheme() == QLatin1String("https") ? 443 : 80)));
        });
    }

    ~QtHttpTransfer() override { cancel(); }

    void send(const HttpRequest& asked, ReplyHandler onReply) override
    {
        cancel();
        if (!m_manager) {
            deliverLater(std::move(onReply));
            return;
        }

        QNetworkRequest request(asked.url);
        for (const auto& [name, value] : asked.headers)
            request.setRawHeader(name, value);

        QNetworkReply* reply = nullptr;
        if (asked.method == "GET" && asked.body.isEmpty())
            reply = m_manager->get(request);
        else if (asked.method == "POST")
            reply = m_manager->post(request, asked.body);
        else
            reply = m_manager->sendCustomRequest(request, asked.method, asked.body);
        m_reply = reply;
        m_handler = std::move(onReply);
        m_wanted = asked.wantedHeaders;
        m_body.clear();
        m_bodyTooLarge = false;
        m_deadlineHit = false;

        if (hasBodyLimit()) {
            // Keeps the network stack from buffering much more than the limit
            // ahead of us; the body is drained into m_body as it arrives.
            reply->setReadBufferSize(m_limits.maxBodyBytes + 1);
        }

        if (m_limits.deadlineMs > 0)
            m_deadline.start(m_limits.deadlineMs);
        QObject::connect(reply, &QNetworkReply::metaDataChanged, &m_context,
                         [this, reply] { onHeaders(reply); });
        QObject::connect(reply, &QNetworkReply::readyRead, &m_context,
                         [this, reply] { onReadyRead(reply); });
        QObject::connect(reply, &QNetworkReply::finished, &m_context,
                         [this, reply] { onFinished(reply); });
    }

    bool stillExecuting() const override { return !m_reply.isNull(); }

    void cancel() override
    {
        ++m_generation;
        m_deadline.stop();
        m_handler = nullptr;
        m_body.clear();
        QNetworkReply* reply = m_reply.data();
        m_reply = nullptr;
        if (!reply)
            return;
        QObject::disconnect(reply, nullptr, &m_context, nullptr);
        reply->abort();
        reply->deleteLater();
    }

private:
    bool hasBodyLimit() const { return m_limits.maxBodyBytes > 0; }

    // Reads what has arrived; false once the body has grown past the limit.
    bool drain(QNetworkReply* reply)
    {
        m_body += reply->readAll();
        if (hasBodyLimit() && m_body.size() > m_limits.maxBodyBytes) {
            m_bodyTooLarge = true;
            m_body.clear();
            return false;
        }
        return true;
    }

    void onHeaders(QNetworkReply* reply)
    {
        if (reply != m_reply || m_limits.maxHeaderBytes <= 0)
            return;
        qint64 size = 0;
        for (const auto& [name, value] : reply->rawHeaderPairs())
            size += name.size() + value.size() + 4; // ": " and CR LF
        if (size > m_limits.maxHeaderBytes) {
            m_bodyTooLarge = true; // no reply to keep
            reply->abort();        // (may destroy this transfer: see below)
        }
    }

    void onReadyRead(QNetworkReply* reply)
    {
        if (reply != m_reply || m_bodyTooLarge)
            return;
        if (!drain(reply)) {
            // abort() emits finished() at once, and the handler may run (and
            // even destroy this transfer) before abort() returns: nothing may
            // touch this object afterwards.
            reply->abort();
        }
    }

    void onFinished(QNetworkReply* reply)
    {
        QObject::disconnect(reply, nullptr, &m_context, nullptr);
        reply->deleteLater();
        if (reply != m_reply)
            return;
        m_deadline.stop();

        const HttpReply result = replyOf(reply);

        // Reset all state before the handler runs: it may start the next
        // request on this transfer or destroy it.
        ReplyHandler handler = std::move(m_handler);
        m_handler = nullptr;
        m_reply = nullptr;
        m_body.clear();
        m_bodyTooLarge = false;
        if (handler)
            handler(result);
    }

    HttpReply replyOf(QNetworkReply* reply)
    {
        using Failure = HttpReply::Failure;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (m_deadlineHit)
            return HttpReply::failedWith(
                Failure::Deadline,
                QStringLiteral("no whole reply within %1 s").arg(m_limits.deadlineMs / 1000.0));
        if (m_bodyTooLarge || !drain(reply))
            return HttpReply::failedWith(Failure::TooLarge,
                                         QStringLiteral("a reply over its size limit"));
        HttpReply result;
        result.status = status;
        for (const QByteArray& name : m_wanted) {
            if (reply->hasRawHeader(name))
                result.headers.insert(name, reply->rawHeader(name));
        }
        if (status != 0 && (status < 200 || status > 299)) {
            result.failure = Failure::HttpStatus;
            result.error = QStringLiteral("HTTP status %1").arg(status);
            result.body = m_body;
            return result;
        }
        if (reply->error() == QNetworkReply::NoError && status != 0) {
            result.failure = Failure::None;
            result.body = m_body;
            return result;
        }
        result.failure = reply->error() == QNetworkReply::SslHandshakeFailedError
                             ? Failure::Tls
                             : Failure::Connect;
        result.error = reply->errorString();
        return result;
    }

    // Without a manager there is nothing to ask; the request fails the way a
    // refused connection would, from the event loop like every reply.
    void deliverLater(ReplyHandler onReply)
    {
        if (!onReply)
            return;
        QMetaObject::invokeMethod(
            &m_context,
            [this, generation = m_generation, handler = std::move(onReply)] {
                if (generation == m_generation)
                    handler(HttpReply::failedWith(HttpReply::Failure::Connect,
                                                  QStringLiteral("no network")));
            },
            Qt::QueuedConnection);
    }

    QPointer<QNetworkAccessManager> m_manager;
    TransferLimits m_limits;
    QObject m_context;
    QTimer m_deadline;
    QPointer<QNetworkReply> m_reply;
    ReplyHandler m_handler;
    QList<QByteArray> m_wanted;
    QByteArray m_body;
    bool m_bodyTooLarge = false;
    bool m_deadlineHit = false;
    // Counts cancels, so that a failure delivered later can tell whether its
    // request was dropped in the meantime.
    quint64 m_generation = 0;
};

} // namespace

std::unique_ptr<HttpTransfer> makeQtTransfer(QNetworkAccessManager* manager, TransferLimits limits)
{
    return std::make_unique<QtHttpTransfer>(manager, limits);
}

} // namespace kelvo
