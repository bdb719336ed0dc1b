// The export files: their names, their one line, and what happens to them
// when a reply is short or the folder refuses to be written.

#include "service/exportfile.h"
#include "service/protocol.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kelvo;
using namespace kelvo::exporting;
using namespace kelvo::test;

Q_DECLARE_METATYPE(kelvo::test::FileMap)

namespace {

const QString kDaily = QString::fromLatin1(kDailyFile);
const QString kHourly = QString::fromLatin1(kHourlyFile);

} // namespace

class TestExport : public QObject {
    Q_OBJECT
private slots:
    void filesForAReply_data();
    void filesForAReply();
    void paths_data();
    void paths();
    void emptyFolderMeansTheCurrentFolder();
};

void TestExport::filesForAReply_data()
{
    QTest::addColumn<int>("system");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<FileMap>("before");
    QTest::addColumn<FileMap>("after");
    QTest::addColumn<QStringList>("order");

    const FileMap none;
    const FileMap old = {{kDaily, "Flat,2026-12-01,10:00,1.0001,09:00:00\r\n"},
                         {kHourly, "Flat,2026-12-01,11:00,1.0002,09:00:00\r\n"}};

    QTest::newRow("daily") << 1 << QByteArray("Long,2026-12-04,14:00,1.0842") << none
                           << FileMap{{kDaily, "Long,2026-12-04,14:00,1.0842,15:05:00\r\n"}}
                           << QStringList{kDaily};
    QTest::newRow("hourly leaves an older daily file alone")
        << 2 << QByteArray("Long,d1,t1,1.1,Short,d2,t2,2.2") << old
        << FileMap{{kDaily, old.value(kDaily)}, {kHourly, "Long,d1,t1,1.1,15:05:00\r\n"}}
        << QStringList{kHourly};
    QTest::newRow("both: daily from fields 9-12 first, then hourly")
        << 3 << QByteArray("H,d1,t1,1.1,F,d2,t2,2.2,D,d3,t3,3.3") << none
        << FileMap{{kDaily, "D,d3,t3,3.3,15:05:00\r\n"}, {kHourly, "H,d1,t1,1.1,15:05:00\r\n"}}
        << QStringList{kDaily, kHourly};
    QTest::newRow("both with eight fields keeps the daily file")
        << 3 << QByteArray("H,d1,t1,1.1,F,d2,t2,2.2") << old
        << FileMap{{kDaily, old.value(kDaily)}, {kHourly, "H,d1,t1,1.1,15:05:00\r\n"}}
        << QStringList{kDaily, kHourly};
    QTest::newRow("short daily reply keeps the old file")
        << 1 << QByteArray("Long,2026-12-04") << old << old << QStringList{kDaily};
    QTest::newRow("fields written as received, no quoting")
        << 1 << QByteArray(" Long ,\"4 Dec\",,1,08\r\n") << none
        << FileMap{{kDaily, " Long ,\"4 Dec\",,1,15:05:00\r\n"}} << QStringList{kDaily};
    QTest::newRow("non-ASCII as UTF-8 without a byte-order mark")
        << 1 << QStringLiteral("Länge,4. Dez,14:00,1€").toUtf8() << none
        << FileMap{{kDaily, QStringLiteral("Länge,4. Dez,14:00,1€,15:05:00\r\n").toUtf8()}}
        << QStringList{kDaily};
    QTest::newRow("a reply that is not UTF-8 written back byte for byte")
        << 1
        << QByteArray("L\xe4nge,4. Dez,14:00,\xa3"
                      "1")
        << none
        << FileMap{{kDaily, "L\xe4nge,4. Dez,14:00,\xa3"
                            "1,15:05:00\r\n"}}
        << QStringList{kDaily};
}

void TestExport::filesForAReply()
{
    QFETCH(int, system);
    QFETCH(QByteArray, reply);
    QFETCH(FileMap, before);
    QFETCH(FileMap, after);
    QFETCH(QStringList, order);

    QTemporaryDir dir;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        QFile file(dir.filePath(it.key()));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(it.value());
    }
    const ReplyText text = decodeReplyBody(reply);
    const auto results =
        writeExports(dir.path() + QLatin1Char('/'), system, protocol::splitSignalReply(text),
                     QStringLiteral("15:05:00"), text.encoding());
    QStringList written;
    for (const ExportResult& result : results) {
        QVERIFY(result.outcome != ExportResult::Failed);
        written.append(QFileInfo(result.path).fileName());
    }
    QCOMPARE(written, order);
    QCOMPARE(filesIn(dir.path()), after);
}

void TestExport::paths_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("path");
    QTest::newRow("final separator") << "/home/ann/Data/"
                                     << "/home/ann/Data/Kelvo-Daily.csv";
    QTest::newRow("no final separator") << "/home/ann/Data"
                                        << "/home/ann/Data/Kelvo-Daily.csv";
    QTest::newRow("root") << "/"
                          << "/Kelvo-Daily.csv";
    QTest::newRow("empty") << ""
                           << "Kelvo-Daily.csv";
}

void TestExport::paths()
{
    QFETCH(QString, folder);
    QFETCH(QString, path);
    QCOMPARE(exportFilePath(folder, kDaily), QDir::toNativeSeparators(path));
}

void TestExport::emptyFolderMeansTheCurrentFolder()
{
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    writeExports(QString(), 1, {"Long", "d", "t", "1.5"}, QStringLiteral("10:00:00"),
                 TextEncoding::Utf8);
    QDir::setCurrent(previous);
    QCOMPARE(filesIn(dir.path()), (FileMap{{kDaily, "Long,d,t,1.5,10:00:00\r\n"}}));
}

QTEST_MAIN(TestExport)
#include "tst_export.moc"
