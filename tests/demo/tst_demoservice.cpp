#include "demo/demoservice.h"
#include "service/protocol.h"

#include <QDateTime>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QTimeZone>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <optional>

using kelvo::demo::QueryItems;
using kelvo::demo::SignalRow;
using kelvo::demo::SignalService;
using kelvo::protocol::encodePassword;

Q_DECLARE_METATYPE(QueryItems)
Q_DECLARE_METATYPE(kelvo::demo::SignalRow)

namespace {

// 2026-12-06 14:07:30 UTC.
constexpr std::int64_t kSundayAfternoon = 1796566050;
constexpr std::uint64_t kSeed = 20261206;
const QString kPath = QStringLiteral("/software/ProgSignals.php");

QueryItems signIn(const QString& user, const QString& clearPassword, const QString& system)
{
    return {{QStringLiteral("u"), user},
            {QStringLiteral("p"), encodePassword(clearPassword)},
            {QStringLiteral("s"), system}};
}

QueryItems timeQuery()
{
    return {{QStringLiteral("a"), QStringLiteral("1")}};
}

QStringList fieldsOf(const QString& body)
{
    return body.split(QLatin1Char(','));
}

// The body of a GET, or nothing when the request failed or took far too long.
struct HttpResult {
    int status = 0;
    QString body;
};

std::optional<HttpResult> httpGet(QNetworkAccessManager& network, const QUrl& url)
{
    QNetworkReply* reply = network.get(QNetworkRequest(url));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    std::optional<HttpResult> result;
    if (reply->isFinished() && reply->error() == QNetworkReply::NoError) {
        result = HttpResult{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                            QString::fromUtf8(reply->readAll())};
    }
    reply->abort();
    reply->deleteLater();
    return result;
}

} // namespace

class TestDemoService : public QObject {
    Q_OBJECT

private slots:
    void login_data();
    void login();
    void refusedRequests_data();
    void refusedRequests();
    void timeReply_data();
    void timeReply();
    void timeMovesOnlyWhenAPeriodPasses_data();
    void timeMovesOnlyWhenAPeriodPasses();
    void signalLayout_data();
    void signalLayout();
    void bothSystemsJoinsTheHourlyAndDailyReplies();
    void signalsStableWithinAPeriodAndChangeBetween_data();
    void signalsStableWithinAPeriodAndChangeBetween();
    void positionsChangeNowAndThen_data();
    void positionsChangeNowAndThen();
    void pricesWanderButStayPositive();
    void seedSelectsTheSeries();
    void sameRowsOnEveryPlatform();
    void options_data();
    void options();
    void realServiceOverHttp();
};

void TestDemoService::login_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("p");
    QTest::addColumn<QString>("s");
    QTest::addColumn<bool>("accepted");

    const struct {
        const char* user;
        const char* password;
        bool daily;
        bool hourly;
    } table[] = {{"demo", "demo123", true, true},
                 {"daily", "daily123", true, false},
                 {"hourly", "hourly123", false, true}};
    for (const auto& row : table) {
        const QString encoded = encodePassword(QString::fromUtf8(row.password));
        QTest::addRow("%s daily", row.user) << row.user << encoded << "1" << row.daily;
        QTest::addRow("%s hourly", row.user) << row.user << encoded << "2" << row.hourly;
        QTest::addRow("%s both", row.user)
            << row.user << encoded << "3" << (row.daily && row.hourly);
    }

    QTest::newRow("wrong last character")
        << "demo" << encodePassword(QStringLiteral("demo124")) << "1" << false;
    QTest::newRow("wrong first character")
        << "demo" << encodePassword(QStringLiteral("xemo123")) << "1" << false;
    QTest::newRow("another user's password")
        << "daily" << encodePassword(QStringLiteral("demo123")) << "1" << false;
    QTest::newRow("clear password instead of encoded") << "demo"
                                                       << "demo123"
                                                       << "1" << false;
    QTest::newRow("empty password") << "demo"
                                    << ""
                                    << "1" << false;
    // Only the encoding travels, so a password that agrees in its first three
    // and its last character is as good as the real one.
    QTest::newRow("same encoding")
        << "demo" << encodePassword(QStringLiteral("demXYZ3")) << "2" << true;
    QTest::newRow("unknown user") << "nobody" << encodePassword(QStringLiteral("demo123")) << "1"
                                  << false;
    QTest::newRow("user name case")
        << "Demo" << encodePassword(QStringLiteral("demo123")) << "1" << false;
    QTest::newRow("user name with space")
        << "demo " << encodePassword(QStringLiteral("demo123")) << "1" << false;
    QTest::newRow("empty user") << "" << encodePassword(QStringLiteral("demo123")) << "1" << false;
}

