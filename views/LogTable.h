// What the table shows of the in-memory log: its columns by family and settings, their headers
// and widths, and the cell texts, computed when a cell is asked for.
#pragma once

#include "calc/Quantities.h"

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>

#include <vector>

namespace kv5 {

// A column of the table: the time, or a quantity.
struct TableColumn {
    const QuantityRow* quantity = nullptr; // nullptr: the time
    bool isTime() const { return quantity == nullptr; }
};

// The time, then the quantities the family and the settings show.
std::vector<TableColumn> TableColumns(const LogData& log, const Settings& settings);

// "Time", or the quantity's header ("Temp °F", "MC1 %", "GPP").
QString ColumnHeader(TableColumn column, const Settings& settings);

// Widths in characters of the first column and of every other one, by family and column count.
struct ColumnWidths {
    int first;
    int other;
};
ColumnWidths TableColumnWidths(bool q7r, int columns);

// The text of one cell of the record in slot: the time text, or the number "0.0" with the
// user's decimal separator. A derived value that cannot be computed leaves its cell empty.
QString CellText(const LogData& log, const Settings& settings, TableColumn column, int slot);

// The table's rows as text lines: the headers, then one line per record, cells separated by
// separator.
QStringList TableLines(const LogData& log, const Settings& settings, QChar separator);

// The grid's model: one row per record, one column per shown quantity; read-only. Cells are
// computed when the view asks for them, so a log of any size is shown at once.
class LogTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    LogTableModel(const LogData& log, const Settings& settings, QObject* parent = nullptr);

    // Takes the log and the settings as they are now.
    void reload();
    const std::vector<TableColumn>& columns() const { return columns_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    const LogData& log_;
    const Settings& settings_;
    std::vector<TableColumn> columns_;
    int rows_ = 0;
};

} // namespace kv5
