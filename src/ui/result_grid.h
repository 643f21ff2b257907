#pragma once

// The result grid: rows of TResultRow shown through a model, coloured by their outcome values.
// Rows are plain values in one vector, so a run of 100,000 files costs no widget per row.

#include <QAbstractTableModel>
#include <QColor>
#include <QStringList>
#include <QTableView>
#include <array>
#include <map>
#include <vector>

#include "copy/result_row.h"

namespace pelko {

// How one cell is drawn; an invalid colour keeps the view's own.
struct TCellStyle {
    QColor text;
    QColor background;
};

// Cell styles keyed by value: the copy outcome for the first three columns, the removal outcome
// for the last, so a colour never depends on the words in the cell.
class TResultStyles {
  public:
    // The program's colours: copied green, name taken yellow, older grey, failed red, working
    // blue.
    static TResultStyles Defaults();

    void SetCopyStyle(TCopyOutcome outcome, TCellStyle style) { copy_[outcome] = style; }
    void SetRemovalStyle(TDeleteOutcome outcome, TCellStyle style) { removal_[outcome] = style; }
    TCellStyle CopyStyle(TCopyOutcome outcome) const;
    TCellStyle RemovalStyle(TDeleteOutcome outcome) const;
    // The style of one cell of a row.
    TCellStyle CellStyle(const TResultRow& row, int column) const;

  private:
    std::map<TCopyOutcome, TCellStyle> copy_;
    std::map<TDeleteOutcome, TCellStyle> removal_;
};

class TResultGridModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    static constexpr int kColumns = 4;

    explicit TResultGridModel(QObject* parent = nullptr);

    // The four header texts; the legend shown as the header's tooltip.
    void SetHeaders(const QStringList& headers);
    void SetLegend(const QString& legend) { legend_ = legend; }

    // Cuts the grid to its header row.
    void Clear();
    // Appends a row; returns its index.
    int AppendRow(const TResultRow& row);
    void AppendRows(const std::vector<TResultRow>& rows);
    // Replaces row `index` (ignored when out of range).
    void SetRow(int index, const TResultRow& row);
    const TResultRow& Row(int index) const { return rows_.at(static_cast<std::size_t>(index)); }
    int RowCount() const { return static_cast<int>(rows_.size()); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    std::vector<TResultRow> rows_;
    QStringList headers_;
    QString legend_;
    TResultStyles styles_;
};

// A table view tuned for long lists: fixed row height, no per-row widgets, whole-row selection,
// column widths read and set as one list.
class TGridView : public QTableView {
    Q_OBJECT

  public:
    explicit TGridView(QWidget* parent = nullptr);

    std::vector<int> ColumnWidths() const;
    // Widths below a small minimum (a damaged setting) are raised to it. They stand as they
    // are: no column stretches afterwards.
    void SetColumnWidths(const std::vector<int>& widths);
    // Keeps the last row in view while rows arrive, unless the user scrolled away.
    // The column that takes the spare width, never narrower than it is now, until the user
    // resizes a column; -1 for none.
    void SetStretchColumn(int column);
    int StretchColumn() const { return stretch_column_; }

  protected:
    bool viewportEvent(QEvent* event) override;

  private:
    void Stretch();

    int stretch_column_ = -1;
    int stretch_minimum_ = 0;
    // Widths this view sets itself, which are not the user's.
    bool setting_widths_ = false;
    // The last row was in view when the bar last moved. Kept as a flag, since the bar's range
    // changes later than the rows (it is laid out once per event-loop turn) and also when the
    // view is resized.
    bool at_end_ = true;
};

}  // namespace pelko
