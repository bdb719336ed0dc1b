#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

namespace kelvo {

// How a reply's bytes were read as text: as UTF-8, or, where they are not
// valid UTF-8, as Latin-1.
enum class TextEncoding { Utf8, Latin1 };
struct ReplyBodyText {
    QString text;
    TextEncoding encoding = TextEncoding::Utf8;
};
// A reply body as text: UTF-8, or Latin-1 where it is not valid UTF-8. A
// leading UTF-8 byte-order mark is not part of the text.
ReplyBodyText decodeReplyBody(const QByteArray& body);

// Text taken from a reply read with `encoding`, as the bytes it was read from.
inline QByteArray encodeAsReceived(const QString& text, TextEncoding encoding)
{
    return encoding == TextEncoding::Latin1 ? text.toLatin1() : text.toUtf8();
}

// What a transfer asks: a method, a URL, headers and a body, and which of
// the reply's headers the caller will read.
struct HttpRequest {
    explicit HttpRequest(QUrl url = {}, QByteArray method = "GET")
        : method(std::move(method)), url(std::move(url))
    {
    }
    QByteArray method;
    QUrl url;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
    QList<QByteArray> wantedHeaders; // names, as the caller will look them up
};

// What came back, or what went wrong. A reply is a whole: passed on, it
// keeps its failure with it.
struct HttpReply {
    enum class Failure {
        None,       // a status of 2xx, the whole body
        Connect,    // no answer: refused, unreachable, a name not found, cancelled
        Tls,        // the secure connection failed (a certificate, say)
        Deadline,   // not over by the transfer's deadline, or silent too long
        TooLarge,   // headers or a body over their limits
        HttpStatus, // an answer outside 2xx; its body is kept
    };
    Failure failure = Failure::Connect;
    int status = 0; // the HTTP status; 0 when none came
    QByteArray body;
    QHash<QByteArray, QByteArray> headers; // the wanted ones that came
    QString error;                         // what went wrong, for tips and logs

    bool failed() const { return failure != Failure::None; }
    // The body as text, and how it was read.
    ReplyBodyText text() const { return decodeReplyBody(body); }

    static HttpReply failedWith(Failure failure, const QString& error)
    {
        HttpReply reply;
        reply.failure = failure;
        reply.error = error;
        return reply;
    }
};

// One HTTP transfer object: one request at a time. send() starts a request
// and returns at once; when the transfer ends the handler gets the reply,
// failed for any reason in the reply's failure (HTTP status outside 2xx,
// network or TLS error, time-out, past its deadline, headers or a body over
// the size limit).
// A new send() cancels a request that is still running, and the handler of
// a cancelled request is never called.
class HttpTransfer {
public:
    using ReplyHandler = std::function<void(const HttpReply& reply)>;

    virtual ~HttpTransfer() = default;
    virtual void send(const HttpRequest& request, ReplyHandler onReply) = 0;
    virtual bool stillExecuting() const = 0;
    virtual void cancel() = 0;

    // A GET of the URL.
    void get(const QUrl& url, ReplyHandler onReply) { send(HttpRequest(url), std::move(onReply)); }
};

// Limits that apply to every request: a deadline for the whole transfer,
// redirects included, however its bytes trickle and however long none comes,
// and caps on the headers and on the body, far above any reply of the
// service's (a few hundred bytes). Past a cap the transfer ends at once.
struct TransferLimits {
    qint64 maxBodyBytes = 64 * 1024;
    int deadlineMs = 60'000;
    qint64 maxHeaderBytes = 64 * 1024;
};

// Transfers through libcurl on the event loop of the thread that makes them,
// sharing one connection cache. They speak http and https alone, verify
// every certificate, and follow at most kMaxRedirects redirects, never from
// https to http. The proxy is the user's system setting where the platform
// has one (Windows), else the environment's (http_proxy, https_proxy,
// no_proxy).
std::function<std::unique_ptr<HttpTransfer>()> curlTransfers(TransferLimits limits = {});

constexpr int kMaxRedirects = 5;

// The desktop's transfers (one implementation per platform): on Linux from
// the kelvo-network module that the first request loads, on Windows linked
// into the program.
std::function<std::unique_ptr<HttpTransfer>()> desktopTransfers();

} // namespace kelvo
