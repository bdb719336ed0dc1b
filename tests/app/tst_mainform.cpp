// One session through the window's handlers, against a real HTTP server:
// login, a first save of the settings, signals into the grid and the export
// files, a change of positions bringing the window back with the alarm, a
// failed export shown in the window, and saving the settings.

#include "config/configfile.h"
#include "testserver.h"
#include "testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace kelvo;
using kelvo::test::Answer;

class TestMainForm : public QObject {
    Q_OBJECT
private slots:
    void session();
};

void TestMainForm::session()
{
    QPalette inactiveDiffers = QApplication::palette(); // as Windows' style has it
    inactiveDiffers.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
    inactiveDiffers.setColor(QPalette::Inactive, QPalette::Highlight, Qt::lightGray);
    QApplication::setPalette(inactiveDiffers);
    test::TestServer service;
    QVERIFY(service.start());
    test::FormFixture f(service.url());
    MainForm& form = *f.form;
    form.Form_Load();
    form.show();
    f.messageBox->shown.clear(); // the first start's settings message
    const auto fetch = [&](const QByteArray& reply) {
        service.setSignals(reply);
        const int before = service.signalRequests();
        form.FetchSignals();
        QVERIFY(f.waitUntilIdle());
        QCOMPARE(service.signalRequests(), before + 1);
    };

    // A service out of reach is told apart from one that refuses the login;
    // the next answer takes it.
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
        QCOMPARE(f.beep->count, ++attempts);
    }
    service.setSignals(Answer("OK"));
    QTest::mouseClick(form.Login, Qt::LeftButton);
    QTRY_VERIFY(form.FGrid->isVisible());
    QVERIFY(!form.LabError->isVisible());
    QVERIFY(form.BoxPassword->text().isEmpty());

    // The labels, the clock and the check boxes read the same with another
    // window active, beside the trading platform, as with this one.
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

    // Before a zone is chosen the list shows the one in use, none selected.
    QCOMPARE(form.ListBoxGMT->indexAt({1, 1}).data().toString(), QStringLiteral("+0"));
    QVERIFY(form.gmtText().isEmpty());

    // Browse picks a folder, an empty new one, ended by the separator; a
    // cancelled first pick changes nothing. A first save with no zone chosen
    // saves, and chooses, the +0 whose times the window shows: the next start
    // reads the file back whole.
    const QString exportFolder = f.path(QStringLiteral("export/"));
    QDir().mkpath(exportFolder);
    const QString before = form.BoxPath->text();
    form.ButBrowse->click();
    QCOMPARE(form.BoxPath->text(), before);
    f.fileDialog->chosen = QDir::toNativeSeparators(f.path(QStringLiteral("export")));
    form.ButBrowse->click();
    QCOMPARE(form.BoxPath->text(), QDir::toNativeSeparators(exportFolder));
    QTest::keyClick(form.BoxPath, Qt::Key_Return);
    QCOMPARE(form.gmtText(), QStringLiteral("+0"));
    QFile config(f.path(QStringLiteral("Config.dat")));
    QVERIFY(config.open(QIODevice::ReadOnly));
    const auto reread = config::evaluateConfig(config.readAll(), config::DirExists);
    config.close();
    QCOMPARE(reread.folder, exportFolder);
    QVERIFY(reread.message == config::LoadMessage::None);

    // The first reply sets the positions without an alarm.
    form.BoxLast->setText(QStringLiteral("14:05:00"));
    fetch("Long,d,t,1,Flat,d,t,2,Short,d,t,3");
    QCOMPARE(form.FGrid->TextMatrix(3, 1), QStringLiteral("Short"));
    QCOMPARE(f.exported(QStringLiteral("Kelvo-Daily.csv")), QByteArray("Short,d,t,3,14:05:00\r\n"));
    QCOMPARE(f.exported(QStringLiteral("Kelvo-Hourly.csv")), QByteArray("Long,d,t,1,14:05:00\r\n"));
    QCOMPARE(form.ButTestSound->text(), QStringLiteral("Test Alarm"));

    // Hidden to the notification area; a new entry price is no change, a new
    // position brings the window back and starts the alarm.
    form.ButMinimize_Click();
    QVERIFY(!form.isVisible() && f.tray->shown);
    fetch("Long,d,t,1,Flat,d,t,2,Short,d,t,3.5");
    QVERIFY(!form.isVisible());
    QCOMPARE(f.exported(QStringLiteral("Kelvo-Daily.csv")),
             QByteArray("Short,d,t,3.5,14:05:00\r\n"));
    fetch("Long,d,t,1,Flat,d,t,2,Long,d,t,4");
    QVERIFY(form.isVisible() && !f.tray->shown);
    QCOMPARE(form.ButTestSound->text(), QStringLiteral("Stop Alarm"));
    QCOMPARE(f.exported(QStringLiteral("Kelvo-Daily.csv")), QByteArray("Long,d,t,4,14:05:00\r\n"));

    // A failed export shows in the window, never in a box, until the next
    // good one.
    QVERIFY(QDir(f.path(QStringLiteral("export"))).removeRecursively());
    fetch("Long,d,t,1,Flat,d,t,2,Long,d,t,5");
    QVERIFY(form.LabExportError->isVisible());
    QVERIFY(form.LabExportError->toolTip().contains(f.path(QStringLiteral("export"))));
    QVERIFY(f.messageBox->shown.isEmpty());
    QDir().mkpath(f.path(QStringLiteral("export")));
    fetch("Long,d,t,1,Flat,d,t,2,Long,d,t,6");
    QVERIFY(!form.LabExportError->isVisible());
    QCOMPARE(f.exported(QStringLiteral("Kelvo-Daily.csv")), QByteArray("Long,d,t,6,14:05:00\r\n"));

    // A chosen zone stays chosen, even after a click with Ctrl on it.
    form.BoxLastInt = QStringLiteral("14:05:00");
    form.ListBoxGMT->setCurrentRow(MainForm::timeZoneEntries().indexOf(QStringLiteral("-03")));
    QCOMPARE(form.BoxLast->text(), QStringLiteral("11:05:00"));
    const QRect item = form.ListBoxGMT->visualItemRect(form.ListBoxGMT->currentItem());
    QTest::mouseClick(form.ListBoxGMT->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      item.center());
    QCOMPARE(form.gmtText(), QStringLiteral("-03"));
    form.ButSavePath_Click();
    QVERIFY(config.open(QIODevice::ReadOnly));
    QCOMPARE(config.readAll(),
             "Path=" + QFile::encodeName(exportFolder) + "\r\nTimezone=GMT-03\r\n");

    QVERIFY(f.messageBox->shown.isEmpty());
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
