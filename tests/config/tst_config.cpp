// Config.dat: what loading makes of its content, and writing a file so that
// a reader never sees it half written, whatever the disk says.

#include "config/configfile.h"
#include "restricteddir.h"

#include <QTemporaryDir>
#include <QTest>

using namespace kelvo::config;

class TestConfig : public QObject {
    Q_OBJECT
private slots:
    void load_data();
    void load();
    void write_data();
    void write();
};

void TestConfig::load_data()
{
    QTest::addColumn<QByteArray>("content"); // "<missing>" for no file
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("zone"); // "-" for none
    QTest::addColumn<int>("message");  // and the file rewritten, unless None
    const auto row = [](const char* name, const char* content, const char* folder, const char* zone,
                        LoadMessage message) {
        QTest::newRow(name) << QByteArray(content) << QString::fromUtf8(folder)
                            << QString::fromUtf8(zone) << int(message);
    };
    const auto none = LoadMessage::None, corrupted = LoadMessage::Corrupted;
    row("missing", "<missing>", "", "-", LoadMessage::Missing);
    row("valid", "Path=/d/\r\nTimezone=GMT+05\r\n", "/d/", "+05", none);
    row("valid -12, no final line end", "Path=/d/\r\nTimezone=GMT-12", "/d/", "-12", none);
    row("+5 is well formed", "Path=/d\r\nTimezone=GMT+5\r\n", "/d", "+5", none);
    row("CR alone ends lines", "Path=/d/\rTimezone=GMT+0\r", "/d/", "+0", none);
    row("text after a second = dropped", "Path=/d/=x\r\nTimezone=GMT-03\r\nmore\r\n", "/d/", "-03",
        none);
    row("empty", "", "", "-", corrupted);
    row("zone +13", "Path=/d/\r\nTimezone=GMT+13\r\n", "/d/", "-", corrupted);
    row("zone +012", "Path=/d/\r\nTimezone=GMT+012\r\n", "/d/", "-", corrupted);
    row("zone in lower case", "Path=/d/\r\ntimezone=gmt+05\r\n", "/d/", "-", corrupted);
    row("path= in lower case", "path=/d/\r\nTimezone=GMT+05\r\n", "", "+05", corrupted);
    row("Path= with nothing", "Path=\r\nTimezone=GMT+05\r\n", "", "+05", corrupted);
    row("lines swapped", "Timezone=GMT+05\r\nPath=/d/\r\n", "", "-", corrupted);
    row("no such folder", "Path=/none/\r\nTimezone=GMT-03\r\n", "", "-03", LoadMessage::Address);
    row("LF alone runs the lines together", "Path=/d/\nTimezone=GMT+05\n", "", "-",
        LoadMessage::Address);
}

void TestConfig::load()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, folder);
    QFETCH(QString, zone);
    QFETCH(int, message);
    const LoadOutcome outcome =
        evaluateConfig(content == "<missing>" ? std::nullopt : std::optional(content),
                       [](const QString& dir) { return dir == "/d/" || dir == "/d"; });
    QCOMPARE(outcome.folder, folder);
    QCOMPARE(outcome.zoneEntry.value_or(QStringLiteral("-")), zone);
    QCOMPARE(int(outcome.message), message);
    QCOMPARE(outcome.rewrite, message != int(LoadMessage::None));
}

void TestConfig::write_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("written"); // else the old content stays whole
    const QByteArray longer(5000, '7');
    QTest::newRow("read-only") << int(kelvo::test::RestrictedDir::ReadOnly) << QByteArray("new")
                               << false;
    QTest::newRow("full") << int(kelvo::test::RestrictedDir::Full) << longer << false;
    // No temporary file may be made: the file is rewritten in place.
    QTest::newRow("no new files") << int(kelvo::test::RestrictedDir::NoNewFiles) << longer << true;
    QTest::newRow("no new files, shorter")
        << int(kelvo::test::RestrictedDir::NoNewFiles) << QByteArray("new") << true;
    QTest::newRow("full, no new files")
        << int(kelvo::test::RestrictedDir::FullNoNewFiles) << longer << false;
}

void TestConfig::write()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, content);
    QFETCH(bool, written);
    QTemporaryDir base;
    const QByteArray old = "Path=/\r\nTimezone=GMT+05\r\n";
    kelvo::test::RestrictedDir dir(base.filePath(QStringLiteral("d")),
                                   kelvo::test::RestrictedDir::Kind(kind), {{"Config.dat", old}});
    if (!dir.isReady())
        QSKIP("a restricted folder needs root");
    const QString path = dir.path() + QStringLiteral("/Config.dat");
    const std::optional<QString> error = writeFileAtomically(path, content);
    QCOMPARE(!error, written);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), written ? content : old);
    // No temporary file is left beside it.
    QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    files.removeAll(QStringLiteral("filler"));
    QCOMPARE(files, QStringList{"Config.dat"});
}

QTEST_APPLESS_MAIN(TestConfig)
#include "tst_config.moc"
