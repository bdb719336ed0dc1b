// The update cycle and its timers against a real HTTP server, with the clock
// in the test's hand.

#include "fakeservice.h"
#include "formfixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace kelvo;
using namespace kelvo::test;

class TestUpdateCycle : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void firstTickAfterLoginFetches();
    void unchangedReplyFollowsTheLadder();
    void changedReplySetsMinute58AndFetches();
    void failedRequestFillsAnEmptyNextCheck_data();
    void failedRequestFillsAnEmptyNextCheck();
    void manualUpdateWithUnchangedReply();
    void nonZeroZoneDoesNotChangeTheSchedule();
    void slowServerIsStillHeard();
    void checkTimerWaitsForTheNextCheck();
    void replyIsShownInTheChosenZone();

private:
    void clockAt(int h, int m, int s = 0, int dayOffset = 0)
    {
        m_f->fakes.clock->current = QDateTime(QDate(2026, 3, 2).addDays(dayOffset), QTime(h, m, s));
    }
    void tick() // one tick of the one-second timer, then its replies
    {
        m_f->timer().fire();
        QVERIFY(m_f->waitUntilIdle());
    }
    void check()
    {
        m_f->checkTimer().fire();
        QVERIFY(m_f->waitUntilIdle());
    }

    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<FormFixture> m_f;
};

void TestUpdateCycle::init()
{
    m_service = std::make_unique<FakeService>();
    QVERIFY(m_service->start());
    m_service->setTime("14:05:00");
    m_service->setSignals("Long,2026-03-02,14:00,1.0842");
    m_f = std::make_unique<FormFixture>(m_service->url());
    m_f->signIn(1);
    clockAt(9, 20, 10);
}

void TestUpdateCycle::cleanup()
{
    m_f.reset();
    m_service.reset();
}

void TestUpdateCycle::firstTickAfterLoginFetches()
{
    MainForm& form = *m_f->form;
    tick();
    QCOMPARE(form.LabTime->text(), QStringLiteral("09:20:10"));
    QCOMPARE(m_service->timeRequests(), 1);
    QCOMPARE(m_service->signalRequests(), 1);
    QCOMPARE(form.BoxLast->text(), QStringLiteral("14:05:00"));
    QCOMPARE(form.BoxLastInt, QStringLiteral("14:05:00"));
    QCOMPARE(form.BoxNext->text(), QStringLiteral("09:58:00"));
    QCOMPARE(form.FGrid->TextMatrix(1, 1), QStringLiteral("Long"));
    // The grid now shows a signal: the next ticks ask nothing.
    tick();
    tick();
    QCOMPARE(m_service->timeRequests(), 1);
}

void TestUpdateCycle::unchangedReplyFollowsTheLadder()
{
    MainForm& form = *m_f->form;
    tick();
    clockAt(9, 58, 5);
    check();
    QCOMPARE(m_service->timeRequests(), 2);
    QCOMPARE(m_service->signalRequests(), 1);
    QCOMPARE(form.BoxNext->text(), QStringLiteral("09:59:00"));
    clockAt(9, 59, 2);
    check();
    QCOMPARE(form.BoxNext->text(), QStringLiteral("10:00:00"));
    clockAt(10, 0, 1);
    check();
    QCOMPARE(form.BoxNext->text(), QStringLiteral("10:00:00"));
    clockAt(10, 3, 0);
    check();
    QCOMPARE(form.BoxNext->text(), QStringLiteral("10:04:00"));
    QCOMPARE(m_service->signalRequests(), 1);
}

void TestUpdateCycle::changedReplySetsMinute58AndFetches()
{
    MainForm& form = *m_f->form;
    tick();
    clockAt(9, 58, 0);
    check(); // unchanged: 09:59
    m_service->setTime("15:05:00");
    m_service->setSignals("Short,2026-03-02,15:00,1.0850");
    clockAt(9, 59, 0);
    check();
    QCOMPARE(m_service->signalRequests(), 2);
    QCOMPARE(form.BoxLast->text(), QStringLiteral("15:05:00"));
    QCOMPARE(form.BoxNext->text(), QStringLiteral("09:58:00"));
    QCOMPARE(form.FGrid->TextMatrix(1, 1), QStringLiteral("Short"));
    QCOMPARE(form.ButTestSound->text(), QStringLiteral("Stop Alarm"));
}

void TestUpdateCycle::failedRequestFillsAnEmptyNextCheck_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("empty body") << 200 << QByteArray();
    QTest::newRow("server error") << 500 << QByteArray("14:05:00");
    QTest::newRow("proxy error page") << 200 << QByteArray("<html><body>Bad Gateway</body></html>");
    QTest::newRow("hour 25") << 200 << QByteArray("25:05:00");
}