void TestDemoService::login()
{
    QFETCH(QString, user);
    QFETCH(QString, p);
    QFETCH(QString, s);
    QFETCH(bool, accepted);

    const SignalService service(kSeed, 300);
    const QueryItems query{{"u", user}, {"p", p}, {"s", s}};
    const kelvo::demo::Reply reply = service.handle(kPath, query, kSundayAfternoon);
    QCOMPARE(!reply.body.isEmpty(), accepted);
    QCOMPARE(reply.outcome.startsWith(QLatin1String("refused")), !accepted);
}

void TestDemoService::refusedRequests_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QueryItems>("query");

    const QueryItems good = signIn("demo", "demo123", "3");
    const QString p = encodePassword(QStringLiteral("demo123"));

    QTest::newRow("path case") << "/software/progsignals.php" << good;
    QTest::newRow("root path") << "/" << good;
    QTest::newRow("path with slash") << "/software/ProgSignals.php/" << good;
    QTest::newRow("other script") << "/software/Other.php" << timeQuery();
    QTest::newRow("empty query") << kPath << QueryItems{};
    QTest::newRow("no s") << kPath << QueryItems{{"u", "demo"}, {"p", p}};
    QTest::newRow("no p") << kPath << QueryItems{{"u", "demo"}, {"s", "1"}};
    QTest::newRow("no u") << kPath << QueryItems{{"p", p}, {"s", "1"}};
    for (const char* s : {"0", "4", "01", "", " 1", "1 ", "x", "-1", "+1"})
        QTest::addRow("s=\"%s\"", s) << kPath << signIn("demo", "demo123", s);
    QueryItems extra = good;
    extra.emplace_back("x", "1");
    QTest::newRow("unknown key") << kPath << extra;
    QueryItems withTime = good;
    withTime.emplace_back("a", "1");
    QTest::newRow("credentials and a") << kPath << withTime;
    QueryItems twiceS = good;
    twiceS.emplace_back("s", "3");
    QTest::newRow("s twice") << kPath << twiceS;
    QTest::newRow("u twice, no p") << kPath << QueryItems{{"u", "demo"}, {"u", "demo"}, {"s", "1"}};
    QTest::newRow("upper-case keys") << kPath << QueryItems{{"U", "demo"}, {"P", p}, {"S", "1"}};
    QTest::newRow("a=2") << kPath << QueryItems{{"a", "2"}};
    QTest::newRow("a empty") << kPath << QueryItems{{"a", ""}};
    QTest::newRow("a twice") << kPath << QueryItems{{"a", "1"}, {"a", "1"}};
    QTest::newRow("a and s") << kPath << QueryItems{{"a", "1"}, {"s", "1"}};
    QTest::newRow("A=1") << kPath << QueryItems{{"A", "1"}};
}

void TestDemoService::refusedRequests()
{
    QFETCH(QString, path);
    QFETCH(QueryItems, query);

    const SignalService service(kSeed, 300);
    const kelvo::demo::Reply reply = service.handle(path, query, kSundayAfternoon);
    QCOMPARE(reply.body, QString());
    QVERIFY2(reply.outcome.startsWith(QLatin1String("refused")), qPrintable(reply.outcome));
}

