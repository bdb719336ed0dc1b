// A day and two hours of unattended polling, driven tick by tick on the
// clock double against a service whose data moves on at random minutes.

#include "fakeservice.h"
#include "formfixture.h"

#include <QRandomGenerator>
#include <QTest>
#include <QTimeZone>

using namespace kelvo;
using namespace kelvo::test;

class TestSimulatedDay : public QObject {
    Q_OBJECT
private slots:
    void pollingNeverStops_data();
    void pollingNeverStops();
};

void TestSimulatedDay::pollingNeverStops_data()
{
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<int>("hours");
    const QTimeZone berlin("Europe/Berlin");
    QTest::newRow("utc") << QDateTime(QDate(2026, 3, 2), QTime(9, 0, 5), QTimeZone::utc()) << 26;
    QTest::newRow("spring forward") << QDateTime(QDate(2026, 3, 28), QTime(9, 0, 5), berlin) << 26;
    QTest::newRow("fall back") << QDateTime(QDate(2026, 10, 24), QTime(9, 0, 5), berlin) << 26;
}

void TestSimulatedDay::pollingNeverStops()
{
    QFETCH(QDateTime, start);
    QFETCH(int, hours);

    // The moments at which the service's data moves on: one at a random
    // minute of every hour, and a burst around the first midnight.
    QRandomGenerator random(20261206);
    QList<QDateTime> moves;
    for (int hour = 0; hour < hours; ++hour) {
        moves.append(start.addSecs(hour * 3600 + random.bounded(3600)));
    }
    const QDateTime midnight(start.date().addDays(1), QTime(0, 0), start.timeZone());
    for (int offset : {-120, -55, -8, 30, 75, 125})
        moves.append(midnight.addSecs(offset));
    std::sort(moves.begin(), moves.end());

    FakeService service;
    QVERIFY(service.start());
    int version = 0;
    auto publish = [&](const QDateTime& at) {
        service.setTime(at.toUTC().toString(QStringLiteral("HH:mm:ss")).toLatin1());
        service.setSignals(QByteArray(version % 2 ? "Long" : "Short") + ",2026-03-02,10:00,1." +
                           QByteArray::number(version));
    };
    publish(start.addSecs(-600));

    FormFixture f(service.url());
    f.fakes.clock->current = start;
    f.signIn(1);

    QDateTime lastTimeRequest = start;
    qint64 longestGap = 0;
    int timeRequests = 0;
    const QDateTime end = start.addSecs(hours * 3600);
    qsizetype nextMove = 0;
    int second = 0;
    while (f.fakes.clock->current < end) {
        f.fakes.clock->advance(1);
        const QDateTime now = f.fakes.clock->current;
        while (nextMove < moves.size() && moves.at(nextMove) <= now) {
            ++version;
            publish(moves.at(nextMove++));
        }
        f.timer().fire();
        if (++second % 10 == 0)
            f.checkTimer().fire();
        if (!f.form->updateCycleWaiting())
            continue;
        QVERIFY(f.waitUntilIdle());
        QVERIFY(service.timeRequests() > timeRequests);
        timeRequests = service.timeRequests();
        longestGap = qMax(longestGap, lastTimeRequest.secsTo(now));
        lastTimeRequest = now;
        // Every check that runs sees the latest data: a move is fetched at
        // the first check after it.
        QCOMPARE(f.form->FGrid->TextMatrix(1, 4), QStringLiteral("1.%1").arg(version));
    }

    QCOMPARE(nextMove, moves.size());
    QVERIFY2(longestGap <= 3600, qPrintable(QString::number(longestGap)));
    QVERIFY2(lastTimeRequest.secsTo(end) <= 3600, qPrintable(lastTimeRequest.toString()));
    // Never more than one signal request per move, and one for the start.
    QVERIFY(service.signalRequests() <= moves.size() + 1);
    QVERIFY(timeRequests >= hours * 10);
}

QTEST_MAIN(TestSimulatedDay)
#include "tst_simulatedday.moc"
