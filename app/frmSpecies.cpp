#include "app/frmSpecies.h"

#include "app/AppState.h"
#include "app/IniFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv5 {

namespace {

QCheckBox* makeCheckBox(QWidget* parent, const char* name, const QString& caption) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

} // namespace

frmSpecies::frmSpecies(AppState& state, UserInterface& ui, QWidget* parent)
    : QDialog(parent), state_(state), ui_(ui) {
    setObjectName(QStringLiteral("frmSpecies"));
    setWindowTitle(QStringLiteral("Settings"));
    setModal(true);

    chkCelsius = makeCheckBox(this, "chkCelsius", QStringLiteral("Use Celsius - Only new data is changed"));
    chkAhGpp = makeCheckBox(this, "chkAhGpp", QStringLiteral("Show GPP"));
    chkEmc = makeCheckBox(this, "chkEmc", QStringLiteral("Show EMC"));
    chkDew = makeCheckBox(this, "chkDew", QStringLiteral("Show Dewpoint"));
    chkChartTimes = makeCheckBox(this, "chkChartTimes", QStringLiteral("Show times under the chart"));
    capMC1 = new QLabel(QStringLiteral("MC 1"), this);
    capMC1->setObjectName(QStringLiteral("capMC1"));
    capMC2 = new QLabel(QStringLiteral("MC 2"), this);
    capMC2->setObjectName(QStringLiteral("capMC2"));
    capMC3 = new QLabel(QStringLiteral("MC 3"), this);
    capMC3->setObjectName(QStringLiteral("capMC3"));
    for (int i = 0; i < 3; ++i) {
        cboMC[i] = new QComboBox(this);
        cboMC[i]->setObjectName(QStringLiteral("cboMC%1").arg(i));
        cboMC[i]->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        cboMC[i]->setMinimumContentsLength(20);
    }
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    for (QCheckBox* box : {chkCelsius, chkAhGpp, chkEmc, chkDew, chkChartTimes})
        layout->addWidget(box, 0, Qt::AlignLeft);
    layout->addSpacing(fontMetrics().height() / 2);
    auto* species = new QGridLayout;
    species->setHorizontalSpacing(fontMetrics().averageCharWidth() * 2);
    const std::array<QLabel*, 3> captions{capMC1, capMC2, capMC3};
    for (int i = 0; i < 3; ++i) {
        captions[i]->setBuddy(cboMC[i]);
        species->addWidget(captions[i], i, 0);
        species->addWidget(cboMC[i], i, 1);
    }
    species->setColumnStretch(1, 1);
    layout->addLayout(species);
    layout->addSpacing(fontMetrics().height() / 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    layout->addLayout(buttons);

    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);

    LoadSpeciesComboBox();
}

void frmSpecies::LoadSpeciesComboBox() {
    const SpeciesList& species = state_.species;
    for (int i = 0; i < 3; ++i) {
        QComboBox* list = cboMC[i];
        list->clear();
        for (int entry = 0; entry < species.SpeciesCount; ++entry)
            list->addItem(species.SpeciesTable[entry].Name, species.SpeciesTable[entry].Code);
        // The second entry unless the channel's species is found; a table of one species has
        // only the first, an empty table nothing to select.
        list->setCurrentIndex(list->count() >= 2 ? 1 : list->count() - 1);
        // When a code is listed twice, the last of them stays selected.
        for (int entry = 0; entry < list->count(); ++entry)
            if (list->itemData(entry).toInt() == state_.settings.McSp[i]) list->setCurrentIndex(entry);
        list->setEnabled(list->count() > 0);
    }
    chkCelsius->setChecked(state_.settings.Celsius != 0);
    chkAhGpp->setChecked(state_.settings.AhGpp != 0);
    chkEmc->setChecked(state_.settings.Emc != 0);
    chkDew->setChecked(state_.settings.Dewpoint != 0);
    chkChartTimes->setChecked(state_.settings.ChartTimes != 0);
}

void frmSpecies::SaveSpecies() {
    Settings& settings = state_.settings;
    const QString ini = state_.iniPath();
    QString refusal;
    const auto write = [&](const QString& key, int value) {
        WriteIniSetting(ini, GeneralSection, key, QString::number(value), ui_, &refusal);
    };
    for (int channel = 1; channel <= 3; ++channel) {
        const QComboBox* list = cboMC[channel - 1];
        if (list->currentIndex() >= 0) settings.McSp[channel - 1] = list->currentData().toInt();
        write(QStringLiteral("McSp%1").arg(channel), settings.McSp[channel - 1]);
    }
    settings.Celsius = chkCelsius->isChecked() ? 1 : 0;
    write(QStringLiteral("Celsius"), settings.Celsius);
    settings.AhGpp = chkAhGpp->isChecked() ? 1 : 0;
    write(QStringLiteral("AhGpp"), settings.AhGpp);
    settings.Emc = chkEmc->isChecked() ? 1 : 0;
    write(QStringLiteral("Emc"), settings.Emc);
    settings.Dewpoint = chkDew->isChecked() ? 1 : 0;
    write(QStringLiteral("Dewpoint"), settings.Dewpoint);
    // Written only when changed: a settings file of a user who never chose it stays as it was.
    const int chartTimes = chkChartTimes->isChecked() ? 1 : 0;
    if (chartTimes != settings.ChartTimes) write(QStringLiteral("ChartTimes"), chartTimes);
    settings.ChartTimes = chartTimes;
    ReportUnsavedSettings(ini, refusal, ui_);
}

void frmSpecies::done(int result) {
    SaveSpecies();
    QDialog::done(result);
}

} // namespace kv5
