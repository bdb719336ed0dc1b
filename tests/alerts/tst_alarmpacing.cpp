#include "alerts/alarmpacing.h"

#include <QString>
#include <QTest>

using kelvo::alerts::AlarmAction;
using kelvo::alerts::alarmTick;

namespace {

// A run of ticks is written as one character per tick:
//   input:  'S' alarm on, sound file present; 'B' alarm on, no sound file;
//           '.' alarm off (the file does not matter then; present is assumed)
//   output: 'P' sound started; 'b' beep; '-' nothing
struct Run {
    QString actions;
    int counter = 0;
};

Run runTicks(const QString& script, int counter)
{
    Run run;
    run.counter = counter;
    for (const QChar tick : script) {
        const bool on = tick != QLatin1Char('.');
        const bool file = tick != QLatin1Char('B');
        const auto result = alarmTick(on, file, run.counter);
        run.counter = result.counter;
        switch (result.action) {
        case AlarmAction::PlaySound:
            run.actions += QLatin1Char('P');
            break;
        case AlarmAction::Beep:
            run.actions += QLatin1Char('b');
            break;
        case AlarmAction::None:
            run.actions += QLatin1Char('-');
            break;
        }
    }
    return run;
}

QString repeated(QChar c, int count)
{
    return QString(count, c);
}

QString quiet(int count)
{
    return repeated(QLatin1Char('-'), count);
}

} // namespace

class TestAlarmPacing : public QObject {
    Q_OBJECT

private slots:
    void sequences_data();
    void sequences();
    void firstSoundAfterSwitchingOn_data();
    void firstSoundAfterSwitchingOn();
    void counterStaysInRange();
};

void TestAlarmPacing::sequences_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("startCounter");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("endCounter");

    const QChar on = QLatin1Char('S');

    QTest::newRow("sound on the first tick, then every 23 ticks")
        << repeated(on, 70) << 0
        << QString(QStringLiteral("P") + quiet(22) + QStringLiteral("P") + quiet(22) +
                   QStringLiteral("P") + quiet(22) + QStringLiteral("P"))
        << 1;

    QTest::newRow("beep every tick without the file, counter untouched")
        << repeated(QLatin1Char('B'), 30) << 7 << repeated(QLatin1Char('b'), 30) << 7;

    QTest::newRow("alarm off: nothing, counter untouched")
        << repeated(QLatin1Char('.'), 30) << 13 << quiet(30) << 13;

    // Switched on, sounds at once; switched off before the next tick; on again:
    // the counter stands at 1, so the sound waits for the 23rd tick.
    QTest::newRow("counter kept across off and on")
        << QString(QStringLiteral("S...") + repeated(on, 23)) << 0
        << QString(QStringLiteral("P---") + quiet(22) + QStringLiteral("P")) << 1;

    QTest::newRow("off and on again in mid-round keeps the rhythm")
        << QString(repeated(on, 10) + repeated(QLatin1Char('.'), 50) + repeated(on, 14)) << 0
        << QString(QStringLiteral("P") + quiet(9) + quiet(50) + quiet(13) + QStringLiteral("P"))
        << 1;

    // The file vanishes for a while: beeps meanwhile, and the count resumes
    // where it stood once the file is back.
    QTest::newRow("missing file pauses the count")
        << QString(QStringLiteral("SBBBBB") + repeated(on, 23)) << 0
        << QString(QStringLiteral("Pbbbbb") + quiet(22) + QStringLiteral("P")) << 1;

    QTest::newRow("counter at 23 restarts the round at once")
        << repeated(on, 24) << 23 << QString(QStringLiteral("P") + quiet(22) + QStringLiteral("P"))
        << 1;
}

void TestAlarmPacing::sequences()
{
    QFETCH(QString, script);
    QFETCH(int, startCounter);
    QFETCH(QString, expected);
    QFETCH(int, endCounter);

    const Run run = runTicks(script, startCounter);
    QCOMPARE(run.actions, expected);
    QCOMPARE(run.counter, endCounter);
}

void TestAlarmPacing::firstSoundAfterSwitchingOn_data()
{
    QTest::addColumn<int>("counter");
    QTest::addColumn<int>("firstSoundTick"); // 1 = the first tick after switching on

    QTest::newRow("fresh counter") << 0 << 1;
    QTest::newRow("right after a sound") << 1 << 23;
    QTest::newRow("one tick before the round ends") << 22 << 2;
    QTest::newRow("round just ended") << 23 << 1;
}

void TestAlarmPacing::firstSoundAfterSwitchingOn()
{
    QFETCH(int, counter);
    QFETCH(int, firstSoundTick);

    const Run run = runTicks(repeated(QLatin1Char('S'), 23), counter);
    QCOMPARE(run.actions.indexOf(QLatin1Char('P')) + 1, firstSoundTick);
    QCOMPARE(run.actions.count(QLatin1Char('P')), 1);
}

void TestAlarmPacing::counterStaysInRange()
{
    // Whatever the counter held, a counted tick leaves it within 1..23, so the
    // sound can never fall silent for good.
    for (const int start : {-5, -1, 0, 1, 22, 23, 24, 1000}) {
        const auto result = alarmTick(true, true, start);
        QVERIFY2(result.counter >= 1 && result.counter <= 23,
                 qPrintable(QStringLiteral("start %1 gave %2").arg(start).arg(result.counter)));
        const Run run = runTicks(repeated(QLatin1Char('S'), 23), start);
        QCOMPARE(run.actions.count(QLatin1Char('P')), 1);
    }
}

QTEST_APPLESS_MAIN(TestAlarmPacing)
#include "tst_alarmpacing.moc"
