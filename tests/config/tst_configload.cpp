// Loading Config.dat at start-up: what the window shows, what the file holds
// afterwards, and which message the user sees.

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

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

const QByteArray kDefault = config::defaultConfigContent();
const QString kReadTitle =
    QStringLiteral("Kelvo-Rozevid - Error while reading the configuration file");
const QString kMissing = QStringLiteral(
    "Your configuration file is missing. A new one has been created, please update it later.");
const QString kCorrupted = QStringLiteral(
    "Your configuration file is corrupted. A new one has been created, please update it later.");
const QString kAddressTitle = QStringLiteral(
    "Kelvo-Rozevid - Error while checking the default writing address on the configuration file");

} // namespace

class TestConfigLoad : public QObject {
    Q_OBJECT
private slots:
    void load_data();
    void load();
    void defaultContentIsTwoCrLfLines();
    void addressMessageNamesThePlatformDefault();
    void configThatIsAFolder();
    void corruptedConfigInReadOnlyFolder();
    void validConfigInReadOnlyFolderIsLeftAlone();
    void laterChangeOfFolderDoesNotMoveTheFile();
};

// "%DIR%" in the content stands for an existing folder, "%DIR%/" for the
// same with a final separator.
void TestConfigLoad::load_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("boxPath"); // "%DEFAULT%" for the platform default
    QTest::addColumn<QString>("zone");
    QTest::addColumn<bool>("rewritten");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");

    const QString def = QStringLiteral("%DEFAULT%");
    const QString dir = QStringLiteral("%DIR%/");

    QTest::newRow("missing") << false << QByteArray() << def << QString() << true << kReadTitle
                             << kMissing;
    QTest::newRow("valid +05") << true << QByteArray("Path=%DIR%/\r\nTimezone=GMT+05\r\n") << dir
                               << "+05" << false << QString() << QString();
    QTest::newRow("valid +0") << true << QByteArray("Path=%DIR%/\r\nTimezone=GMT+0\r\n") << dir
                              << "+0" << false << QString() << QString();
    QTest::newRow("valid -12") << true << QByteArray("Path=%DIR%/\r\nTimezone=GMT-12\r\n") << dir
                               << "-12" << false << QString() << QString();
    QTest::newRow("folder without final separator kept as typed")
        << true << QByteArray("Path=%DIR%\r\nTimezone=GMT+01\r\n") << "%DIR%"
        << "+01" << false << QString() << QString();
    QTest::newRow("+5 names no entry, no message")
        << true << QByteArray("Path=%DIR%/\r\nTimezone=GMT+5\r\n") << dir << QString() << false
        << QString() << QString();
    QTest::newRow("-00 names no entry, no message")
        << true << QByteArray("Path=%DIR%/\r\nTimezone=GMT-00\r\n") << dir << QString() << false
        << QString() << QString();
    QTest::newRow("CR alone ends lines") << true << QByteArray("Path=%DIR%/\rTimezone=GMT+02\r")
                                         << dir << "+02" << false << QString() << QString();
    QTest::newRow("no final line end") << true << QByteArray("Path=%DIR%/\r\nTimezone=GMT+03")
                                       << dir << "+03" << false << QString() << QString();
    QTest::newRow("text after the second = dropped")
        << true << QByteArray("Path=%DIR%/=junk\r\nTimezone=GMT-03\r\n") << dir << "-03" << false
        << QString() << QString();
    QTest::newRow("third line ignored")
        << true << QByteArray("Path=%DIR%/\r\nTimezone=GMT+04\r\nrubbish\r\n") << dir << "+04"
        << false << QString() << QString();

    QTest::newRow("empty file") << true << QByteArray() << def << QString() << true << kReadTitle
                                << kCorrupted;
    QTest::newRow("only the path line") << true << QByteArray("Path=%DIR%/\r\n") << dir << QString()
                                        << true << kReadTitle << kCorrupted;
    QTest::newRow("zone +13") << true << QByteArray("Path=%DIR%/\r\nTimezone=GMT+13\r\n") << dir
                              << QString() << true << kReadTitle << kCorrupted;
    QTest::newRow("zone +012") << true << QByteArray("Path=%DIR%/\r\nTimezone=GMT+012\r\n") << dir
                               << QString() << true << kReadTitle << kCorrupted;
    QTest::newRow("zone with a blank") << true << QByteArray("Path=%DIR%/\r\nTimezone=GMT 5\r\n")
                                       << dir << QString() << true << kReadTitle << kCorrupted;
    QTest::newRow("zone without offset") << true << QByteArray("Path=%DIR%/\r\nTimezone=GMT\r\n")
                                         << dir << QString() << true << kReadTitle << kCorrupted;
    QTest::newRow("zone prefix in other case")
        << true << QByteArray("Path=%DIR%/\r\ntimezone=gmt+05\r\n") << dir << QString() << true
        << kReadTitle << kCorrupted;
    QTest::newRow("path= in lower case keeps a valid zone")
        << true << QByteArray("path=%DIR%/\r\nTimezone=GMT+05\r\n") << def << "+05" << true
        << kReadTitle << kCorrupted;
    QTest::newRow("Path= with nothing behind") << true << QByteArray("Path=\r\nTimezone=GMT+05\r\n")
                                               << def << "+05" << true << kReadTitle << kCorrupted;
    QTest::newRow("lines swapped") << true << QByteArray("Timezone=GMT+05\r\nPath=%DIR%/\r\n")
                                   << def << QString() << true << kReadTitle << kCorrupted;
    QTest::newRow("folder does not exist keeps the zone on screen")
        << true << QByteArray("Path=/no/such/folder/\r\nTimezone=GMT-03\r\n") << def << "-03"
        << true << kAddressTitle << QString();
    QTest::newRow("LF alone runs line 1 into the zone")
        << true << QByteArray("Path=%DIR%/\nTimezone=GMT+05\n") << def << QString() << true
        << kAddressTitle << QString();
}

