// Phone alerts: which targets the dialog takes, the messages' texts, and
// their delivery to a real HTTP server standing in for ntfy and Telegram,
// second by second on the clock double: tried again on the schedule, after
// what a 429 asks, never twice once taken, in order, at most 50 waiting.

#include "alerts/phonealerts.h"
#include "testserver.h"
#include "testsupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

using namespace kelvo;
using alerts::AlertTargets;
using kelvo::test::Answer;
Q_DECLARE_METATYPE(kelvo::test::Answer)
Q_DECLARE_METATYPE(kelvo::alerts::AlertTargets)

class TestPhone : public QObject {
    Q_OBJECT
private slots:
    void targets_data();
    void targets();
    void texts();
    void delivery_data();
    void delivery();
};

void TestPhone::targets_data()
{
    QTest::addColumn<AlertTargets>("targets");
    QTest::addColumn<int>("problems");
    QTest::addColumn<int>("notes");
    const auto row = [](const char* name, QStringList four, int problems, int notes = 0) {
        four.resize(4);
        QTest::newRow(name) << AlertTargets{four[0], four[1], four[2], four[3]} << problems
                            << notes;
    };
    const QString topic = QStringLiteral("https://ntfy.sh/my-secret-topic");
    row("none", {}, 0);
    row("ntfy with a token", {topic, "tk_abc"}, 0);
    row("ntfy with user:password", {topic, "ann:pa ss"}, 0);
    row("a home server over http", {"http://192.168.1.5:8080/alerts"}, 0, 1);
    row("no scheme", {"ntfy.sh/topic"}, 1);
    row("not http", {"ftp://ntfy.sh/topic"}, 1);
    row("a token without a topic", {"", "tk_abc"}, 1);
    row("a line break in the token", {topic, "tk_abc\r\nX-Evil: 1"}, 1);
    row("Telegram", {"", "", "123456:AA-bb_9", "-1001234567"}, 0);
    row("a bot token alone", {"", "", "123456:AAbb", ""}, 1);
    row("a chat ID that is no number", {"", "", "123456:AAbb", "@channel"}, 1);
    row("a token that leaves its path", {"", "", "123:ab/../../x", "42"}, 1);
}

void TestPhone::targets()
{
    QFETCH(AlertTargets, targets);
    QFETCH(int, problems);
    QFETCH(int, notes);
    const alerts::TargetsCheck check = alerts::checkTargets(targets);
    QCOMPARE(check.problems.size(), problems);
    QCOMPARE(check.notes.size(), notes);
    // What the store keeps reads back the same.
    if (!problems)
        QCOMPARE(alerts::fromSecret(alerts::toSecret(targets)), targets);
}

void TestPhone::texts()
{
    const auto rows = [](const QString& hourly, const QString& daily) {
        return service::SignalRows{{"Hourly Regular", {hourly, "2026-12-07", "16:00", "1.0790"}},
                                   {"Daily System", {daily, "2026-12-07", "17:00", "1.0801"}}};
    };
    QCOMPARE(alerts::changeLines(rows("Long", "Long"), rows("Long", "Short")),
             QStringList{"Daily System: Long -> Short at 1.0801 (2026-12-07 17:00)"});
    QCOMPARE(alerts::changeLines(rows("Flat", "Long"), rows("Short", "Flat")).size(), 2);
    const QDateTime since(QDate(2026, 12, 7), QTime(14, 5));
    QCOMPARE(alerts::silenceMessage(since).text,
             QStringLiteral("No answer from the signal service since 14:05. The export files "
                            "are not being updated."));
    QCOMPARE(alerts::answeringMessage(since, since.addSecs(27 * 60)).text,
             QStringLiteral("The signal service answers again (silent 14:05-14:32)."));
    QCOMPARE(alerts::titlePrefix("Desk 2", true) + alerts::titlePrefix("Desk 2", false),
             QStringLiteral("Kelvo-Rozevid (Desk 2)Kelvo-Rozevid"));
    QCOMPARE(alerts::headerText(QStringLiteral("Zürich")), QByteArray("=?UTF-8?B?WsO8cmljaA==?="));
}

