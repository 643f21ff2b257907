#include "ui/result_grid.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <algorithm>

namespace pelko {

namespace {

constexpr int kMinColumnWidth = 20;

}  // namespace

TResultStyles TResultStyles::Defaults() {
    TResultStyles styles;
    const TCellStyle copied{QColor(0, 90, 0), QColor(226, 244, 226)};
    const TCellStyle taken{QColor(110, 80, 0), QColor(255, 244, 200)};
    const TCellStyle older{QColor(90, 90, 90), QColor(236, 236, 236)};
    const TCellStyle failed{QColor(150, 0, 0), QColor(255, 214, 214)};
    const TCellStyle working{QColor(0, 60, 150), QColor(220, 232, 255)};
    styles.SetCopyStyle(TCopyOutcome::coCopied, copied);
    styles.SetCopyStyle(TCopyOutcome::coNameTaken, taken);
    styles.SetCopyStyle(TCopyOutcome::coOlder, older);
    styles.SetCopyStyle(TCopyOutcome::coFailed, failed);
    styles.SetCopyStyle(TCopyOutcome::coWorking, working);
    styles.SetRemovalStyle(TDeleteOutcome::doDeleted, copied);
    styles.SetRemovalStyle(TDeleteOutcome::doFailed, failed);
    styles.SetRemovalStyle(TDeleteOutcome::doSkipped, taken);
    return styles;
}

TCellStyle TResultStyles::CopyStyle(TCopyOutcome outcome) const {
    const auto it = copy_.find(outcome);
    return it == copy_.end() ? TCellStyle{} : it->second;
}

TCellStyle TResultStyles::RemovalStyle(TDeleteOutcome outcome) const {
    const auto it = removal_.find(outcome);
    return it == removal_.end() ? TCellStyle{} : it->second;
}

TCellStyle TResultStyles::CellStyle(const TResultRow& row, int column) const {
    // A failed removal marks the whole row, as a failed copy does: the card file needs a look.
    if (column == 3 || row.removal == TDeleteOutcome::doFailed) {
        const TCellStyle removal = RemovalStyle(row.removal);
        if (column == 3 || row.copy != TCopyOutcome::coFailed) return removal;
    }
    return CopyStyle(row.copy);
}

TResultGridModel::TResultGridModel(QObject* parent)
    : QAbstractTableModel(parent), styles_(TResultStyles::Defaults()) {}

void TResultGridModel::SetHeaders(const QStringList& headers) {
    headers_ = headers;
    emit headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
}

void TResultGridModel::Clear() {
    beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    endResetModel();
}

int TResultGridModel::AppendRow(const TResultRow& row) {
    const int at = RowCount();
    beginInsertRows({}, at, at);
    rows_.push_back(row);
    endInsertRows();
    return at;
}

void TResultGridModel::AppendRows(const std::vector<TResultRow>& rows) {
    if (rows.empty()) return;
    const int at = RowCount();
    beginInsertRows({}, at, at + static_cast<int>(rows.size()) - 1);
    rows_.insert(rows_.end(), rows.begin(), rows.end());
    endInsertRows();
}

void TResultGridModel::SetRow(int index_, const TResultRow& row) {
    if (index_ < 0 || index_ >= RowCount()) return;
    rows_[static_cast<std::size_t>(index_)] = row;
    emit dataChanged(index(index_, 0), index(index_, kColumns - 1));
}

int TResultGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RowCount();
}

int TResultGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant TResultGridModel::data(const QModelIndex& idx, int role) const {
    if (!idx.isValid() || idx.row() >= RowCount() || idx.column() >= kColumns) return {};
    const TResultRow& row = rows_[static_cast<std::size_t>(idx.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
        case Qt::AccessibleTextRole: {
            const auto cells = GridCells(row);
            return QString::fromStdString(cells[static_cast<std::size_t>(idx.column())]);
        }
        case Qt::BackgroundRole: {
            const QColor color = styles_.CellStyle(row, idx.column()).background;
            return color.isValid() ? QVariant(color) : QVariant();
        }
        case Qt::ForegroundRole: {
            const QColor color = styles_.CellStyle(row, idx.column()).text;
            return color.isValid() ? QVariant(color) : QVariant();
        }
        default:
            return {};
    }
}

QVariant TResultGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) {
        return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
    }
    if (section < 0 || section >= kColumns) return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
        return section < headers_.size() ? headers_[section] : QString();
    }
    if (role == Qt::ToolTipRole && !legend_.isEmpty()) return legend_;
    return {};
}

TGridView::TGridView(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setTextElideMode(Qt::ElideMiddle);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Fixed row heights let the view place 100,000 rows without measuring any of them.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    // No stretched last column: every width the user sets is kept and saved as it is.
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    // Arriving rows (and a view made shorter) keep the last row in view, unless the user has
    // scrolled away from it; scrolling back to the end follows again. The range changes once per
    // layout, not per row, so this costs nothing per row.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this](int value) { at_end_ = value >= verticalScrollBar()->maximum(); });
    connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, [this](int, int maximum) {
        if (at_end_) verticalScrollBar()->setValue(maximum);
    });
    // Tab leaves the grid, as it leaves every other control.
    setTabKeyNavigation(false);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] {
        if (!setting_widths_) stretch_column_ = -1;
    });
}

void TGridView::SetStretchColumn(int column) {
    // The column never gets narrower than it was before it first stretched.
    if (column != stretch_column_) stretch_minimum_ = column >= 0 ? columnWidth(column) : 0;
    stretch_column_ = column;
    Stretch();
}

bool TGridView::viewportEvent(QEvent* event) {
    const bool handled = QTableView::viewportEvent(event);
    if (event->type() == QEvent::Resize) Stretch();
    return handled;
}

void TGridView::Stretch() {
    const int count = model() ? model()->columnCount() : 0;
    if (stretch_column_ < 0 || stretch_column_ >= count) return;
    int others = 0;
    for (int i = 0; i < count; ++i) {
        if (i != stretch_column_ && !isColumnHidden(i)) others += columnWidth(i);
    }
    const int width = std::max(stretch_minimum_, viewport()->width() - others);
    if (width == columnWidth(stretch_column_)) return;
    setting_widths_ = true;
    setColumnWidth(stretch_column_, width);
    setting_widths_ = false;
}

std::vector<int> TGridView::ColumnWidths() const {
    std::vector<int> widths;
    const int count = model() ? model()->columnCount() : 0;
    for (int i = 0; i < count; ++i)
        widths.push_back(columnWidth(i));
    return widths;
}

void TGridView::SetColumnWidths(const std::vector<int>& widths) {
    const int count = model() ? model()->columnCount() : 0;
    setting_widths_ = true;
    for (int i = 0; i < count && i < static_cast<int>(widths.size()); ++i) {
        setColumnWidth(i, std::max(kMinColumnWidth, widths[static_cast<std::size_t>(i)]));
    }
    setting_widths_ = false;
    stretch_column_ = -1;
}

}  // namespace pelko
