#include "demo/demoservice.h"
#include "service/protocol.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QTimer>
#include <QtTest>
#include <csignal>
#include <optional>

using kelvo::demo::QueryItems;
using kelvo::demo::SignalService;
using kelvo::protocol::encodePassword;

Q_DECLARE_METATYPE(QueryItems)

namespace {

// 2026-12-06 14:07:30 UTC.
constexpr std::int64_t kSundayAfternoon = 1796566050;
constexpr std::uint64_t kSeed = 20261206;
const QString kPath = QStringLiteral("/software/ProgSignals.php");

QueryItems signIn(const QString& user, const QString& clearPassword, const QString& system)
{
    return {{"u", user}, {"p", encodePassword(clearPassword)}, {"s", system}};
}

QString timeAt(const SignalService& service, std::int64_t now)
{
    return service.handle(kPath, {{"a", "1"}}, now).body;
}

// The body of a GET, or nothing when the request failed or took far too long.
std::optional<QString> httpGet(QNetworkAccessManager& network, const QUrl& url)
{
    QNetworkReply* reply = network.get(QNetworkRequest(url));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    std::optional<QString> body;
    if (reply->isFinished() && reply->error() == QNetworkReply::NoError)
        body = QString::fromUtf8(reply->readAll());
    reply->abort();
    reply->deleteLater();
    return body;
}

} // namespace

class TestDemoService : public QObject {
    Q_OBJECT

private slots:
    void signalRequest_data();
    void signalRequest();
    void timeMovesWithThePeriod_data();
    void timeMovesWithThePeriod();
    void signalsStableWithinAPeriodAndChangeBetween();
    void seriesIsFixedBySeed();
    void realServiceOverHttp();
    void manualServiceMovesOnlyWhenAsked();
};

void TestDemoService::signalRequest_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QueryItems>("query");
    QTest::addColumn<int>("fields"); // 0: refused

    const auto user = [](const char* name, const char* password, int daily, int hourly, int both) {
        QTest::addRow("%s s=1", name) << kPath << signIn(name, password, "1") << daily;
        QTest::addRow("%s s=2", name) << kPath << signIn(name, password, "2") << hourly;
        QTest::addRow("%s s=3", name) << kPath << signIn(name, password, "3") << both;
    };
    user("demo", "demo123", 4, 8, 12);
    user("daily", "daily123", 4, 0, 0);
    user("hourly", "hourly123", 0, 8, 0);

    const QueryItems good = signIn("demo", "demo123", "3");
    const auto refused = [](const char* name, const QString& path, const QueryItems& query) {
        QTest::newRow(name) << path << query << 0;
    };
    refused("wrong password", kPath, signIn("demo", "demo124", "1"));
    refused("clear password", kPath, {{"u", "demo"}, {"p", "demo123"}, {"s", "1"}});
    refused("unknown user", kPath, signIn("Demo", "demo123", "1"));
    refused("s=4", kPath, signIn("demo", "demo123", "4"));
    refused("path case", "/software/progsignals.php", good);
    refused("no s", kPath, {good[0], good[1]});
    refused("s twice", kPath, {good[0], good[1], good[2], good[2]});
    refused("credentials and a", kPath, {good[0], good[1], good[2], {"a", "1"}});
    refused("a=2", kPath, {{"a", "2"}});
}

void TestDemoService::signalRequest()
{
    QFETCH(QString, path);
    QFETCH(QueryItems, query);
    QFETCH(int, fields);

    const kelvo::demo::Reply reply =
        SignalService(kSeed, 300).handle(path, query, kSundayAfternoon);
    QCOMPARE(reply.outcome.startsWith(QLatin1String("refused")), fields == 0);
    if (fields == 0) {
        QCOMPARE(reply.body, QString());
        return;
    }
    // Each signal carries the start of the current period and a price.
    const QStringList got = reply.body.split(u',');
    QCOMPARE(got.size(), fields);
    static const QRegularExpression price(QStringLiteral("^\\d+\\.\\d{4}$"));
    for (qsizetype i = 0; i < got.size(); i += 4) {
        QVERIFY2(QStringList({"Long", "Short", "Flat"}).contains(got[i]), qPrintable(reply.body));
        QCOMPARE(got[i + 1], QStringLiteral("2026-12-06"));
        QCOMPARE(got[i + 2], QStringLiteral("14:05"));
        QVERIFY2(price.match(got[i + 3]).hasMatch() && got[i + 3].toDouble() > 0.5,
                 qPrintable(reply.body));
    }
}

