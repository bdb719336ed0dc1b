// The HTTP transfer on its own, against the tests' HTTP servers: what each
// kind of answer becomes, the limits on time and size, redirects, TLS
// against the system's certificate store, proxies, and what goes on the
// wire. ctest runs it under `unshare -rm`, where the system's store can be
// this test's own authority.

#include "platform/httptransfer.h"
#include "platform/qt/systemproxy.h"
#include "service/protocol.h"
#include "testserver.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/mount.h>

using namespace kelvo;
using test::Answer;
using Failure = HttpReply::Failure;
Q_DECLARE_METATYPE(kelvo::test::Answer)
Q_DECLARE_METATYPE(kelvo::HttpRequest)

namespace {

constexpr int kDeadlineMs = 1000;

// The reply, or a failure that says none came.
HttpReply fetch(HttpTransfer& transfer, const HttpRequest& request)
{
    std::optional<HttpReply> reply;
    transfer.send(request, [&](const HttpReply& r) { reply = r; });
    (void)QTest::qWaitFor([&] { return reply.has_value(); }, 20000);
    return reply.value_or(HttpReply::failedWith(Failure::None, QStringLiteral("no reply")));
}

HttpRequest get(const QUrl& url)
{
    HttpRequest request;
    request.url = url;
    return request;
}

} // namespace

class TestTransfer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void replies_data();
    void replies();
    void onlyItsOwnDeadline();
    void requests_data();
    void requests();
    void proxies_data();
    void proxies();

private:
    QTemporaryDir m_dir;
    test::TestServer m_plain, m_secure, m_untrusted;
    std::function<std::unique_ptr<HttpTransfer>()> m_transfers =
        curlTransfers({.deadlineMs = kDeadlineMs});
};

void TestTransfer::initTestCase()
{
    // An authority, a certificate of 127.0.0.1 from it, and one that
    // signed itself.
    const QStringList key = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    const QList<QStringList> steps = {
        QStringList{"req", "-x509", "-subj", "/CN=Test authority", "-keyout", "ca.key", "-out",
                    "ca.pem"} + key,
        QStringList{"req", "-subj", "/CN=127.0.0.1", "-keyout", "server.key", "-out", "server.csr"} +
            key,
        {"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
         "-CAcreateserial", "-out", "server.pem", "-extfile", "san.ext"},
        QStringList{"req", "-x509", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                    "-keyout", "self.key", "-out", "self.pem"} +
            key,
    };
    QFile ext(m_dir.filePath("san.ext"));
    QVERIFY(ext.open(QIODevice::WriteOnly) && ext.write("subjectAltName=IP:127.0.0.1\n") > 0);
    ext.close();
    for (const QStringList& step : steps) {
        QProcess openssl;
        openssl.setWorkingDirectory(m_dir.path());
        openssl.start(QStringLiteral("openssl"), step);
        QVERIFY2(openssl.waitForFinished() && openssl.exitCode() == 0, openssl.readAllStandardError());
    }
    const QByteArray store = "/etc/ssl/certs/ca-certificates.crt";
    QVERIFY2(::mount(QFile::encodeName(m_dir.filePath("ca.pem")), store, nullptr, MS_BIND,
                     nullptr) == 0,
             "the system's certificate store could not be replaced");
    const auto file = [this](const char* name) { return QFile::encodeName(m_dir.filePath(name)); };
    QVERIFY(m_plain.start());
    QVERIFY(m_secure.start(0, file("server.pem"), file("server.key")));
    QVERIFY(m_untrusted.start(0, file("self.pem"), file("self.key")));
}

