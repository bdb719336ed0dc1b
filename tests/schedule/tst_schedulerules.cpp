#include "schedule/schedulerules.h"

#include <QRandomGenerator>
#include <QTest>
#include <QTimeZone>
#include <optional>

using namespace kelvo::schedule;

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

// The ladder as a table: minute now -> minute of the next check; 60 stands
// for minute 0 of the next hour.
int ladderTarget(int minute)
{
    struct Step {
        int from;
        int to;
        int target;
    };
    static const Step table[] = {
        {0, 2, -1}, // the same minute
        {3, 3, 4},    {4, 4, 5},    {5, 9, 10},   {10, 14, 15}, {15, 19, 20}, {20, 29, 30},
        {30, 39, 40}, {40, 49, 50}, {50, 57, 58}, {58, 58, 59}, {59, 59, 60},
    };
    for (const Step& step : table) {
        if (minute >= step.from && minute <= step.to) {
            return step.target < 0 ? minute : step.target;
        }
    }
    return -100;
}

} // namespace

class TestScheduleRules : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void elimSpaces_data();
    void elimSpaces();

    void zoneOffsetHours_data();
    void zoneOffsetHours();

    void convertToZone_data();
    void convertToZone();
    void convertToZoneAllEntries();
    void convertToZoneGarbage_data();
    void convertToZoneGarbage();
    void convertToZoneFuzz();

    void ladder_data();
    void ladder();
    void ladderWrapsAtMidnight();
    void afterChange_data();
    void afterChange();
    void invalidClock();

    void checkDue_data();
    void checkDue();
    void checkDueWithoutMoment();

    void daylightSaving_data();
    void daylightSaving();
};

void TestScheduleRules::initTestCase()
{
    QVERIFY2(QTimeZone(kBerlin).isValid(), "the time-zone database lacks Europe/Berlin");
}

// ---------------------------------------------------------------- ElimSpaces

void TestScheduleRules::elimSpaces_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("only spaces") << QStringLiteral("    ") << QString();
    QTest::newRow("nothing to remove") << QStringLiteral("14:58:00") << QStringLiteral("14:58:00");
    QTest::newRow("blank before hour and after colon")
        << QStringLiteral(" 14: 58:00") << QStringLiteral("14:58:00");
    QTest::newRow("blanks everywhere")
        << QStringLiteral(" 1 4 : 5 8 : 0 0 ") << QStringLiteral("14:58:00");
    QTest::newRow("tab stays") << QStringLiteral("\t14:58:00") << QStringLiteral("\t14:58:00");
    QTest::newRow("line break stays")
        << QStringLiteral("14:58 \r\n") << QStringLiteral("14:58\r\n");
    QTest::newRow("no-break space stays")
        << QString(QStringLiteral("14") + QChar(0x00A0) + QStringLiteral(":58"))
        << QString(QStringLiteral("14") + QChar(0x00A0) + QStringLiteral(":58"));
    QTest::newRow("longer than 32767 characters")
        << QString(QString(20000, QLatin1Char('a')) + QString(20000, QLatin1Char(' ')) +
                   QStringLiteral("z"))
        << QString(QString(20000, QLatin1Char('a')) + QStringLiteral("z"));
}

void TestScheduleRules::elimSpaces()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QString original = text;
    QCOMPARE(ElimSpaces(text), expected);
    QCOMPARE(text, original);
}

// ------------------------------------------------------------ zone offsets

