// The alarm as the one-second timer drives it.

#include "formfixture.h"

#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>

using namespace kelvo;
using namespace kelvo::test;

class TestAlarm : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void soundsAtOnceThenEvery23Ticks();
    void beepsEverySecondWithoutTheFile_data();
    void beepsEverySecondWithoutTheFile();
    void installedSoundWhenTheStartFolderHasNone();
    void counterIsKeptAcrossOffAndOn();
    void buttonTogglesTheCaption();
    void silentUntilSwitchedOn();

private:
    // Ticks of the one-second timer on which the alarm sound started.
    QList<int> soundTicks(int ticks, int firstTick = 1);

    std::unique_ptr<FormFixture> m_f;
};

void TestAlarm::init()
{
    m_f = std::make_unique<FormFixture>();
    // A grid that already shows a signal: the ticks start no update cycle.
    m_f->signIn(1);
    m_f->form->FGrid->setTextMatrix(1, 1, QStringLiteral("Long"));
    QFile wav(m_f->path(QStringLiteral("Alarm.wav")));
    QVERIFY(wav.open(QIODevice::WriteOnly));
    wav.write("RIFF");
}

void TestAlarm::cleanup()
{
    m_f.reset();
}

QList<int> TestAlarm::soundTicks(int ticks, int firstTick)
{
    QList<int> started;
    for (int tick = firstTick; tick < firstTick + ticks; ++tick) {
        const qsizetype before = m_f->fakes.sound->played.size();
        m_f->timer().fire();
        if (m_f->fakes.sound->played.size() > before)
            started.append(tick);
    }
    return started;
}

void TestAlarm::soundsAtOnceThenEvery23Ticks()
{
    m_f->form->ButTestSound_Click();
    QCOMPARE(m_f->form->ButTestSound->text(), QStringLiteral("Stop Alarm"));
    QCOMPARE(soundTicks(70), (QList<int>{1, 24, 47, 70}));
    QCOMPARE(m_f->fakes.sound->played.first(), QStringLiteral("Alarm.wav"));
    QCOMPARE(m_f->fakes.beep->count, 0);
}

void TestAlarm::beepsEverySecondWithoutTheFile_data()
{
    QTest::addColumn<bool>("folderOfThatName");
    QTest::newRow("no file") << false;
    QTest::newRow("a folder named Alarm.wav") << true;
}

void TestAlarm::beepsEverySecondWithoutTheFile()
{
    QFETCH(bool, folderOfThatName);
    QVERIFY(QFile::remove(m_f->path(QStringLiteral("Alarm.wav"))));
    if (folderOfThatName)
        QVERIFY(QDir(m_f->folder.path()).mkdir(QStringLiteral("Alarm.wav")));
    m_f->form->ButTestSound_Click();
    QVERIFY(soundTicks(5).isEmpty());
    QCOMPARE(m_f->fakes.beep->count, 5);
    QCOMPARE(m_f->form->TimerCounter, 0);
}

void TestAlarm::installedSoundWhenTheStartFolderHasNone()
{
    const QString installed = m_f->path(QStringLiteral("share/Alarm.wav"));
    QVERIFY(QDir().mkpath(QFileInfo(installed).path()));
    QVERIFY(QFile::copy(m_f->path(QStringLiteral("Alarm.wav")), installed));
    m_f->fakes.sound->installed = installed;
    m_f->form->ButTestSound_Click();
    QCOMPARE(soundTicks(1), QList<int>{1});
    QVERIFY(QFile::remove(m_f->path(QStringLiteral("Alarm.wav"))));
    QCOMPARE(soundTicks(23, 2), QList<int>{24});
    QCOMPARE(m_f->fakes.sound->played, (QStringList{QStringLiteral("Alarm.wav"), installed}));
    QCOMPARE(m_f->fakes.beep->count, 0);
}

void TestAlarm::counterIsKeptAcrossOffAndOn()
{
    MainForm& form = *m_f->form;
    form.ButTestSound_Click();
    QCOMPARE(soundTicks(1), QList<int>{1});
    form.ButTestSound_Click(); // off
    QCOMPARE(form.ButTestSound->text(), QStringLiteral("Test Alarm"));
    QVERIFY(soundTicks(3, 2).isEmpty());
    QCOMPARE(form.TimerCounter, 1);
    form.ButTestSound_Click(); // on again: the counter goes on from 1
    QCOMPARE(soundTicks(23, 5), QList<int>{27});
}

void TestAlarm::buttonTogglesTheCaption()
{
    MainForm& form = *m_f->form;
    QTest::mouseClick(form.ButTestSound, Qt::LeftButton);
    QCOMPARE(form.ButTestSound->text(), QStringLiteral("Stop Alarm"));
    QTest::mouseClick(form.ButTestSound, Qt::LeftButton);
    QCOMPARE(form.ButTestSound->text(), QStringLiteral("Test Alarm"));
}

void TestAlarm::silentUntilSwitchedOn()
{
    QVERIFY(soundTicks(30).isEmpty());
    QCOMPARE(m_f->fakes.beep->count, 0);
    // A rejected sound is not retried before its turn comes again, and the
    // beep stands in for it at each turn.
    m_f->fakes.sound->accept = false;
    m_f->form->ButTestSound_Click();
    QCOMPARE(soundTicks(24, 31), (QList<int>{31, 54}));
    QCOMPARE(m_f->fakes.beep->count, 2);
}

QTEST_MAIN(TestAlarm)
#include "tst_alarm.moc"
