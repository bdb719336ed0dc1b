// What a disk that says no does to the export files and the settings file:
// nothing crashes, nothing half written is left behind, the last good line
// stays, and the user hears of it only where the settings are concerned.

#include "fakeservice.h"
#include "formfixture.h"
#include "restricteddir.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace kelvo;
using namespace kelvo::test;

namespace {

const FileMap kGoodFiles = {{"Kelvo-Daily.csv", "Short,2026-03-02,09:00,1.1003,09:00:00\r\n"},
                            {"Kelvo-Hourly.csv", "Long,2026-03-02,09:00,1.1001,09:00:00\r\n"}};
const QByteArray kNewSignals = "Short,2026-03-02,10:00,1.2001,Flat,2026-03-02,10:00,1.2002,"
                               "Long,2026-03-02,10:00,1.2003";

} // namespace

Q_DECLARE_METATYPE(kelvo::test::FileMap)

class TestDiskFaults : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void exportFolderRefuses_data();
    void exportFolderRefuses();
    void exportFolderRemovedAndBack();
    void settingsOnAFullDisk();

private:
    void fetch()
    {
        m_f->form->FetchSignals();
        QVERIFY(m_f->waitUntilIdle());
    }

    std::unique_ptr<FakeService> m_service;
    std::unique_ptr<FormFixture> m_f;
};

void TestDiskFaults::init()
{
    m_service = std::make_unique<FakeService>();
    QVERIFY(m_service->start());
    m_service->setSignals(kNewSignals);
    m_f = std::make_unique<FormFixture>(m_service->url());
    m_f->signIn(3);
    m_f->fakes.messageBox->shown.clear();
    m_f->form->BoxLast->setText(QStringLiteral("10:00:00"));
}

void TestDiskFaults::cleanup()
{
    m_f.reset();
    m_service.reset();
}

void TestDiskFaults::exportFolderRefuses_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("priceDigits"); // appended to the daily entry price
    QTest::addColumn<FileMap>("after");
    QTest::addColumn<bool>("failed");
    const QByteArray longer(5000, '7');
    const FileMap written = {{"Kelvo-Daily.csv", "Long,2026-03-02,10:00,1.2003,10:00:00\r\n"},
                             {"Kelvo-Hourly.csv", "Short,2026-03-02,10:00,1.2001,10:00:00\r\n"}};
    QTest::newRow("read-only") << int(RestrictedDir::ReadOnly) << QByteArray() << kGoodFiles
                               << true;
    QTest::newRow("full") << int(RestrictedDir::Full) << QByteArray() << kGoodFiles << true;
    // Rewritten in place; a line that needs more room than the disk has
    // leaves the old one whole.
    QTest::newRow("no new files") << int(RestrictedDir::NoNewFiles) << QByteArray() << written
                                  << false;
    QTest::newRow("full, no new files")
        << int(RestrictedDir::FullNoNewFiles) << longer
        << FileMap{{"Kelvo-Daily.csv", kGoodFiles.value("Kelvo-Daily.csv")},
                   {"Kelvo-Hourly.csv", written.value("Kelvo-Hourly.csv")}}
        << true;
}

void TestDiskFaults::exportFolderRefuses()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, priceDigits);
    QFETCH(FileMap, after);
    QFETCH(bool, failed);
    RestrictedDir dir(m_f->path(QStringLiteral("restricted")), RestrictedDir::Kind(kind),
                      kGoodFiles);
    if (!dir.isReady())
        QSKIP(qPrintable(dir.reason()));
    m_f->form->BoxPath->setText(dir.path());
    m_service->setSignals(kNewSignals + priceDigits);

    fetch();
    fetch();
    QCOMPARE(m_f->form->FGrid->TextMatrix(3, 4), QString::fromLatin1("1.2003" + priceDigits));
    QCOMPARE(filesIn(dir.path()), after);
    // A failure shows in the window, never in a box.
    QCOMPARE(m_f->form->LabExportError->isHidden(), !failed);
    QVERIFY(m_f->fakes.messageBox->shown.isEmpty());
}

void TestDiskFaults::exportFolderRemovedAndBack()
{
    const QString dir = m_f->path(QStringLiteral("export"));
    QVERIFY(QDir(dir).removeRecursively());
    fetch();
    QVERIFY(!QFileInfo::exists(dir));
    QCOMPARE(filesIn(m_f->folder.path()).keys(), QStringList{"Config.dat"});
    QVERIFY(m_f->fakes.messageBox->shown.isEmpty());
    QVERIFY(m_f->form->LabExportError->toolTip().contains(dir));

    QVERIFY(QDir().mkpath(dir));
    fetch();
    QVERIFY(m_f->form->LabExportError->isHidden());
    QCOMPARE(filesIn(dir).value(QStringLiteral("Kelvo-Daily.csv")),
             QByteArray("Long,2026-03-02,10:00,1.2003,10:00:00\r\n"));
}

void TestDiskFaults::settingsOnAFullDisk()
{
    // The program was started in a folder whose disk has since filled up.
    const QByteArray saved = "Path=/\r\nTimezone=GMT+05\r\n";
    RestrictedDir dir(m_f->path(QStringLiteral("full")), RestrictedDir::Full,
                      {{"Config.dat", saved}});
    if (!dir.isReady())
        QSKIP(qPrintable(dir.reason()));
    FakePlatform fakes;
    QDir::setCurrent(dir.path());
    MainForm form(fakes.platform(), m_service->url());
    form.Form_Load();
    form.System = 1;
    form.ShowMainPanel();
    form.ListBoxGMT->setCurrentRow(0);
    form.ButSavePath_Click();
    QDir::setCurrent(m_f->folder.path());

    QCOMPARE(filesIn(dir.path()), (FileMap{{"Config.dat", saved}}));
    QCOMPARE(fakes.messageBox->shown.size(), 1);
    QVERIFY(fakes.messageBox->shown.first().text.contains(QLatin1String("could not be saved")));
    QVERIFY(form.ButSavePath->isEnabled());
    QCOMPARE(form.OldGMT, QStringLiteral("+05"));
}

QTEST_MAIN(TestDiskFaults)
#include "tst_diskfaults.moc"
