// Fetching the signals: the grid, the change of positions, the alarm, the
// window coming back and the export files, against a real HTTP server.

#include "formfixture.h"
#include "testhttpserver.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace kelvo;
using namespace kelvo::test;

namespace {

} // namespace

class TestFetchSignals : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void nothingBeforeLogin();
    void firstReplySetsTheKeyWithoutAlarm();
    void changeOfPositionRaisesTheAlarmAndRestores();
    void entryPriceAloneIsNoChangeButRewritesTheFiles();
    void joinedPositionsThatReadAlikeAreNoChange();
    void emptyReplyChangesNothing();
    void oneBeepPerCallWithCheckSound();
    void uncheckedExportWritesNothing();
    void uncheckedSignalAlarmStillRestoresAndWrites();
    void shortReplyIsNoChange_data();
    void shortReplyIsNoChange();
    void signalRequestCarriesTheLogin();
    void trailingLineBreakStaysOutOfTheExport();

private:
    void fetch(const QByteArray& reply);

    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<FormFixture> m_f;
};

void TestFetchSignals::init()
{
    m_server = std::make_unique<TestHttpServer>();
    QVERIFY(m_server->listen());
    m_f = std::make_unique<FormFixture>(m_server->url());
}

void TestFetchSignals::cleanup()
{
    m_f.reset();
    m_server.reset();
}

void TestFetchSignals::fetch(const QByteArray& reply)
{
    m_server->setResponse(respond(200, reply));
    const int before = m_server->requestCount();
    m_f->form->FetchSignals();
    QTRY_VERIFY(m_server->requestCount() == before + 1 &&
                !m_f->form->InetSignals->stillExecuting());
}

void TestFetchSignals::nothingBeforeLogin()
{
    m_f->form->Form_Load();
    m_f->form->FetchSignals();
    QTest::qWait(50);
    QCOMPARE(m_server->requestCount(), 0);
    QCOMPARE(m_f->fakes.beep->count, 0);
    QVERIFY(!m_f->form->InetSignals->stillExecuting());
}

void TestFetchSignals::firstReplySetsTheKeyWithoutAlarm()
{
    m_f->signIn(1);
    MainForm& form = *m_f->form;
    form.BoxLast->setText(QStringLiteral("14:05:00"));
    fetch("Long,2026-12-04,14:00,1.0842");
    QCOMPARE(form.FGrid->TextMatrix(1, 1), QStringLiteral("Long"));
    QCOMPARE(form.FGrid->TextMatrix(1, 2), QStringLiteral("2026-12-04"));
    QCOMPARE(form.FGrid->TextMatrix(1, 3), QStringLiteral("14:00"));
    QCOMPARE(form.FGrid->TextMatrix(1, 4), QStringLiteral("1.0842"));
    QCOMPARE(form.OldOrders, QStringLiteral("Long"));
    QCOMPARE(form.ButTestSound->text(), QStringLiteral("Test Alarm"));
    QCOMPARE(readFile(m_f->exportFile(QStringLiteral("Kelvo-Daily.csv"))),
             QByteArray("Long,2026-12-04,14:00,1.0842,14:05:00\r\n"));
    QVERIFY(!QFile::exists(m_f->exportFile(QStringLiteral("Kelvo-Hourly.csv"))));
}

void TestFetchSignals::changeOfPositionRaisesTheAlarmAndRestores()
{
    m_f->signIn(3);
    MainForm& form = *m_f->form;
    fetch("Long,d,t,1,Flat,d,t,2,Short,d,t,3");
    form.ButMinimize_Click();
    QVERIFY(!form.isVisible());
    QVERIFY(m_f->fakes.trayIcon->shown);

    fetch("Long,d,t,1,Flat,d,t,2,Long,d,t,3");
    QVERIFY(form.isVisible());
    QVERIFY(!m_f->fakes.trayIcon->shown);
    QCOMPARE(form.ButTestSound->text(), QStringLiteral("Stop Alarm"));
    QCOMPARE(form.OldOrders, QStringLiteral("LongFlatLong"));
    QCOMPARE(form.FGrid->TextMatrix(3, 1), QStringLiteral("Long"));
}

void TestFetchSignals::entryPriceAloneIsNoChangeButRewritesTheFiles()
{
    m_f->signIn(2);
    MainForm& form = *m_f->form;
    form.BoxLast->setText(QStringLiteral("10:00:00"));
    fetch("Long,d,t,1.1,Flat,d,t,2.2");
    form.ButMinimize_Click();
    form.BoxLast->setText(QStringLiteral("11:00:00"));
    fetch("Long,d,t,1.5,Flat,d,t,2.9");
    QVERIFY(!form.isVisible());
    QCOMPARE(form.ButTestSound->text(), QStringLiteral("Test Alarm"));
    QCOMPARE(form.FGrid->TextMatrix(1, 4), QStringLiteral("1.5"));
    QCOMPARE(form.FGrid->TextMatrix(2, 4), QStringLiteral("2.9"));
    QCOMPARE(readFile(m_f->exportFile(QStringLiteral("Kelvo-Hourly.csv"))),
             QByteArray("Long,d,t,1.5,11:00:00\r\n"));
}

void TestFetchSignals::joinedPositionsThatReadAlikeAreNoChange()
{
    m_f->signIn(2);
    MainForm& form = *m_f->form;
    fetch("AB,d,t,1,C,d,t,2");
    form.ButMinimize_Click();
    fetch("A,d,t,1,BC,d,t,2");
    QVERIFY(!form.isVisible());
    QCOMPARE(form.ButTestSound->text(), QStringLiteral("Test Alarm"));
}

