#include "platform/httptransfer.h"
#include "support/testhttpserver.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSemaphore>
#include <QTest>
#include <QTimer>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;
using kelvo::HttpTransfer;
using kelvo::TransferLimits;
using kelvo::test::HttpResponse;
using kelvo::test::TestHttpServer;

namespace {

// Generous: only a broken transfer ever waits this long.
constexpr int kWaitMs = 20'000;

HttpResponse answer(int status, const QByteArray& body)
{
    HttpResponse response;
    response.status = status;
    response.body = body;
    return response;
}

HttpResponse neverAnswer()
{
    HttpResponse response;
    response.neverAnswer = true;
    return response;
}

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

    void decodeReplyBody_data();
    void decodeReplyBody();
    void deliversBodyOfSuccessfulReplies_data();
    void deliversBodyOfSuccessfulReplies();
    void refusedConnectionGivesEmptyReply();
    void serverThatNeverAnswersTimesOut();
    void bodyLimit_data();
    void bodyLimit();
    void followsRedirect();
    void connectionLostMidBodyGivesEmptyReply();
    void newRequestCancelsRunningOne();
    void cancelDropsHandler();
    void destroyingTransferMidRequestIsSafe();
    void handlerMayStartNextRequest();
    void handlerMayDestroyTransfer_data();
    void handlerMayDestroyTransfer();
    void repliesAreReleased();
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
    // Runs one request to its end; nullopt when the handler was not called.
    std::optional<QString> fetch(HttpTransfer& transfer, const QUrl& url)
    {
        Outcome outcome;
        transfer.openUrl(url, recordInto(outcome));
        if (!QTest::qWaitFor([&] { return outcome.calls > 0; }, kWaitMs)) {
            transfer.cancel();
            return std::nullopt;
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

void TestHttpTransfer::decodeReplyBody_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("ascii") << QByteArray("1,Long,03/02/2026") << u"1,Long,03/02/2026"_s;
    QTest::newRow("utf-8") << QByteArray("Z\xc3\xbcrich \xe2\x82\xac") << u"Z\u00fcrich \u20ac"_s;
    QTest::newRow("utf-8 byte-order mark dropped") << QByteArray("\xef\xbb\xbf"
                                                                 "12:00:00")
                                                   << u"12:00:00"_s;
    QTest::newRow("latin-1") << QByteArray("Z\xfcrich") << u"Z\u00fcrich"_s;
    QTest::newRow("latin-1 after valid utf-8")
        << QByteArray("\xc3\xa9 and \xe9") << u"\u00c3\u00a9 and \u00e9"_s;
    QTest::newRow("sequence cut off at the end") << QByteArray("abc\xc3") << u"abc\u00c3"_s;
}

void TestHttpTransfer::decodeReplyBody()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, expected);
    QCOMPARE(kelvo::decodeReplyBody(body), expected);
}

void TestHttpTransfer::deliversBodyOfSuccessfulReplies_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain text") << 200 << QByteArray("12:34:56") << 0 << u"12:34:56"_s;
    QTest::newRow("utf-8") << 200 << QByteArray("Z\xc3\xbcrich \xe2\x82\xac") << 0
                           << u"Z\u00fcrich \u20ac"_s;
    QTest::newRow("latin-1") << 200 << QByteArray("Z\xfcrich") << 0 << u"Z\u00fcrich"_s;
    QTest::newRow("other 2xx status") << 201 << QByteArray("made") << 0 << u"made"_s;
    QTest::newRow("slow answer") << 200 << QByteArray("late") << 150 << u"late"_s;
    QTest::newRow("not found") << 404 << QByteArray("missing") << 0 << QString();
    QTest::newRow("server error") << 500 << QByteArray("oops") << 0 << QString();
    QTest::newRow("unavailable") << 503 << QByteArray("later") << 0 << QString();
    QTest::newRow("multiple choices") << 300 << QByteArray("pick one") << 0 << QString();
    QTest::newRow("redirect without location") << 302 << QByteArray("moved") << 0 << QString();
}

void TestHttpTransfer::deliversBodyOfSuccessfulReplies()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(int, delayMs);
    QFETCH(QString, expected);

    HttpResponse response = answer(status, body);
    response.delayMs = delayMs;
    m_server->setResponse(response);

    const QByteArray target = "/software/ProgSignals.php?User=ann&Sys=2&Pw=x%20y";
    auto t = transfer();
    Outcome outcome;
    bool executingInHandler = true;
    t->openUrl(at(target), [&](const QString& reply) {
        ++outcome.calls;
        outcome.reply = reply;
        executingInHandler = t->stillExecuting();
    });
    QVERIFY(t->stillExecuting());
    QTRY_COMPARE_WITH_TIMEOUT(outcome.calls, 1, kWaitMs);

    QCOMPARE(outcome.reply, expected);
    QVERIFY(!executingInHandler);
    QVERIFY(!t->stillExecuting());
    QCOMPARE(m_server->requests(), QList<QByteArray>{target});
}

