// One session through the window's handlers, against a real HTTP server, in
// steps that each report on their own: login, a first save of the settings,
// signals into the grid and the export files, a change of positions bringing
// the window back with the alarm, a failed export shown in the window, and
// saving the settings. Each step goes on from where the one before left the
// window. Then "Auto Start", and the starts that log in with the kept login,
// each in a window of its own.

#include "app/phonealertsdialog.h"
#include "config/configfile.h"
#include "platform/filesave.h"
#include "platform/instanceguard.h"
#include "testserver.h"
#include "testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <cmath>

using namespace kelvo;
using kelvo::test::Answer;

class TestMainForm : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void login();
    void steadyWhenInactive();
    void firstSave();
    void signalsToGridAndFiles();
    void hiddenAndBack();
    void failedExport();
    void silence();
    void zoneStaysChosen();
    void cleanupTestCase();
    void autoStart();
    void insideWindow();
    void keptLogin_data();
    void keptLogin();
    void ownIdLock();

private:
    // The signal reply the service gives, fetched once.
    void fetch(const QByteArray& reply)
    {
        service.setSignals(reply);
        const int before = service.signalRequests();
        f->form->session().fetchSignals();
        QVERIFY(f->waitUntilIdle());
        QCOMPARE(service.signalRequests(), before + 1);
    }

    test::TestServer service;
    std::unique_ptr<test::FormFixture> f;
};

void TestMainForm::initTestCase()
{
    QPalette inactiveDiffers = QApplication::palette(); // as Windows' style has it
    inactiveDiffers.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
    inactiveDiffers.setColor(QPalette::Inactive, QPalette::Highlight, Qt::lightGray);
    QApplication::setPalette(inactiveDiffers);
    QVERIFY(service.start());
    f = std::make_unique<test::FormFixture>(service.url(), TransferLimits{.deadlineMs = 1000});
    f->form->load();
    f->form->show();
    f->messageBox->shown.clear(); // the first start's settings message
}

// A service out of reach is told apart from one that refuses the login; the
// next answer takes it.
void TestMainForm::login()
{
    MainForm& form = *f->form;
    QTest::keyClicks(form.BoxUser, QStringLiteral("ann"));
    QTest::keyClicks(form.BoxPassword, QStringLiteral("abc"));
    form.ComboSystem->setCurrentIndex(form.ComboSystem->findText(QStringLiteral("Both Systems")));
    int attempts = 0;
    for (const auto& [answer, text] :
         {std::pair(Answer("", 500), MainForm::serviceUnreachableText()),
          std::pair(Answer(""), MainForm::loginRefusedText())}) {
        service.setSignals(answer);
        QTest::mouseClick(form.Login, Qt::LeftButton);
        QTRY_VERIFY(form.LabError->isVisible());
        QCOMPARE(form.LabError->text(), text);
        QCOMPARE(f->beep->count, ++attempts);
    }
    service.setSignals(Answer("OK"));
    QTest::mouseClick(form.Login, Qt::LeftButton);
    QTRY_VERIFY(form.FGrid->isVisible());
    QVERIFY(!form.LabError->isVisible());
    QVERIFY(form.BoxPassword->text().isEmpty());
}

// The labels, the clock and the check boxes read the same with another window
// active, beside the trading platform, as with this one; before a zone is
// chosen the list shows the one in use, none selected.
void TestMainForm::steadyWhenInactive()
{
    MainForm& form = *f->form;
    const auto steady = [&] {
        QList<QImage> shots{form.CheckSound->grab().toImage()};
        for (QLabel* label : form.findChildren<QLabel*>())
            shots.append(label->grab().toImage());
        return shots;
    };
    form.LabTime->setText(QStringLiteral("09:00:00"));
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    const QList<QImage> active = steady();
    QWidget platform;
    platform.show();
    platform.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&platform) && !form.isActiveWindow());
    QVERIFY(steady() == active);

    QCOMPARE(form.ListBoxGMT->indexAt({1, 1}).data().toString(), QStringLiteral("+0"));
    QVERIFY(form.session().settings().zone().isEmpty());
}