void TestTransfer::replies_data()
{
    QTest::addColumn<QString>("server"); // where the request goes
    QTest::addColumn<Answer>("plainAnswer");
    QTest::addColumn<Answer>("secureAnswer");
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("plainRequests"); // -1: not counted

    const auto hang = [](int how) {
        Answer answer;
        answer.hang = how;
        return answer;
    };
    const auto to = [](const QUrl& url, int status = 302) {
        Answer answer({}, status);
        answer.location = url.toEncoded() + "/next";
        return answer;
    };
    const Answer none;
    const QByteArray bytes = "Long,\x9c\xff\r\n,\xef\xbb\xbf";
    const QByteArray capped(64 * 1024, 'x');
    const auto row = [](const char* name, const char* server, const Answer& plain,
                        const Answer& secure, Failure failure, int status = 0,
                        const QByteArray& body = {}, int plainRequests = -1) {
        QTest::newRow(name) << QString::fromLatin1(server) << plain << secure << failure << status
                            << body << plainRequests;
    };
    row("an answer, byte for byte", "plain", bytes, none, Failure::None, 200, bytes);
    row("HTTP 500 keeps its body", "plain", Answer("busy", 500), none, Failure::HttpStatus, 500,
        "busy");
    row("a body at the cap", "plain", capped, none, Failure::None, 200, capped);
    row("a body over the cap", "plain", capped + "x", none, Failure::TooLarge);
    row("a trickled body", "plain", hang(Answer::Trickle), none, Failure::Deadline);
    row("endless headers", "plain", hang(Answer::EndlessHeaders), none, Failure::TooLarge);
    row("80 KB of headers", "plain", hang(Answer::BigHeaders), none, Failure::TooLarge);
    row("never answered", "plain", hang(Answer::Silent), none, Failure::Deadline);
    row("refused", "closed", none, none, Failure::Connect);
    row("https", "secure", none, Answer("sure"), Failure::None, 200, "sure");
    row("https, certificate of nobody's", "untrusted", none, none, Failure::Tls);
    row("redirect from http to https", "plain", to(m_secure.url(), 307), Answer("sure"),
        Failure::None, 200, "sure", 1);
    row("redirect from https to http", "secure", Answer("plain"), to(m_plain.url()),
        Failure::HttpStatus, 302, {}, 0);
    row("redirect to file://", "plain", to(QUrl("file:///etc")), none, Failure::HttpStatus, 302);
    row("redirects without end", "plain", to(m_plain.url()), none, Failure::HttpStatus, 302,
        {}, 1 + kMaxRedirects);
}

void TestTransfer::replies()
{
    QFETCH(QString, server);
    QFETCH(Answer, plainAnswer);
    QFETCH(Answer, secureAnswer);
    QFETCH(Failure, failure);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(int, plainRequests);
    m_plain.setSignals(plainAnswer);
    m_secure.setSignals(secureAnswer);
    const int before = m_plain.signalRequests();
    const QUrl url = server == "plain"       ? m_plain.url()
                     : server == "secure"    ? m_secure.url()
                     : server == "untrusted" ? m_untrusted.url()
                                             : QUrl("http://127.0.0.1:1");
    const auto transfer = m_transfers();
    const HttpReply reply = fetch(*transfer, get(url));
    QCOMPARE(reply.failure, failure);
    QVERIFY2(reply.failed() != reply.error.isEmpty(), qPrintable(reply.error));
    QCOMPARE(reply.status, status);
    QCOMPARE(reply.body, body);
    if (plainRequests >= 0)
        QCOMPARE(m_plain.signalRequests() - before, plainRequests);
    QVERIFY(!transfer->stillExecuting());
}

// A transfer at its deadline ends; another one to the same port, under way
// meanwhile, and one that starts afterwards, are answered.
void TestTransfer::onlyItsOwnDeadline()
{
    Answer trickle;
    trickle.hang = Answer::Trickle;
    m_plain.setTime(trickle);
    m_plain.setSignals(Answer("Long", 200, kDeadlineMs / 2));
    const auto hung = m_transfers(), meanwhile = m_transfers(), after = m_transfers();
    std::optional<HttpReply> hungReply;
    hung->send(get(service::timeUrl(m_plain.url())), [&](const HttpReply& r) { hungReply = r; });
    QTest::qWait(kDeadlineMs * 3 / 4);
    const HttpReply reply = fetch(*meanwhile, get(m_plain.url()));
    QVERIFY(hungReply && hungReply->failure == Failure::Deadline);
    QCOMPARE(reply.body, QByteArray("Long"));
    QCOMPARE(fetch(*after, get(m_plain.url())).body, QByteArray("Long"));
}