void TestDemoService::timeReply_data()
{
    QTest::addColumn<qint64>("period");
    QTest::addColumn<qint64>("now");
    QTest::addColumn<QString>("expected");

    QTest::newRow("five minutes") << qint64(300) << qint64(kSundayAfternoon) << "14:05:00";
    QTest::newRow("one hour") << qint64(3600) << qint64(kSundayAfternoon) << "14:00:00";
    QTest::newRow("one day") << qint64(86400) << qint64(kSundayAfternoon) << "00:00:00";
    QTest::newRow("one second") << qint64(1) << qint64(kSundayAfternoon) << "14:07:30";
    QTest::newRow("seven seconds") << qint64(7) << qint64(kSundayAfternoon) << "14:07:24";
    // 2026-12-31 23:59:59
    QTest::newRow("end of year") << qint64(300) << qint64(1798761599) << "23:55:00";
    QTest::newRow("epoch") << qint64(300) << qint64(0) << "00:00:00";
    QTest::newRow("before the epoch") << qint64(300) << qint64(-1) << "23:55:00";
}

void TestDemoService::timeReply()
{
    QFETCH(qint64, period);
    QFETCH(qint64, now);
    QFETCH(QString, expected);

    const SignalService service(kSeed, period);
    const kelvo::demo::Reply reply = service.handle(kPath, timeQuery(), now);
    QCOMPARE(reply.body, expected);
    QCOMPARE(reply.outcome, QStringLiteral("time ") + expected);
}

void TestDemoService::timeMovesOnlyWhenAPeriodPasses_data()
{
    QTest::addColumn<qint64>("period");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("next");

    QTest::newRow("1 s") << qint64(1) << "14:07:30"
                         << "14:07:31";
    QTest::newRow("300 s") << qint64(300) << "14:05:00"
                           << "14:10:00";
    QTest::newRow("3600 s") << qint64(3600) << "14:00:00"
                            << "15:00:00";
}

void TestDemoService::timeMovesOnlyWhenAPeriodPasses()
{
    QFETCH(qint64, period);
    QFETCH(QString, current);
    QFETCH(QString, next);

    const SignalService service(kSeed, period);
    const std::int64_t start = kSundayAfternoon / period * period;
    QCOMPARE(service.handle(kPath, timeQuery(), start).body, current);
    QCOMPARE(service.handle(kPath, timeQuery(), start + period - 1).body, current);
    QCOMPARE(service.handle(kPath, timeQuery(), start + period).body, next);
}

void TestDemoService::signalLayout_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("s");
    QTest::addColumn<int>("fieldCount");

    QTest::newRow("daily") << "daily"
                           << "daily123"
                           << "1" << 4;
    QTest::newRow("hourly") << "hourly"
                            << "hourly123"
                            << "2" << 8;
    QTest::newRow("both, daily") << "demo"
                                 << "demo123"
                                 << "1" << 4;
    QTest::newRow("both, hourly") << "demo"
                                  << "demo123"
                                  << "2" << 8;
    QTest::newRow("both") << "demo"
                          << "demo123"
                          << "3" << 12;
}