void TestFetchSignals::emptyReplyChangesNothing()
{
    m_f->signIn(1);
    MainForm& form = *m_f->form;
    form.BoxLast->setText(QStringLiteral("10:00:00"));
    fetch("Long,d,t,1");
    const QByteArray file = readFile(m_f->exportFile(QStringLiteral("Kelvo-Daily.csv")));
    form.BoxLast->setText(QStringLiteral("11:00:00"));
    fetch("");
    QCOMPARE(form.FGrid->TextMatrix(1, 1), QStringLiteral("Long"));
    QCOMPARE(form.OldOrders, QStringLiteral("Long"));
    QCOMPARE(readFile(m_f->exportFile(QStringLiteral("Kelvo-Daily.csv"))), file);
}

void TestFetchSignals::oneBeepPerCallWithCheckSound()
{
    m_f->signIn(1);
    fetch("Long,d,t,1");
    fetch("");
    QCOMPARE(m_f->fakes.beep->count, 2);
    m_f->form->CheckSound->setChecked(false);
    fetch("Long,d,t,1");
    QCOMPARE(m_f->fakes.beep->count, 2);
}

void TestFetchSignals::uncheckedExportWritesNothing()
{
    m_f->signIn(3);
    m_f->form->CheckText->setChecked(false);
    fetch("H,d,t,1,F,d,t,2,D,d,t,3");
    QCOMPARE(m_f->form->FGrid->TextMatrix(3, 1), QStringLiteral("D"));
    QVERIFY(QDir(m_f->path(QStringLiteral("export"))).isEmpty());
}

void TestFetchSignals::uncheckedSignalAlarmStillRestoresAndWrites()
{
    m_f->signIn(1);
    MainForm& form = *m_f->form;
    form.CheckAlarm->setChecked(false);
    fetch("Long,d,t,1");
    form.ButMinimize_Click();
    fetch("Short,d,t,1");
    QVERIFY(form.isVisible());
    QCOMPARE(form.OldOrders, QStringLiteral("Short"));
    QCOMPARE(form.ButTestSound->text(), QStringLiteral("Test Alarm"));
    QVERIFY(readFile(m_f->exportFile(QStringLiteral("Kelvo-Daily.csv"))).startsWith("Short,"));
    // "Test Alarm" still works by hand.
    form.ButTestSound_Click();
    QCOMPARE(form.ButTestSound->text(), QStringLiteral("Stop Alarm"));
}

void TestFetchSignals::shortReplyIsNoChange_data()
{
    QTest::addColumn<int>("system");
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("shortReply");
    QTest::addColumn<QStringList>("rows"); // Position column after the short reply
    QTest::addColumn<QByteArray>("hourly");
    QTest::addColumn<QByteArray>("daily");

    QTest::newRow("hourly without field 5")
        << 2 << QByteArray("Long,d,t,1,Flat,d,t,2") << QByteArray("Short,d2,t2,9")
        << QStringList{"Short", "Flat"} << QByteArray("Short,d2,t2,9,12:00:00\r\n")
        << QByteArray("<unreadable>"); // never written
    QTest::newRow("both without field 9")
        << 3 << QByteArray("Long,d,t,1,Flat,d,t,2,Long,d,t,3")
        << QByteArray("Short,d2,t2,9,Long,d2,t2,8") << QStringList{"Short", "Long", "Long"}
        << QByteArray("Short,d2,t2,9,12:00:00\r\n") << QByteArray("Long,d,t,3,11:00:00\r\n");
}

void TestFetchSignals::shortReplyIsNoChange()
{
    QFETCH(int, system);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, shortReply);
    QFETCH(QStringList, rows);
    QFETCH(QByteArray, hourly);
    QFETCH(QByteArray, daily);

    m_f->signIn(system);
    MainForm& form = *m_f->form;
    form.BoxLast->setText(QStringLiteral("11:00:00"));
    fetch(first);
    const QString key = form.OldOrders;
    form.ButMinimize_Click();
    form.BoxLast->setText(QStringLiteral("12:00:00"));
    fetch(shortReply);

    QVERIFY(!form.isVisible());
    QCOMPARE(form.OldOrders, key);
    QCOMPARE(form.ButTestSound->text(), QStringLiteral("Test Alarm"));
    for (int row = 1; row <= rows.size(); ++row)
        QCOMPARE(form.FGrid->TextMatrix(row, 1), rows.at(row - 1));
    QCOMPARE(readFile(m_f->exportFile(QStringLiteral("Kelvo-Hourly.csv"))), hourly);
    QCOMPARE(readFile(m_f->exportFile(QStringLiteral("Kelvo-Daily.csv"))), daily);
}

void TestFetchSignals::signalRequestCarriesTheLogin()
{
    m_f->signIn(3);
    fetch("a,b,c,d");
    QCOMPARE(m_server->requests().last(),
             QByteArray("/software/ProgSignals.php?u=ann&p=c%24cba&s=3"));
}

void TestFetchSignals::trailingLineBreakStaysOutOfTheExport()
{
    m_f->signIn(1);
    m_f->form->BoxLast->setText(QStringLiteral("10:00:00"));
    fetch("Long,d,t,1.25\r\n");
    QCOMPARE(m_f->form->FGrid->TextMatrix(1, 4), QStringLiteral("1.25"));
    QCOMPARE(readFile(m_f->exportFile(QStringLiteral("Kelvo-Daily.csv"))),
             QByteArray("Long,d,t,1.25,10:00:00\r\n"));
}

QTEST_MAIN(TestFetchSignals)
#include "tst_fetchsignals.moc"
