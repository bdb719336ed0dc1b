#include "platform/grid.h"

#include "platform/twips.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHeaderView>
#include <QPointer>

namespace kelvo {
namespace {

class GridCellAccessible;

// The grid as a screen reader reads it. Its children are all its cells, row
// by row (child number row * columns + column), the fixed ones included;
// the table proper leaves out row 0 and column 0, which are its column and
// row headers.
class GridAccessible final : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit GridAccessible(QtGrid* grid) : QAccessibleWidget(grid, QAccessible::Table) {}
    ~GridAccessible() override
    {
        for (const QAccessible::Id id : std::as_const(m_cells))
            QAccessible::deleteAccessibleInterface(id);
    }

    QtGrid* grid() const { return static_cast<QtGrid*>(widget()); }

    // The interface of the grid cell (row, col), made at the first question.
    QAccessibleInterface* cell(int row, int col) const;

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    int childCount() const override { return grid()->rowCount() * grid()->columnCount(); }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        return cell(index / grid()->columnCount(), index % grid()->columnCount());
    }
    int indexOfChild(const QAccessibleInterface* child) const override;

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override
    {
        if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
            return nullptr;
        return cell(row + 1, column + 1);
    }
    int selectedCellCount() const override { return int(selectedCells().size()); }
    QList<QAccessibleInterface*> selectedCells() const override
    {
        QList<QAccessibleInterface*> cells;
        for (const QTableWidgetItem* item : grid()->selectedItems())
            cells << cell(grid()->row(item), grid()->column(item));
        return cells;
    }
    QString columnDescription(int column) const override
    {
        return grid()->TextMatrix(0, column + 1);
    }
    QString rowDescription(int row) const override { return grid()->TextMatrix(row + 1, 0); }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    int columnCount() const override { return qMax(grid()->columnCount() - 1, 0); }
    int rowCount() const override { return qMax(grid()->rowCount() - 1, 0); }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override {}

private:
    mutable QHash<QPair<int, int>, QAccessible::Id> m_cells;
};

// One cell of the grid. It reads the grid at every question, so it stays
// true when the grid changes shape; outside the grid it is not valid.
class GridCellAccessible final : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    GridCellAccessible(QtGrid* grid, int row, int col) : m_grid(grid), m_row(row), m_col(col) {}

    int row() const { return m_row; }
    int col() const { return m_col; }
    GridAccessible* gridInterface() const
    {
        return static_cast<GridAccessible*>(QAccessible::queryAccessibleInterface(m_grid));
    }

    bool isValid() const override
    {
        return m_grid && m_row < m_grid->rowCount() && m_col < m_grid->columnCount();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_grid ? m_grid->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return m_grid ? gridInterface() : nullptr; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name && isValid() ? m_grid->TextMatrix(m_row, m_col) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        const QTableWidgetItem* item = isValid() ? m_grid->item(m_row, m_col) : nullptr;
        if (!item)
            return {};
        const QRect r = m_grid->visualItemRect(item);
        return QRect(m_grid->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override
    {
        return m_row == 0 ? QAccessible::ColumnHeader
                          : (m_col == 0 ? QAccessible::RowHeader : QAccessible::Cell);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid() || !m_grid->isVisible()) {
            state.invisible = true;
            return state;
        }
        const QTableWidgetItem* item = m_grid->item(m_row, m_col);
        state.selectable = item && item->flags().testFlag(Qt::ItemIsSelectable);
        state.selected = isSelected();
        state.focusable = state.selectable;
        state.focused = state.selectable && m_grid->hasFocus() && m_grid->currentRow() == m_row &&
                        m_grid->currentColumn() == m_col;
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableCellInterface && role() == QAccessible::Cell)
            return static_cast<QAccessibleTableCellInterface*>(this);
        return nullptr;
    }

    bool isSelected() const override
    {
        const QTableWidgetItem* item = isValid() ? m_grid->item(m_row, m_col) : nullptr;
        return item && item->isSelected();
    }
    QList<QAccessibleInterface*> columnHeaderCells() const override
    {
        return {gridInterface()->cell(0, m_col)};
    }
    QList<QAccessibleInterface*> rowHeaderCells() const override
    {
        return {gridInterface()->cell(m_row, 0)};
    }
    int columnIndex() const override { return m_col - 1; }
    int rowIndex() const override { return m_row - 1; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

private:
    QPointer<QtGrid> m_grid;
    int m_row;
    int m_col;
};

QAccessibleInterface* GridAccessible::cell(int row, int col) const
{
    const QPair<int, int> key(row, col);
    auto found = m_cells.constFind(key);
    if (found == m_cells.constEnd())
        found = m_cells.insert(key, QAccessible::registerAccessibleInterface(
                                        new GridCellAccessible(grid(), row, col)));
    return QAccessible::accessibleInterface(*found);
}

int GridAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    const auto* cell = dynamic_cast<const GridCellAccessible*>(child);
    if (!cell || cell->parent() != this || !cell->isValid())
        return -1;
    return cell->row() * grid()->columnCount() + cell->col();
}

// Asked only when an assistive technology is listening.
QAccessibleInterface* gridAccessibleFactory(const QString&, QObject* object)
{
    if (auto* grid = qobject_cast<QtGrid*>(object))
        return new GridAccessible(grid);
    return nullptr;
}

// Tells a listening screen reader of a new text or focus in the cell.
void notifyCell(QtGrid* grid, QAccessible::Event type, int row, int col)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent event(grid, type);
    event.setChild(row * grid->columnCount() + col);
    QAccessible::updateAccessibility(&event);
}

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
    // Installed once for all grids: Qt ignores a factory it already has.
    QAccessible::installFactory(gridAccessibleFactory);
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
    if (item(row, col)->text() == text)
        return;
    item(row, col)->setText(text);
    notifyCell(this, QAccessible::NameChanged, row, col);
}

void QtGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    // QTableView would number the focused cell counting its hidden header
    // sections; this grid's accessible children are its cells alone.
    QAbstractItemView::currentChanged(current, previous);
    if (current.isValid() && hasFocus())
        notifyCell(this, QAccessible::Focus, current.row(), current.column());
}

void QtGrid::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    // For the same reason: QTableView's selection events would name the
    // wrong cells.
    QAbstractItemView::selectionChanged(selected, deselected);
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
