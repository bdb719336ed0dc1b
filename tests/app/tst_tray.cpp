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
    void whichActivationRestores_data();
    void whichActivationRestores();
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

void TestTray::whichActivationRestores_data()
{
    using enum QSystemTrayIcon::ActivationReason;
    QTest::addColumn<int>("reason");
    QTest::addColumn<bool>("onStatusNotifierHost");
    QTest::addColumn<bool>("restores");
    QTest::newRow("double click") << int(DoubleClick) << false << true;
    QTest::newRow("single click") << int(Trigger) << false << false;
    QTest::newRow("context menu") << int(Context) << false << false;
    QTest::newRow("middle click") << int(MiddleClick) << false << false;
    QTest::newRow("unknown") << int(Unknown) << false << false;
    QTest::newRow("activation of the item") << int(Trigger) << true << true;
    QTest::newRow("secondary activation") << int(MiddleClick) << true << false;
}

void TestTray::whichActivationRestores()
{
    QFETCH(int, reason);
    QFETCH(bool, onStatusNotifierHost);
    QFETCH(bool, restores);
    const auto host =
        onStatusNotifierHost ? QtTrayIcon::Host::StatusNotifier : QtTrayIcon::Host::XEmbed;
    QCOMPARE(QtTrayIcon::restoresOn(QSystemTrayIcon::ActivationReason(reason), host), restores);
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