void TestDemoService::timeMovesWithThePeriod_data()
{
    QTest::addColumn<qint64>("period");
    QTest::addColumn<qint64>("now");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("next");

    const auto row = [](const char* name, qint64 period, qint64 now, const char* current,
                        const char* next) {
        QTest::newRow(name) << period << now << QString::fromLatin1(current)
                            << QString::fromLatin1(next);
    };
    row("1 s", 1, kSundayAfternoon, "14:07:30", "14:07:31");
    row("7 s", 7, kSundayAfternoon, "14:07:24", "14:07:31");
    row("300 s", 300, kSundayAfternoon, "14:05:00", "14:10:00");
    row("one day", 86400, kSundayAfternoon, "00:00:00", "00:00:00");
    row("end of year", 300, 1798761599, "23:55:00", "00:00:00");
    row("before the epoch", 300, -1, "23:55:00", "00:00:00");
}

void TestDemoService::timeMovesWithThePeriod()
{
    QFETCH(qint64, period);
    QFETCH(qint64, now);
    QFETCH(QString, current);
    QFETCH(QString, next);

    const SignalService service(kSeed, period);
    const std::int64_t nextStart = (service.periodIndex(now) + 1) * period;
    QCOMPARE(timeAt(service, now), current);
    QCOMPARE(timeAt(service, nextStart - 1), current);
    QCOMPARE(timeAt(service, nextStart), next);
}

void TestDemoService::signalsStableWithinAPeriodAndChangeBetween()
{
    const qint64 period = 300;
    const SignalService service(kSeed, period);
    const QueryItems query = signIn("demo", "demo123", "3");
    const std::int64_t first = service.periodIndex(kSundayAfternoon) * period;
    QSet<QString> seen[12];
    for (std::int64_t start = first; start < first + 60 * period; start += period) {
        const QString body = service.handle(kPath, query, start).body;
        QCOMPARE(service.handle(kPath, query, start + period - 1).body, body);
        const QStringList fields = body.split(u',');
        QCOMPARE(fields.size(), 12);
        for (qsizetype i = 0; i < fields.size(); ++i)
            seen[i].insert(fields[i]);
    }
    // Over a trial run every row takes every position, and prices move.
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(seen[4 * row], (QSet<QString>{"Long", "Short", "Flat"}));
        QVERIFY(seen[4 * row + 3].size() > 20);
    }
}

void TestDemoService::seriesIsFixedBySeed()
{
    // A change here means every recorded trial run now sees other signals.
    const QString golden = QStringLiteral("Long,2026-12-06,14:05,1.0848,"
                                          "Short,2026-12-06,14:05,1.0809,"
                                          "Long,2026-12-06,14:05,1.0907");
    const QueryItems query = signIn("demo", "demo123", "3");
    QCOMPARE(SignalService(kSeed, 300).handle(kPath, query, kSundayAfternoon).body, golden);
    QVERIFY(SignalService(kSeed + 1, 300).handle(kPath, query, kSundayAfternoon).body != golden);
}