void TestDemoService::signalLayout()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, s);
    QFETCH(int, fieldCount);

    static const QRegularExpression price(QStringLiteral("^\\d+\\.\\d{4}$"));
    const SignalService service(kSeed, 300);
    // Sample a stretch of periods, so that every position comes by.
    for (std::int64_t now = kSundayAfternoon; now < kSundayAfternoon + 40 * 300; now += 300) {
        const QString body = service.handle(kPath, signIn(user, password, s), now).body;
        const QStringList fields = fieldsOf(body);
        QCOMPARE(fields.size(), fieldCount);
        const QString start = service.handle(kPath, timeQuery(), now).body;
        for (int row = 0; row < fieldCount / 4; ++row) {
            const QString position = fields.at(4 * row);
            QVERIFY2(QStringList({"Long", "Short", "Flat"}).contains(position), qPrintable(body));
            // The signal carries the date and time of the latest update.
            QCOMPARE(fields.at(4 * row + 1),
                     QDateTime::fromSecsSinceEpoch(now / 300 * 300, QTimeZone::utc())
                         .toString(QStringLiteral("yyyy-MM-dd")));
            QCOMPARE(fields.at(4 * row + 2), start.left(5));
            QVERIFY2(price.match(fields.at(4 * row + 3)).hasMatch(), qPrintable(body));
            QVERIFY2(fields.at(4 * row + 3).toDouble() > 0.0, qPrintable(body));
        }
    }
}

void TestDemoService::bothSystemsJoinsTheHourlyAndDailyReplies()
{
    const SignalService service(kSeed, 300);
    for (std::int64_t now = kSundayAfternoon; now < kSundayAfternoon + 10 * 300; now += 300) {
        const QStringList both =
            fieldsOf(service.handle(kPath, signIn("demo", "demo123", "3"), now).body);
        const QString hourly = service.handle(kPath, signIn("demo", "demo123", "2"), now).body;
        const QString daily = service.handle(kPath, signIn("demo", "demo123", "1"), now).body;
        QCOMPARE(both.mid(0, 8).join(','), hourly);
        QCOMPARE(both.mid(8, 4).join(','), daily);
        // Another user with access sees the same market.
        QCOMPARE(service.handle(kPath, signIn("daily", "daily123", "1"), now).body, daily);
        QCOMPARE(service.handle(kPath, signIn("hourly", "hourly123", "2"), now).body, hourly);
    }
}

void TestDemoService::signalsStableWithinAPeriodAndChangeBetween_data()
{
    QTest::addColumn<QString>("s");
    QTest::newRow("daily") << "1";
    QTest::newRow("hourly") << "2";
    QTest::newRow("both") << "3";
}

void TestDemoService::signalsStableWithinAPeriodAndChangeBetween()
{
    QFETCH(QString, s);

    const qint64 period = 300;
    const SignalService service(kSeed, period);
    const std::int64_t first = kSundayAfternoon / period * period;
    QSet<QString> seen;
    for (int step = 0; step < 20; ++step) {
        const std::int64_t start = first + step * period;
        const QString body = service.handle(kPath, signIn("demo", "demo123", s), start).body;
        QVERIFY(!body.isEmpty());
        QCOMPARE(service.handle(kPath, signIn("demo", "demo123", s), start + period / 2).body,
                 body);
        QCOMPARE(service.handle(kPath, signIn("demo", "demo123", s), start + period - 1).body,
                 body);
        QVERIFY2(!seen.contains(body), qPrintable(body));
        seen.insert(body);
    }
}

void TestDemoService::positionsChangeNowAndThen_data()
{
    QTest::addColumn<SignalRow>("row");
    QTest::newRow("hourly regular") << SignalRow::HourlyRegular;
    QTest::newRow("hourly filtered") << SignalRow::HourlyFiltered;
    QTest::newRow("daily") << SignalRow::Daily;
}

void TestDemoService::positionsChangeNowAndThen()
{
    QFETCH(SignalRow, row);

    // A trial run should see real changes, but not a change at every update.
    const SignalService service(kSeed, 300);
    const std::int64_t first = service.periodIndex(kSundayAfternoon);
    const int periods = 600;
    int changes = 0;
    QSet<QString> positions;
    QString previous = service.signal(row, first).position;
    for (std::int64_t period = first + 1; period <= first + periods; ++period) {
        const QString position = service.signal(row, period).position;
        positions.insert(position);
        changes += position != previous ? 1 : 0;
        previous = position;
    }
    QCOMPARE(positions, (QSet<QString>{"Long", "Short", "Flat"}));
    QVERIFY2(changes > periods / 5 && changes < periods / 2, qPrintable(QString::number(changes)));
}

