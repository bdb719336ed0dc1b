#include "platform/httptransfer.h"
#include "support/testhttpserver.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSemaphore>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace Qt::StringLiterals;
using kelvo::HttpTransfer;
using kelvo::TransferLimits;
using kelvo::test::HttpResponse;
using kelvo::test::respond;
using kelvo::test::TestHttpServer;

namespace {

// Generous: only a broken transfer ever waits this long.
constexpr int kWaitMs = 20'000;
const QString kNoReply = QStringLiteral("<handler not called>");

HttpResponse neverAnswer()
{
    HttpResponse response;
    response.neverAnswer = true;
    return response;
}

enum Serve { Answer, NeverAnswer, CloseMidBody, Refused };

// What a handler saw.
struct Outcome {
    int calls = 0;
    QString reply;
};

HttpTransfer::ReplyHandler recordInto(Outcome& outcome)
{
    return [&outcome](const QString& reply) {
        ++outcome.calls;
        outcome.reply = reply;
    };
}

} // namespace

class TestHttpTransfer : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void reply_data();
    void reply();
    void newRequestCancelsRunningOne();
    void droppedRequest_data();
    void droppedRequest();
    void handlerMayReuseOrDestroyTransfer_data();
    void handlerMayReuseOrDestroyTransfer();
    void eventLoopRunsWhileReplyIsPending();

private:
    QUrl at(const QByteArray& target) const
    {
        return QUrl(m_server->url().toString() + QString::fromLatin1(target));
    }
    std::unique_ptr<HttpTransfer> transfer(TransferLimits limits = {})
    {
        return kelvo::makeQtTransfer(m_manager.get(), limits);
    }
    // Runs one request to its end: the reply, or kNoReply when the handler
    // was not called.
    QString fetch(HttpTransfer& transfer, const QUrl& url)
    {
        Outcome outcome;
        transfer.openUrl(url, recordInto(outcome));
        if (!QTest::qWaitFor([&] { return outcome.calls > 0; }, kWaitMs)) {
            transfer.cancel();
            return kNoReply;
        }
        return outcome.reply;
    }
    int liveReplies() const { return int(m_manager->findChildren<QNetworkReply*>().size()); }

    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<QNetworkAccessManager> m_manager;
};

void TestHttpTransfer::init()
{
    m_server = std::make_unique<TestHttpServer>();
    QVERIFY(m_server->listen());
    m_manager = std::make_unique<QNetworkAccessManager>();
}

void TestHttpTransfer::cleanup()
{
    m_manager.reset();
    m_server.reset();
}

void TestHttpTransfer::reply_data()
{
    QTest::addColumn<int>("how");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<QString>("expected");

    const qint64 defaultLimit = TransferLimits{}.maxBodyBytes;
    const auto row = [=](const char* name, const QByteArray& body, const QString& expected,
                         int status = 200, Serve how = Answer, qint64 limit = 0) {
        QTest::newRow(name) << int(how) << status << body << (limit ? limit : defaultLimit)
                            << expected;
    };
    // Only bodies of 2xx replies count; UTF-8 where valid, else Latin-1.
    row("empty", {}, {});
    row("utf-8", "Z\xc3\xbcrich \xe2\x82\xac", u"Z\u00fcrich \u20ac"_s);
    row("utf-8 byte-order mark dropped", QByteArray("\xef\xbb\xbf") + "12:00", u"12:00"_s);
    row("latin-1", "Z\xfcrich", u"Z\u00fcrich"_s);
    row("latin-1 after valid utf-8", "\xc3\xa9 and \xe9", u"\u00c3\u00a9 and \u00e9"_s);
    row("sequence cut off at the end", "abc\xc3", u"abc\u00c3"_s);
    row("status 299", "made", u"made"_s, 299);
    row("status 300", "pick one", {}, 300);
    row("status 404", "missing", {}, 404);
    row("status 500", "oops", {}, 500);
    // Failures of the connection.
    row("refused connection", "up", {}, 200, Refused);
    row("never answers: time-out", "late", {}, 200, NeverAnswer);
    row("closed mid-body", QByteArray(4000, 'a'), {}, 200, CloseMidBody);
    // The body limit, the last byte included.
    const auto sized = [](qint64 size) { return QByteArray(size - 1, 'x') + 'y'; };
    row("exactly the default limit", sized(defaultLimit), QString::fromLatin1(sized(defaultLimit)));
    row("one byte over the default", sized(defaultLimit + 1), {});
    row("far over the default", sized(1024 * 1024), {});
    row("exactly a small limit", sized(16), QString::fromLatin1(sized(16)), 200, Answer, 16);
    row("one byte over a small limit", sized(17), {}, 200, Answer, 16);
}

