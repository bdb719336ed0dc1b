// The alarm as the one-second timer drives it: the sound at once and then
// every 23 ticks, from the start folder or where it was installed, and the
// beep where there is no sound to play.

#include "testsupport.h"

#include <QPushButton>
#include <QTest>

using namespace kelvo;

class TestAlarm : public QObject {
    Q_OBJECT
private slots:
    void alarm_data();
    void alarm();
};

void TestAlarm::alarm_data()
{
    QTest::addColumn<bool>("ownSound");       // an Alarm.wav in the start folder
    QTest::addColumn<bool>("installedSound"); // one installed with the program
    QTest::addColumn<bool>("playable");
    QTest::addColumn<QList<int>>("soundTicks");
    QTest::addColumn<QString>("played");
    QTest::addColumn<int>("beeps");
    const QList<int> turns = {2, 25, 48};
    QTest::newRow("the start folder's sound") << true << true << true << turns << "Alarm.wav" << 0;
    QTest::newRow("the installed sound")
        << false << true << true << turns << "share/Alarm.wav" << 0;
    QTest::newRow("no sound: a beep a tick") << false << false << true << QList<int>{} << "" << 49;
    QTest::newRow("a sound that cannot play: a beep at its turns")
        << true << false << false << turns << "Alarm.wav" << 3;
}

void TestAlarm::alarm()
{
    QFETCH(bool, ownSound);
    QFETCH(bool, installedSound);
    QFETCH(bool, playable);
    QFETCH(QList<int>, soundTicks);
    QFETCH(QString, played);
    QFETCH(int, beeps);
    test::FormFixture f;
    f.signIn(1);
    // A grid that already shows a signal: the ticks start no update cycle.
    f.form->FGrid->setTextMatrix(1, 1, QStringLiteral("Long"));
    QDir().mkpath(f.path(QStringLiteral("share")));
    for (const auto& [present, name] :
         {std::pair(ownSound, "Alarm.wav"), std::pair(installedSound, "share/Alarm.wav")}) {
        QFile wav(f.path(QString::fromLatin1(name)));
        QVERIFY(!present || (wav.open(QIODevice::WriteOnly) && wav.write("RIFF") == 4));
    }
    f.sound->installed = f.path(QStringLiteral("share/Alarm.wav"));
    f.sound->accept = playable;

    QList<int> started;
    for (int tick = 1; tick <= 50; ++tick) {
        if (tick == 2)
            f.form->ButTestSound_Click(); // on
        const qsizetype before = f.sound->played.size();
        f.timers.at(0)->fire();
        if (f.sound->played.size() > before)
            started.append(tick);
    }
    QCOMPARE(f.form->ButTestSound->text(), QStringLiteral("Stop Alarm"));
    QCOMPARE(started, soundTicks);
    if (!played.isEmpty())
        QCOMPARE(f.sound->played.last(), played == "Alarm.wav" ? played : f.path(played));
    QCOMPARE(f.beep->count, beeps);
}

QTEST_MAIN(TestAlarm)
#include "tst_alarm.moc"
