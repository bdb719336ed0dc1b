// HTTP transfers through libcurl, on the event loop of the thread that makes
// them: curl's multi interface tells which sockets to watch and when its
// next time-out falls, a QSocketNotifier watches each socket and a
// single-shot QTimer stands for the time-out. No thread, and nothing ever
// waits for the network.

#include "platform/httptransfer.h"
#include "platform/qt/systemproxy.h"

#include <QHash>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <curl/curl.h>

namespace kelvo {
namespace {

class CurlTransfer;

// One multi handle, shared by the transfers one factory makes (and so their
// connection cache). It lives until the factory and every transfer of it are
// gone, and never while it is still handing out replies.
class CurlDriver final : public QObject {
public:
    CurlDriver()
    {
        static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
        m_multi = initialised ? curl_multi_init() : nullptr;
        if (!m_multi)
            return;
        curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlDriver::onSocket);
        curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
        curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlDriver::onTimer);
        curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this] { act(CURL_SOCKET_TIMEOUT, 0); });
    }
    ~CurlDriver() override
    {
        if (m_multi)
            curl_multi_cleanup(m_multi);
    }

    static std::shared_ptr<CurlDriver> make()
    {
        // Deleted at once, or, when the last owner goes from inside a reply
        // handler, once the handlers of that round are through.
        return std::shared_ptr<CurlDriver>(new CurlDriver, [](CurlDriver* driver) {
            if (driver->m_acting)
                driver->m_orphaned = true;
            else
                delete driver;
        });
    }

    bool add(CURL* easy, CurlTransfer* transfer)
    {
        if (!m_multi || curl_multi_add_handle(m_multi, easy) != CURLM_OK)
            return false;
        m_transfers.insert(easy, transfer);
        return true;
    }
    // Also drops a message of the transfer's end that is not read yet.
    void remove(CURL* easy)
    {
        m_transfers.remove(easy);
        curl_multi_remove_handle(m_multi, easy);
    }

private:
    struct Watch {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
    };

    static int onSocket(CURL*, curl_socket_t socket, int what, void* driver, void*)
    {
        static_cast<CurlDriver*>(driver)->watch(socket, what);
        return 0;
    }
    static int onTimer(CURLM*, long ms, void* driver)
    {
        // (curl may not be called from here: the timer calls it later.)
        QTimer& timer = static_cast<CurlDriver*>(driver)->m_timer;
        if (ms < 0)
            timer.stop();
        else
            timer.start(int(qMin(ms, long(INT_MAX))));
        return 0;
    }

    void watch(curl_socket_t socket, int what)
    {
        Watch& watch = m_watches[socket];
        const bool in = what == CURL_POLL_IN || what == CURL_POLL_INOUT;
        const bool out = what == CURL_POLL_OUT || what == CURL_POLL_INOUT;
        setWatch(watch.read, socket, QSocketNotifier::Read, in);
        setWatch(watch.write, socket, QSocketNotifier::Write, out);
        if (!in && !out)
            m_watches.remove(socket);
    }
    void setWatch(QSocketNotifier*& notifier, curl_socket_t socket, QSocketNotifier::Type type,
                  bool on)
    {
        if (on && !notifier) {
            notifier = new QSocketNotifier(qintptr(socket), type, this);
            const int flag = type == QSocketNotifier::Read ? CURL_CSELECT_IN : CURL_CSELECT_OUT;
            connect(notifier, &QSocketNotifier::activated, this,
                    [this, socket, flag] { act(socket, flag); });
        } else if (!on && notifier) {
            // Called from inside curl, maybe from this notifier's own signal;
            // disabled, it lets a new one watch the same descriptor at once.
            notifier->setEnabled(false);
            notifier->deleteLater();
            notifier = nullptr;
        }
    }

    void act(curl_socket_t socket, int flags);

    CURLM* m_multi = nullptr;
    QTimer m_timer;
    QHash<curl_socket_t, Watch> m_watches;
    QHash<CURL*, CurlTransfer*> m_transfers;
    bool m_acting = false;
    bool m_orphaned = false;
};

