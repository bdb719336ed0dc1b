// Config.dat: what loading makes of its content, and what is read at all.

#include "config/configfile.h"
#include "platform/filesave.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace kelvo;
using namespace kelvo::config;

class TestConfig : public QObject {
    Q_OBJECT
private slots:
    void load_data();
    void load();
    void appPath();
    void special_data();
    void special();
    void codePage_data();
    void codePage();
};

void TestConfig::load_data()
{
    QTest::addColumn<QByteArray>("content"); // "<missing>" for no file
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("zone");       // "-" for none
    QTest::addColumn<int>("message");        // and the file rewritten, unless None
    QTest::addColumn<QByteArray>("written"); // "~" the default folder
    const auto row = [](const char* name, const char* content, const char* folder, const char* zone,
                        LoadMessage message, const char* written = "") {
        QTest::newRow(name) << QByteArray(content) << QString::fromUtf8(folder)
                            << QString::fromUtf8(zone) << int(message) << QByteArray(written);
    };
    const auto none = LoadMessage::None, corrupted = LoadMessage::Corrupted;
    const char* byDefault = "Path=~\r\nTimezone=GMT+0\r\n";
    row("missing", "<missing>", "", "-", LoadMessage::Missing, byDefault);
    row("valid", "Path=/d\r\nTimezone=GMT-12", "/d", "-12", none);
    row("CR alone ends lines", "Path=/d/\rTimezone=GMT+0\r", "/d/", "+0", none);
    row("text after a second = dropped", "Path=/d/=x\r\nTimezone=GMT-03\r\nmore\r\n", "/d/", "-03",
        none);
    row("empty", "", "", "-", corrupted, byDefault);
    row("zone +13", "Path=/d/=x\r\nTimezone=GMT+13\r\n", "/d/", "-", corrupted,
        "Path=/d/=x\r\nTimezone=GMT+0\r\n");
    row("zone in lower case", "Path=/d/\r\ntimezone=gmt+05\r\n", "/d/", "-", corrupted,
        "Path=/d/\r\nTimezone=GMT+0\r\n");
    row("path= in lower case", "path=/d/\r\nTimezone=GMT+05\r\n", "", "+05", corrupted,
        "Path=~\r\nTimezone=GMT+05\r\n");
    row("Path= with nothing", "Path=\r\nTimezone=GMT+05\r\n", "", "+05", corrupted,
        "Path=~\r\nTimezone=GMT+05\r\n");
    row("lines swapped", "Timezone=GMT+05\r\nPath=/d/\r\n", "", "-", corrupted, byDefault);
    row("no such folder: its zone kept", "Path=/none/\r\nTimezone=GMT-03\r\n", "", "-03",
        LoadMessage::Address, "Path=~\r\nTimezone=GMT-03\r\n");
    row("a zone naming no entry kept", "Path=/none/\r\nTimezone=GMT+5\r\n", "", "+5",
        LoadMessage::Address, "Path=~\r\nTimezone=GMT+5\r\n");
    row("LF alone runs the lines together", "Path=/d/\nTimezone=GMT+05\n", "", "-",
        LoadMessage::Address, byDefault);
}

void TestConfig::load()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, folder);
    QFETCH(QString, zone);
    QFETCH(int, message);
    QFETCH(QByteArray, written);
    const LoadOutcome outcome =
        evaluateConfig(content == "<missing>" ? std::nullopt : std::optional(content),
                       [](const QString& dir) { return dir == "/d/" || dir == "/d"; });
    QCOMPARE(outcome.folder, folder);
    QCOMPARE(outcome.zoneEntry.value_or(QStringLiteral("-")), zone);
    QCOMPARE(int(outcome.message), message);
    QCOMPARE(outcome.rewrite, message != int(LoadMessage::None));
    QCOMPARE(outcome.content, written.replace("~", defaultExportFolder().toLocal8Bit()));
    // What is written loads again without complaint, but for a missing folder.
    if (outcome.rewrite)
        QVERIFY(evaluateConfig(outcome.content, [](const QString&) { return true; }).message ==
                LoadMessage::None);
}