void TestPhone::delivery_data()
{
    QTest::addColumn<QList<Answer>>("answers"); // the server's, one a try; none: it is down
    QTest::addColumn<bool>("telegram");         // else ntfy
    QTest::addColumn<int>("messages");
    QTest::addColumn<QList<int>>("tries"); // the seconds at which each try ended
    QTest::addColumn<int>("delivered");
    QTest::addColumn<int>("dropped");
    const Answer ok("{\"ok\":true}");
    const auto row = [](const char* name, QList<Answer> answers, QList<int> tries, int delivered,
                        int dropped, bool telegram = false, int messages = 1) {
        QTest::newRow(name) << answers << telegram << messages << tries << delivered << dropped;
    };
    row("ntfy takes it at once", {ok}, {0}, 1, 0);
    row("Telegram takes it at once", {ok}, {0}, 1, 0, true);
    Answer busy("", 429);
    busy.retryAfter = "5";
    row("429 waits as long as Retry-After says", {busy, ok}, {0, 5}, 1, 0);
    row("429 waits as long as retry_after says",
        {Answer("{\"ok\":false,\"parameters\":{\"retry_after\":7}}", 429), ok}, {0, 7}, 1, 0, true);
    row("5xx: 30 s, then 2 min", {Answer("", 502), Answer("", 500), ok}, {0, 30, 150}, 1, 0);
    row("down: 30 s, 2 min, 10 min, then given up", {}, {0, 30, 150, 750}, 0, 1);
    row("a refused token is given up at once", {Answer("", 401)}, {0}, 0, 1, true);
    row("52 waiting: the two oldest give way", {ok}, {}, 50, 2, false, 52);
}

void TestPhone::delivery()
{
    QFETCH(QList<Answer>, answers);
    QFETCH(bool, telegram);
    QFETCH(int, messages);
    QFETCH(QList<int>, tries);
    QFETCH(int, delivered);
    QFETCH(int, dropped);
    test::TestServer server;
    QVERIFY(server.start());
    if (answers.isEmpty())
        server.stop();
    auto clock = std::make_shared<test::FakeClock>();
    const QDateTime start = clock->current;
    alerts::PhoneAlerts phone(clock, curlTransfers());
    phone.setTelegramApi(server.url());
    phone.setTargets(telegram ? AlertTargets{"", "", "1:ab", "42"}
                              : AlertTargets{server.url().toString() + "/topic", "tk_1", "", ""});
    QList<int> ended;
    const auto end = [&] { ended.append(start.secsTo(clock->current)); };
    connect(&phone, &alerts::PhoneAlerts::delivered, this, end);
    connect(&phone, &alerts::PhoneAlerts::sendFailed, this, end);
    connect(&phone, &alerts::PhoneAlerts::dropped, this, end);
    QSignalSpy took(&phone, &alerts::PhoneAlerts::delivered);
    QSignalSpy gaveUp(&phone, &alerts::PhoneAlerts::dropped);
    // The answer to the next try, set before it can reach the server.
    const auto answerNext = [&] {
        server.setSignals(answers.value(server.requests().size(), answers.value(0)));
    };
    const auto settle = [&] {
        for (answerNext(); phone.busy(); answerNext())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    };
    answerNext();
    for (int i = 0; i < messages; ++i)
        phone.send({"Positions changed", QString::number(i), true, "bell"});
    for (int second = 1; second <= 800; ++second) {
        settle();
        clock->current = start.addSecs(second);
        phone.tick(clock->current);
    }
    settle();
    QCOMPARE(took.size(), delivered);
    QCOMPARE(gaveUp.size(), dropped);
    const auto requests = server.requests();
    if (messages > 1) {
        // In order, but for the two oldest that waited.
        QCOMPARE(requests.size(), delivered);
        QCOMPARE(requests.at(0).body, QByteArray("0"));
        QCOMPARE(requests.at(1).body, QByteArray("3"));
        QCOMPARE(requests.last().body, QByteArray::number(messages - 1));
        return;
    }
    QCOMPARE(ended, tries);
    if (answers.isEmpty())
        return;
    const auto& first = requests.first();
    QCOMPARE(first.method, QByteArray("POST"));
    if (telegram) {
        QCOMPARE(first.target, QByteArray("/bot1:ab/sendMessage"));
        const QJsonObject json = QJsonDocument::fromJson(first.body).object();
        QCOMPARE(json.value("chat_id").toInteger(), 42);
        QCOMPARE(json.value("text").toString(),
                 QStringLiteral("Kelvo-Rozevid: Positions changed\n0"));
        return;
    }
    QCOMPARE(first.target, QByteArray("/topic"));
    QCOMPARE(first.body, QByteArray("0"));
    QCOMPARE(first.headers.find("Title")->second, "Kelvo-Rozevid: Positions changed");
    QCOMPARE(first.headers.find("Priority")->second, "high");
    QCOMPARE(first.headers.find("Authorization")->second, "Bearer tk_1");
}

QTEST_MAIN(TestPhone)
#include "tst_phone.moc"
