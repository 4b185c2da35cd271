#include "views/frmTable.h"

#include "core/UserInterface.h"
#include "views/Buttons.h"
#include "views/LogTable.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>

#include <QVBoxLayout>
#include <algorithm>

namespace kv5 {

namespace {

// The window's measures were laid out in twips, 15 to a pixel at 96 dots per inch.
constexpr int twips(int value) {
    return value / 15;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, int widthTwips) {
    QPushButton* button = MakeButton(parent, name, caption);
    button->setFixedSize(twips(widthTwips), twips(375));
    return button;
}

} // namespace

frmTable::frmTable(const LogView& view, UserInterface& ui, LogFileActions actions, QWidget* parent)
    : QDialog(parent), view_(view), ui_(ui), actions_(std::move(actions)) {
    setObjectName(QStringLiteral("frmTable"));
    setWindowTitle(QStringLiteral("Log"));
    setModal(true);

    model_ = new LogTableModel(view_.log, view_.settings, this);
    Grid1 = new QTableView(this);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    Grid1->setModel(model_);
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid1->setWordWrap(false);
    Grid1->verticalHeader()->hide();
    Grid1->horizontalHeader()->setHighlightSections(false);
    Grid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    Grid1->horizontalHeader()->setStretchLastSection(false);
    Grid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    // The grid's font: "MS Sans Serif" 8 where it exists, else the system's own sans serif.
    QFont gridFont = font();
    gridFont.setFamilies({QStringLiteral("MS Sans Serif"), gridFont.family()});
    gridFont.setPointSize(8);
    Grid1->setFont(gridFont);
    Grid1->horizontalHeader()->setFont(gridFont);
    Grid1->verticalHeader()->setDefaultSectionSize(QFontMetrics(gridFont).height() + 6);

    btnInfo = makeButton(this, "btnInfo", QStringLiteral("Info"), 1095);
    btnOpen = makeButton(this, "btnOpen", QStringLiteral("Open"), 1215);
    btnPrint = makeButton(this, "btnPrint", QStringLiteral("Print"), 1215);
    btnDelete = makeButton(this, "btnDelete", QStringLiteral("Delete"), 1215);
    btnDone = makeButton(this, "btnDone", QStringLiteral("Close"), 1095);
    // Print shows only where printing is handed to the window (SetPrintHandler); its place in the
    // row stays free without it.
    QSizePolicy keepPlace = btnPrint->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    btnPrint->setSizePolicy(keepPlace);
    btnPrint->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(twips(120), twips(120), twips(120), twips(120));
    layout->setSpacing(twips(6240 - 120 - 6012));
    layout->addWidget(Grid1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(twips(1320 - 120 - 1095));
    for (QPushButton* button : {btnInfo, btnOpen, btnPrint, btnDelete, btnDone}) buttons->addWidget(button);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    resize(twips(8205), twips(6750));

    connect(btnInfo, &QPushButton::clicked, this,
            [this] { ShowLogInfo(view_.log, view_.settings, extremes, ui_); });
    ConnectLogFileButtons(this, btnOpen, btnPrint, btnDelete, actions_, print_, [this] { Load(); });
    connect(btnDone, &QPushButton::clicked, this, &QDialog::accept);

    Load();
}

void frmTable::Load() {
    Grid1->setUpdatesEnabled(false);
    const bool computed = ComputeExtremes(view_.log, view_.settings, extremes, ui_);
    model_->reload();

    const int columns = model_->columnCount();
    const ColumnWidths widths = TableColumnWidths(view_.log.isQ7R(), columns);
    // A width in characters is that many digits of the grid's font, plus the cell's margins.
    const QFontMetrics metrics(Grid1->font());
    const int digit = metrics.horizontalAdvance(QLatin1Char('0'));
    const int margins = 2 * Grid1->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, Grid1) + 2;
    for (int column = 0; column < columns; ++column)
        Grid1->setColumnWidth(column, (column == 0 ? widths.first : widths.other) * digit + margins);
    // Time stamps carry a four-digit year and the user's own date pattern, which can be longer
    // than the width the time column has in characters: the column is never narrower than
    // the time texts of the first and last records.
    const LogData& log = view_.log;
    if (log.RecordCount > 0) {
        const int text = std::max(metrics.horizontalAdvance(log.LogTime[0]),
                                  metrics.horizontalAdvance(log.LogTime[log.RecordCount - 1]));
        Grid1->setColumnWidth(0, std::max(Grid1->columnWidth(0), text + margins + digit));
    }

    if (view_.log.RecordCount > 0) {
        const QModelIndex last = model_->index(view_.log.RecordCount - 1, 0);
        Grid1->setCurrentIndex(last);
        Grid1->scrollTo(last);
    }
    Grid1->setUpdatesEnabled(true);
    if (!computed) ui_.message({QStringLiteral("Loading grid failed"), Icon::Stop});
}

void frmTable::SetPrintHandler(std::function<void()> print) {
    print_ = std::move(print);
    btnPrint->setVisible(bool(print_));
    AddPrintMenu(this, btnPrint, actions_, print_, mnuPrint, mnuReport);
}

} // namespace kv5