void TestDemoService::pricesWanderButStayPositive()
{
    for (std::uint64_t seed : {std::uint64_t(0), kSeed, ~std::uint64_t(0)}) {
        const SignalService service(seed, 60);
        QSet<QString> prices;
        double lowest = 1e9;
        for (std::int64_t period = 0; period < 2000; ++period) {
            const QString price = service.signal(SignalRow::Daily, period).entryPrice;
            prices.insert(price);
            lowest = std::min(lowest, price.toDouble());
        }
        QVERIFY2(lowest > 0.5, qPrintable(QString::number(lowest)));
        QVERIFY2(prices.size() > 50, qPrintable(QString::number(prices.size())));
    }
}

void TestDemoService::seedSelectsTheSeries()
{
    const SignalService one(kSeed, 300);
    const SignalService same(kSeed, 300);
    const SignalService other(kSeed + 1, 300);
    QString oneSeries, sameSeries, otherSeries;
    for (std::int64_t now = kSundayAfternoon; now < kSundayAfternoon + 20 * 300; now += 300) {
        oneSeries += one.handle(kPath, signIn("demo", "demo123", "3"), now).body + '\n';
        sameSeries += same.handle(kPath, signIn("demo", "demo123", "3"), now).body + '\n';
        otherSeries += other.handle(kPath, signIn("demo", "demo123", "3"), now).body + '\n';
    }
    QCOMPARE(sameSeries, oneSeries);
    QVERIFY(otherSeries != oneSeries);
}

void TestDemoService::sameRowsOnEveryPlatform()
{
    // The rows are fixed by the seed and the generator alone; a change here
    // means every recorded trial run now sees different signals.
    const SignalService service(kSeed, 300);
    QCOMPARE(service.handle(kPath, signIn("demo", "demo123", "3"), kSundayAfternoon).body,
             QStringLiteral("Long,2026-12-06,14:05,1.0848,"
                            "Short,2026-12-06,14:05,1.0809,"
                            "Long,2026-12-06,14:05,1.0907"));
}

void TestDemoService::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("usable");
    QTest::addColumn<int>("port");
    QTest::addColumn<qint64>("period");
    QTest::addColumn<quint64>("seed");

    const quint64 defaultSeed = 20261206;
    QTest::newRow("defaults") << QStringList{} << true << 8421 << qint64(300) << defaultSeed;
    QTest::newRow("all three") << QStringList{"--port", "0", "--period", "1", "--seed", "7"} << true
                               << 0 << qint64(1) << quint64(7);
    QTest::newRow("any order") << QStringList{"--seed", "18446744073709551615", "--port", "65535"}
                               << true << 65535 << qint64(300) << quint64(18446744073709551615ULL);
    QTest::newRow("one day") << QStringList{"--period", "86400"} << true << 8421 << qint64(86400)
                             << defaultSeed;
    const std::pair<const char*, QStringList> unusable[] = {
        {"port too large", {"--port", "65536"}},
        {"negative port", {"--port", "-1"}},
        {"port not a number", {"--port", "http"}},
        {"period zero", {"--period", "0"}},
        {"period over a day", {"--period", "86401"}},
        {"seed too large", {"--seed", "18446744073709551616"}},
        {"value missing", {"--port"}},
        {"unknown option", {"--host", "0.0.0.0"}},
        {"bare value", {"8421"}},
    };
    for (const auto& [name, arguments] : unusable)
        QTest::newRow(name) << arguments << false << 0 << qint64(0) << quint64(0);
}

void TestDemoService::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, usable);
    QFETCH(int, port);
    QFETCH(qint64, period);
    QFETCH(quint64, seed);

    const kelvo::demo::ParsedOptions parsed = kelvo::demo::parseOptions(arguments);
    QVERIFY(!parsed.help);
    QCOMPARE(parsed.error.isEmpty(), usable);
    if (usable) {
        QCOMPARE(parsed.options.port, port);
        QCOMPARE(qint64(parsed.options.period), period);
        QCOMPARE(quint64(parsed.options.seed), seed);
    }
}