// One request at a time, through one easy handle.
class CurlTransfer final : public HttpTransfer {
public:
    CurlTransfer(std::shared_ptr<CurlDriver> driver, TransferLimits limits)
        : m_driver(std::move(driver)), m_limits(limits)
    {
    }
    ~CurlTransfer() override { cancel(); }

    void send(const HttpRequest& request, ReplyHandler onReply) override
    {
        cancel();
        m_request = request;
        m_handler = std::move(onReply);
        // A line break would end the header and start another of the caller's
        // text: such a request is never sent.
        for (const auto& [name, value] : std::as_const(m_request.headers)) {
            if ((name + value).contains('\r') || (name + value).contains('\n')) {
                failLater(HttpReply::Failure::Connect,
                          QStringLiteral("a header holds a line break"));
                return;
            }
        }
        start();
    }

    bool stillExecuting() const override { return m_easy || m_failLater; }

    void cancel() override
    {
        m_handler = nullptr;
        m_failLater.reset();
        dropEasy();
    }

    // From the driver, once curl is through with the request.
    void finish(CURLcode code)
    {
        const HttpReply reply = replyOf(code);
        dropEasy();
        // The handler may start the next request on this transfer, or
        // destroy it: nothing touches it afterwards.
        ReplyHandler handler = std::move(m_handler);
        m_handler = nullptr;
        if (handler)
            handler(reply);
    }

private:
    static size_t onHeader(char* data, size_t size, size_t count, void* self)
    {
        return static_cast<CurlTransfer*>(self)->header(QByteArray(data, qsizetype(size * count)));
    }
    static size_t onBody(char* data, size_t size, size_t count, void* self)
    {
        return static_cast<CurlTransfer*>(self)->body(data, qsizetype(size * count));
    }
    // Before each request goes out, a redirect's included: once on https,
    // never again on http.
    static int onRequest(void* self, char*, char*, int, int)
    {
        auto* transfer = static_cast<CurlTransfer*>(self);
        char* url = nullptr;
        curl_easy_getinfo(transfer->m_easy, CURLINFO_EFFECTIVE_URL, &url);
        const bool secure = url && QByteArray(url).startsWith("https:");
        transfer->m_downgrade = transfer->m_secure && !secure;
        transfer->m_secure = secure;
        return transfer->m_downgrade ? CURL_PREREQFUNC_ABORT : CURL_PREREQFUNC_OK;
    }

    // Returning less than it was given ends the transfer at once.
    size_t header(const QByteArray& line)
    {
        m_headerBytes += line.size();
        if (m_limits.maxHeaderBytes > 0 && m_headerBytes > m_limits.maxHeaderBytes) {
            m_tooLarge = true;
            return 0;
        }
        if (line.startsWith("HTTP/")) { // a new answer: after a 100 Continue, say
            m_headers.clear();
            return size_t(line.size());
        }
        const qsizetype colon = line.indexOf(':');
        if (colon > 0) {
            const QByteArray name = line.left(colon).trimmed();
            for (const QByteArray& wanted : std::as_const(m_request.wantedHeaders)) {
                if (name.compare(wanted, Qt::CaseInsensitive) == 0)
                    m_headers.insert(wanted, line.mid(colon + 1).trimmed());
            }
        }
        return size_t(line.size());
    }
    size_t body(const char* data, qsizetype size)
    {
        if (m_limits.maxBodyBytes > 0 && m_body.size() + size > m_limits.maxBodyBytes) {
            m_tooLarge = true;
            return 0;
        }
        m_body.append(data, size);
        return size_t(size);
    }