namespace {

// Starts the service binary on a free port and returns its address, or an
// empty one (with a test failure) when it does not come up.
QUrl startService(QProcess& service, const QStringList& arguments)
{
    service.setProgram(QStringLiteral(KELVO_DEMO_SERVICE_BINARY));
    service.setArguments(QStringList{"--port", "0"} + arguments);
    service.start();
    if (!service.waitForStarted(20000)) {
        QTest::qFail(qPrintable(service.errorString()), __FILE__, __LINE__);
        return {};
    }
    if (!QTest::qWaitFor([&service] { return service.canReadLine(); }, 20000)) {
        QTest::qFail("the service printed nothing", __FILE__, __LINE__);
        return {};
    }
    const QString firstLine = QString::fromUtf8(service.readLine());
    const QRegularExpressionMatch listening =
        QRegularExpression(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+)\\n$"))
            .match(firstLine);
    if (!listening.hasMatch()) {
        QTest::qFail(qPrintable(firstLine), __FILE__, __LINE__);
        return {};
    }
    return QUrl(QStringLiteral("http://127.0.0.1:") + listening.captured(1));
}

void stopForSure(QProcess& service)
{
    if (service.state() != QProcess::NotRunning) {
        service.kill();
        service.waitForFinished(20000);
    }
}

} // namespace

void TestDemoService::realServiceOverHttp()
{
    QProcess service;
    const auto stop = qScopeGuard([&service] { stopForSure(service); });
    const QUrl base = startService(service, {"--period", "1"});
    QVERIFY(base.isValid());

    QNetworkAccessManager network;
    network.setProxy(QNetworkProxy::NoProxy);
    // The client's own address builder, so the encoded password's '$' and the
    // other query characters go over the wire as the client sends them.
    const auto login = [&](const char* password) {
        return httpGet(network, kelvo::protocol::loginUrl(base, QStringLiteral("demo"),
                                                          encodePassword(password),
                                                          kelvo::protocol::DailySystem));
    };
    QCOMPARE(login("demo123").value_or(QString()).split(u',').size(), 4);
    QVERIFY(login("demo124") == QString()); // refused: an empty reply, but a reply

    const QUrl timeUrl = kelvo::protocol::timeUrl(base);
    const QString firstTime = httpGet(network, timeUrl).value_or(QString());
    QCOMPARE(firstTime.size(), 8);
    const auto timeMovedOn = [&] {
        const std::optional<QString> now = httpGet(network, timeUrl);
        return now && now->size() == 8 && *now != firstTime;
    };
    QTRY_VERIFY_WITH_TIMEOUT(timeMovedOn(), 30000);

    service.terminate();
    QVERIFY(service.waitForFinished(20000));
    QCOMPARE(service.exitStatus(), QProcess::NormalExit);
    QCOMPARE(service.exitCode(), 0);
}

void TestDemoService::manualServiceMovesOnlyWhenAsked()
{
    QProcess service;
    const auto stop = qScopeGuard([&service] { stopForSure(service); });
    const QUrl base = startService(service, {"--period", "1", "--manual"});
    QVERIFY(base.isValid());

    QNetworkAccessManager network;
    network.setProxy(QNetworkProxy::NoProxy);
    const QUrl timeUrl = kelvo::protocol::timeUrl(base);
    const auto timeNow = [&] { return httpGet(network, timeUrl).value_or(QString()); };
    const QTime first = QTime::fromString(timeNow(), QStringLiteral("HH:mm:ss"));
    QVERIFY(first.isValid());

    // Two periods of one second go by, and the data stands still.
    QTest::qWait(2100);
    QCOMPARE(timeNow(), first.toString(QStringLiteral("HH:mm:ss")));

    // Each SIGUSR1 moves it on by exactly one period.
    for (int step = 1; step <= 2; ++step) {
        QCOMPARE(::kill(static_cast<pid_t>(service.processId()), SIGUSR1), 0);
        const QString want = first.addSecs(step).toString(QStringLiteral("HH:mm:ss"));
        QTRY_COMPARE_WITH_TIMEOUT(timeNow(), want, 20000);
    }

    // The log says when it moved, on the monotonic clock.
    service.terminate();
    QVERIFY(service.waitForFinished(20000));
    QCOMPARE(service.exitCode(), 0);
    const QString log = QString::fromUtf8(service.readAllStandardOutput());
    QCOMPARE(log.count(QRegularExpression(QStringLiteral("moved on  mono=\\d+\\n"))), 2);
}

QTEST_GUILESS_MAIN(TestDemoService)
#include "tst_demoservice.moc"
