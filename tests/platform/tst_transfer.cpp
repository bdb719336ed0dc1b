// The HTTP transfer against the tests' HTTP servers, under `unshare -rm`,
// where the system's certificate store can be the test's own authority.

#include "platform/httptransfer.h"
#include "platform/qt/systemproxy.h"
#include "service/protocol.h"
#include "testserver.h"

#include <QTest>
#include <sys/mount.h>

using namespace kelvo;
using test::Answer;
using Failure = HttpReply::Failure;

namespace {

constexpr int kDeadlineMs = 1000;

// What the plain and the secure server answer, and what comes of the request.
struct Row {
    HttpRequest asked;
    Answer plainAnswer, secureAnswer;
    Failure failure;
    int status = 0;
    QByteArray body = {};
};

HttpReply fetch(HttpTransfer& transfer, const HttpRequest& request)
{
    std::optional<HttpReply> reply;
    transfer.send(request, [&](const HttpReply& r) { reply = r; });
    (void)QTest::qWaitFor([&] { return reply.has_value(); }, 20000);
    return reply.value_or(HttpReply::failedWith(Failure::None, QStringLiteral("no reply came")));
}

} // namespace
Q_DECLARE_METATYPE(Row)

class TestTransfer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void replies_data();
    void replies();
    void onlyItsOwnDeadline();
    void proxySetting();

private:
    test::TestServer m_plain, m_secure, m_untrusted;
    std::function<std::unique_ptr<HttpTransfer>()> m_transfers =
        curlTransfers({.deadlineMs = kDeadlineMs});
};

void TestTransfer::initTestCase()
{
    // Certificates of the build's own authority; that authority, the system's store.
    const auto file = [](const char* name) { return QByteArray(KELVO_TEST_CERTS "/") + name; };
    const char* store = "/etc/ssl/certs/ca-certificates.crt";
    QVERIFY(::mount(file("authority.pem"), store, nullptr, MS_BIND, nullptr) == 0);
    QVERIFY(m_plain.start() && m_secure.start(0, file("server.pem"), file("server.key")) &&
            m_untrusted.start(0, file("nobody.pem"), file("nobody.key")));
    // A proxy for all but this machine: the plain server, which answers for any host.
    qputenv("http_proxy", m_plain.url().toEncoded());
    qputenv("no_proxy", "127.0.0.1");
}

void TestTransfer::replies_data()
{
    QTest::addColumn<Row>("row");
    const auto to = [](const QUrl& u, int s = 302) { return Answer({}, s, 0, u.toEncoded()); };
    const HttpRequest plain(m_plain.url().toString() + "/a"), secure(m_secure.url());
    const QByteArray bytes = "Long,\x9c\xff\r\n,\xef\xbb\xbf", capped(64 * 1024, 'x');
    const Answer none, sure("sure"), located("ok", 200, 0, "/elsewhere");
    HttpRequest post(m_plain.url().toString() + "/topic?x=1", "POST");
    post.headers = {{"Title", "Positions changed"}, {"Priority", "high"}};
    post.body = QByteArray(3000, 'p') + "\xc3\xa4";
    post.wantedHeaders = {"location", "X-Absent"};
    HttpRequest injected = post;
    injected.headers += std::pair<QByteArray, QByteArray>("Title", "Changed\r\nPriority: max");
    const QUrl signalsUrl = service::signalsUrl(m_plain.url(), "ann o'neil", "c$cba %+&=", 1);
    using enum Failure;
    QTest::newRow("an answer, byte for byte") << Row{plain, bytes, none, None, 200, bytes};
    QTest::newRow("the signal request")
        << Row{HttpRequest(signalsUrl), sure, none, None, 200, "sure"};
    QTest::newRow("a POST with headers and a body") << Row{post, located, none, None, 200, "ok"};
    QTest::newRow("a header with a line break, never sent") << Row{injected, none, none, Connect};
    QTest::newRow("HTTP 500 keeps its body")
        << Row{plain, {"busy", 500}, none, HttpStatus, 500, "busy"};
    QTest::newRow("a body at the cap") << Row{plain, capped, none, None, 200, capped};
    QTest::newRow("a body over the cap") << Row{plain, capped + "x", none, TooLarge};
    QTest::newRow("a trickled body") << Row{plain, Answer::Trickle, none, Deadline};
    QTest::newRow("endless headers") << Row{plain, Answer::EndlessHeaders, none, TooLarge};
    QTest::newRow("80 KB of headers") << Row{plain, Answer::BigHeaders, none, TooLarge};
    QTest::newRow("never answered") << Row{plain, Answer::Silent, none, Deadline};
    QTest::newRow("refused") << Row{HttpRequest(QUrl("http://127.0.0.1:1")), none, none, Connect};
    QTest::newRow("through the environment's proxy")
        << Row{HttpRequest(QUrl("http://signals.invalid/a")), sure, none, None, 200, "sure"};
    QTest::newRow("https") << Row{secure, none, sure, None, 200, "sure"};
    QTest::newRow("https, certificate of nobody's")
        << Row{HttpRequest(m_untrusted.url()), none, none, Tls};
    QTest::newRow("redirect from http to https")
        << Row{plain, to(m_secure.url(), 307), sure, None, 200, "sure"};
    QTest::newRow("redirect from https to http")
        << Row{secure, sure, to(m_plain.url()), HttpStatus, 302};
    QTest::newRow("redirect to file://")
        << Row{plain, to(QUrl("file:///etc")), none, HttpStatus, 302};
    QTest::newRow("redirect to ftp://")
        << Row{plain, to(QUrl("ftp://127.0.0.1:1/")), none, HttpStatus, 302};
    QTest::newRow("redirects without end") << Row{plain, to(m_plain.url()), none, HttpStatus, 302};
}