void TestUpdateCycle::failedRequestFillsAnEmptyNextCheck()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    MainForm& form = *m_f->form;
    m_service->setTime(body, status);
    tick();
    QCOMPARE(m_service->timeRequests(), 1);
    QCOMPARE(m_service->signalRequests(), 0);
    QVERIFY(form.BoxLast->text().isEmpty());
    QVERIFY(form.BoxLastInt.isEmpty());
    QCOMPARE(form.BoxNext->text(), QStringLiteral("09:30:00"));
    // The grid is still empty: the next tick asks again.
    tick();
    QCOMPARE(m_service->timeRequests(), 2);
    QCOMPARE(form.BoxNext->text(), QStringLiteral("09:30:00"));
}

void TestUpdateCycle::manualUpdateWithUnchangedReply()
{
    MainForm& form = *m_f->form;
    tick();
    const int beeps = m_f->fakes.beep->count;
    clockAt(9, 31, 0);
    form.ButManUpdate_Click();
    QVERIFY(m_f->waitUntilIdle());
    QCOMPARE(m_service->timeRequests(), 2);
    QCOMPARE(m_service->signalRequests(), 1);
    QCOMPARE(form.BoxNext->text(), QStringLiteral("09:58:00"));
    QVERIFY(!form.ManUpdate);
    QCOMPARE(m_f->fakes.beep->count, beeps + 1);

    form.CheckSound->setChecked(false);
    m_service->setTime("15:00:00");
    form.ButManUpdate_Click();
    QVERIFY(m_f->waitUntilIdle());
    QCOMPARE(m_service->signalRequests(), 2);
    QCOMPARE(m_f->fakes.beep->count, beeps + 1);
}

void TestUpdateCycle::nonZeroZoneDoesNotChangeTheSchedule()
{
    MainForm& form = *m_f->form;
    form.ListBoxGMT->setCurrentRow(7); // "+05"
    tick();
    QCOMPARE(form.BoxLast->text(), QStringLiteral("19:05:00"));
    clockAt(9, 58, 0);
    check();
    // The same reply again is no news, whatever the zone.
    QCOMPARE(m_service->signalRequests(), 1);
    QCOMPARE(form.BoxNext->text(), QStringLiteral("09:59:00"));
}

void TestUpdateCycle::slowServerIsStillHeard()
{
    MainForm& form = *m_f->form;
    m_service->setTime("14:05:00", 200, 1500);
    m_f->timer().fire();
    // While the reply is on its way the timers go on ticking; none of them
    // starts another cycle or cancels the one that waits.
    QElapsedTimer waited;
    waited.start();
    while (form.updateCycleWaiting() && !waited.hasExpired(10000)) {
        m_f->fakes.clock->advance(1);
        m_f->timer().fire();
        m_f->checkTimer().fire();
        QTest::qWait(100);
    }
    QVERIFY(m_f->waitUntilIdle());
    QCOMPARE(m_service->timeRequests(), 1);
    QCOMPARE(m_service->signalRequests(), 1);
    QCOMPARE(form.FGrid->TextMatrix(1, 1), QStringLiteral("Long"));
}

void TestUpdateCycle::checkTimerWaitsForTheNextCheck()
{
    MainForm& form = *m_f->form;
    tick(); // next check 09:58
    clockAt(9, 57, 59);
    check();
    QCOMPARE(m_service->timeRequests(), 1);
    clockAt(9, 58, 0);
    check();
    QCOMPARE(m_service->timeRequests(), 2);
    QCOMPARE(form.BoxNext->text(), QStringLiteral("09:59:00"));
}

void TestUpdateCycle::replyIsShownInTheChosenZone()
{
    MainForm& form = *m_f->form;
    m_service->setTime("22:00:05\r\n");
    form.ListBoxGMT->setCurrentRow(7); // "+05"
    tick();
    QCOMPARE(form.BoxLast->text(), QStringLiteral("03:00:05"));
    QCOMPARE(form.BoxLastInt, QStringLiteral("22:00:05\r\n"));
    form.ListBoxGMT->setCurrentRow(15); // "-03"
    QCOMPARE(form.BoxLast->text(), QStringLiteral("19:00:05"));
    form.ListBoxGMT->setCurrentRow(7);
    QCOMPARE(form.BoxLast->text(), QStringLiteral("03:00:05"));
    // The export files carry the time as shown.
    QFile daily(m_f->exportFile(QStringLiteral("Kelvo-Daily.csv")));
    QVERIFY(daily.open(QIODevice::ReadOnly));
    QCOMPARE(daily.readAll(), QByteArray("Long,2026-03-02,14:00,1.0842,03:00:05\r\n"));
}

QTEST_MAIN(TestUpdateCycle)
#include "tst_updatecycle.moc"