// What reaches the server is what was asked, the service's requests as
// they are built.
void TestTransfer::requests_data()
{
    QTest::addColumn<HttpRequest>("request");
    const QUrl url = m_plain.url();
    const QString password = QStringLiteral("c$cba %+&=");
    QTest::newRow("login") << get(service::loginUrl(url, "ann o'neil", password, 3));
    QTest::newRow("time") << get(service::timeUrl(url));
    QTest::newRow("signals") << get(service::signalsUrl(url, "ann", password, 1));
    HttpRequest post = get(QUrl(url.toString() + "/topic?x=1"));
    post.method = "POST";
    post.headers = {{"Title", "Positions changed"}, {"Priority", "high"}};
    post.body = QByteArray(3000, 'p') + "\xc3\xa4";
    post.wantedHeaders = {"location", "X-Absent"};
    QTest::newRow("a POST with headers and a body") << post;
}

void TestTransfer::requests()
{
    QFETCH(HttpRequest, request);
    Answer answer("ok");
    answer.location = "/elsewhere"; // a header to read, in a 200
    m_plain.setSignals(answer);
    m_plain.setTime(answer);
    const auto transfer = m_transfers();
    const HttpReply reply = fetch(*transfer, request);
    QCOMPARE(reply.failure, Failure::None);
    const test::TestServer::Request seen = m_plain.last();
    QCOMPARE(seen.method, request.method);
    QCOMPARE(seen.target, request.url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority));
    QCOMPARE(seen.body, request.body);
    for (const auto& [name, value] : std::as_const(request.headers))
        QCOMPARE(QByteArray::fromStdString(seen.headers.find(name.toStdString())->second), value);
    QCOMPARE(seen.headers.count("Host"), size_t(1));
    QCOMPARE(reply.headers.keys(), request.wantedHeaders.mid(0, 1));
    QCOMPARE(reply.headers.value("location", "/elsewhere"), QByteArray("/elsewhere"));
}

// Windows' proxy setting as a table; the environment's through a proxy:
// the tests' server, which answers a request for any host.
void TestTransfer::proxies_data()
{
    QTest::addColumn<QString>("proxies");
    QTest::addColumn<QString>("bypass");
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<QByteArray>("proxy");
    const QUrl http("http://signals.example.com/x"), https("https://signals.example.com/x");
    QTest::newRow("one for all") << "proxy:8080" << "" << https << QByteArray("proxy:8080");
    QTest::newRow("by scheme") << "http=a:80;https=b:443" << "" << https << QByteArray("b:443");
    QTest::newRow("by scheme, none for it") << "http=a:80" << "" << https << QByteArray();
    QTest::newRow("bypassed by a pattern")
        << "proxy:8080" << "<local>; *.EXAMPLE.com" << http << QByteArray();
    QTest::newRow("not bypassed") << "proxy:8080" << "*.example.org 10.*" << http
                                  << QByteArray("proxy:8080");
    QTest::newRow("bypassed, local") << "proxy:8080" << "<local>" << QUrl("http://intranet/")
                                     << QByteArray();
    QTest::newRow("bypassed, an address")
        << "proxy:8080" << "10.*" << QUrl("http://10.1.2.3:81/") << QByteArray();
}

void TestTransfer::proxies()
{
    QFETCH(QString, proxies);
    QFETCH(QString, bypass);
    QFETCH(QUrl, url);
    QFETCH(QByteArray, proxy);
    QCOMPARE(proxyFromSetting(proxies, bypass, url), proxy);

    qputenv("http_proxy", m_plain.url().toEncoded());
    m_plain.setTime(Answer("10:00:00"));
    const QUrl far = service::timeUrl(QUrl("http://signals.invalid"));
    const HttpReply reply = fetch(*m_transfers(), get(far));
    qunsetenv("http_proxy");
    QCOMPARE(reply.body, QByteArray("10:00:00"));
    QCOMPARE(m_plain.last().target, far.toEncoded());
}

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_transfer.moc"