// What reaches the plain server is what was asked, and the reply holds the
// headers asked for that came.
void TestTransfer::replies()
{
    QFETCH(Row, row);
    m_plain.setSignals(row.plainAnswer);
    m_secure.setSignals(row.secureAnswer);
    const auto transfer = m_transfers();
    const HttpReply reply = fetch(*transfer, row.asked);
    QCOMPARE(reply.failure, row.failure);
    QVERIFY2(reply.failed() != reply.error.isEmpty(), qPrintable(reply.error));
    QCOMPARE(reply.status, row.status);
    QCOMPARE(reply.body, row.body);
    QVERIFY(!transfer->stillExecuting());
    if (row.failure != Failure::None || row.asked.url.port() != m_plain.port())
        return;
    const test::TestServer::Request seen = m_plain.last();
    QCOMPARE(seen.method + ' ' + seen.target,
             row.asked.method + ' ' +
                 row.asked.url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority));
    QCOMPARE(seen.body, row.asked.body);
    for (const auto& [name, value] : std::as_const(row.asked.headers))
        QCOMPARE(seen.headers.find(name.toStdString())->second, value.toStdString());
    QVERIFY(seen.headers.find("User-Agent")->second.starts_with("Mozilla/5.0 (compatible; Kelvo"));
    QCOMPARE(reply.headers.keys(), row.asked.wantedHeaders.mid(0, 1));
    QCOMPARE(reply.headers.value("location"),
             row.asked.wantedHeaders.isEmpty() ? "" : "/elsewhere");
}

// A transfer at its deadline ends; another one to the same port, under way
// then, is answered, and so is the next.
void TestTransfer::onlyItsOwnDeadline()
{
    m_plain.setTime(Answer::Trickle);
    m_plain.setSignals(Answer("Long", 200, kDeadlineMs / 2));
    const auto hung = m_transfers(), other = m_transfers();
    std::optional<HttpReply> hungReply;
    hung->send(HttpRequest(service::timeUrl(m_plain.url())), [&](auto& r) { hungReply = r; });
    QTest::qWait(kDeadlineMs * 3 / 4);
    QCOMPARE(fetch(*other, HttpRequest(m_plain.url())).body, QByteArray("Long"));
    QVERIFY(hungReply && hungReply->failure == Failure::Deadline);
    QCOMPARE(fetch(*other, HttpRequest(m_plain.url())).body, QByteArray("Long"));
}

// Windows' proxy setting: the proxies, the bypass list, a URL and the proxy for it.
void TestTransfer::proxySetting()
{
    const char* rows[][4] = {
        {"proxy:8080", "", "https://a.example.com/", "proxy:8080"},
        {"http=a:80;https=b:443", "", "https://a.example.com/", "b:443"},
        {"http=a:80", "", "https://a.example.com/", ""}, // none for the scheme
        {"p:1", "<local>; http://*.EXAMPLE.com:80", "http://a.example.com/", ""},
        {"p:1", "*.example.org 10.*", "http://a.example.com/", "p:1"},
        {"p:1", "<local>", "http://intranet/", ""},
    };
    for (const auto& row : rows)
        QCOMPARE(proxyFromSetting(row[0], row[1], QUrl(row[2])), QByteArray(row[3]));
}

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_transfer.moc"
