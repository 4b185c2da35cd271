// The Settings window: what it shows on opening, and what it stores on every close.
#include "app/AppState.h"
#include "app/IniFile.h"
#include "app/frmSpecies.h"
#include "support/Installation.h"
#include "support/ScriptedUi.h"
#include "support/Windows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kv5;

namespace {

// The species table from "code name" entries.
SpeciesList tableOf(const QStringList& entries) {
    SpeciesList list;
    for (const QString& entry : entries)
        list.SpeciesTable[list.SpeciesCount++] = {entry.section(' ', 0, 0).toInt(), entry.section(' ', 1), 0, 1};
    return list;
}

QStringList chosen(const frmSpecies& window) {
    QStringList texts;
    for (const QComboBox* list : window.cboMC) texts << list->currentText();
    return texts;
}

} // namespace

class TestSettingsWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<AppState> state;
    ScriptedUi ui;

    QByteArray ini() const { return FileBytes(state->iniPath()); }

private slots:
    void init() {
        home = std::make_unique<QTemporaryDir>();
        state = std::make_unique<AppState>();
        state->ProgramFolder = home->path();
        state->species = tableOf({"1 Reference", "5 Oak", "7 Beech", "-3 Curve"});
        ui = ScriptedUi();
    }

    void cleanup() { QVERIFY2(ui.messages.empty(), qPrintable(ui.messageTexts().join('\n'))); }

    // Each list shows its channel's species, else the second or only entry; none leaves codes alone.
    void speciesChoices_data() {
        QTest::addColumn<QStringList>("table");
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QList<int>>("stored");
        QTest::newRow("listed or not") << QStringList{"1 Reference", "5 Oak", "7 Beech", "-3 Curve"}
                                       << QList<int>{7, 42, -3} << QStringList{"Beech", "Oak", "Curve"}
                                       << QList<int>{7, 5, -3};
        QTest::newRow("one species") << QStringList{"1 Reference"} << QList<int>{4, 1, 4}
                                     << QStringList(3, "Reference") << QList<int>{1, 1, 1};
        QTest::newRow("no species") << QStringList() << QList<int>{5, 7, -3} << QStringList(3, "")
                                    << QList<int>{5, 7, -3};
    }
    void speciesChoices() {
        QFETCH(QStringList, table);
        QFETCH(QList<int>, codes);
        QFETCH(QList<int>, stored);
        state->species = tableOf(table);
        state->settings.McSp = {codes[0], codes[1], codes[2]};
        frmSpecies window(*state, ui);
        QTEST(chosen(window), "shown");
        for (QComboBox* list : window.cboMC) QCOMPARE(list->isEnabled(), !table.isEmpty());
        window.show();
        QTest::mouseClick(window.cmdClose, Qt::LeftButton);
        QCOMPARE(state->settings.McSp, (std::array<int, 3>{stored[0], stored[1], stored[2]}));
    }

    // Any way of closing stores all seven keys, keeping the rest of the file; the window reopens so.
    void userRoundTrip_data() {
        QTest::addColumn<int>("way");
        QTest::newRow("Close button") << 0;
        QTest::newRow("window frame") << 1;
        QTest::newRow("Escape") << 2;
    }
    void userRoundTrip() {
        QFETCH(int, way);
        QVERIFY(WriteFileBytes(state->iniPath(), "; mine\n[General]\nTestMode=1\nCelsius = 1 \nEmc=1\n"));
        state->settings = {1, 0, 0, 5, 0}; // Celsius, AhGpp, TestMode, Emc (not 0 is on), Dewpoint
        {
            frmSpecies window(*state, ui);
            QCOMPARE(QList<bool>({window.chkCelsius->isChecked(), window.chkAhGpp->isChecked(),
                                  window.chkEmc->isChecked(), window.chkDew->isChecked()}),
                     QList<bool>({true, false, true, false}));
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            const QString faults = LayoutFaults(window, QStringLiteral("frmSpecies"));
            QVERIFY2(faults.isEmpty(), qPrintable(faults));
            const std::array<QLabel*, 3> captions{window.capMC1, window.capMC2, window.capMC3};
            for (int i = 0; i < 3; ++i)
                QVERIFY(captions[i]->x() < window.cboMC[i]->x() &&
                        std::abs(captions[i]->geometry().center().y() - window.cboMC[i]->geometry().center().y()) <= 2);
            QTest::mouseClick(window.chkCelsius, Qt::LeftButton);
            QTest::mouseClick(window.chkEmc, Qt::LeftButton);
            // Oak and Curve chosen by keyboard.
            window.cboMC[0]->setFocus();
            QTest::keyClick(window.cboMC[0], Qt::Key_Down);
            window.cboMC[2]->setFocus();
            QTest::keyClick(window.cboMC[2], Qt::Key_End);
            if (way == 0) QTest::mouseClick(window.cmdClose, Qt::LeftButton);
            if (way == 1) window.close();
            if (way == 2) QTest::keyClick(&window, Qt::Key_Escape);
            QVERIFY(!window.isVisible());
        }
        QCOMPARE(ini(), QByteArray("; mine\n[General]\nTestMode=1\nCelsius=0\nEmc=0\nMcSp1=5\nMcSp2=1\n"
                                   "McSp3=-3\nAhGpp=0\nDewpoint=0\n"));
        frmSpecies again(*state, ui);
        QVERIFY(!again.chkCelsius->isChecked() && !again.chkEmc->isChecked());
        QCOMPARE(chosen(again), (QStringList{"Oak", "Reference", "Curve"}));
    }

    // "Show times under the chart" starts off, is written once the user changes it, and is read
    // back at the next start with the target moisture content.
    void chartTimes() {
        QVERIFY(WriteFileBytes(state->iniPath(), "[General]\nTargetMc=12.5\n"));
        state->settings = Settings();
        {
            frmSpecies window(*state, ui);
            QCOMPARE(window.chkChartTimes->text(), QStringLiteral("Show times under the chart"));
            QVERIFY(!window.chkChartTimes->isChecked());
            window.show();
            QTest::mouseClick(window.chkChartTimes, Qt::LeftButton);
            window.close();
        }
        QVERIFY2(ini().startsWith("[General]\nTargetMc=12.5\nChartTimes=1\n"), ini().constData());
        Settings loaded;
        LoadSummarySettings(state->iniPath(), loaded, ui);
        QCOMPARE(loaded.ChartTimes, 1);
        QCOMPARE(loaded.TargetMc, 12.5);
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "test_settingswindow.moc"