void TestScheduleRules::zoneOffsetHours_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("hours");

    QTest::newRow("+12") << QStringLiteral("+12") << 12;
    QTest::newRow("+10") << QStringLiteral("+10") << 10;
    QTest::newRow("+05") << QStringLiteral("+05") << 5;
    QTest::newRow("+01") << QStringLiteral("+01") << 1;
    QTest::newRow("+0") << QStringLiteral("+0") << 0;
    QTest::newRow("-01") << QStringLiteral("-01") << -1;
    QTest::newRow("-03") << QStringLiteral("-03") << -3;
    QTest::newRow("-10") << QStringLiteral("-10") << -10;
    QTest::newRow("-12") << QStringLiteral("-12") << -12;
    QTest::newRow("no sign") << QStringLiteral("07") << 7;
    QTest::newRow("one digit") << QStringLiteral("-7") << -7;

    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("sign only") << QStringLiteral("-") << 0;
    QTest::newRow("letters") << QStringLiteral("GMT") << 0;
    QTest::newRow("digit then letter") << QStringLiteral("+1a") << 0;
    QTest::newRow("three digits") << QStringLiteral("+100") << 0;
    QTest::newRow("beyond +12") << QStringLiteral("+13") << 0;
    QTest::newRow("beyond -12") << QStringLiteral("-99") << 0;
    QTest::newRow("two signs") << QStringLiteral("+-5") << 0;
    QTest::newRow("arabic-indic digit") << QString(QStringLiteral("+") + QChar(0x0665)) << 0;
}

void TestScheduleRules::zoneOffsetHours()
{
    QFETCH(QString, entry);
    QFETCH(int, hours);
    QCOMPARE(kelvo::schedule::zoneOffsetHours(entry), hours);
}

// ------------------------------------------------------------ zone conversion

void TestScheduleRules::convertToZone_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("zone");
    QTest::addColumn<QString>("expected");

    QTest::newRow("22:00:05 +05") << "22:00:05"
                                  << "+05"
                                  << "03:00:05";
    QTest::newRow("02:30:00 -03") << "02:30:00"
                                  << "-03"
                                  << "23:30:00";
    QTest::newRow("14:58:20 +0") << "14:58:20"
                                 << "+0"
                                 << "14:58:20";
    QTest::newRow("05:00:00 -12") << "05:00:00"
                                  << "-12"
                                  << "17:00:00";
    QTest::newRow("23:15:00 +12") << "23:15:00"
                                  << "+12"
                                  << "11:15:00";
    QTest::newRow("14:05:30 +05") << "14:05:30"
                                  << "+05"
                                  << "19:05:30";
    QTest::newRow("14:05:30 -12") << "14:05:30"
                                  << "-12"
                                  << "02:05:30";
    QTest::newRow("14:05:30 +12") << "14:05:30"
                                  << "+12"
                                  << "02:05:30";
    QTest::newRow("23:59:59 +01") << "23:59:59"
                                  << "+01"
                                  << "00:59:59";
    QTest::newRow("00:00:00 -01") << "00:00:00"
                                  << "-01"
                                  << "23:00:00";
    QTest::newRow("12 GMT +12") << "12:00:00"
                                << "+12"
                                << "00:00:00";
    QTest::newRow("11 GMT -12") << "11:00:00"
                                << "-12"
                                << "23:00:00";
    QTest::newRow("00 GMT -12") << "00:00:00"
                                << "-12"
                                << "12:00:00";
    QTest::newRow("23 GMT +12") << "23:59:59"
                                << "+12"
                                << "11:59:59";
    QTest::newRow("line break after the time") << "07:05:09\r\n"
                                               << "+02"
                                               << "09:05:09";
    QTest::newRow("longer reply cut to 8") << "14:58:20 and more"
                                           << "+0"
                                           << "14:58:20";
    QTest::newRow("short reply") << "14:58"
                                 << "+01"
                                 << "15:58";
    QTest::newRow("hour only") << "14"
                               << "-01"
                               << "13";
    QTest::newRow("no zone selected") << "14:58:20"
                                      << ""
                                      << "14:58:20";
    QTest::newRow("blank inside the minutes") << "14:5 8:2"
                                              << "+01"
                                              << "15:58:2";
}

void TestScheduleRules::convertToZone()
{
    QFETCH(QString, raw);
    QFETCH(QString, zone);
    QFETCH(QString, expected);
    QCOMPARE(kelvo::schedule::convertToZone(raw, zone), expected);
}

