#include "views/frmChart.h"

#include "core/UserInterface.h"
#include "views/Buttons.h"
#include "views/ChartWidgets.h"

#include <QPointer>
#include <QPushButton>
#include <QShowEvent>

namespace kv5 {

frmChart::frmChart(const LogView& view, UserInterface& ui, LogFileActions actions, QWidget* parent)
    : QDialog(parent), chart(view, ui), view_(view), ui_(ui), actions_(std::move(actions)) {
    setObjectName(QStringLiteral("frmChart"));
    setWindowTitle(QStringLiteral("Chart"));
    setModal(true);

    bmp = new ChartSurface(this);
    bmp->setObjectName(QStringLiteral("bmp"));
    bmp->mouseMoved = [this](QPointF at) { showReadoutAt(ReadoutRecord(float(at.x()), chart.recordCount())); };
    txtAxisYmax = new ChartTextBox(AxisFont(), this);
    txtAxisYmax->setObjectName(QStringLiteral("txtAxisYmax"));
    txtAxisYmin = new ChartTextBox(AxisFont(), this);
    txtAxisYmin->setObjectName(QStringLiteral("txtAxisYmin"));
    for (int i = 0; i < 9; ++i) {
        txtLegend[i] = new ChartTextBox(LegendFont(i), this);
        txtLegend[i]->setObjectName(QStringLiteral("txtLegend"));
        txtLegend[i]->setProperty("Index", i);
        txtLegend[i]->hide();
    }

    btnInfo = MakeButton(this, "btnInfo", QStringLiteral("Info"));
    btnZoom = MakeButton(this, "btnZoom", QStringLiteral("Zoom"));
    btnOpen = MakeButton(this, "btnOpen", QStringLiteral("Open"));
    btnPrint = MakeButton(this, "btnPrint", QStringLiteral("Print"));
    btnDelete = MakeButton(this, "btnDelete", QStringLiteral("Delete"));
    btnMeter = MakeButton(this, "btnMeter", QStringLiteral("Close"));
    // Print shows only where printing is handed to the window (SetPrintHandler).
    btnPrint->hide();

    setMinimumSize(ChartWindowMinimumSize);
    resize(ChartWindowSize);

    connect(btnInfo, &QPushButton::clicked, this,
            [this] { ShowLogInfo(view_.log, view_.settings, chart.extremes, ui_); });
    connect(btnZoom, &QPushButton::clicked, this, [this] {
        if (chart.askZoom()) showState();
    });
    ConnectLogFileButtons(this, btnOpen, btnPrint, btnDelete, actions_, print_, [this] { Load(); });
    connect(btnMeter, &QPushButton::clicked, this, &QDialog::accept);
}

void frmChart::Load() {
    chart.Load();
    showState();
}

void frmChart::showReadoutAt(int record) {
    chart.showReadoutAt(record);
    showState();
}

void frmChart::SetPrintHandler(std::function<void()> print) {
    print_ = std::move(print);
    btnPrint->setVisible(bool(print_));
    AddPrintMenu(this, btnPrint, actions_, print_, mnuPrint, mnuReport);
}

QImage frmChart::SurfaceImage() {
    return bmp->image();
}

void frmChart::showState() {
    bmp->setPicture(chart.bmp);
    const auto apply = [](ChartTextBox* box, const ChartTextBoxState& state) {
        box->setText(state.text);
        box->setTextColor(state.color);
        if (box->isHidden() == state.visible) box->setVisible(state.visible);
    };
    apply(txtAxisYmax, chart.txtAxisYmax);
    apply(txtAxisYmin, chart.txtAxisYmin);
    for (int i = 0; i < 9; ++i) apply(txtLegend[i], chart.txtLegend[i]);
}

void frmChart::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) Load();
    QDialog::showEvent(event);
}

void frmChart::resizeEvent(QResizeEvent* event) {
    const ChartWindowLayout layout = LayoutChartWindow(size());
    bmp->setGeometry(layout.bmp);
    txtAxisYmax->setGeometry(layout.txtAxisYmax);
    txtAxisYmin->setGeometry(layout.txtAxisYmin);
    for (int i = 0; i < 9; ++i) txtLegend[i]->setGeometry(layout.txtLegend[i]);
    const std::array<QPushButton*, 6> buttons{btnInfo, btnZoom, btnOpen, btnPrint, btnDelete, btnMeter};
    for (int i = 0; i < 6; ++i) buttons[i]->setGeometry(layout.buttons[i]);
    QDialog::resizeEvent(event);
}

frmChart& ChartWindow(const LogView& view, UserInterface& ui, const LogFileActions& actions,
                      QWidget* parent) {
    // Without a parent the window is kept here; it is never destroyed before the program ends.
    static QPointer<frmChart> withoutParent;
    frmChart* window = nullptr;
    if (parent) {
        for (frmChart* child : parent->findChildren<frmChart*>(QString(), Qt::FindDirectChildrenOnly))
            if (&child->view().log == &view.log && &child->userInterface() == &ui) window = child;
    } else if (withoutParent && &withoutParent->view().log == &view.log &&
               &withoutParent->userInterface() == &ui) {
        window = withoutParent;
    }
    if (!window) {
        window = new frmChart(view, ui, actions, parent);
        if (!parent) withoutParent = window;
    }
    return *window;
}

void ShowChartWindow(const LogView& view, UserInterface& ui, const LogFileActions& actions, QWidget* parent) {
    ChartWindow(view, ui, actions, parent).exec();
}

} // namespace kv5
