#include "views/LogTable.h"

#include "calc/Psychrometrics.h"
#include "core/LogData.h"
#include "core/Numbers.h"
#include "core/Settings.h"
#include "core/Units.h"

namespace kv5 {

std::vector<TableColumn> TableColumns(const LogData& log, const Settings& settings) {
    std::vector<TableColumn> columns{TableColumn::Time, TableColumn::Temp};
    if (log.isQ7R()) columns.insert(columns.end(), {TableColumn::Mc1, TableColumn::Mc2, TableColumn::Mc3});
    columns.push_back(TableColumn::Rh);
    if (settings.AhGpp != 0) columns.push_back(TableColumn::Gpp);
    if (settings.Emc != 0) columns.push_back(TableColumn::Emc);
    if (settings.Dewpoint != 0) columns.push_back(TableColumn::Dew);
    return columns;
}

QString ColumnHeader(TableColumn column, const Settings& settings) {
    const QString unit = DegreeLabel(settings.Celsius);
    switch (column) {
    case TableColumn::Time:
        return QStringLiteral("Time");
    case TableColumn::Temp:
        return QStringLiteral("Temp ") + unit;
    case TableColumn::Mc1:
        return QStringLiteral("MC1 %");
    case TableColumn::Mc2:
        return QStringLiteral("MC2 %");
    case TableColumn::Mc3:
        return QStringLiteral("MC3 %");
    case TableColumn::Rh:
        return QStringLiteral("RH %");
    case TableColumn::Gpp:
        return QStringLiteral("GPP");
    case TableColumn::Emc:
        return QStringLiteral("EMC %");
    case TableColumn::Dew:
        return QStringLiteral("Dew ") + unit;
    }
    return {};
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

// A derived value that cannot be computed leaves its cell blank.
static QString valueText(const Derived& value) { return value.ok() ? NumberText(value.value) : QString(); }

QString CellText(const LogData& log, const Settings& settings, TableColumn column, int slot) {
    const double t = log.LogTemp[slot];
    const double rh = log.isQ7R() ? log.LogRhQ7R[slot] : log.LogRh[slot];
    switch (column) {
    case TableColumn::Time:
        return log.LogTime[slot];
    case TableColumn::Temp:
        return NumberText(t);
    case TableColumn::Mc1:
        return NumberText(log.LogMc1[slot]);
    case TableColumn::Mc2:
        return NumberText(log.LogMc2[slot]);
    case TableColumn::Mc3:
        return NumberText(log.LogMc3[slot]);
    case TableColumn::Rh:
        return NumberText(rh);
    case TableColumn::Gpp:
        return valueText(CalcAh(t, rh, settings.Celsius));
    case TableColumn::Emc:
        return valueText(CalcEmc(t, rh, settings.Celsius));
    case TableColumn::Dew:
        return valueText(CalcDewPoint(t, rh, settings.Celsius));
    }
    return {};
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
    if (role == Qt::TextAlignmentRole && column != TableColumn::Time)
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