void TestScheduleRules::convertToZoneAllEntries()
{
    // 12:34:56 GMT in each of the 25 zones, in the order of the list; the
    // hour wraps both ways at the two ends.
    const QStringList entries = {"+12", "+11", "+10", "+09", "+08", "+07", "+06", "+05", "+04",
                                 "+03", "+02", "+01", "+0",  "-01", "-02", "-03", "-04", "-05",
                                 "-06", "-07", "-08", "-09", "-10", "-11", "-12"};
    const QStringList hours = {"00", "23", "22", "21", "20", "19", "18", "17", "16",
                               "15", "14", "13", "12", "11", "10", "09", "08", "07",
                               "06", "05", "04", "03", "02", "01", "00"};
    QCOMPARE(entries.size(), 25);
    QCOMPARE(hours.size(), entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        QCOMPARE(kelvo::schedule::convertToZone(QStringLiteral("12:34:56"), entries[i]),
                 hours[i] + QStringLiteral(":34:56"));
    }
}

void TestScheduleRules::convertToZoneGarbage_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("zone");
    QTest::addColumn<QString>("expected");

    // Without a two-digit hour 00..23 nothing is shifted: the first eight
    // characters are shown, less spaces and control characters.
    QTest::newRow("empty") << ""
                           << "+05"
                           << "";
    QTest::newRow("one character") << "7"
                                   << "+05"
                                   << "7";
    QTest::newRow("line break only") << "\r\n"
                                     << "+05"
                                     << "";
    QTest::newRow("word") << "error"
                          << "+05"
                          << "error";
    QTest::newRow("letters in time shape") << "ab:cd:ef"
                                           << "-03"
                                           << "ab:cd:ef";
    QTest::newRow("one-digit hour") << "9:00:00"
                                    << "+01"
                                    << "9:00:00";
    QTest::newRow("hour 24") << "24:00:00"
                             << "+01"
                             << "24:00:00";
    QTest::newRow("hour 99") << "99:59:59"
                             << "-12"
                             << "99:59:59";
    QTest::newRow("signed hour") << "+5:00:00"
                                 << "+01"
                                 << "+5:00:00";
    QTest::newRow("html page") << "<html><body>503</body></html>"
                               << "+0"
                               << "<html><b";
    QTest::newRow("message with line break") << "Err or\r\nmore"
                                             << "+01"
                                             << "Error";
    QTest::newRow("tab before the hour") << "\t12:00:00"
                                         << "+01"
                                         << "12:00:0";
    QTest::newRow("nul characters") << QString(3, QChar(0)) << "+01"
                                    << "";
    QTest::newRow("fullwidth digits")
        << QString(QChar(0xFF11)) + QChar(0xFF12) + QStringLiteral(":00:00") << "+01"
        << QString(QChar(0xFF11)) + QChar(0xFF12) + QStringLiteral(":00:00");
    // Four emoji fill exactly eight UTF-16 units; one more character in front
    // would cut the fourth in half, so that half is dropped.
    QTest::newRow("surrogate pair cut at 8")
        << QString(QStringLiteral("a") + QString::fromUtf8("\xF0\x9F\x98\x80").repeated(4)) << "+0"
        << QString(QStringLiteral("a") + QString::fromUtf8("\xF0\x9F\x98\x80").repeated(3));
}

void TestScheduleRules::convertToZoneGarbage()
{
    QFETCH(QString, raw);
    QFETCH(QString, zone);
    QFETCH(QString, expected);
    QCOMPARE(kelvo::schedule::convertToZone(raw, zone), expected);
}

