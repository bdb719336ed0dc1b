#pragma once

#include <QString>
#include <QTableWidget>

namespace kelvo {

// The signal grid: rows and columns counted with the one fixed (header) row
// and the one fixed (title) column. Sizes are in twips (15 per pixel at
// 96 dpi). Reading or writing a cell outside the grid does nothing.
class Grid {
public:
    static constexpr int kAlignCenterCenter = 4;

    virtual ~Grid() = default;
    virtual int Rows() const = 0;
    virtual void setRows(int rows) = 0;
    virtual int Cols() const = 0;
    virtual void setCols(int cols) = 0;
    virtual QString TextMatrix(int row, int col) const = 0;
    virtual void setTextMatrix(int row, int col, const QString& text) = 0;
    virtual int ColWidth(int col) const = 0;
    virtual void setColWidth(int col, int twips) = 0;
    virtual int ColAlignment(int col) const = 0;
    virtual void setColAlignment(int col, int alignment) = 0;
    virtual int Width() const = 0;
    virtual void setWidth(int twips) = 0;
    virtual int Height() const = 0;
    virtual void setHeight(int twips) = 0;
    virtual bool Visible() const = 0;
    virtual void setVisible(bool visible) = 0;
};

// The grid over a QTableWidget. Row 0 and column 0 are drawn in the button
// face colour and cannot be selected, like the fixed cells of a flex grid.
// Screen readers read it as a table whose column headers are row 0 and whose
// row headers are column 0; the cells of the table proper are the others.
class QtGrid final : public QTableWidget, public Grid {
    Q_OBJECT
public:
    static constexpr int kDefaultColWidthTwips = 975;
    static constexpr int kRowHeightTwips = 245;

    explicit QtGrid(QWidget* parent = nullptr);

    int Rows() const override { return rowCount(); }
    void setRows(int rows) override;
    int Cols() const override { return columnCount(); }
    void setCols(int cols) override;
    QString TextMatrix(int row, int col) const override;
    void setTextMatrix(int row, int col, const QString& text) override;
    int ColWidth(int col) const override;
    void setColWidth(int col, int twips) override;
    int ColAlignment(int col) const override;
    void setColAlignment(int col, int alignment) override;
    int Width() const override;
    void setWidth(int twips) override;
    int Height() const override;
    void setHeight(int twips) override;
    bool Visible() const override { return isVisibleTo(parentWidget()); }
    void setVisible(bool visible) override { QTableWidget::setVisible(visible); }

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;

private:
    void styleCell(int row, int col);
    void restyleAll();

    QHash<int, int> m_alignment;
    int m_widthTwips = 0;
    int m_heightTwips = 0;
};

} // namespace kelvo
