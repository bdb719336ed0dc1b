// Config.dat: what loading makes of its content, and what is read at all.

#include "config/configfile.h"
#include "platform/filesave.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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
// read nor written through, and a repair writes through no link but the
// user's own to a small regular file.
void TestConfig::special_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<bool>("read");      // and written through, for a link
    QTest::addColumn<QString>("repair"); // "" none, "target" in the target, "link" the link
                                         // replaced, "replaced" the file
    const auto row = [](const char* kind, bool read, const char* repair) {
        QTest::newRow(kind) << QByteArray(kind) << read << QString::fromLatin1(repair);
    };
    row("own link", true, "");
    row("own link, damaged", true, "target");
    row("another user's link", false, "link");
    row("FIFO", false, "replaced");
    row("link to a FIFO", false, "link");
    row("link to a 100 KB document", false, "link");
    // The device node is the test's own, in its own folder: a repair that
    // went through the link would replace that node, never a real device.
    row("link to a device", false, "link");
    row("link to /dev/zero", false, ""); // read only: never a repair near a real device
}

void TestConfig::special()
{
    QFETCH(QByteArray, kind);
    QFETCH(bool, read);
    QFETCH(QString, repair);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Config.dat"));
    const QByteArray old = kind.contains("100 KB")    ? QByteArray(100 * 1024, 'd')
                           : kind.contains("damaged") ? QByteArray("Timezone=GMT+05\r\n")
                                                      : "Path=/\r\n";
    QString targetPath = dir.filePath(QStringLiteral("target"));
    const QByteArray target = QFile::encodeName(targetPath);
    if (kind.contains("FIFO")) {
        QCOMPARE(::mkfifo(kind == "FIFO" ? QFile::encodeName(path) : target, 0600), 0);
    } else if (kind.contains("device")) {
        if (::mknod(target, S_IFCHR | 0600, makedev(1, 3)) != 0)
            QSKIP("a device node needs root, to make one");
    } else {
        QFile file(targetPath);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
    }
    if (kind.contains("zero"))
        targetPath = QStringLiteral("/dev/zero");
    if (kind != "FIFO")
        QVERIFY(QFile::link(targetPath, path));
    if (kind.contains("another") &&
        (geteuid() != 0 || ::lchown(QFile::encodeName(path).constData(), 65534, 65534) != 0))
        QSKIP("another user's link needs root, to hand it to another user");
    struct stat before {};
    QCOMPARE(::stat(QFile::encodeName(targetPath), &before) == 0, kind != "FIFO");
    QCOMPARE(readConfigFile(path), std::optional(read ? old : QByteArray()));
    if (kind == "own link" || kind.contains("another")) {
        QCOMPARE(!writeFileAtomically(path, "new"), read);
        QFile file(targetPath);
        QVERIFY(file.open(QIODevice::ReadOnly) && QFileInfo(path).isSymLink());
        QCOMPARE(file.readAll(), read ? QByteArray("new") : old);
    }
    if (repair.isEmpty())
        return;

    const LoadOutcome outcome = evaluateConfig(readConfigFile(path), [](auto) { return true; });
    const Message message = writeRepairedConfig(path, outcome);
    // Config.dat is a settings file again, where its target was repaired or
    // where the link was.
    QFile written(repair == "target" ? targetPath : path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), outcome.content);
    QCOMPARE(QFileInfo(path).isSymLink(), repair == "target");
    QCOMPARE(message.text.contains(targetPath), repair == "link");
    QCOMPARE(message.text.contains("was left as it was"), repair == "link");
    if (repair != "link")
        return;
    // What the link named is exactly as it was.
    struct stat after {};
    QVERIFY(::stat(target, &after) == 0 && after.st_mode == before.st_mode &&
            after.st_ino == before.st_ino && after.st_rdev == before.st_rdev);
    QFile file(targetPath);
    QVERIFY(!S_ISREG(after.st_mode) || (file.open(QIODevice::ReadOnly) && file.readAll() == old));
}

QTEST_APPLESS_MAIN(TestConfig)
#include "tst_config.moc"
