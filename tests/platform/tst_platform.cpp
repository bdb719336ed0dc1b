// The file primitives, on disks that refuse in each way a disk can and in a
// folder shared with another user, and the loader of the program's modules.

#include "platform/filesave.h"
#include "platform/modules/soundbackend.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kelvo;

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
    void write_data();
    void write();
    void race();
    void modules_data();
    void modules();
};

void TestPlatform::write_data()
{
    QTest::addColumn<QByteArray>("options"); // of the mount; none: read-only once filled
    QTest::addColumn<bool>("fill");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("written"); // else the old content stays whole
    const QByteArray longer(5000, '7');
    // Pages: one for the file, four to spare. Inodes: the folder's, the
    // file's and the filler's.
    QTest::newRow("read-only") << QByteArray() << false << QByteArray("new") << false;
    QTest::newRow("full") << QByteArray("size=4096") << true << longer << false;
    // No temporary file may be made: the file is rewritten in place.
    QTest::newRow("no new files") << QByteArray("size=20480,nr_inodes=2") << false << longer
                                  << true;
    QTest::newRow("no new files, shorter")
        << QByteArray("size=20480,nr_inodes=2") << false << QByteArray("new") << true;
    QTest::newRow("full, no new files")
        << QByteArray("size=4096,nr_inodes=3") << true << longer << false;
}

void TestPlatform::write()
{
    QFETCH(QByteArray, options);
    QFETCH(bool, fill);
    QFETCH(QByteArray, content);
    QFETCH(bool, written);
    QTemporaryDir dir;
    const QByteArray where = QFile::encodeName(dir.path());
    // ctest runs this under `unshare -rm`: root of a user and mount namespace
    // of its own, whoever runs it.
    if (::mount("tmpfs", where, "tmpfs", 0, options.constData()) != 0)
        QFAIL("cannot mount a tmpfs of its own: run it as ctest does, under unshare -rm "
              "(util-linux), on a kernel that allows user namespaces");
    const auto unmount = qScopeGuard([&] { ::umount2(where, MNT_DETACH); });
    const QByteArray old = "Path=/\r\nTimezone=GMT+05\r\n";
    QFile file(dir.filePath(QStringLiteral("Config.dat")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
    file.close();
    QFile filler(dir.filePath(QStringLiteral("filler")));
    if (fill && filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        while (filler.write(QByteArray(512, 'x')) == 512) {
        }
    }
    if (options.isEmpty())
        QCOMPARE(::mount(nullptr, where, nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);

    QCOMPARE(!writeFileAtomically(file.fileName(), content), written);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), written ? content : old);
    // No temporary file is left beside it.
    QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    files.removeAll(QStringLiteral("filler"));
    QCOMPARE(files, QStringList{"Config.dat"});
}

// Another user swaps a link to the victim's private file in and out at the
// export file's name, in a folder everyone may write to, while the program
// writes there: nothing of its is ever written outside that folder.
void TestPlatform::race()
{
    if (::geteuid() != 0)
        QSKIP("another user's links need root, to be another user");
    // On a memory disk where there is one: more writes in the same time.
    QTemporaryDir dir(QDir("/dev/shm").exists() ? "/dev/shm/kelvo-race-XXXXXX" : QString());
    const QByteArray folder = QFile::encodeName(dir.path());
    QVERIFY(::chmod(folder, 0711) == 0 && ::mkdir(folder + "/private", 0700) == 0 &&
            ::mkdir(folder + "/shared", 0777) == 0 && ::chmod(folder + "/shared", 0777) == 0);
    QFile precious(dir.filePath("private/precious.txt"));
    QVERIFY(precious.open(QIODevice::WriteOnly) && precious.write("own\n") == 4);
    precious.close();
    const QByteArray link = folder + "/shared/Kelvo-Daily.csv";
    const pid_t other = ::fork();
    if (other == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(1);
        for (;;) {
            ::unlink(link.constData());
            (void)::symlink(folder + "/private/precious.txt", link.constData());
        }
    }
    const auto stop = qScopeGuard([&] { ::kill(other, SIGKILL), ::waitpid(other, nullptr, 0); });
    // At least 2,000 writes, and on until the other user's link has been
    // found at the name a hundred times: on a busy machine the other user
    // may get the processor only now and then.
    int refused = 0;
    for (int i = 0; i < 100000 && (i < 2000 || refused < 100); ++i)
        refused += writeFileAtomically(QFile::decodeName(link), "Long,20261208\r\n") ? 1 : 0;
    QVERIFY2(refused >= 100, "the other user's links were hardly ever there");
    QVERIFY(precious.open(QIODevice::ReadOnly));
    QCOMPARE(precious.readAll(), QByteArray("own\n"));
}

void TestPlatform::modules_data()
{
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QString>("warning"); // a part of it
    const QString current = QStringLiteral(KELVO_MODULE_FOLDER);
    const QString stale = QStringLiteral(KELVO_STALE_MODULE_FOLDER);
    // The stale module is refused before any other: once this version's is
    // loaded, the stale one could not be told from it by its file.
    QTest::newRow("another version") << QStringList{stale} << false << QStringLiteral("/0.0.0");
    QTest::newRow("none") << QStringList{QDir::tempPath()} << false
                          << QStringLiteral("kelvo-sound");
    QTest::newRow("another version, then this one")
        << QStringList{stale, current} << true << QString();
}

void TestPlatform::modules()
{
    QFETCH(QStringList, folders);
    QFETCH(bool, loaded);
    QFETCH(QString, warning);
    if (!warning.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(warning)));
    auto* module = modules::load<SoundModule>(folders, QStringLiteral("kelvo-sound"));
    QCOMPARE(module != nullptr, loaded);
    // A module of another version is never loaded: none of its code runs.
    QFile maps(QStringLiteral("/proc/self/maps"));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    QVERIFY(!maps.readAll().contains(QFile::encodeName(QStringLiteral(KELVO_STALE_MODULE_FOLDER))));
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