void TestScheduleRules::convertToZoneFuzz()
{
    // Fixed seed: the same texts every run.
    QRandomGenerator random(20260302);
    const QString alphabet = QStringLiteral("0123456789:: +-\t\r\n\x01xZ") + QChar(0xD83D) +
                             QChar(0xDE00) + QChar(0x0665) + QChar(0);
    const QStringList zones = {"+12", "+05", "+0", "-07", "-12", "", "+99", "--", "1"};
    for (int i = 0; i < 20000; ++i) {
        QString raw;
        const int length = random.bounded(14);
        for (int k = 0; k < length; ++k) {
            raw += alphabet[random.bounded(int(alphabet.size()))];
        }
        const QString zone = zones[random.bounded(int(zones.size()))];
        const QString shown = kelvo::schedule::convertToZone(raw, zone);
        QVERIFY2(shown.size() <= 8, qPrintable(raw));
        QVERIFY2(!shown.contains(QLatin1Char(' ')), qPrintable(raw));
        const int offset = kelvo::schedule::zoneOffsetHours(zone);
        QVERIFY(offset >= -12 && offset <= 12);
        // Whenever a shifted hour is shown, it is a real hour of the day.
        const QString compact = ElimSpaces(raw);
        const bool hasHour = compact.size() >= 2 && compact[0].isDigit() && compact[1].isDigit() &&
                             compact[0].unicode() < 128 && compact[1].unicode() < 128 &&
                             compact.left(2).toInt() < 24;
        if (hasHour) {
            const int hour = shown.left(2).toInt();
            QVERIFY2(hour >= 0 && hour <= 23 && shown[0].isDigit() && shown[1].isDigit(),
                     qPrintable(raw + QStringLiteral(" -> ") + shown));
        }
    }
}

// ------------------------------------------------------------ next check

void TestScheduleRules::ladder_data()
{
    QTest::addColumn<int>("minute");
    QTest::addColumn<int>("target"); // 60: minute 0 of the next hour

    for (int minute = 0; minute < 60; ++minute) {
        QTest::addRow("minute %02d", minute) << minute << ladderTarget(minute);
    }
}

void TestScheduleRules::ladder()
{
    QFETCH(int, minute);
    QFETCH(int, target);

    // Seconds and milliseconds must not leak into the due moment.
    const QDateTime now = utcAt(14, minute, 37, 250);
    const NextCheck check = nextCheckByLadder(now);

    const int hour = target == 60 ? 15 : 14;
    const int targetMinute = target % 60;
    QCOMPARE(check.hour, hour);
    QCOMPARE(check.minute, targetMinute);
    QCOMPARE(check.text, QStringLiteral("%1:%2:00")
                             .arg(hour, 2, 10, QLatin1Char('0'))
                             .arg(targetMinute, 2, 10, QLatin1Char('0')));
    QCOMPARE(check.due, utcAt(hour, targetMinute));
    // Minutes 0 to 2 are due at once; every other minute waits.
    QCOMPARE(isCheckDue(now, check.due), minute <= 2);
}

void TestScheduleRules::ladderWrapsAtMidnight()
{
    const NextCheck check = nextCheckByLadder(utcAt(23, 59, 30));
    QCOMPARE(check.hour, 0);
    QCOMPARE(check.minute, 0);
    QCOMPARE(check.text, QStringLiteral("00:00:00"));
    QCOMPARE(check.due, utcAt(kDay.addDays(1), 0, 0));
}

void TestScheduleRules::afterChange_data()
{
    QTest::addColumn<int>("hour");
    QTest::addColumn<int>("minute");
    QTest::addColumn<QString>("text");

    QTest::newRow("09:00") << 9 << 0 << "09:58:00";
    QTest::newRow("14:20") << 14 << 20 << "14:58:00";
    QTest::newRow("14:57") << 14 << 57 << "14:58:00";
    QTest::newRow("14:58") << 14 << 58 << "14:58:00";
    QTest::newRow("14:59") << 14 << 59 << "14:58:00";
    QTest::newRow("23:59") << 23 << 59 << "23:58:00";
    QTest::newRow("00:10") << 0 << 10 << "00:58:00";
}

