#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

class QNetworkAccessManager;

namespace kelvo {

// A reply body as text. It remembers how its bytes were read, so that text
// taken from it can be written back as the very bytes that came, and whether
// the transfer failed, so that a service out of reach is told apart from one
// that answered with nothing.
enum class TextEncoding { Utf8, Latin1 };
class ReplyText : public QString {
public:
    ReplyText() = default;
    ReplyText(const QString& text, TextEncoding encoding) : QString(text), m_encoding(encoding) {}
    TextEncoding encoding() const { return m_encoding; }

    // The empty text of a request that brought no answer of the service's.
    static ReplyText failure()
    {
        ReplyText reply;
        reply.m_failed = true;
        return reply;
    }
    bool failed() const { return m_failed; }

private:
    TextEncoding m_encoding = TextEncoding::Utf8;
    bool m_failed = false;
};

// Text taken from a reply read with `encoding`, as the bytes it was read from.
// (Inline: the program links no part of the Qt transfer, which lives in the
// network module it loads at the first request.)
inline QByteArray encodeAsReceived(const QString& text, TextEncoding encoding)
{
    return encoding == TextEncoding::Latin1 ? text.toLatin1() : text.toUtf8();
}

// One HTTP transfer object: one GET at a time. openUrl() starts a request and
// returns at once; when the transfer ends the handler gets the whole body as
// text, or ReplyText::failure() when the request failed for any reason (HTTP
// status outside 2xx, network or TLS error, time-out, past its deadline,
// headers or a body over the size limit).
// A new openUrl() cancels a request that is still running, and the handler of
// a cancelled request is never called.
class HttpTransfer {
public:
    using ReplyHandler = std::function<void(const ReplyText& reply)>;

    virtual ~HttpTransfer() = default;
    virtual void openUrl(const QUrl& url, ReplyHandler onReply) = 0;
    virtual bool stillExecuting() const = 0;
    virtual void cancel() = 0;
};

// Limits that apply to every request of the Qt transfer objects: a time-out
// while no byte comes, a deadline for the whole transfer however its bytes
// trickle, and caps on the headers and on the body, far above any reply of
// the service's (a few hundred bytes).
struct TransferLimits {
    int timeoutMs = 60'000;
    qint64 maxBodyBytes = 64 * 1024;
    int deadlineMs = 60'000;
    qint64 maxHeaderBytes = 64 * 1024;
};

std::unique_ptr<HttpTransfer> makeQtTransfer(QNetworkAccessManager* manager,
                                             TransferLimits limits = {});

// The desktop's transfers (one implementation per platform): on Linux they
// share one network access manager in the kelvo-network module that the
// first request loads, on Windows one in the program itself.
std::function<std::unique_ptr<HttpTransfer>()> desktopTransfers();

// The reply body as text: UTF-8, or Latin-1 where it is not valid UTF-8.
ReplyText decodeReplyBody(const QByteArray& body);

} // namespace kelvo
