// The rules of the update schedule: the time shown in the chosen zone, the
// next check, and when a check is due.

#include "schedule/schedulerules.h"

#include <QTest>
#include <QTimeZone>

using namespace kelvo::schedule;

namespace {

const QDate kDay(2026, 3, 2);

QDateTime utcAt(int hour, int minute, int second = 0, QDate day = kDay)
{
    return QDateTime(day, QTime(hour, minute, second), QTimeZone::utc());
}

} // namespace

class TestSchedule : public QObject {
    Q_OBJECT
private slots:
    void convertToZone_data();
    void convertToZone();
    void nextCheck_data();
    void nextCheck();
};

void TestSchedule::convertToZone_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("zone");
    QTest::addColumn<QString>("shown");
    const auto row = [](const char* name, const char* raw, const char* zone, const char* shown) {
        QTest::newRow(name) << QString::fromUtf8(raw) << QString::fromUtf8(zone)
                            << QString::fromUtf8(shown);
    };
    row("+05 wraps past midnight", "22:00:05", "+05", "03:00:05");
    row("-03 wraps back", "02:30:00", "-03", "23:30:00");
    row("+12 reaches 24 exactly", "12:00:00", "+12", "00:00:00");
    row("-12 early", "00:00:00", "-12", "12:00:00");
    row("one-digit zone", "14:58:20", "-7", "07:58:20");
    row("no zone selected", "14:58:20", "", "14:58:20");
    row("zone beyond +12 counts as 0", "14:58:20", "+13", "14:58:20");
    row("line break after the time", "07:05:09\r\n", "+02", "09:05:09");
    row("cut to 8", "14:58:20 and more", "+01", "15:58:20");
    row("hour 24 is not shifted", "24:00:00", "+01", "24:00:00");
    row("error page", "<html><body>503</body></html>", "+0", "<html><b");
    row("line break inside", "Err or\r\nmore", "+01", "Error");
}

void TestSchedule::convertToZone()
{
    QFETCH(QString, raw);
    QFETCH(QString, zone);
    QFETCH(QString, shown);
    QCOMPARE(kelvo::schedule::convertToZone(raw, zone), shown);
}

// The next check, from the ladder after a poll that brought nothing new and
// at minute 58 after a change; and that it falls due at its minute, as a
// moment, whatever the wall clock reads then. (The days of the polling
// test cross the changes of daylight saving.)
void TestSchedule::nextCheck_data()
{
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("due");

    // minute now -> minute of the next check (60: minute 0 of the next hour)
    const QList<std::pair<int, int>> ladder = {{0, 0},   {2, 2},   {3, 4},   {4, 5},   {5, 10},
                                               {9, 10},  {10, 15}, {14, 15}, {15, 20}, {19, 20},
                                               {20, 30}, {29, 30}, {30, 40}, {39, 40}, {40, 50},
                                               {49, 50}, {50, 58}, {57, 58}, {58, 59}, {59, 60}};
    for (const auto& [minute, next] : ladder) {
        QTest::addRow("ladder at 14:%02d", minute)
            << false << utcAt(14, minute, 37).addMSecs(250)
            << QTime(14 + next / 60, next % 60).toString(QStringLiteral("HH:mm:ss"))
            << utcAt(14 + next / 60, next % 60);
    }
    QTest::newRow("ladder past midnight")
        << false << utcAt(23, 59, 30) << "00:00:00" << utcAt(0, 0, 0, kDay.addDays(1));
    QTest::newRow("change at 00:10") << true << utcAt(0, 10, 45) << "00:58:00" << utcAt(0, 58);
    QTest::newRow("change at 14:58") << true << utcAt(14, 58, 45) << "14:58:00" << utcAt(14, 58);
    QTest::newRow("change at 23:59") << true << utcAt(23, 59, 45) << "23:58:00" << utcAt(23, 58);
}

void TestSchedule::nextCheck()
{
    QFETCH(bool, changed);
    QFETCH(QDateTime, now);
    QFETCH(QString, text);
    QFETCH(QDateTime, due);
    const NextCheck check = changed ? nextCheckAfterChange(now) : nextCheckByLadder(now);
    QCOMPARE(check.text, text);
    QCOMPARE(check.due.toUTC(), due);
    QCOMPARE(isCheckDue(now, check.due), due <= now);
    QVERIFY(isCheckDue(due.addSecs(59).toTimeZone(now.timeZone()), check.due));
    QVERIFY(isCheckDue(due.addDays(1), check.due));
    QVERIFY(!isCheckDue(due.addSecs(-1), check.due));
    QVERIFY(isCheckDue(now, std::nullopt));
}

QTEST_APPLESS_MAIN(TestSchedule)
#include "tst_schedule.moc"
