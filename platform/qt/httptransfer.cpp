#include "platform/httptransfer.h"

#include "platform/socketreset.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QStringDecoder>
#include <QTimer>

namespace kelvo {
namespace {

// One GET at a time over a shared network access manager.
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
            reply->abort(); // finished() reports it as a failure (and may
                            // destroy this transfer)
            resetConnectionsTo(
                quint16(url.port(url.scheme() == QLatin1String("https") ? 443 : 80)));
        });
    }

    ~QtHttpTransfer() override { cancel(); }

    void openUrl(const QUrl& url, ReplyHandler onReply) override
    {
        cancel();
        if (!m_manager) {
            deliverLater(std::move(onReply));
            return;
        }

        QNetworkRequest request(url);
        request.setTransferTimeout(qMax(0, m_limits.timeoutMs));

        QNetworkReply* reply = m_manager->get(request);
        m_reply = reply;
        m_handler = std::move(onReply);
        m_body.clear();
        m_bodyTooLarge = false;

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

        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const bool ok = reply->error() == QNetworkReply::NoError && status >= 200 &&
                        status <= 299 && !m_bodyTooLarge && drain(reply);
        const ReplyText text = ok ? decodeReplyBody(m_body) : ReplyText::failure();

        // Reset all state before the handler runs: it may start the next
        // request on this transfer or destroy it.
        ReplyHandler handler = std::move(m_handler);
        m_handler = nullptr;
        m_reply = nullptr;
        m_body.clear();
        m_bodyTooLarge = false;
        if (handler)
            handler(text);
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
                    handler(ReplyText::failure());
            },
            Qt::QueuedConnection);
    }

    QPointer<QNetworkAccessManager> m_manager;
    TransferLimits m_limits;
    QObject m_context;
    QTimer m_deadline;
    QPointer<QNetworkReply> m_reply;
    ReplyHandler m_handler;
    QByteArray m_body;
    bool m_bodyTooLarge = false;
    // Counts cancels, so that a failure delivered later can tell whether its
    // request was dropped in the meantime.
    quint64 m_generation = 0;
};

} // namespace

std::unique_ptr<HttpTransfer> makeQtTransfer(QNetworkAccessManager* manager, TransferLimits limits)
{
    return std::make_unique<QtHttpTransfer>(manager, limits);
}

ReplyText decodeReplyBody(const QByteArray& body)
{
    // Stateless, so that a multi-byte sequence cut off at the end of the body
    // counts as invalid instead of being silently dropped. A leading UTF-8
    // byte-order mark is not part of the text.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(body);
    if (utf8.hasError())
        return {QString::fromLatin1(body), TextEncoding::Latin1};
    return {text, TextEncoding::Utf8};
}

} // namespace kelvo
