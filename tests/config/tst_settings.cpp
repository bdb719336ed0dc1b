// Changing the time zone and the export folder, and saving them.

#include "config/configfile.h"
#include "formfixture.h"
#include "restricteddir.h"

#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace kelvo;
using namespace kelvo::test;

namespace {
const int kPlus05 = 7;
const int kMinus03 = 15;
} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void saveButtonFollowsTheDifference();
    void saveWritesBothSettings();
    void enterSavesEvenWhenNothingChanged();
    void folderThatDoesNotExist();
    void unwritableConfigIsNotMarkedSaved();
    void browse_data();
    void browse();
    void zoneBeforeAnyUpdateChangesOnlyTheButton();
    void zoneConversion_data();
    void zoneConversion();

private:
    std::unique_ptr<FormFixture> m_f;
    QString m_exportDir;
};

void TestSettings::init()
{
    m_f = std::make_unique<FormFixture>();
    m_exportDir = m_f->path(QStringLiteral("export/"));
    QDir().mkpath(m_exportDir);
    QFile config(m_f->path(QStringLiteral("Config.dat")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("Path=" + QFile::encodeName(m_exportDir) + "\r\nTimezone=GMT+05\r\n");
    config.close();
    m_f->form->Form_Load();
    m_f->form->System = 1;
    m_f->form->ShowMainPanel();
}

void TestSettings::cleanup()
{
    m_f.reset();
}

void TestSettings::saveButtonFollowsTheDifference()
{
    MainForm& form = *m_f->form;
    QVERIFY(!form.ButSavePath->isEnabled());
    form.BoxPath->setText(m_exportDir + QStringLiteral("x"));
    QVERIFY(form.ButSavePath->isEnabled());
    form.BoxPath->setText(m_exportDir);
    QVERIFY(!form.ButSavePath->isEnabled());
    form.ListBoxGMT->setCurrentRow(kMinus03);
    QVERIFY(form.ButSavePath->isEnabled());
    form.ListBoxGMT->setCurrentRow(kPlus05);
    QVERIFY(!form.ButSavePath->isEnabled());
}

void TestSettings::saveWritesBothSettings()
{
    MainForm& form = *m_f->form;
    const QString other = m_f->path(QStringLiteral("other"));
    QDir().mkpath(other);
    form.BoxPath->setText(other); // typed without a final separator
    form.ListBoxGMT->setCurrentRow(kMinus03);
    QTest::mouseClick(form.ButSavePath, Qt::LeftButton);
    QCOMPARE(readFile(form.configPath()),
             "Path=" + QFile::encodeName(other) + "\r\nTimezone=GMT-03\r\n");
    QVERIFY(!form.ButSavePath->isEnabled());
    QCOMPARE(form.BoxPathString, other);
    QCOMPARE(form.OldGMT, QStringLiteral("-03"));
    QVERIFY(m_f->fakes.messageBox->shown.isEmpty());
}

void TestSettings::enterSavesEvenWhenNothingChanged()
{
    MainForm& form = *m_f->form;
    QFile::remove(form.configPath());
    QVERIFY(!form.ButSavePath->isEnabled());
    QTest::keyClick(form.BoxPath, Qt::Key_Return);
    QCOMPARE(readFile(form.configPath()),
             "Path=" + QFile::encodeName(m_exportDir) + "\r\nTimezone=GMT+05\r\n");
}

void TestSettings::folderThatDoesNotExist()
{
    MainForm& form = *m_f->form;
    form.BoxPath->setText(QStringLiteral("/no/such/folder/"));
    form.ButSavePath_Click();
    QCOMPARE(form.BoxPath->text(), config::defaultExportFolder());
    QVERIFY(!form.ButSavePath->isEnabled());
    QCOMPARE(form.BoxPathString, config::defaultExportFolder());
    QCOMPARE(readFile(form.configPath()),
             "Path=" + QFile::encodeName(config::defaultExportFolder()) +
                 "\r\nTimezone=GMT+05\r\n");
    QCOMPARE(m_f->fakes.messageBox->shown.size(), 1);
    QCOMPARE(m_f->fakes.messageBox->shown.first().title,
             QStringLiteral("Kelvo-Rozevid - Error checking a non-existing folder"));
    QCOMPARE(m_f->fakes.messageBox->shown.first().text,
             QStringLiteral("That folder doesn't exist, the default one has been written to the "
                            "configuration file."));
}

void TestSettings::unwritableConfigIsNotMarkedSaved()
{
    // The window was started in a folder that has since become read-only.
    FakePlatform fakes;
    QTemporaryDir base;
    const QString dir = base.filePath(QStringLiteral("ro"));
    const QByteArray saved = "Path=/\r\nTimezone=GMT+05\r\n";
    RestrictedDir restricted(dir, RestrictedDir::ReadOnly, {{"Config.dat", saved}});
    if (!restricted.isReady())
        QSKIP(qPrintable(restricted.reason()));
    QDir::setCurrent(dir);
    MainForm form(fakes.platform(), QUrl(QStringLiteral("http://127.0.0.1:9")));
    form.Form_Load();
    QDir::setCurrent(QDir::tempPath());
    form.System = 1;
    form.ShowMainPanel();

    form.ListBoxGMT->setCurrentRow(kMinus03);
    form.ButSavePath_Click();
    QCOMPARE(readFile(dir + QStringLiteral("/Config.dat")), saved);
    QVERIFY(form.ButSavePath->isEnabled());
    QCOMPARE(form.OldGMT, QStringLiteral("+05"));
    QCOMPARE(form.BoxPathString, QStringLiteral("/"));
    QCOMPARE(fakes.messageBox->shown.size(), 1);
    const auto message = fakes.messageBox->shown.first();
    QVERIFY(message.title.startsWith(QLatin1String("Kelvo-Rozevid - ")));
    QVERIFY(message.text.contains(dir + QStringLiteral("/Config.dat")));
}

void TestSettings::browse_data()
{
    QTest::addColumn<QList<std::optional<QString>>>("answers");
    QTest::addColumn<QString>("boxPath"); // "%OLD%" for unchanged

    using Answers = QList<std::optional<QString>>;
    QTest::newRow("chosen file gives its folder")
        << Answers{QStringLiteral("/data/signals/today.txt")} << "/data/signals/";
    QTest::newRow("cancel at the first use changes nothing") << Answers{std::nullopt} << "%OLD%";
    QTest::newRow("cancel later gives the earlier choice again")
        << Answers{QStringLiteral("/data/a/x.csv"), std::nullopt} << "/data/a/";
    QTest::newRow("a name without a folder empties the box")
        << Answers{QStringLiteral("x.csv")} << "";
}

void TestSettings::browse()
{
    QFETCH(QList<std::optional<QString>>, answers);
    QFETCH(QString, boxPath);
    MainForm& form = *m_f->form;
    if (boxPath == QLatin1String("%OLD%"))
        boxPath = form.BoxPath->text();
    m_f->fakes.fileDialog->answers = answers;
    for (int i = 0; i < answers.size(); ++i)
        form.ButBrowse_Click();
    QCOMPARE(form.BoxPath->text(), boxPath);
    QCOMPARE(form.ButSavePath->isEnabled(), boxPath != form.BoxPathString);
}

void TestSettings::zoneBeforeAnyUpdateChangesOnlyTheButton()
{
    MainForm& form = *m_f->form;
    form.ListBoxGMT->setCurrentRow(kMinus03);
    QVERIFY(form.BoxLast->text().isEmpty());
    QVERIFY(form.ButSavePath->isEnabled());
}

void TestSettings::zoneConversion_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("zone");
    QTest::addColumn<QString>("shown");
    QTest::newRow("+05") << "14:05:30"
                         << "+05"
                         << "19:05:30";
    QTest::newRow("-12") << "14:05:30"
                         << "-12"
                         << "02:05:30";
    QTest::newRow("+12") << "14:05:30"
                         << "+12"
                         << "02:05:30";
    QTest::newRow("+0") << "14:05:30"
                        << "+0"
                        << "14:05:30";
    QTest::newRow("over midnight") << "23:59:59"
                                   << "+01"
                                   << "00:59:59";
    QTest::newRow("+12 at noon") << "12:00:00"
                                 << "+12"
                                 << "00:00:00";
    QTest::newRow("-12 at 11") << "11:00:00"
                               << "-12"
                               << "23:00:00";
}

void TestSettings::zoneConversion()
{
    QFETCH(QString, raw);
    QFETCH(QString, zone);
    QFETCH(QString, shown);
    MainForm& form = *m_f->form;
    const int row = MainForm::timeZoneEntries().indexOf(zone);
    form.ListBoxGMT->setCurrentRow(row == 0 ? 1 : 0);
    form.BoxLastInt = raw;
    form.ListBoxGMT->setCurrentRow(row);
    QCOMPARE(form.BoxLast->text(), shown);
    // Back and forth gives the same text again: shifts never add up.
    form.ListBoxGMT->setCurrentRow(row == 0 ? 1 : 0);
    form.ListBoxGMT->setCurrentRow(row);
    // A click with Ctrl on the chosen entry leaves it chosen.
    const QRect item = form.ListBoxGMT->visualItemRect(form.ListBoxGMT->currentItem());
    QTest::mouseClick(form.ListBoxGMT->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      item.center());
    QCOMPARE(form.gmtText(), zone);
    QCOMPARE(form.BoxLast->text(), shown);
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
