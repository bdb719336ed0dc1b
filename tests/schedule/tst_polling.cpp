// Unattended polling, tick by tick on the clock double against a real HTTP
// server: through days whose data moves on at random minutes and across the
// changes of daylight saving, and through each kind of network or service
// fault. Polling never stops, nobody is pestered, every check that reaches
// the service brings its latest signals, and the export files keep their
// last good line while the service is in trouble. Each change, silence and
// return reaches the phone services once, in order, and the journal, while
// a phone service that is down holds nothing up.

#include "testserver.h"
#include "testsupport.h"

#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTimeZone>

using namespace kelvo;
using kelvo::test::Answer;
Q_DECLARE_METATYPE(kelvo::test::Answer)

namespace {

constexpr int kTimeoutMs = 500;

// Every version of the data holds other positions.
QByteArray signalsOf(int version)
{
    const QByteArray v = QByteArray::number(version);
    return "Long" + v + ",d,t,1." + v + ",Flat,d,t,2." + v + ",Short" + v + ",d,t,3." + v;
}

// The start of the daily file's line for that version.
QByteArray dailyLine(int version)
{
    const QByteArray v = QByteArray::number(version);
    return "Short" + v + ",d,t,3." + v;
}

} // namespace

class TestPolling : public QObject {
    Q_OBJECT
private slots:
    void polling_data();
    void polling();
};

void TestPolling::polling_data()
{
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<int>("faultMinutes");  // then the service is back
    QTest::addColumn<Answer>("timeAnswer"); // in trouble; status 0: the right answer
    QTest::addColumn<Answer>("signalAnswer");
    QTest::addColumn<int>("hours"); // of moving data after the fault
    const QTimeZone berlin("Europe/Berlin");
    const QDateTime morning(QDate(2026, 3, 2), QTime(9, 0, 5), QTimeZone::utc());
    const Answer right({}, 0);
    QTest::newRow("a day") << morning << 0 << right << right << 26;
    QTest::newRow("spring forward")
        << QDateTime(QDate(2026, 3, 28), QTime(9, 0, 5), berlin) << 0 << right << right << 26;
    QTest::newRow("fall back") << QDateTime(QDate(2026, 10, 24), QTime(9, 0, 5), berlin) << 0
                               << right << right << 26;
    // A failed time request leaves a due check, so the client asks again
    // every ten seconds; where each attempt waits for the time-out, a minute
    // makes the point.
    const auto fault = [&](const char* name, const Answer& timeAnswer, const Answer& signalAnswer,
                           int minutes = 10) {
        QTest::newRow(name) << morning << minutes << timeAnswer << signalAnswer << 1;
    };
    const QByteArray page = "<html><body>Bad gateway, try, again, later</body></html>";
    fault("service down", right, right);
    fault("HTTP 500 with a time", Answer("10:00:00", 500), right);
    fault("HTTP 500 with signals", right, Answer(signalsOf(1), 500));
    // A transfer that never ends by itself ends at its deadline, a failure
    // like any other: the next check goes out, and after five minutes the
    // window says so.
    fault("time trickles", Answer::Trickle, right, 6);
    fault("signals trickle", right, Answer::Trickle, 1);
    fault("time's headers never end", Answer::EndlessHeaders, right, 1);
    fault("signals' headers never end", right, Answer::EndlessHeaders, 1);
    fault("time never answered", Answer::Silent, right, 1);
    fault("error page as time", page, right);
    fault("error page as signals", right, page);
    QTest::newRow("phone service down") << morning << 0 << right << right << 3;
}

