// The alarm as the one-second timer drives it: the sound at once and then
// every 23 ticks, from the start folder or where it was installed, and the
// beep where there is no sound to play.

#include "alerts/alarm.h"
#include "testsupport.h"

#include <QSignalSpy>
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
    QTemporaryDir folder;
    QVERIFY(QDir::setCurrent(folder.path()));
    const auto path = [&](const char* name) { return folder.filePath(QString::fromLatin1(name)); };
    QDir().mkpath(path("share"));
    for (const auto& [present, name] :
         {std::pair(ownSound, "Alarm.wav"), std::pair(installedSound, "share/Alarm.wav")}) {
        QFile wav(path(name));
        QVERIFY(!present || (wav.open(QIODevice::WriteOnly) && wav.write("RIFF") == 4));
    }
    const auto sound = std::make_shared<test::FakeSoundPlayer>();
    const auto beep = std::make_shared<test::FakeBeep>();
    sound->installed = path("share/Alarm.wav");
    sound->accept = playable;
    alerts::Alarm alarm(sound, beep);
    QSignalSpy switched(&alarm, &alerts::Alarm::switched);

    QList<int> started;
    for (int tick = 1; tick <= 50; ++tick) {
        if (tick == 2)
            alarm.toggle(); // on
        const qsizetype before = sound->played.size();
        alarm.step();
        if (sound->played.size() > before)
            started.append(tick);
    }
    QCOMPARE(switched, QList<QVariantList>{{true}});
    QCOMPARE(started, soundTicks);
    if (!played.isEmpty())
        QCOMPARE(sound->played.last(), played == "Alarm.wav" ? played : path(qPrintable(played)));
    QCOMPARE(beep->count, beeps);
    QDir::setCurrent(QDir::tempPath());
}

QTEST_GUILESS_MAIN(TestAlarm)
#include "tst_alarm.moc"
