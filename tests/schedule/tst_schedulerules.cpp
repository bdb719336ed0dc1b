#include "schedule/schedulerules.h"

#include <QRandomGenerator>
#include <QTest>
#include <QTimeZone>
#include <optional>

using namespace kelvo::schedule;
using namespace Qt::StringLiterals;

namespace {

const QDate kDay(2026, 3, 2);

QDateTime utcAt(QDate date, int hour, int minute, int second = 0, int msec = 0)
{
    return QDateTime(date, QTime(hour, minute, second, msec), QTimeZone::utc());
}

QDateTime utcAt(int hour, int minute, int second = 0, int msec = 0)
{
    return utcAt(kDay, hour, minute, second, msec);
}

// Daylight saving in Berlin, 2026: on 29 March the clocks go from 02:00 CET to
// 03:00 CEST (01:00 UTC); on 25 October from 03:00 CEST back to 02:00 CET
// (01:00 UTC), so 02:00-02:59 comes twice.
const QByteArray kBerlin = "Europe/Berlin";
const QDate kSpringForward(2026, 3, 29);
const QDate kFallBack(2026, 10, 25);

enum Rule { Ladder, AfterChange };

NextCheck applyRule(int rule, const QDateTime& now)
{
    return rule == Ladder ? nextCheckByLadder(now) : nextCheckAfterChange(now);
}

} // namespace

class TestScheduleRules : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void elimSpaces_data();
    void elimSpaces();
    void convertToZone_data();
    void convertToZone();
    void convertToZoneSurvivesGarbage();
    void nextCheck_data();
    void nextCheck();
    void checkDue_data();
    void checkDue();
};

void TestScheduleRules::initTestCase()
{
    QVERIFY2(QTimeZone(kBerlin).isValid(), "the time-zone database lacks Europe/Berlin");
}

void TestScheduleRules::elimSpaces_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("blanks everywhere") << u" 1 4 : 5 8 : 0 0 "_s << u"14:58:00"_s;
    QTest::newRow("tabs and line breaks stay") << u"\t14: 58\t\r\n"_s << u"\t14:58\t\r\n"_s;
}

void TestScheduleRules::elimSpaces()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(ElimSpaces(text), expected);
}

void TestScheduleRules::convertToZone_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("zone");
    QTest::addColumn<QString>("expected");

    const auto row = [](const char* name, const char* raw, const char* zone, const char* shown) {
        QTest::newRow(name) << QString::fromUtf8(raw) << QString::fromUtf8(zone)
                            << QString::fromUtf8(shown);
    };
    row("+05 wraps past midnight", "22:00:05", "+05", "03:00:05");
    row("-03 wraps back", "02:30:00", "-03", "23:30:00");
    row("+12 reaches 24 exactly", "12:00:00", "+12", "00:00:00");
    row("+12 late", "23:59:59", "+12", "11:59:59");
    row("-12 early", "00:00:00", "-12", "12:00:00");
    row("no zone selected", "14:58:20", "", "14:58:20");
    row("zone beyond +12 counts as 0", "14:58:20", "+13", "14:58:20");
    row("zone with a letter counts as 0", "14:58:20", "+1a", "14:58:20");
    row("one-digit zone", "14:58:20", "-7", "07:58:20");
    row("line break after the time", "07:05:09\r\n", "+02", "09:05:09");
    row("longer reply cut to 8", "14:58:20 and more", "+0", "14:58:20");
    row("blank inside the minutes", "14:5 8:2", "+01", "15:58:2");
    // Without a two-digit hour 00..23 nothing is shifted.
    row("hour 24", "24:00:00", "+01", "24:00:00");
    row("html page", "<html><body>503</body></html>", "+0", "<html><b");
    row("message with line break", "Err or\r\nmore", "+01", "Error");
    row("fullwidth digits", "\uFF11\uFF12:00:00", "+01", "\uFF11\uFF12:00:00");
    // The eighth unit is half of an emoji: that half is dropped.
    row("surrogate pair cut at 8", "a\U0001F600\U0001F600\U0001F600\U0001F600", "+0",
        "a\U0001F600\U0001F600\U0001F600");
}

void TestScheduleRules::convertToZone()
{
    QFETCH(QString, raw);
    QFETCH(QString, zone);
    QFETCH(QString, expected);
    QCOMPARE(kelvo::schedule::convertToZone(raw, zone), expected);
}

void TestScheduleRules::convertToZoneSurvivesGarbage()
{
    // Random texts from a fixed seed: no crash, at most 8 characters, no spaces.
    QRandomGenerator random(20260302);
    const QString alphabet = u"0123456789:: +-\t\r\n\x01xZ\xD83D\xDE00\x0665"_s + QChar(0);
    const QStringList zones = {"+12", "+05", "+0", "-07", "-12", "", "+99", "--"};
    for (int i = 0; i < 5000; ++i) {
        QString raw;
        for (int k = random.bounded(14); k > 0; --k)
            raw += alphabet[random.bounded(int(alphabet.size()))];
        const QString shown = kelvo::schedule::convertToZone(raw, zones[random.bounded(8)]);
        QVERIFY2(shown.size() <= 8 && !shown.contains(u' '), qPrintable(raw));
    }
}

