// The Settings window: temperature unit, which derived values to show, and the wood species of
// each moisture channel. Whatever way it closes, its state goes into the settings and the file.
#pragma once

#include <QDialog>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace kv5 {

struct AppState;
class UserInterface;

class frmSpecies : public QDialog {
    Q_OBJECT

public:
    // Loads the window from the species table and the settings (LoadSpeciesComboBox).
    frmSpecies(AppState& state, UserInterface& ui, QWidget* parent = nullptr);

    // Fills the three species lists from the species table, each selecting the species of its
    // channel, and sets the check boxes from the settings. When a channel's code is not in the
    // table the list selects its second entry, or its only one.
    void LoadSpeciesComboBox();
    // Takes the window's state into the settings and writes all seven keys: McSp1..3, Celsius,
    // AhGpp, Emc, Dewpoint. A list without a selection (an empty species table) keeps its
    // channel's code.
    void SaveSpecies();

    // Runs SaveSpecies on every close: Close, the window frame or Escape.
    void done(int result) override;

    QCheckBox* chkCelsius;
    QCheckBox* chkAhGpp;
    QCheckBox* chkEmc;
    QCheckBox* chkDew;
    QCheckBox* chkChartTimes;
    QLabel* capMC1;
    QLabel* capMC2;
    QLabel* capMC3;
    // The control array cboMC(0..2): channel 1 is cboMC[0], objectName "cboMC0".
    std::array<QComboBox*, 3> cboMC;
    QPushButton* cmdClose;

private:
    AppState& state_;
    UserInterface& ui_;
};

} // namespace kv5
