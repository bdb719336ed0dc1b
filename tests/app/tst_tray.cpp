// Hiding the window to the notification area and bringing it back.

#include "formfixture.h"
#include "platform/trayicon.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace kelvo;
using namespace kelvo::test;

class TestTray : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void minimizeHidesToTheIcon();
    void doubleClickRestoresAndRemovesTheIcon();
    void onlyALeftDoubleClickRestores_data();
    void onlyALeftDoubleClickRestores();
    void withoutANotificationAreaTheWindowIsMinimized();
    void closingTheWindowRemovesTheIcon();
    void restoreOfAShownWindowChangesNothing();

private:
    std::unique_ptr<FormFixture> m_f;
};

void TestTray::init()
{
    m_f = std::make_unique<FormFixture>();
    m_f->form->Form_Load();
    m_f->form->System = 1;
    m_f->form->ShowMainPanel();
    m_f->form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_f->form.get()));
}

void TestTray::cleanup()
{
    m_f.reset();
}

void TestTray::minimizeHidesToTheIcon()
{
    FakeTrayIcon& tray = *m_f->fakes.trayIcon;
    QTest::mouseClick(m_f->form->ButMinimize, Qt::LeftButton);
    QVERIFY(!m_f->form->isVisible());
    QVERIFY(tray.shown);
    QCOMPARE(tray.tip, QStringLiteral("Kelvo-Rozevid - double click to restore"));
    QCOMPARE(tray.icon.cacheKey(), m_f->form->windowIcon().cacheKey());
}

void TestTray::doubleClickRestoresAndRemovesTheIcon()
{
    FakeTrayIcon& tray = *m_f->fakes.trayIcon;
    for (int round = 1; round <= 2; ++round) {
        m_f->form->ButMinimize_Click();
        QVERIFY(!m_f->form->isVisible());
        QCOMPARE(tray.added, round);
        tray.doubleClick();
        QVERIFY(m_f->form->isVisible());
        QVERIFY(!m_f->form->isMinimized());
        QVERIFY(!tray.shown);
    }
}

void TestTray::onlyALeftDoubleClickRestores_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<bool>("restores");
    QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick) << true;
    QTest::newRow("single click") << int(QSystemTrayIcon::Trigger) << false;
    QTest::newRow("context menu") << int(QSystemTrayIcon::Context) << false;
    QTest::newRow("middle click") << int(QSystemTrayIcon::MiddleClick) << false;
    QTest::newRow("unknown") << int(QSystemTrayIcon::Unknown) << false;
}

void TestTray::onlyALeftDoubleClickRestores()
{
    QFETCH(int, reason);
    QFETCH(bool, restores);
    QCOMPARE(QtTrayIcon::restoresOn(QSystemTrayIcon::ActivationReason(reason)), restores);
}

void TestTray::withoutANotificationAreaTheWindowIsMinimized()
{
    FakeTrayIcon& tray = *m_f->fakes.trayIcon;
    tray.available = false;
    m_f->form->ButMinimize_Click();
    QCOMPARE(tray.added, 0);
    QTRY_VERIFY(m_f->form->isMinimized());
    QVERIFY(m_f->form->isVisible());
    m_f->form->RestoreFromTray();
    QTRY_VERIFY(!m_f->form->isMinimized());
    QVERIFY(m_f->form->isVisible());
}

void TestTray::closingTheWindowRemovesTheIcon()
{
    FakeTrayIcon& tray = *m_f->fakes.trayIcon;
    tray.add(QIcon(), QStringLiteral("left over"));
    QSignalSpy exitSpy(m_f->form.get(), &MainForm::exitRequested);
    m_f->form->close();
    QVERIFY(!tray.shown);
    QCOMPARE(exitSpy.size(), 1);
}

void TestTray::restoreOfAShownWindowChangesNothing()
{
    FakeTrayIcon& tray = *m_f->fakes.trayIcon;
    m_f->form->RestoreFromTray();
    QVERIFY(m_f->form->isVisible());
    QVERIFY(!tray.shown);
    QCOMPARE(tray.added, 0);
}

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
