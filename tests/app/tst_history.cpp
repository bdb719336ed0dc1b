// The History window: the strip's positions of a row over 30 days, the
// journal newest first and filtered by row, and the entries that come in
// after it opened or still wait to be written.

#include "app/historywindow.h"
#include "testsupport.h"

#include <QComboBox>
#include <QTableView>
#include <QTest>

using namespace kelvo;
using service::JournalEntry;
Q_DECLARE_METATYPE(QList<JournalEntry>)

namespace {

const QDateTime kEnd(QDate(2026, 3, 31), QTime(0, 0), Qt::UTC); // now; 720 h span the window
const QString kDaily = QStringLiteral("Daily System");

// An entry `hours` before now.
JournalEntry entry(int hours, const char* event, const QString& system = {}, const char* to = "",
                   const char* from = "", const char* signalDate = "")
{
    return {kEnd.addSecs(-3600 * hours), event, system, to, signalDate, "00:00", {}, from, {}};
}

// A column of the table, top to bottom.
QString column(const QTableView* table, int column)
{
    QStringList cells;
    for (int row = 0; row < table->model()->rowCount(); ++row)
        cells.append(table->model()->index(row, column).data().toString());
    return cells.join(QLatin1Char(','));
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT
private slots:
    void spans_data();
    void spans();
    void table();
    void waiting();
};

void TestHistory::spans_data()
{
    QTest::addColumn<QList<JournalEntry>>("entries");
    QTest::addColumn<QString>("expected"); // position hours-before-now..., the entry telling it
    const QString hourly = QStringLiteral("Hourly Regular");
    QTest::newRow("no change") << QList{entry(800, "silent")} << "";
    QTest::newRow("previous back to the journal's start")
        << QList{entry(100, "silent"), entry(50, "change", kDaily, "Long", "Short")}
        << "Short 100-50 #1,Long 50-0 #1";
    QTest::newRow("nothing known before")
        << QList{entry(100, "silent"), entry(50, "change", kDaily, "Long")} << "Long 50-0 #1";
    QTest::newRow("held into the window") << QList{entry(1000, "change", kDaily, "Short", "Long"),
                                                   entry(200, "change", kDaily, "Flat", "Short")}
                                          << "Short 720-200 #0,Flat 200-0 #1";
    QTest::newRow("other rows apart")
        << QList{entry(300, "change", hourly, "Long"), entry(100, "change", kDaily, "Flat", "Long")}
        << "Long 300-100 #1,Flat 100-0 #1";
    QTest::newRow("at the signal's time")
        << QList{entry(100, "silent"), entry(10, "change", kDaily, "Long", "Flat", "2026-03-29")}
        << "Flat 100-48 #1,Long 48-0 #1";
    QTest::newRow("signal after it was noted")
        << QList{entry(100, "silent"), entry(10, "change", kDaily, "Long", "Flat", "2026-03-31")}
        << "Flat 100-10 #1,Long 10-0 #1";
    QTest::newRow("signal date unreadable")
        << QList{entry(100, "silent"), entry(10, "change", kDaily, "Long", "Flat", "29/03/2026")}
        << "Flat 100-10 #1,Long 10-0 #1";
}

void TestHistory::spans()
{
    QFETCH(const QList<JournalEntry>, entries);
    QStringList spans;
    for (const PositionSpan& s : positionSpans(entries, kDaily, kEnd.addDays(-30), kEnd))
        spans.append(QStringLiteral("%1 %2-%3 #%4")
                         .arg(s.position)
                         .arg(s.from.secsTo(kEnd) / 3600)
                         .arg(s.to.secsTo(kEnd) / 3600)
                         .arg(s.change));
    QFETCH(QString, expected);
    QCOMPARE(spans.join(QLatin1Char(',')), expected);
}

void TestHistory::table()
{
    QTemporaryDir folder;
    QFile file(folder.filePath(QLatin1String(service::kJournalFileName)));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(service::journalHeader());
    const QString hourly = QStringLiteral("Hourly Regular");
    for (const JournalEntry& e : {entry(30, "change", kDaily, "Long", "Short"), entry(20, "silent"),
                                  entry(10, "change", hourly, "Flat", "Long")})
        file.write(service::journalLine(e, e.utc));
    file.close();
    auto clock = std::make_shared<test::FakeClock>();
    clock->current = kEnd.toLocalTime();
    service::Journal journal(clock);
    journal.setFolder(folder.path());
    HistoryWindow window(journal, {hourly, kDaily}, clock);
    window.show();
    const auto* table = window.findChild<QTableView*>(QStringLiteral("HistoryTable"));
    auto* filter = window.findChild<QComboBox*>(QStringLiteral("HistoryFilter"));
    auto* strip = window.findChild<QWidget*>(QStringLiteral("HistoryStrip"));
    QVERIFY(table && filter && strip);
    QCOMPARE(column(table, 2), hourly + ",," + kDaily);

    // A row's changes and the events of no row; what comes in goes on top.
    filter->setCurrentIndex(2);
    QCOMPARE(column(table, 1), "silent,change");
    journal.add(entry(0, "change", kDaily, "Short", "Long"));
    journal.add(entry(0, "change", hourly, "Long", "Flat"));
    QCOMPARE(column(table, 4), "Long,,Short");
    filter->setCurrentIndex(0);
    QCOMPARE(column(table, 3), "Long,Short,Flat,,Long");

    QTest::keyClick(strip, Qt::Key_Right);
    QTest::keyClick(strip, Qt::Key_Right);
    QCOMPARE(strip->accessibleDescription(), "Hourly Regular: Long -> Flat (2026-03-30 14:00)");
}

// Entries the journal could not write yet are shown, after the file's.
void TestHistory::waiting()
{
    QTemporaryDir folder;
    auto clock = std::make_shared<test::FakeClock>();
    service::Journal journal(clock);
    journal.setFolder(folder.filePath(QStringLiteral("gone")));
    journal.add(entry(0, "answering"));
    QCOMPARE(journal.waitingLines(), 1);
    HistoryWindow window(journal, {kDaily}, clock);
    journal.add(entry(0, "silent"));
    QCOMPARE(column(window.findChild<QTableView*>(QStringLiteral("HistoryTable")), 1),
             "silent,answering");
}

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
