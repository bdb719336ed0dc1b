#include "platform/grid.h"

#include "platform/twips.h"

#include <QHeaderView>

namespace kelvo {
namespace {

Qt::Alignment toQtAlignment(int flexAlignment)
{
    // The flex grid's alignment codes: 0-2 left, 3-5 centre, 6-8 right; each
    // group top, centre, bottom. 9 is its "general" setting.
    static constexpr Qt::Alignment horizontal[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    static constexpr Qt::Alignment vertical[] = {Qt::AlignTop, Qt::AlignVCenter, Qt::AlignBottom};
    if (flexAlignment < 0 || flexAlignment > 8)
        return Qt::AlignLeft | Qt::AlignVCenter;
    return horizontal[flexAlignment / 3] | vertical[flexAlignment % 3];
}

} // namespace

QtGrid::QtGrid(QWidget* parent) : QTableWidget(parent)
{
    horizontalHeader()->setVisible(false);
    verticalHeader()->setVisible(false);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(twipsToPixels(kRowHeightTwips));
    horizontalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setDefaultSectionSize(twipsToPixels(kDefaultColWidthTwips));
    // The window sizes the grid so that every row and column shows.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideNone);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setFrameStyle(QFrame::Panel | QFrame::Plain);
    setLineWidth(1);
    setRowCount(2);
    setColumnCount(2);
    restyleAll();
}

void QtGrid::setRows(int rows)
{
    setRowCount(qMax(rows, 0));
    restyleAll();
}

void QtGrid::setCols(int cols)
{
    setColumnCount(qMax(cols, 0));
    restyleAll();
}

QString QtGrid::TextMatrix(int row, int col) const
{
    if (const QTableWidgetItem* cell = item(row, col))
        return cell->text();
    return QString();
}

void QtGrid::setTextMatrix(int row, int col, const QString& text)
{
    if (row < 0 || row >= rowCount() || col < 0 || col >= columnCount())
        return;
    styleCell(row, col);
    item(row, col)->setText(text);
}

int QtGrid::ColWidth(int col) const
{
    return columnWidth(col) * kTwipsPerPixel;
}

void QtGrid::setColWidth(int col, int twips)
{
    if (col >= 0 && col < columnCount())
        setColumnWidth(col, twipsToPixels(twips));
}

int QtGrid::ColAlignment(int col) const
{
    return m_alignment.value(col, 9);
}

void QtGrid::setColAlignment(int col, int alignment)
{
    if (col < 0 || col >= columnCount())
        return;
    m_alignment.insert(col, alignment);
    for (int row = 0; row < rowCount(); ++row)
        styleCell(row, col);
}

int QtGrid::Width() const
{
    return m_widthTwips ? m_widthTwips : width() * kTwipsPerPixel;
}

void QtGrid::setWidth(int twips)
{
    m_widthTwips = twips;
    setFixedWidth(twipsToPixels(twips));
}

int QtGrid::Height() const
{
    return m_heightTwips ? m_heightTwips : height() * kTwipsPerPixel;
}

void QtGrid::setHeight(int twips)
{
    m_heightTwips = twips;
    setFixedHeight(twipsToPixels(twips));
}

void QtGrid::styleCell(int row, int col)
{
    QTableWidgetItem* cell = item(row, col);
    if (!cell) {
        cell = new QTableWidgetItem;
        setItem(row, col, cell);
    }
    const bool fixed = row == 0 || col == 0;
    cell->setFlags(fixed ? Qt::ItemIsEnabled : (Qt::ItemIsEnabled | Qt::ItemIsSelectable));
    cell->setBackground(fixed ? palette().button() : palette().base());
    cell->setForeground(fixed ? palette().buttonText() : palette().text());
    cell->setTextAlignment(toQtAlignment(ColAlignment(col)));
}

void QtGrid::restyleAll()
{
    for (int row = 0; row < rowCount(); ++row)
        for (int col = 0; col < columnCount(); ++col)
            styleCell(row, col);
}

} // namespace kelvo