void TestHttpTransfer::refusedConnectionGivesEmptyReply()
{
    m_server->setResponse(answer(200, "up"));
    m_server->close();
    auto t = transfer();

    const auto reply = fetch(*t, at("/software/ProgSignals.php"));
    QVERIFY(reply);
    QCOMPARE(*reply, QString());
    QVERIFY(!t->stillExecuting());

    // The same address works again once the service is back.
    QVERIFY(m_server->listen(m_server->port()));
    const auto again = fetch(*t, at("/software/ProgSignals.php"));
    QVERIFY(again);
    QCOMPARE(*again, u"up"_s);
}

void TestHttpTransfer::serverThatNeverAnswersTimesOut()
{
    m_server->setResponse(neverAnswer());
    TransferLimits limits;
    limits.timeoutMs = 300;
    auto t = transfer(limits);

    Outcome outcome;
    t->openUrl(at("/software/ProgSignals.php"), recordInto(outcome));
    QVERIFY(t->stillExecuting());
    QTRY_COMPARE_WITH_TIMEOUT(outcome.calls, 1, kWaitMs);
    QCOMPARE(outcome.reply, QString());
    QVERIFY(!t->stillExecuting());
    QCOMPARE(m_server->requestCount(), 1);
}

void TestHttpTransfer::bodyLimit_data()
{
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("kept");

    const qint64 defaultLimit = TransferLimits{}.maxBodyBytes;
    QTest::newRow("1 MiB") << defaultLimit << 1024 * 1024 << false;
    QTest::newRow("exactly the default limit") << defaultLimit << int(defaultLimit) << true;
    QTest::newRow("one byte over the default limit")
        << defaultLimit << int(defaultLimit) + 1 << false;
    QTest::newRow("exactly a small limit") << qint64(16) << 16 << true;
    QTest::newRow("one byte over a small limit") << qint64(16) << 17 << false;
}

void TestHttpTransfer::bodyLimit()
{
    QFETCH(qint64, limit);
    QFETCH(int, size);
    QFETCH(bool, kept);

    QByteArray body(size, 'x');
    body.back() = 'y';
    m_server->setResponse(answer(200, body));
    TransferLimits limits;
    limits.maxBodyBytes = limit;
    auto t = transfer(limits);

    const auto reply = fetch(*t, at("/big"));
    QVERIFY(reply);
    QCOMPARE(*reply, kept ? QString::fromLatin1(body) : QString());
    QVERIFY(!t->stillExecuting());
}

void TestHttpTransfer::followsRedirect()
{
    m_server->setHandler([](const QByteArray& target) {
        if (target != "/start")
            return answer(200, "arrived at " + target);
        HttpResponse moved = answer(302, "moved");
        moved.headers = {{"Location", "/target?x=1"}};
        return moved;
    });
    auto t = transfer();

    const auto reply = fetch(*t, at("/start"));
    QVERIFY(reply);
    QCOMPARE(*reply, u"arrived at /target?x=1"_s);
    QCOMPARE(m_server->requests(), (QList<QByteArray>{"/start", "/target?x=1"}));
}

void TestHttpTransfer::connectionLostMidBodyGivesEmptyReply()
{
    HttpResponse response = answer(200, QByteArray(4000, 'a'));
    response.closeMidBody = true;
    m_server->setResponse(response);
    auto t = transfer();

    const auto reply = fetch(*t, at("/half"));
    QVERIFY(reply);
    QCOMPARE(*reply, QString());
}

void TestHttpTransfer::newRequestCancelsRunningOne()
{
    // Were the first request not cancelled, its immediate answer would beat
    // the slow second one.
    m_server->setHandler([](const QByteArray& target) {
        if (target == "/first")
            return answer(200, "first");
        HttpResponse slow = answer(200, "second");
        slow.delayMs = 200;
        return slow;
    });
    auto t = transfer();
    Outcome first;
    Outcome second;

    t->openUrl(at("/first"), recordInto(first));
    t->openUrl(at("/second"), recordInto(second));
    QVERIFY(t->stillExecuting());
    QTRY_COMPARE_WITH_TIMEOUT(second.calls, 1, kWaitMs);

    QCOMPARE(second.reply, u"second"_s);
    QCOMPARE(first.calls, 0);
    QVERIFY(!t->stillExecuting());

    // Nothing stale turns up later either.
    const auto third = fetch(*t, at("/third"));
    QVERIFY(third);
    QCOMPARE(*third, u"second"_s);
    QCOMPARE(first.calls, 0);
    QCOMPARE(second.calls, 1);
}