void TestScheduleRules::afterChange()
{
    QFETCH(int, hour);
    QFETCH(int, minute);
    QFETCH(QString, text);

    const QDateTime now = utcAt(hour, minute, 45, 999);
    const NextCheck check = nextCheckAfterChange(now);
    QCOMPARE(check.hour, hour);
    QCOMPARE(check.minute, 58);
    QCOMPARE(check.text, text);
    QCOMPARE(check.due, utcAt(hour, 58));
    QCOMPARE(isCheckDue(now, check.due), minute >= 58);
}

void TestScheduleRules::invalidClock()
{
    for (const NextCheck& check : {nextCheckByLadder(QDateTime()), nextCheckAfterChange({})}) {
        QVERIFY(check.text.isEmpty());
        QVERIFY(!check.due.isValid());
        QVERIFY(isCheckDue(utcAt(12, 0), check.due));
    }
}

void TestScheduleRules::checkDue_data()
{
    QTest::addColumn<int>("rule");
    QTest::addColumn<QDateTime>("setAt");
    QTest::addColumn<QDateTime>("checkedAt");
    QTest::addColumn<bool>("due");

    const QDate next = kDay.addDays(1);

    QTest::newRow("58 set at 23:58, checked 23:58:10")
        << int(AfterChange) << utcAt(23, 58, 5) << utcAt(23, 58, 10) << true;
    QTest::newRow("58 set at 23:58, checked after midnight")
        << int(AfterChange) << utcAt(23, 58, 5) << utcAt(next, 0, 0, 10) << true;
    QTest::newRow("58 set at 23:59, checked 23:59:10")
        << int(AfterChange) << utcAt(23, 59, 0) << utcAt(23, 59, 10) << true;
    QTest::newRow("58 set at 23:59, checked after midnight")
        << int(AfterChange) << utcAt(23, 59, 0) << utcAt(next, 0, 0, 10) << true;
    QTest::newRow("58 set at 23:40, checked 23:57:59")
        << int(AfterChange) << utcAt(23, 40) << utcAt(23, 57, 59) << false;

    QTest::newRow("00:00 set at 23:59, checked 23:59:50")
        << int(Ladder) << utcAt(23, 59, 5) << utcAt(23, 59, 50, 999) << false;
    QTest::newRow("00:00 set at 23:59, checked 00:00:00")
        << int(Ladder) << utcAt(23, 59, 5) << utcAt(next, 0, 0) << true;
    QTest::newRow("00:00 set at 23:59, checked 00:07")
        << int(Ladder) << utcAt(23, 59, 5) << utcAt(next, 0, 7) << true;

    QTest::newRow("14:58 set at 14:50, checked 14:57:59")
        << int(Ladder) << utcAt(14, 50) << utcAt(14, 57, 59) << false;
    QTest::newRow("14:58 set at 14:50, checked 14:58:00")
        << int(Ladder) << utcAt(14, 50) << utcAt(14, 58, 0) << true;
    QTest::newRow("14:58 set at 14:50, checked 15:00:05")
        << int(Ladder) << utcAt(14, 50) << utcAt(15, 0, 5) << true;

    // Asleep overnight: the clock reads an earlier hour than the box, but
    // the moment is long past.
    QTest::newRow("14:30 set yesterday, checked at 09:00")
        << int(Ladder) << utcAt(14, 20) << utcAt(next, 9, 0) << true;
    QTest::newRow("14:58 set yesterday, checked at 14:57")
        << int(AfterChange) << utcAt(14, 20) << utcAt(next, 14, 57) << true;
    QTest::newRow("checked before it was set")
        << int(Ladder) << utcAt(14, 20) << utcAt(kDay.addDays(-1), 23, 0) << false;
}

void TestScheduleRules::checkDue()
{
    QFETCH(int, rule);
    QFETCH(QDateTime, setAt);
    QFETCH(QDateTime, checkedAt);
    QFETCH(bool, due);

    const NextCheck check = applyRule(rule, setAt);
    QCOMPARE(isCheckDue(checkedAt, check.due), due);
}

