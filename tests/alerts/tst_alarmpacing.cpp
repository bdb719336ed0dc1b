// One tick of the alarm's pacing rule; the rule over many ticks is covered
// through the window by tst_alarm.
#include "alerts/alarmpacing.h"

#include <QTest>

using kelvo::alerts::AlarmAction;
using kelvo::alerts::alarmTick;

class TestAlarmPacing : public QObject {
    Q_OBJECT

private slots:
    void tick_data();
    void tick();
};

void TestAlarmPacing::tick_data()
{
    QTest::addColumn<bool>("on");
    QTest::addColumn<bool>("file");
    QTest::addColumn<int>("counter");
    QTest::addColumn<AlarmAction>("action");
    QTest::addColumn<int>("next");

    const auto sound = AlarmAction::PlaySound, none = AlarmAction::None;
    QTest::newRow("fresh counter sounds") << true << true << 0 << sound << 1;
    QTest::newRow("mid-round is quiet") << true << true << 1 << none << 2;
    QTest::newRow("last quiet tick") << true << true << 22 << none << 23;
    QTest::newRow("23 starts the next round") << true << true << 23 << sound << 1;
    QTest::newRow("above 23 restarts") << true << true << 1000 << sound << 1;
    QTest::newRow("negative restarts") << true << true << -5 << sound << 1;
    QTest::newRow("no file beeps, keeps count") << true << false << 7 << AlarmAction::Beep << 7;
    QTest::newRow("no file at 0 still beeps") << true << false << 0 << AlarmAction::Beep << 0;
    QTest::newRow("off keeps count") << false << true << 13 << none << 13;
    QTest::newRow("off at 0 stays silent") << false << true << 0 << none << 0;
}

void TestAlarmPacing::tick()
{
    QFETCH(bool, on);
    QFETCH(bool, file);
    QFETCH(int, counter);
    QFETCH(AlarmAction, action);
    QFETCH(int, next);

    const auto result = alarmTick(on, file, counter);
    QCOMPARE(result.action, action);
    QCOMPARE(result.counter, next);
}

QTEST_APPLESS_MAIN(TestAlarmPacing)
#include "tst_alarmpacing.moc"