// Browse picks a folder, an empty new one, ended by the separator; a cancelled
// first pick changes nothing. A first save with no zone chosen saves, and
// chooses, the +0 whose times the window shows: the next start reads the file
// back whole.
void TestMainForm::firstSave()
{
    MainForm& form = *f->form;
    const QString exportFolder = f->path(QStringLiteral("export/"));
    QDir().mkpath(exportFolder);
    const QString before = form.BoxPath->text();
    form.ButBrowse->click();
    QCOMPARE(form.BoxPath->text(), before);
    f->fileDialog->chosen = QDir::toNativeSeparators(f->path(QStringLiteral("export")));
    form.ButBrowse->click();
    QCOMPARE(form.BoxPath->text(), QDir::toNativeSeparators(exportFolder));
    QTest::keyClick(form.BoxPath, Qt::Key_Return);
    QCOMPARE(form.session().settings().zone(), QStringLiteral("+0"));
    QFile config(f->path(QStringLiteral("Config.dat")));
    QVERIFY(config.open(QIODevice::ReadOnly));
    const auto reread = config::evaluateConfig(config.readAll(), DirExists);
    config.close();
    QCOMPARE(reread.folder, exportFolder);
    QVERIFY(reread.message == config::LoadMessage::None);
}

// A new service time brings the signals; the first reply sets the positions
// without an alarm.
void TestMainForm::signalsToGridAndFiles()
{
    MainForm& form = *f->form;
    service.setTime(Answer("14:05:00"));
    service.setSignals(Answer("Long,d,t,1,Flat,d,t,2,Short,d,t,3"));
    form.session().runUpdateCycle();
    QVERIFY(f->waitUntilIdle());
    QCOMPARE(form.BoxLast->text(), QStringLiteral("14:05:00"));
    QCOMPARE(form.FGrid->TextMatrix(3, 1), QStringLiteral("Short"));
    QCOMPARE(f->exported(QStringLiteral("Kelvo-Daily.csv")),
             QByteArray("Short,d,t,3,14:05:00\r\n"));
    QCOMPARE(f->exported(QStringLiteral("Kelvo-Hourly.csv")),
             QByteArray("Long,d,t,1,14:05:00\r\n"));
    QCOMPARE(form.ButTestSound->text(), QStringLiteral("Test Alarm"));
}

// Hidden to the notification area; a new entry price is no change, a new
// position brings the window back and starts the alarm.
void TestMainForm::hiddenAndBack()
{
    MainForm& form = *f->form;
    form.ButMinimize->click();
    QVERIFY(!form.isVisible() && f->tray->shown);
    fetch("Long,d,t,1,Flat,d,t,2,Short,d,t,3.5");
    QVERIFY(!form.isVisible());
    QCOMPARE(f->exported(QStringLiteral("Kelvo-Daily.csv")),
             QByteArray("Short,d,t,3.5,14:05:00\r\n"));
    fetch("Long,d,t,1,Flat,d,t,2,Long,d,t,4");
    QVERIFY(form.isVisible() && !f->tray->shown);
    QCOMPARE(form.ButTestSound->text(), QStringLiteral("Stop Alarm"));
    QCOMPARE(f->exported(QStringLiteral("Kelvo-Daily.csv")), QByteArray("Long,d,t,4,14:05:00\r\n"));
}