// A Windows ANSI code page, Western European, as a Linux test can have one.
struct Latin1CodePage final : kelvo::CodePage {
    std::optional<QByteArray> encode(const QString& text) const override
    {
        const QByteArray bytes = text.toLatin1(); // "?" for what has no place in it
        return QString::fromLatin1(bytes) == text ? std::optional(bytes) : std::nullopt;
    }
    QString decode(const QByteArray& bytes) const override { return QString::fromLatin1(bytes); }
};

void TestConfig::codePage_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("fits"); // written in the code page, else in UTF-8 after its mark
    QTest::newRow("Latin-1") << QStringLiteral("C:\\Données\\") << true;
    QTest::newRow("Cyrillic") << QStringLiteral("C:\\Documents\\Сигналы\\") << false;
    QTest::newRow("CJK") << QStringLiteral("C:\\信号\\") << false;
}

// A folder in any script comes back whole at the next start; a file in the
// code page is written, and read, as before.
void TestConfig::codePage()
{
    QFETCH(QString, folder);
    QFETCH(bool, fits);
    const Latin1CodePage ansi;
    const QByteArray saved = configContent(folder, QStringLiteral("+05"), ansi);
    const QString text = "Path=" + folder + "\r\nTimezone=GMT+05\r\n";
    QCOMPARE(saved, fits ? text.toLatin1() : "\xEF\xBB\xBF" + text.toUtf8());
    const LoadOutcome next = evaluateConfig(
        saved, [&](const QString& d) { return d == folder; }, ansi);
    QCOMPARE(next.folder, folder);
    QVERIFY(next.message == LoadMessage::None);
    QCOMPARE(configContent(folder, QStringLiteral("+05")), text.toUtf8()); // Linux's: UTF-8
}

void TestConfig::appPath()
{
    // A root folder ends with its separator already: no path doubles it.
    QCOMPARE(appPathFor(QStringLiteral("/")), QDir::toNativeSeparators(QStringLiteral("/")));
    QCOMPARE(appPathFor(QStringLiteral("/home/ann")),
             QDir::toNativeSeparators(QStringLiteral("/home/ann/")));
}

// Config.dat only as a small regular file; another user's link is neither
// read nor written through.
void TestConfig::special_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<bool>("read"); // and written through, for a link
    for (const char* kind : {"own link", "another user's link", "FIFO", "link to /dev/zero", "big"})
        QTest::newRow(kind) << QByteArray(kind) << (kind == QByteArray("own link"));
}

void TestConfig::special()
{
    QFETCH(QByteArray, kind);
    QFETCH(bool, read);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Config.dat"));
    const QByteArray old = kind == "big" ? QByteArray(kMaxBytes + 1, ' ') : "Path=/\r\n";
    QFile target(dir.filePath(QStringLiteral("target")));
    QVERIFY(target.open(QIODevice::WriteOnly) && target.write(old) == old.size());
    target.close();
    if (kind == "FIFO")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else
        QVERIFY(QFile::link(kind.contains("zero") ? "/dev/zero" : target.fileName(), path));
    if (kind.contains("another") &&
        (geteuid() != 0 || ::lchown(QFile::encodeName(path).constData(), 65534, 65534) != 0))
        QSKIP("another user's link needs root, to hand it to another user");
    QCOMPARE(readConfigFile(path), std::optional(read ? old : QByteArray()));
    if (kind.contains("link") && !kind.contains("zero")) {
        QCOMPARE(!writeFileAtomically(path, "new"), read);
        QVERIFY(target.open(QIODevice::ReadOnly));
        QCOMPARE(target.readAll(), read ? QByteArray("new") : old);
    }
}

QTEST_APPLESS_MAIN(TestConfig)
#include "tst_config.moc"
