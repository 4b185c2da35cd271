#include "views/LogTable.h"

#include "core/LogData.h"
#include "core/Numbers.h"
#include "core/Settings.h"

namespace kv5 {

std::vector<TableColumn> TableColumns(const LogData& log, const Settings& settings) {
    std::vector<TableColumn> columns{TableColumn{}};
    for (const QuantityRow* row : ShownQuantities(log.isQ7R(), settings)) columns.push_back({row});
    return columns;
}

QString ColumnHeader(TableColumn column, const Settings& settings) {
    return column.isTime() ? QStringLiteral("Time") : QuantityHeader(*column.quantity, settings.Celsius);
}

ColumnWidths TableColumnWidths(bool q7r, int columns) {
    if (q7r) {
        switch (columns) {
        case 7:
            return {14, 8};
        case 8:
            return {12, 7};
        case 9:
            return {14, 6};
        default:
            return {14, 9};
        }
    }
    switch (columns) {
    case 3:
        return {19, 15};
    case 4:
        return {19, 10};
    case 5:
        return {17, 9};
    default:
        return {14, 9};
    }
}

QString CellText(const LogData& log, const Settings& settings, TableColumn column, int slot) {
    if (column.isTime()) return log.LogTime[slot];
    const Derived value = QuantityValue(*column.quantity, log, slot, settings.Celsius);
    return value.ok() ? NumberText(value.value) : QString();
}

QStringList TableLines(const LogData& log, const Settings& settings, QChar separator) {
    const std::vector<TableColumn> columns = TableColumns(log, settings);
    QStringList lines;
    lines.reserve(log.RecordCount + 1);
    QStringList cells;
    for (TableColumn column : columns) cells << ColumnHeader(column, settings);
    lines << cells.join(separator);
    for (int slot = 0; slot < log.RecordCount; ++slot) {
        cells.clear();
        for (TableColumn column : columns) cells << CellText(log, settings, column, slot);
        lines << cells.join(separator);
    }
    return lines;
}

LogTableModel::LogTableModel(const LogData& log, const Settings& settings, QObject* parent)
    : QAbstractTableModel(parent), log_(log), settings_(settings) {
    reload();
}

void LogTableModel::reload() {
    beginResetModel();
    columns_ = TableColumns(log_, settings_);
    rows_ = log_.RecordCount;
    endResetModel();
}

int LogTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int LogTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant LogTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_ || index.column() >= columnCount()) return {};
    const TableColumn column = columns_[static_cast<std::size_t>(index.column())];
    if (role == Qt::DisplayRole) return CellText(log_, settings_, column, index.row());
    if (role == Qt::TextAlignmentRole && !column.isTime())
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    return {};
}

QVariant LogTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < columnCount())
        return ColumnHeader(columns_[static_cast<std::size_t>(section)], settings_);
    if (orientation == Qt::Vertical && role == Qt::DisplayRole) return section + 1;
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags LogTableModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace kv5