// A failed export shows in the window, never in a box, until the next good
// one.
void TestMainForm::failedExport()
{
    MainForm& form = *f->form;
    QVERIFY(QDir(f->path(QStringLiteral("export"))).removeRecursively());
    fetch("Long,d,t,1,Flat,d,t,2,Long,d,t,5");
    QVERIFY(form.LabExportError->isVisible());
    QVERIFY(form.LabExportError->toolTip().contains(f->path(QStringLiteral("export"))));
    QVERIFY(f->messageBox->shown.isEmpty());
    QDir().mkpath(f->path(QStringLiteral("export")));
    fetch("Long,d,t,1,Flat,d,t,2,Long,d,t,6");
    QVERIFY(!form.LabExportError->isVisible());
    QCOMPARE(f->exported(QStringLiteral("Kelvo-Daily.csv")), QByteArray("Long,d,t,6,14:05:00\r\n"));
}

// Checks that have failed for five minutes show in the window and the icon's
// tip, over nothing else, until the service answers again.
void TestMainForm::silence()
{
    MainForm& form = *f->form;
    service.setTime(Answer("", 500));
    form.ButMinimize->click();
    f->clock->current = f->clock->current.addSecs(3600); // the next check is due
    QVERIFY(f->runFor(6 * 60));
    const QString since = QStringLiteral("No answer from the service since 09:00");
    QVERIFY(!form.LabNoAnswer->isHidden() && form.LabNoAnswer->text() == since);
    QVERIFY(f->tray->tip.endsWith(since + "\nHTTP status 500"));
    QCOMPARE(form.LabNoAnswer->toolTip(), QStringLiteral("The last check: HTTP status 500"));
    for (const QWidget* other : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        QVERIFY2(other == form.LabNoAnswer || other->isHidden() ||
                     !other->geometry().intersects(form.LabNoAnswer->geometry()),
                 qPrintable(other->objectName()));
    service.setTime(Answer("14:05:00"));
    QVERIFY(f->runFor(10));
    QVERIFY(form.LabNoAnswer->isHidden() && !f->tray->tip.contains(since));
    form.restoreFromTray();
}

// A chosen zone stays chosen, even after a click with Ctrl on it, and is
// saved.
void TestMainForm::zoneStaysChosen()
{
    MainForm& form = *f->form;
    form.ListBoxGMT->setCurrentRow(config::timeZoneEntries().indexOf(QStringLiteral("-03")));
    QCOMPARE(form.BoxLast->text(), QStringLiteral("11:05:00"));
    const QRect item = form.ListBoxGMT->visualItemRect(form.ListBoxGMT->currentItem());
    QTest::mouseClick(form.ListBoxGMT->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      item.center());
    QCOMPARE(form.session().settings().zone(), QStringLiteral("-03"));
    QVERIFY(form.ButSavePath->isEnabled());
    form.ButSavePath->click();
    QFile config(f->path(QStringLiteral("Config.dat")));
    QVERIFY(config.open(QIODevice::ReadOnly));
    QCOMPARE(config.readAll(), "Path=" + QFile::encodeName(f->path(QStringLiteral("export/"))) +
                                   "\r\nTimezone=GMT-03\r\n");
}

// No step showed a box.
void TestMainForm::cleanupTestCase()
{
    QVERIFY(f->messageBox->shown.isEmpty());
    f.reset();
}

// The box keeps the accepted login and the entry, or neither; unchecked, both
// go. An entry naming a program that has moved is rewritten at the start.
void TestMainForm::autoStart()
{
    test::FormFixture f;
    f.signIn(3);
    MainForm& form = *f.form;
    const QString account = service::keptlogin::account(f.folder.path());
    QVERIFY(form.CheckAutoStart->isVisible() && !form.CheckAutoStart->isChecked());
    QCOMPARE(form.CheckText->nextInFocusChain(), form.CheckAutoStart);
    f.store->available = false;
    QTest::mouseClick(form.CheckAutoStart, Qt::LeftButton);
    QVERIFY(!form.CheckAutoStart->isChecked() && f.autostart->entries.isEmpty());
    QCOMPARE(f.messageBox->shown,
             QStringList("Kelvo-Rozevid - Auto Start|" + service::Session::noPasswordStoreText()));
    // Nor can phone alerts be kept; kept, one that is not taken shows under its button.
    form.ButPhoneAlerts->click();
    auto* alerts = form.findChild<PhoneAlertsDialog*>();
    alerts->ntfyUrl->setText("http://127.0.0.1:9/t");
    alerts->save->click();
    QVERIFY(alerts->isVisible() && alerts->note->text().startsWith("No password store"));
    f.store->available = true;
    alerts->save->click();
    QVERIFY(!alerts->isVisible() &&
            f.store->kept.value(account + " (phone alerts)").startsWith("http"));
    form.session().phoneAlerts().send({});
    QVERIFY(f.waitUntilIdle() && !form.LabAlertError->isHidden());
    form.CheckAutoStart->toggle(); // as an assistive technology's action does
    QVERIFY(form.CheckAutoStart->isChecked() && form.focusWidget() == form.CheckAutoStart);
    QVERIFY(form.LabAutoStart->isVisible() && form.LabAutoStart->text().contains("kept"));
    QCOMPARE(f.store->kept.value(account), "ann\nc$cba\n3");
    f.autostart->entries[account] = QStringLiteral("/moved/kelvo-rozevid");
    form.load();
    QCOMPARE(f.autostart->entries,
             (QMap<QString, QString>{{account, QCoreApplication::applicationFilePath()}}));
    // A login that cannot be forgotten keeps its entry and its box, and says so.
    f.store->available = false;
    QTest::mouseClick(form.CheckAutoStart, Qt::LeftButton);
    QVERIFY(form.CheckAutoStart->isChecked() && f.autostart->entries.size() == 1);
    QVERIFY(f.messageBox->shown.last().contains("could not be removed") &&
            f.messageBox->shown.last().contains(account));
    f.store->available = true;
    QTest::mouseClick(form.CheckAutoStart, Qt::LeftButton);
    QVERIFY(f.store->kept.size() == 1 && f.autostart->entries.isEmpty());
    QVERIFY(!form.CheckAutoStart->isChecked() && form.LabAutoStart->text().contains("removed"));
}

// Every control lies wholly inside the window, on screens that scale it by
// 1, 1.25 and 1.5 (96, 120 and 144 dpi), where its edges are rounded.
void TestMainForm::insideWindow()
{
    test::FormFixture f;
    const QSize size = f.form->size();
    for (const QWidget* control : f.form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QRect r = control->geometry(); // (one with no size is never drawn)
        for (const double s : {1.0, 1.25, 1.5})
            QVERIFY2(r.isEmpty() || (r.left() >= 0 && r.top() >= 0 &&
                                     (r.right() + 1) * s <= std::floor(size.width() * s) - 1 &&
                                     (r.bottom() + 1) * s <= std::floor(size.height() * s) - 1),
                     qPrintable(control->objectName()));
    }
}

// A start in a folder with a kept login logs in by itself: the service's
// answers to it in turn, ten seconds apart on the window's clock.
void TestMainForm::keptLogin_data()
{
    QTest::addColumn<QByteArrayList>("answers"); // "500": an error status
    QTest::addColumn<int>("store");              // 0 kept, 1 nothing kept, 2 failing
    QTest::addColumn<bool>("byDesktop");
    QTest::addColumn<int>("trayAfter"); // seconds; -1: no notification area
    QTest::addColumn<QString>("error"); // left on the login panel; none: logged in
    QTest::addColumn<QString>("window");
    const QByteArray signal = "Long,d,t,1,Flat,d,t,2,Short,d,t,3";
    const QByteArrayList ok{signal};
    QTest::newRow("by hand") << ok << 0 << false << 0 << QString() << "shown";
    QTest::newRow("by the desktop") << ok << 0 << true << 0 << QString() << "hidden";
    QTest::newRow("by the desktop, a tray 10 s late")
        << ok << 0 << true << 10 << QString() << "hidden";
    QTest::newRow("by the desktop, no tray in 30 s")
        << ok << 0 << true << -1 << QString() << "minimised";
    QTest::newRow("service down, then up")
        << QByteArrayList{"500", "500", signal} << 0 << true << 0 << QString() << "hidden";
    QTest::newRow("refused, never retried")
        << QByteArrayList{""} << 0 << true << 0 << MainForm::loginRefusedText() << "shown";
    QTest::newRow("service down") << QByteArrayList{"500"} << 0 << false << 0
                                  << MainForm::keptLoginRetryText() << "shown";
    QTest::newRow("nothing kept") << ok << 1 << true << 0 << MainForm::keptLoginUnreadableText()
                                  << "shown";
    QTest::newRow("store fails") << ok << 2 << true << 0 << MainForm::keptLoginUnreadableText()
                                 << "shown";
}

void TestMainForm::keptLogin()
{
    QFETCH(QByteArrayList, answers);
    QFETCH(int, store);
    QFETCH(bool, byDesktop);
    QFETCH(int, trayAfter);
    QFETCH(QString, error);
    QFETCH(QString, window);
    test::TestServer service;
    QVERIFY(service.start());
    service.setTime(Answer("09:00:00"));
    test::FormFixture f(service.url());
    MainForm& form = *f.form;
    const QString account = service::keptlogin::account(f.folder.path());
    f.autostart->entries[account] = QStringLiteral("kelvo-rozevid");
    if (store == 0)
        f.store->kept[account] = QStringLiteral("ann\nc$cba\n3");
    f.store->available = store != 2;
    f.tray->present = trayAfter == 0;
    form.setStartedByDesktop(byDesktop);
    form.load();
    form.show();
    for (int i = 0; i < answers.size(); ++i) {
        const QByteArray& answer = answers.at(i);
        service.setSignals(answer == "500" ? Answer("", 500) : Answer(answer));
        if (i == 0)
            form.session().readKeptLogin();
        else
            QVERIFY(f.runFor(service::keptlogin::kRetrySeconds));
        QVERIFY(f.waitUntilIdle());
        QCOMPARE(service.signalRequests(), store ? 0 : i + 1);
    }
    QVERIFY(f.runFor(10));
    QVERIFY(form.isVisible() || trayAfter == 0);
    f.tray->present = trayAfter >= 0;
    QVERIFY(f.runFor(service::keptlogin::kTrayWaitSeconds - 10));
    QCOMPARE(form.LabError->isHidden() ? QString() : form.LabError->text(), error);
    QCOMPARE(!form.FGrid->isHidden(), error.isEmpty());
    QCOMPARE(form.CheckAutoStart->isChecked(), store == 0);
    QCOMPARE(QString::fromLatin1(form.isMinimized() ? "minimised"
                                 : form.isVisible() ? "shown"
                                                    : "hidden"),
             window);
    if (error == MainForm::loginRefusedText()) {
        // No retry; a login by hand replaces the kept one.
        QCOMPARE(service.signalRequests(), 1);
        QCOMPARE(form.BoxUser->text() + form.ComboSystem->currentText(),
                 QStringLiteral("annBoth Systems"));
        QTest::keyClicks(form.BoxPassword, QStringLiteral("xyz"));
        service.setSignals(Answer("OK"));
        QTest::mouseClick(form.Login, Qt::LeftButton);
        QTRY_VERIFY(form.FGrid->isVisible());
        QCOMPARE(f.store->kept.value(account), QStringLiteral("ann\nz$zyx\n3"));
    }
}

// A lock left under this very process's id, reused since, is stale.
void TestMainForm::ownIdLock()
{
    QTemporaryDir folder;
    InstanceGuard guard(folder.path());
    QFile lock(guard.lockFile());
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
               QCoreApplication::applicationFilePath().toUtf8() + '\n' +
               QSysInfo::machineHostName().toUtf8() + '\n');
    lock.close();
    QVERIFY(guard.claim() == InstanceGuard::Claim::First);
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
