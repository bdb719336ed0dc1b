// Putting a signal reply into the grid: which field lands in which cell, and
// what a short reply leaves alone.

#include "fakeplatform.h"
#include "service/protocol.h"
#include "service/signalgrid.h"

#include <QTest>

using namespace kelvo;
using namespace kelvo::test;

class TestSignalGrid : public QObject {
    Q_OBJECT
private slots:
    void fill_data();
    void fill();
};

void TestSignalGrid::fill_data()
{
    QTest::addColumn<int>("system");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QStringList>("rows"); // each row's four cells joined by "|"

    QTest::newRow("daily") << 1 << "L,d,t,1" << QStringList{"L|d|t|1"};
    QTest::newRow("daily, extra fields ignored") << 1 << "L,d,t,1,X,Y" << QStringList{"L|d|t|1"};
    QTest::newRow("hourly") << 2 << "A,d1,t1,1,B,d2,t2,2" << QStringList{"A|d1|t1|1", "B|d2|t2|2"};
    QTest::newRow("both") << 3 << "A,d1,t1,1,B,d2,t2,2,C,d3,t3,3"
                          << QStringList{"A|d1|t1|1", "B|d2|t2|2", "C|d3|t3|3"};
    QTest::newRow("single field fills only the Position")
        << 1 << "L" << QStringList{"L|old|old|old"};
    QTest::newRow("both, eight fields leave the daily row")
        << 3 << "A,d1,t1,1,B,d2,t2,2" << QStringList{"A|d1|t1|1", "B|d2|t2|2", "old|old|old|old"};
    QTest::newRow("empty fields overwrite") << 2 << ",,,,B" << QStringList{"|||", "B|old|old|old"};
}

void TestSignalGrid::fill()
{
    QFETCH(int, system);
    QFETCH(QString, reply);
    QFETCH(QStringList, rows);

    FakeGrid grid;
    grid.setRows(rows.size() + 1);
    grid.setCols(5);
    for (int row = 0; row <= rows.size(); ++row)
        for (int col = 0; col < 5; ++col)
            grid.setTextMatrix(row, col, QStringLiteral("old"));

    signalgrid::fillSignalRows(grid, system, protocol::splitSignalReply(reply));

    for (int row = 1; row <= rows.size(); ++row) {
        QStringList cells;
        for (int col = 1; col <= 4; ++col)
            cells.append(grid.TextMatrix(row, col));
        QCOMPARE(cells.join(QLatin1Char('|')), rows.at(row - 1));
        QCOMPARE(grid.TextMatrix(row, 0), QStringLiteral("old"));
    }
    QCOMPARE(grid.TextMatrix(0, 1), QStringLiteral("old"));
}

QTEST_MAIN(TestSignalGrid)
#include "tst_signalgrid.moc"