void TestConfigLoad::load()
{
    QFETCH(bool, present);
    QFETCH(QByteArray, content);
    QFETCH(QString, boxPath);
    QFETCH(QString, zone);
    QFETCH(bool, rewritten);
    QFETCH(QString, title);
    QFETCH(QString, text);

    FormFixture f;
    const QString exportDir = f.path(QStringLiteral("export"));
    QVERIFY(QDir().mkpath(exportDir));
    content.replace("%DIR%", QFile::encodeName(exportDir));
    boxPath.replace(QStringLiteral("%DIR%"), exportDir);
    boxPath.replace(QStringLiteral("%DEFAULT%"), config::defaultExportFolder());
    const QString configPath = f.path(QStringLiteral("Config.dat"));
    if (present)
        writeAll(configPath, content);

    f.form->Form_Load();

    QCOMPARE(f.form->AppPath, f.folder.path() + QLatin1Char('/'));
    QCOMPARE(f.form->BoxPath->text(), boxPath);
    QCOMPARE(f.form->BoxPathString, boxPath);
    QCOMPARE(f.form->gmtText(), zone);
    QCOMPARE(f.form->OldGMT, zone);
    QCOMPARE(readFile(configPath), rewritten ? kDefault : content);
    // No temporary file is left beside it.
    QCOMPARE(QDir(f.folder.path()).entryList(QDir::Files), QStringList{"Config.dat"});

    const auto& shown = f.fakes.messageBox->shown;
    if (title.isEmpty()) {
        QVERIFY(shown.isEmpty());
    } else {
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().title, title);
        if (!text.isEmpty())
            QCOMPARE(shown.first().text, text);
    }
    QCOMPARE(f.form->FGrid->TextMatrix(0, 0), QStringLiteral("Time: GMT+0"));
}

void TestConfigLoad::defaultContentIsTwoCrLfLines()
{
    const QByteArray expected =
        "Path=" + QFile::encodeName(config::defaultExportFolder()) + "\r\nTimezone=GMT+0\r\n";
    QCOMPARE(config::defaultConfigContent(), expected);
#ifndef Q_OS_WIN
    QVERIFY(config::defaultExportFolder().endsWith(QLatin1Char('/')));
    QCOMPARE(config::defaultExportFolder(), QDir::homePath() + QLatin1Char('/'));
#endif
}