void TestHttpTransfer::cancelDropsHandler()
{
    m_server->setHandler([](const QByteArray& target) {
        return target == "/hang" ? neverAnswer() : answer(200, "fine");
    });
    auto t = transfer();
    Outcome outcome;
    auto captured = std::make_shared<int>(0);

    t->openUrl(at("/hang"), [&outcome, captured](const QString& reply) {
        ++outcome.calls;
        outcome.reply = reply;
    });
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requestCount(), 1, kWaitMs);
    QVERIFY(t->stillExecuting());

    t->cancel();
    QVERIFY(!t->stillExecuting());
    QCOMPARE(captured.use_count(), 1);

    // Dropping the connection on the server side must not revive it.
    m_server->close();
    QVERIFY(m_server->listen(m_server->port()));
    const auto next = fetch(*t, at("/next"));
    QVERIFY(next);
    QCOMPARE(*next, u"fine"_s);
    QCOMPARE(outcome.calls, 0);

    t->cancel(); // nothing running: harmless
    QVERIFY(!t->stillExecuting());
}

void TestHttpTransfer::destroyingTransferMidRequestIsSafe()
{
    m_server->setResponse(neverAnswer());
    auto t = transfer();
    Outcome outcome;
    auto captured = std::make_shared<int>(0);

    t->openUrl(at("/hang"), [&outcome, captured](const QString&) { ++outcome.calls; });
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requestCount(), 1, kWaitMs);

    t.reset();
    QCOMPARE(captured.use_count(), 1);
    m_server->close();
    QTRY_COMPARE_WITH_TIMEOUT(liveReplies(), 0, kWaitMs);
    QCOMPARE(outcome.calls, 0);
}

void TestHttpTransfer::handlerMayStartNextRequest()
{
    m_server->setHandler([](const QByteArray& target) { return answer(200, target); });
    auto t = transfer();
    Outcome second;
    bool executingAfterReopen = false;
    QString firstReply;

    t->openUrl(at("/one"), [&](const QString& reply) {
        firstReply = reply;
        t->openUrl(at("/two"), recordInto(second));
        executingAfterReopen = t->stillExecuting();
    });
    QTRY_COMPARE_WITH_TIMEOUT(second.calls, 1, kWaitMs);

    QCOMPARE(firstReply, u"/one"_s);
    QVERIFY(executingAfterReopen);
    QCOMPARE(second.reply, u"/two"_s);
    QVERIFY(!t->stillExecuting());
}

void TestHttpTransfer::handlerMayDestroyTransfer_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("body kept") << 10;
    QTest::newRow("body over the limit") << 1024 * 1024;
}

void TestHttpTransfer::handlerMayDestroyTransfer()
{
    QFETCH(int, size);
    m_server->setResponse(answer(200, QByteArray(size, 'z')));
    auto t = transfer();
    int calls = 0;

    t->openUrl(at("/bye"), [&](const QString&) {
        ++calls;
        t.reset();
    });
    QTRY_VERIFY_WITH_TIMEOUT(!t, kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(liveReplies(), 0, kWaitMs);
    QCOMPARE(calls, 1);
}

void TestHttpTransfer::repliesAreReleased()
{
    m_server->setHandler([](const QByteArray& target) {
        return target == "/hang" ? neverAnswer() : answer(200, "ok");
    });
    auto t = transfer();
    for (int round = 0; round < 5; ++round) {
        Outcome dropped;
        t->openUrl(at("/hang"), recordInto(dropped));
        t->openUrl(at("/hang"), recordInto(dropped));
        t->cancel();
        const auto reply = fetch(*t, at("/poll"));
        QVERIFY(reply);
        QCOMPARE(*reply, u"ok"_s);
        QCOMPARE(dropped.calls, 0);
    }
    m_server->close();
    QTRY_COMPARE_WITH_TIMEOUT(liveReplies(), 0, kWaitMs);
}

void TestHttpTransfer::eventLoopRunsWhileReplyIsPending()
{
    // The server holds its answer back until a timer of the test thread has
    // fired, so the reply can only arrive if that thread's event loop runs
    // while the request is pending.
    auto gate = std::make_shared<QSemaphore>();
    m_server->setHandler([gate](const QByteArray&) {
        gate->tryAcquire(1, kWaitMs);
        HttpResponse response = answer(200, "done");
        response.delayMs = 50;
        return response;
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