void TestDemoService::realServiceOverHttp()
{
    QProcess service;
    service.setProgram(QStringLiteral(KELVO_DEMO_SERVICE_BINARY));
    service.setArguments({"--port", "0", "--period", "1"});
    service.start();
    QVERIFY2(service.waitForStarted(20000), qPrintable(service.errorString()));
    const auto stopForSure = qScopeGuard([&service] {
        if (service.state() != QProcess::NotRunning) {
            service.kill();
            service.waitForFinished(20000);
        }
    });

    QTRY_VERIFY_WITH_TIMEOUT(service.canReadLine(), 20000);
    const QString firstLine = QString::fromUtf8(service.readLine());
    const QRegularExpressionMatch listening =
        QRegularExpression(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+)\\n$"))
            .match(firstLine);
    QVERIFY2(listening.hasMatch(), qPrintable(firstLine));
    const int port = listening.captured(1).toInt();
    QVERIFY(port > 0 && port < 65536);

    QNetworkAccessManager network;
    network.setProxy(QNetworkProxy::NoProxy);
    const QByteArray base =
        "http://127.0.0.1:" + QByteArray::number(port) + "/software/ProgSignals.php?";
    const auto get = [&](const QByteArray& query) {
        return httpGet(network, QUrl::fromEncoded(base + query, QUrl::StrictMode));
    };

    const QByteArray password = QUrl::toPercentEncoding(encodePassword(QStringLiteral("demo123")));
    QVERIFY2(password.contains("%24"), password.constData());

    const std::optional<HttpResult> accepted = get("u=demo&p=" + password + "&s=1");
    QVERIFY(accepted);
    QCOMPARE(accepted->status, 200);
    QCOMPARE(fieldsOf(accepted->body).size(), 4);

    // The client's own address builder reaches the same reply.
    const QUrl clientLogin = kelvo::protocol::loginUrl(
        QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port)), QStringLiteral("demo"),
        encodePassword(QStringLiteral("demo123")), kelvo::protocol::BothSystems);
    const std::optional<HttpResult> viaClient = httpGet(network, clientLogin);
    QVERIFY(viaClient);
    QVERIFY(!viaClient->body.isEmpty());

    const QByteArray wrong = QUrl::toPercentEncoding(encodePassword(QStringLiteral("demo124")));
    const std::optional<HttpResult> refused = get("u=demo&p=" + wrong + "&s=1");
    QVERIFY(refused);
    QCOMPARE(refused->status, 200);
    QCOMPARE(refused->body, QString());

    const std::optional<HttpResult> firstTime = get("a=1");
    QVERIFY(firstTime);
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"))
                 .match(firstTime->body)
                 .hasMatch(),
             qPrintable(firstTime->body));
    const auto timeMovedOn = [&] {
        const std::optional<HttpResult> now = get("a=1");
        return now && !now->body.isEmpty() && now->body != firstTime->body;
    };
    QTRY_VERIFY_WITH_TIMEOUT(timeMovedOn(), 30000);

    service.terminate();
    QVERIFY(service.waitForFinished(20000));
    QCOMPARE(service.exitStatus(), QProcess::NormalExit);
    QCOMPARE(service.exitCode(), 0);

    // One log line per request, with the target and what came of it.
    const QString log = QString::fromUtf8(service.readAllStandardOutput());
    QVERIFY2(log.contains(QStringLiteral("/software/ProgSignals.php?a=1")), qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("time ") + firstTime->body), qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("refused")), qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("u=demo s=1")), qPrintable(log));
}

QTEST_GUILESS_MAIN(TestDemoService)
#include "tst_demoservice.moc"