void TestConfigLoad::addressMessageNamesThePlatformDefault()
{
    const config::Message message = config::loadMessage(config::LoadMessage::Address);
    QCOMPARE(message.text,
             QStringLiteral("Your default address for writing files was wrong on the config file. "
                            "The default one (%1) has been written again, please check it later.")
                 .arg(config::defaultExportFolder()));
}

void TestConfigLoad::configThatIsAFolder()
{
    FormFixture f;
    const QString configPath = f.path(QStringLiteral("Config.dat"));
    QVERIFY(QDir().mkpath(configPath));

    f.form->Form_Load();

    QVERIFY(QFileInfo(configPath).isDir());
    QCOMPARE(f.fakes.messageBox->shown.size(), 1);
    const auto message = f.fakes.messageBox->shown.first();
    QVERIFY(message.title.startsWith(QLatin1String("Kelvo-Rozevid - ")));
    QVERIFY2(message.text.contains(configPath), qPrintable(message.text));
    QVERIFY(!message.text.contains(QLatin1String("has been created")));
    QCOMPARE(f.form->BoxPath->text(), config::defaultExportFolder());
}

void TestConfigLoad::corruptedConfigInReadOnlyFolder()
{
    QTemporaryDir base;
    const QString dir = base.filePath(QStringLiteral("ro"));
    const QByteArray corrupted = "Path=/no/such/folder/\r\nTimezone=GMT+99\r\n";
    RestrictedDir restricted(dir, RestrictedDir::ReadOnly, {{"Config.dat", corrupted}});
    if (!restricted.isReady())
        QSKIP(qPrintable(restricted.reason()));

    FakePlatform fakes;
    QDir::setCurrent(dir);
    {
        MainForm form(fakes.platform(), QUrl(QStringLiteral("http://127.0.0.1:9")));
        form.Form_Load();
        QCOMPARE(form.BoxPath->text(), config::defaultExportFolder());
    }
    QDir::setCurrent(QDir::tempPath());

    QCOMPARE(readFile(dir + QStringLiteral("/Config.dat")), corrupted);
    QCOMPARE(fakes.messageBox->shown.size(), 1);
    const auto message = fakes.messageBox->shown.first();
    QVERIFY(message.title.startsWith(QLatin1String("Kelvo-Rozevid - ")));
    QVERIFY(message.text.contains(dir + QStringLiteral("/Config.dat")));
    QVERIFY(!message.text.contains(QLatin1String("has been")));
}

void TestConfigLoad::validConfigInReadOnlyFolderIsLeftAlone()
{
    QTemporaryDir base;
    const QString dir = base.filePath(QStringLiteral("ro"));
    const QByteArray valid = "Path=/\r\nTimezone=GMT-05\r\n";
    RestrictedDir restricted(dir, RestrictedDir::ReadOnly, {{"Config.dat", valid}});
    if (!restricted.isReady())
        QSKIP(qPrintable(restricted.reason()));

    FakePlatform fakes;
    QDir::setCurrent(dir);
    {
        MainForm form(fakes.platform(), QUrl(QStringLiteral("http://127.0.0.1:9")));
        form.Form_Load();
        QCOMPARE(form.BoxPath->text(), QStringLiteral("/"));
        QCOMPARE(form.gmtText(), QStringLiteral("-05"));
    }
    QDir::setCurrent(QDir::tempPath());
    QVERIFY(fakes.messageBox->shown.isEmpty());
}

void TestConfigLoad::laterChangeOfFolderDoesNotMoveTheFile()
{
    FormFixture f;
    f.form->Form_Load();
    QTemporaryDir elsewhere;
    QDir::setCurrent(elsewhere.path());
    f.form->BoxPath->setText(f.folder.path() + QLatin1Char('/'));
    f.form->ButSavePath_Click();
    QVERIFY(QFileInfo::exists(f.path(QStringLiteral("Config.dat"))));
    QVERIFY(!QFileInfo::exists(elsewhere.filePath(QStringLiteral("Config.dat"))));
}

QTEST_MAIN(TestConfigLoad)
#include "tst_configload.moc"