void TestHttpTransfer::reply()
{
    QFETCH(int, how);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(qint64, limit);
    QFETCH(QString, expected);

    HttpResponse response = respond(status, body);
    response.neverAnswer = how == NeverAnswer;
    response.closeMidBody = how == CloseMidBody;
    m_server->setResponse(response);
    if (how == Refused)
        m_server->close();
    auto t = transfer({how == NeverAnswer ? 300 : 60'000, limit});

    const QByteArray target = "/software/ProgSignals.php?User=ann&Sys=2&Pw=x%20y";
    QCOMPARE(fetch(*t, at(target)), expected);
    QVERIFY(!t->stillExecuting());
    // Sent as given, and once.
    QCOMPARE(m_server->requests(), how == Refused ? QList<QByteArray>() : QList{target});
}

void TestHttpTransfer::newRequestCancelsRunningOne()
{
    // Were the first request not cancelled, its immediate answer would beat
    // the slow second one.
    m_server->setHandler([](const QByteArray& target) {
        return target == "/first" ? respond(200, "first") : respond(200, "second", 200);
    });
    auto t = transfer();
    Outcome first;
    Outcome second;

    t->openUrl(at("/first"), recordInto(first));
    t->openUrl(at("/second"), recordInto(second));
    QVERIFY(t->stillExecuting());
    QTRY_COMPARE_WITH_TIMEOUT(second.calls, 1, kWaitMs);
    QCOMPARE(second.reply, u"second"_s);
    QVERIFY(!t->stillExecuting());

    // Nothing stale turns up later either.
    QCOMPARE(fetch(*t, at("/third")), u"second"_s);
    QCOMPARE(first.calls, 0);
    QCOMPARE(second.calls, 1);
    QTRY_COMPARE_WITH_TIMEOUT(liveReplies(), 0, kWaitMs);
}

void TestHttpTransfer::droppedRequest_data()
{
    QTest::addColumn<bool>("destroy");
    QTest::newRow("cancel()") << false;
    QTest::newRow("transfer destroyed") << true;
}

void TestHttpTransfer::droppedRequest()
{
    QFETCH(bool, destroy);

    m_server->setHandler([](const QByteArray& target) {
        return target == "/hang" ? neverAnswer() : respond(200, "fine");
    });
    auto t = transfer();
    int calls = 0;
    auto captured = std::make_shared<int>(0);
    // The second request replaces the first; then both are dropped.
    t->openUrl(at("/hang"), [&calls, captured](const QString&) { ++calls; });
    t->openUrl(at("/hang"), [&calls, captured](const QString&) { ++calls; });
    QTRY_VERIFY_WITH_TIMEOUT(m_server->requestCount() >= 1, kWaitMs);
    QVERIFY(t->stillExecuting());

    if (destroy) {
        t.reset();
    } else {
        t->cancel();
        QVERIFY(!t->stillExecuting());
    }
    QCOMPARE(captured.use_count(), 1);
    // Released at once, not only when the server gives up.
    QTRY_COMPARE_WITH_TIMEOUT(liveReplies(), 0, kWaitMs);
    // Dropping the connection on the server side must not revive it, and the
    // transfer is ready for the next request.
    m_server->close();
    QVERIFY(m_server->listen(m_server->port()));
    if (!destroy)
        QCOMPARE(fetch(*t, at("/next")), u"fine"_s);
    QCOMPARE(calls, 0);
}

void TestHttpTransfer::handlerMayReuseOrDestroyTransfer_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("destroy");
    QTest::newRow("starts the next request") << 10 << false;
    QTest::newRow("destroys the transfer") << 10 << true;
    QTest::newRow("destroys it, body over the limit") << 1024 * 1024 << true;
}

void TestHttpTransfer::handlerMayReuseOrDestroyTransfer()
{
    QFETCH(int, size);
    QFETCH(bool, destroy);

    m_server->setHandler([size](const QByteArray& target) {
        return respond(200, target == "/two" ? target : QByteArray(size, 'z'));
    });
    auto t = transfer();
    int calls = 0;
    Outcome second;
    t->openUrl(at("/one"), [&](const QString&) {
        ++calls;
        if (destroy) {
            t.reset();
        } else {
            t->openUrl(at("/two"), recordInto(second));
            QVERIFY(t->stillExecuting());
        }
    });
    if (destroy)
        QTRY_VERIFY_WITH_TIMEOUT(!t, kWaitMs);
    else
        QTRY_COMPARE_WITH_TIMEOUT(second.reply, u"/two"_s, kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(liveReplies(), 0, kWaitMs);
    QCOMPARE(calls, 1);
}

void TestHttpTransfer::eventLoopRunsWhileReplyIsPending()
{
    // The server holds its answer back until a timer of the test thread has
    // fired, so the reply can only arrive if that thread's event loop runs
    // while the request is pending.
    auto gate = std::make_shared<QSemaphore>();
    m_server->setHandler([gate](const QByteArray&) {
        gate->tryAcquire(1, kWaitMs);
        return respond(200, "done", 50);
    });
    auto t = transfer();
    Outcome outcome;
    bool pendingWhenTimerFired = false;

    t->openUrl(at("/slow"), recordInto(outcome));
    QCOMPARE(outcome.calls, 0);
    QTimer::singleShot(0, this, [&] {
        pendingWhenTimerFired = t->stillExecuting() && outcome.calls == 0;
        gate->release();
    });
    QTRY_COMPARE_WITH_TIMEOUT(outcome.calls, 1, kWaitMs);
    QVERIFY(pendingWhenTimerFired);
    QCOMPARE(outcome.reply, u"done"_s);
}

QTEST_GUILESS_MAIN(TestHttpTransfer)
#include "tst_httptransfer.moc"