void TestPolling::polling()
{
    QFETCH(QDateTime, start);
    QFETCH(int, faultMinutes);
    QFETCH(Answer, timeAnswer);
    QFETCH(Answer, signalAnswer);
    QFETCH(int, hours);
    test::TestServer service;
    QVERIFY(service.start());
    int version = 0;
    const auto publish = [&](const QDateTime& at) {
        service.setTime(at.toUTC().toString(QStringLiteral("HH:mm:ss")).toLatin1());
        service.setSignals(signalsOf(version));
    };
    publish(start.addSecs(-600));
    test::SessionFixture f(service.url(), {.deadlineMs = kTimeoutMs});
    f.clock->current = start;
    f.signIn(3);
    service::Session& session = f.session();
    // ntfy and Telegram, both on one server of their own.
    test::TestServer phone;
    QVERIFY(phone.start());
    session.phoneAlerts().setTelegramApi(phone.url());
    session.phoneAlerts().setTargets({phone.url().toString() + "/t", "", "1:ab", "42"});
    const bool phoneDown = QByteArray(QTest::currentDataTag()).contains("phone");
    if (phoneDown)
        phone.stop();
    QStringList told;
    QObject::connect(&session, &service::Session::positionsChanged,
                     [&](const auto& previous, const auto& current, bool first) {
                         if (!first)
                             told.append(alerts::changeLines(previous, current).join('\n'));
                     });
    // Nothing the session does while polling is for a box that waits for a click.
    int boxes = 0;
    for (const auto failed : {&config::Settings::repaired, &config::Settings::saveFailed,
                              &config::Settings::folderMissing})
        QObject::connect(&session.settings(), failed, [&] { ++boxes; });
    QObject::connect(&session, &service::Session::autoStartFailed, [&] { ++boxes; });
    QSignalSpy silenced(&session, &service::Session::silenceStarted);
    QSignalSpy answering(&session, &service::Session::answeringAgain);
    QObject::connect(&session, &service::Session::silenceStarted, [&](const QDateTime& since) {
        told.append(alerts::silenceMessage(since).text);
    });
    QObject::connect(&session, &service::Session::answeringAgain,
                     [&](const QDateTime& since, qint64 s) {
                         told.append(alerts::answeringMessage(since, since.addSecs(s)).text);
                     });
    QVERIFY(f.runFor(30));
    const QByteArray goodDaily = f.exported(QStringLiteral("Kelvo-Daily.csv"));
    QVERIFY2(goodDaily.startsWith(dailyLine(0) + ','), goodDaily);

    // Two hours on a check is due, and the service's data moves on while it
    // is in trouble.
    f.clock->current = f.clock->current.addSecs(2 * 3600);
    ++version;
    publish(f.clock->current);
    if (faultMinutes) {
        const bool down = timeAnswer.status == 0 && signalAnswer.status == 0;
        if (down)
            service.stop();
        if (timeAnswer.status)
            service.setTime(timeAnswer);
        if (signalAnswer.status)
            service.setSignals(signalAnswer);
        const int asked = service.timeRequests();
        QVERIFY(f.runFor(faultMinutes * 60));
        QVERIFY(down || service.timeRequests() > asked + faultMinutes);
        QCOMPARE(f.exported(QStringLiteral("Kelvo-Daily.csv")), goodDaily);
        QVERIFY(!session.nextCheckText().isEmpty());
        // After five minutes of failed checks the session tells, once, since
        // when the service is silent: since its last good answer.
        const bool silent = faultMinutes >= 5;
        QCOMPARE(session.silentSince().has_value(), silent);
        const QString since = QStringLiteral("No answer from the service since ") +
                              start.addSecs(30).toString(QStringLiteral("HH:mm"));
        QCOMPARE(silenced.size(), int(silent));
        QVERIFY(!silent || schedule::noAnswerText(silenced.at(0).at(0).toDateTime()) == since);
        QVERIFY(!down || service.start(service.port()));
        publish(f.clock->current);
    }

    // The moments at which the data moves on: one at a random minute of
    // every hour, and for a day, a burst around its first midnight.
    QRandomGenerator random(20261206);
    QList<QDateTime> moves;
    for (int hour = 0; hour < hours; ++hour)
        moves.append(f.clock->current.addSecs(hour * 3600 + random.bounded(3600)));
    const QDateTime midnight(start.date().addDays(1), QTime(0, 0), start.timeZone());
    for (int offset : {-120, -55, -8, 30, 75, 125}) {
        if (hours > 24)
            moves.append(midnight.addSecs(offset));
    }
    std::sort(moves.begin(), moves.end());

    QDateTime lastCheck = f.clock->current;
    qint64 longestGap = 0;
    const QDateTime end = f.clock->current.addSecs(hours * 3600);
    while (f.clock->current < end) {
        for (; !moves.isEmpty() && moves.first() <= f.clock->current; moves.removeFirst()) {
            ++version;
            publish(moves.first());
        }
        const int timeRequests = service.timeRequests();
        QVERIFY(f.runFor(1));
        if (service.timeRequests() == timeRequests)
            continue;
        longestGap = qMax(longestGap, lastCheck.secsTo(f.clock->current));
        lastCheck = f.clock->current;
        // Every check sees the latest data.
        QCOMPARE(session.rows().at(2).cells.at(3), QStringLiteral("3.%1").arg(version));
    }
    QVERIFY2(longestGap <= 3600, qPrintable(QString::number(longestGap)));
    QVERIFY(lastCheck.secsTo(end) <= 3600);
    const QByteArray daily = f.exported(QStringLiteral("Kelvo-Daily.csv"));
    QVERIFY2(daily.startsWith(dailyLine(version) + ','), daily);
    QVERIFY(session.alarm().isOn());
    // Answering again ends the silence, and says how long it lasted.
    QVERIFY(!session.silentSince());
    QCOMPARE(answering.size(), silenced.size());
    QVERIFY(answering.isEmpty() || answering.at(0).at(1).toLongLong() >= 5 * 60);
    QCOMPARE(boxes, 0);
    // Each told once, in order, to each service, and written in the journal.
    QStringList ntfy, telegram;
    for (const auto& request : phone.requests()) {
        if (request.target == "/t")
            ntfy.append(QString::fromUtf8(request.body));
        else
            telegram.append(
                QJsonDocument::fromJson(request.body)["text"].toString().section('\n', 1));
    }
    QCOMPARE(ntfy, phoneDown ? QStringList() : told);
    QCOMPARE(telegram, ntfy);
    QFile file(session.journal().path());
    QStringList events;
    for (const auto& entry :
         service::parseJournal(file.open(QIODevice::ReadOnly) ? file.readAll() : ""))
        events.append(entry.event);
    QCOMPARE(events.count("silent") + events.count("answering"),
             silenced.size() + answering.size());
    QCOMPARE(events.contains("alert_failed"), phoneDown);
    QVERIFY(events.count("change") >= told.size() - silenced.size() - answering.size());
}

QTEST_MAIN(TestPolling)
#include "tst_polling.moc"