    void start()
    {
        m_body.clear();
        m_headers.clear();
        m_headerBytes = 0;
        m_tooLarge = m_secure = m_downgrade = false;
        m_error[0] = 0;
        m_easy = curl_easy_init();
        if (!m_easy) {
            failLater(HttpReply::Failure::Connect, QStringLiteral("no memory for a transfer"));
            return;
        }
        const QByteArray url = m_request.url.toEncoded();
        curl_easy_setopt(m_easy, CURLOPT_URL, url.constData());
        curl_easy_setopt(m_easy, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(m_easy, CURLOPT_ERRORBUFFER, m_error);
        // Hosts that turn away a request without one are common.
        curl_easy_setopt(m_easy, CURLOPT_USERAGENT,
                         "Mozilla/5.0 (compatible; Kelvo-Rozevid/" KELVO_VERSION ")");
        curl_easy_setopt(m_easy, CURLOPT_TIMEOUT_MS, long(qMax(0, m_limits.deadlineMs)));
        // curl follows redirects itself, and leaves a caller's credentials
        // behind when they lead to another host. A 303, and a 301 or 302
        // after a POST, go on as a GET, as browsers do.
        curl_easy_setopt(m_easy, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(m_easy, CURLOPT_MAXREDIRS, long(kMaxRedirects));
        curl_easy_setopt(m_easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(m_easy, CURLOPT_PREREQFUNCTION, &CurlTransfer::onRequest);
        curl_easy_setopt(m_easy, CURLOPT_PREREQDATA, this);
        // Where revocation cannot be checked (no way to the lists from a
        // closed network), the certificate's chain still is.
        curl_easy_setopt(m_easy, CURLOPT_SSL_OPTIONS, long(CURLSSLOPT_REVOKE_BEST_EFFORT));
        if (m_limits.maxBodyBytes > 0)
            curl_easy_setopt(m_easy, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(m_limits.maxBodyBytes));
        curl_easy_setopt(m_easy, CURLOPT_HEADERFUNCTION, &CurlTransfer::onHeader);
        curl_easy_setopt(m_easy, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &CurlTransfer::onBody);
        curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);

        if (m_request.method == "POST") {
            curl_easy_setopt(m_easy, CURLOPT_POST, 1L);
        } else if (m_request.method != "GET") {
            curl_easy_setopt(m_easy, CURLOPT_CUSTOMREQUEST, m_request.method.constData());
        }
        if (m_request.method != "GET" || !m_request.body.isEmpty()) {
            curl_easy_setopt(m_easy, CURLOPT_POSTFIELDSIZE_LARGE,
                             curl_off_t(m_request.body.size()));
            curl_easy_setopt(m_easy, CURLOPT_COPYPOSTFIELDS, m_request.body.constData());
        }
        m_headerList.reset();
        for (const auto& [name, value] : std::as_const(m_request.headers))
            appendHeader(name + ": " + value);
        appendHeader("Expect:"); // the body goes at once, with no wait for a 100
        curl_easy_setopt(m_easy, CURLOPT_HTTPHEADER, m_headerList.get());

        // Without a proxy of the system's, curl follows the environment.
        if (const std::optional<QByteArray> proxy = systemProxyFor(m_request.url))
            curl_easy_setopt(m_easy, CURLOPT_PROXY, proxy->constData());

        if (!m_driver->add(m_easy, this)) {
            dropEasy();
            failLater(HttpReply::Failure::Connect, QStringLiteral("the transfer could not start"));
        }
    }

    void appendHeader(const QByteArray& line)
    {
        curl_slist* list = curl_slist_append(m_headerList.get(), line.constData());
        if (list) {
            (void)m_headerList.release();
            m_headerList.reset(list);
        }
    }

    void dropEasy()
    {
        if (!m_easy)
            return;
        m_driver->remove(m_easy);
        curl_easy_cleanup(m_easy);
        m_easy = nullptr;
        m_headerList.reset();
    }

    // A failure before curl had the request: from the event loop, as every
    // reply comes. Dropping m_failLater drops the call.
    void failLater(HttpReply::Failure failure, const QString& error)
    {
        m_failLater = std::make_unique<QObject>();
        QMetaObject::invokeMethod(
            m_failLater.get(),
            [this, failure, error] {
                m_failLater.release()->deleteLater();
                ReplyHandler handler = std::move(m_handler);
                m_handler = nullptr;
                if (handler)
                    handler(HttpReply::failedWith(failure, error));
            },
            Qt::QueuedConnection);
    }

    QString deadlineText() const
    {
        return QStringLiteral("no whole reply within %1 s").arg(m_limits.deadlineMs / 1000.0);
    }

    HttpReply replyOf(CURLcode code) const
    {
        using Failure = HttpReply::Failure;
        if (m_tooLarge || code == CURLE_FILESIZE_EXCEEDED)
            return HttpReply::failedWith(Failure::TooLarge,
                                         QStringLiteral("a reply over its size limit"));
        if (code == CURLE_OPERATION_TIMEDOUT)
            return HttpReply::failedWith(Failure::Deadline, deadlineText());
        long status = 0;
        curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status);
        // A redirect not followed is an answer outside 2xx: a downgrade,
        // one too many, or to something other than a web address.
        if (m_downgrade || code == CURLE_TOO_MANY_REDIRECTS ||
            (code == CURLE_UNSUPPORTED_PROTOCOL && status >= 300)) {
            HttpReply reply = HttpReply::failedWith(
                Failure::HttpStatus, m_downgrade ? QStringLiteral("a redirect from https to http")
                                                 : QString::fromUtf8(m_error));
            reply.status = int(status);
            return reply;
        }
        if (code != CURLE_OK) {
            const QString text = QString::fromUtf8(m_error[0] ? m_error : curl_easy_strerror(code));
            return HttpReply::failedWith(isTlsFailure(code) ? Failure::Tls : Failure::Connect,
                                         text);
        }
        HttpReply reply;
        reply.status = int(status);
        reply.body = m_body;
        reply.headers = m_headers;
        reply.failure = status >= 200 && status <= 299 ? Failure::None : Failure::HttpStatus;
        if (reply.failed())
            reply.error = QStringLiteral("HTTP status %1").arg(status);
        return reply;
    }

    static bool isTlsFailure(CURLcode code)
    {
        switch (code) {
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_SHUTDOWN_FAILED:
            return true;
        default:
            return false;
        }
    }

    struct SlistFree {
        void operator()(curl_slist* list) const { curl_slist_free_all(list); }
    };

    std::shared_ptr<CurlDriver> m_driver;
    TransferLimits m_limits;
    HttpRequest m_request;
    ReplyHandler m_handler;
    CURL* m_easy = nullptr;
    std::unique_ptr<curl_slist, SlistFree> m_headerList;
    char m_error[CURL_ERROR_SIZE] = {};
    QByteArray m_body;
    QHash<QByteArray, QByteArray> m_headers;
    qint64 m_headerBytes = 0;
    bool m_tooLarge = false;
    bool m_secure = false;    // the last request went to an https address
    bool m_downgrade = false; // and the next one would not have
    std::unique_ptr<QObject> m_failLater;
};

void CurlDriver::act(curl_socket_t socket, int flags)
{
    const bool outer = !m_acting;
    m_acting = true;
    int running = 0;
    curl_multi_socket_action(m_multi, socket, flags, &running);
    int left = 0;
    // A handler may cancel another transfer, whose message then goes with it.
    while (CURLMsg* message = curl_multi_info_read(m_multi, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        const CURLcode code = message->data.result;
        if (CurlTransfer* transfer = m_transfers.value(message->easy_handle))
            transfer->finish(code);
    }
    if (!outer)
        return;
    m_acting = false;
    if (m_orphaned)
        deleteLater(); // (a signal of its own, or of a child, is what called)
}

} // namespace

std::function<std::unique_ptr<HttpTransfer>()> curlTransfers(TransferLimits limits)
{
    auto driver = CurlDriver::make();
    return [driver, limits]() -> std::unique_ptr<HttpTransfer> {
        return std::make_unique<CurlTransfer>(driver, limits);
    };
}

} // namespace kelvo