void TestScheduleRules::checkDueWithoutMoment()
{
    QVERIFY(isCheckDue(utcAt(0, 0), std::nullopt));
    QVERIFY(isCheckDue(utcAt(23, 59, 59), std::nullopt));
    QVERIFY(isCheckDue(utcAt(12, 0), QDateTime()));
}

void TestScheduleRules::daylightSaving_data()
{
    QTest::addColumn<int>("rule");
    QTest::addColumn<QDateTime>("setAtUtc");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("dueUtc");

    // Spring: 01:59 CET is 00:59 UTC; the wall clock's 02:00 does not exist,
    // and the check comes one real minute later, at 03:00 CEST.
    QTest::newRow("spring 01:59 ladder") << int(Ladder) << utcAt(kSpringForward, 0, 59, 20)
                                         << "02:00:00" << utcAt(kSpringForward, 1, 0);
    QTest::newRow("spring 01:50 ladder") << int(Ladder) << utcAt(kSpringForward, 0, 50)
                                         << "01:58:00" << utcAt(kSpringForward, 0, 58);
    QTest::newRow("spring 01:59 after change") << int(AfterChange) << utcAt(kSpringForward, 0, 59)
                                               << "01:58:00" << utcAt(kSpringForward, 0, 58);
    QTest::newRow("spring 03:00 ladder")
        << int(Ladder) << utcAt(kSpringForward, 1, 0) << "03:00:00" << utcAt(kSpringForward, 1, 0);
    QTest::newRow("spring 03:05 ladder")
        << int(Ladder) << utcAt(kSpringForward, 1, 5) << "03:10:00" << utcAt(kSpringForward, 1, 10);

    // Autumn, first pass of 02:xx (CEST, UTC+2).
    QTest::newRow("autumn first 02:59 ladder")
        << int(Ladder) << utcAt(kFallBack, 0, 59, 30) << "03:00:00" << utcAt(kFallBack, 1, 0);
    QTest::newRow("autumn first 02:50 ladder")
        << int(Ladder) << utcAt(kFallBack, 0, 50) << "02:58:00" << utcAt(kFallBack, 0, 58);
    QTest::newRow("autumn first 02:59 after change")
        << int(AfterChange) << utcAt(kFallBack, 0, 59) << "02:58:00" << utcAt(kFallBack, 0, 58);
    // Second pass of 02:xx (CET, UTC+1).
    QTest::newRow("autumn second 02:00 ladder")
        << int(Ladder) << utcAt(kFallBack, 1, 0, 40) << "02:00:00" << utcAt(kFallBack, 1, 0);
    QTest::newRow("autumn second 02:20 after change")
        << int(AfterChange) << utcAt(kFallBack, 1, 20) << "02:58:00" << utcAt(kFallBack, 1, 58);
    QTest::newRow("autumn second 02:59 ladder")
        << int(Ladder) << utcAt(kFallBack, 1, 59, 30) << "03:00:00" << utcAt(kFallBack, 2, 0);
}

void TestScheduleRules::daylightSaving()
{
    QFETCH(int, rule);
    QFETCH(QDateTime, setAtUtc);
    QFETCH(QString, text);
    QFETCH(QDateTime, dueUtc);

    const QTimeZone berlin(kBerlin);
    const QDateTime setAt = setAtUtc.toTimeZone(berlin);
    const NextCheck check = applyRule(rule, setAt);
    QCOMPARE(check.text, text);
    QCOMPARE(check.due.toUTC(), dueUtc);

    // Not due a moment before, due from the due minute on, whatever the wall
    // clock reads then.
    if (dueUtc > setAtUtc) {
        QVERIFY(!isCheckDue(dueUtc.addSecs(-1).toTimeZone(berlin), check.due));
    }
    QVERIFY(isCheckDue(dueUtc.toTimeZone(berlin), check.due));
    QVERIFY(isCheckDue(dueUtc.addSecs(59).toTimeZone(berlin), check.due));
}

QTEST_APPLESS_MAIN(TestScheduleRules)
#include "tst_schedulerules.moc"