void TestScheduleRules::nextCheck_data()
{
    QTest::addColumn<int>("rule");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("due");

    // The ladder: minute now -> minute of the next check; 60 is minute 0 of
    // the next hour. Seconds and milliseconds must not leak into the moment.
    static const int ladder[60] = {0,  1,  2,  4,  5,  10, 10, 10, 10, 10, 15, 15, 15, 15, 15,
                                   20, 20, 20, 20, 20, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30,
                                   40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 50, 50, 50, 50, 50,
                                   50, 50, 50, 50, 50, 58, 58, 58, 58, 58, 58, 58, 58, 59, 60};
    for (int minute = 0; minute < 60; ++minute) {
        const int hour = 14 + ladder[minute] / 60, target = ladder[minute] % 60;
        QTest::addRow("ladder 14:%02d", minute)
            << int(Ladder) << utcAt(14, minute, 37, 250)
            << QTime(hour, target).toString(u"HH:mm:ss"_s) << utcAt(hour, target);
    }
    QTest::newRow("ladder wraps at midnight")
        << int(Ladder) << utcAt(23, 59, 30) << u"00:00:00"_s << utcAt(kDay.addDays(1), 0, 0);
    QTest::newRow("change at 00:10")
        << int(AfterChange) << utcAt(0, 10, 45, 999) << u"00:58:00"_s << utcAt(0, 58);
    QTest::newRow("change at 14:58")
        << int(AfterChange) << utcAt(14, 58, 45) << u"14:58:00"_s << utcAt(14, 58);
    QTest::newRow("change at 23:59 lies back")
        << int(AfterChange) << utcAt(23, 59, 45) << u"23:58:00"_s << utcAt(23, 58);

    // Wall-clock text in Berlin; times of day in UTC.
    const QTimeZone berlin(kBerlin);
    const auto dst = [&](const char* name, int rule, QDate day, int h, int m, int s,
                         const char* text, int dueH, int dueM) {
        QTest::newRow(name) << rule << utcAt(day, h, m, s).toTimeZone(berlin)
                            << QString::fromLatin1(text) << utcAt(day, dueH, dueM);
    };
    // Spring: 02:00 does not exist; the check comes one real minute later.
    dst("spring 01:59 ladder", Ladder, kSpringForward, 0, 59, 20, "02:00:00", 1, 0);
    dst("spring 01:59 change", AfterChange, kSpringForward, 0, 59, 0, "01:58:00", 0, 58);
    // Autumn: the first pass of 02:xx is CEST, the second CET.
    dst("autumn first 02:59 ladder", Ladder, kFallBack, 0, 59, 30, "03:00:00", 1, 0);
    dst("autumn second 02:00 ladder", Ladder, kFallBack, 1, 0, 40, "02:00:00", 1, 0);
    dst("autumn second 02:20 change", AfterChange, kFallBack, 1, 20, 0, "02:58:00", 1, 58);
}

void TestScheduleRules::nextCheck()
{
    QFETCH(int, rule);
    QFETCH(QDateTime, now);
    QFETCH(QString, text);
    QFETCH(QDateTime, due);

    const NextCheck check = applyRule(rule, now);
    QCOMPARE(check.text, text);
    QCOMPARE(QTime(check.hour, check.minute).toString(u"HH:mm:00"_s), text);
    QCOMPARE(check.due.toUTC(), due.toUTC());
    // Due from the due minute on, not a second before, whatever the wall
    // clock reads then.
    const QTimeZone zone = now.timeZone();
    QCOMPARE(isCheckDue(now, check.due), due <= now);
    QVERIFY(isCheckDue(due.addSecs(59).toTimeZone(zone), check.due));
    if (due > now)
        QVERIFY(!isCheckDue(due.addSecs(-1).toTimeZone(zone), check.due));
}

void TestScheduleRules::checkDue_data()
{
    QTest::addColumn<int>("rule");
    QTest::addColumn<QDateTime>("setAt");
    QTest::addColumn<QDateTime>("checkedAt");
    QTest::addColumn<bool>("due");

    // Compared as moments: across midnight, after a night asleep (the clock
    // reads an earlier hour than the box) and with a clock set back.
    const QDate next = kDay.addDays(1);
    QTest::newRow("58 set at 23:59, checked after midnight")
        << int(AfterChange) << utcAt(23, 59) << utcAt(next, 0, 0, 10) << true;
    QTest::newRow("14:30 set yesterday, checked at 09:00")
        << int(Ladder) << utcAt(14, 20) << utcAt(next, 9, 0) << true;
    QTest::newRow("14:58 set yesterday, checked at 14:57")
        << int(AfterChange) << utcAt(14, 20) << utcAt(next, 14, 57) << true;
    QTest::newRow("checked before it was set")
        << int(Ladder) << utcAt(14, 20) << utcAt(kDay.addDays(-1), 23, 0) << false;
    // Without a clock nothing is scheduled, and a check is due at once.
    QTest::newRow("no clock, ladder") << int(Ladder) << QDateTime() << utcAt(12, 0) << true;
    QTest::newRow("no clock, change") << int(AfterChange) << QDateTime() << utcAt(12, 0) << true;
}

void TestScheduleRules::checkDue()
{
    QFETCH(int, rule);
    QFETCH(QDateTime, setAt);
    QFETCH(QDateTime, checkedAt);
    QFETCH(bool, due);

    const NextCheck check = applyRule(rule, setAt);
    QCOMPARE(check.text.isEmpty(), !setAt.isValid());
    QCOMPARE(isCheckDue(checkedAt, check.due), due);
    QVERIFY(isCheckDue(checkedAt, std::nullopt));
}

QTEST_APPLESS_MAIN(TestScheduleRules)
#include "tst_schedulerules.moc"
