// The Settings window: what it shows on opening, and what it stores on every close.
#include "app/AppState.h"
#include "app/IniFile.h"
#include "app/frmSpecies.h"
#include "support/ScriptedUi.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kv5;

namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

SpeciesList tableOf(std::initializer_list<std::pair<int, const char*>> entries) {
    SpeciesList list;
    for (const auto& [code, name] : entries)
        list.SpeciesTable[list.SpeciesCount++] = {code, QString::fromUtf8(name), 0, 1};
    return list;
}

// Picks the entry with that text in a list, by keyboard as a user would.
void chooseByKeyboard(QComboBox* list, const QString& text) {
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Home);
    for (int i = 0; i < list->count() && list->currentText() != text; ++i)
        QTest::keyClick(list, Qt::Key_Down);
}

} // namespace

class TestSettingsWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<AppState> state;
    ScriptedUi ui;

    QString get(const QString& key) {
        return GetIniSetting(state->iniPath(), QStringLiteral("General"), key, QStringLiteral("missing"), ui);
    }

private slots:
    void init() {
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
        state = std::make_unique<AppState>();
        state->ProgramFolder = home->path();
        state->species = tableOf({{1, "Reference"}, {5, "Oak"}, {7, "Beech"}, {-3, "Curve"}});
        ui = ScriptedUi();
    }

    void cleanup() { QVERIFY2(ui.messages.empty(), qPrintable(ui.messageTexts().join('\n'))); }

    void controls() {
        frmSpecies window(*state, ui);
        QCOMPARE(window.objectName(), QStringLiteral("frmSpecies"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Settings"));
        const QList<std::pair<const char*, QString>> boxes{
            {"chkCelsius", "Use Celsius - Only new data is changed"},
            {"chkAhGpp", "Show GPP"},
            {"chkEmc", "Show EMC"},
            {"chkDew", "Show Dewpoint"}};
        for (const auto& [name, caption] : boxes) {
            auto* box = window.findChild<QCheckBox*>(QLatin1String(name));
            QVERIFY2(box, name);
            QCOMPARE(box->text(), caption);
        }
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(window.findChild<QLabel*>(QStringLiteral("capMC%1").arg(i + 1))->text(),
                     QStringLiteral("MC %1").arg(i + 1));
            QCOMPARE(window.findChild<QComboBox*>(QStringLiteral("cboMC%1").arg(i)), window.cboMC[i]);
        }
        QCOMPARE(window.findChild<QPushButton*>("cmdClose")->text(), QStringLiteral("Close"));
    }

    void opensOnTheChosenSpeciesAndSettings() {
        state->settings.McSp = {7, 99, -3};
        state->settings.Celsius = 1;
        state->settings.AhGpp = 0;
        state->settings.Emc = 5; // any non-zero value is on
        state->settings.Dewpoint = 0;
        frmSpecies window(*state, ui);
        for (QComboBox* list : window.cboMC) {
            QCOMPARE(list->count(), 4);
            QCOMPARE(list->itemText(1), QStringLiteral("Oak"));
            QCOMPARE(list->itemData(3).toInt(), -3);
        }
        QCOMPARE(window.cboMC[0]->currentText(), QStringLiteral("Beech"));
        QCOMPARE(window.cboMC[1]->currentText(), QStringLiteral("Oak")); // no code 99: the second entry
        QCOMPARE(window.cboMC[2]->currentText(), QStringLiteral("Curve"));
        QVERIFY(window.chkCelsius->isChecked());
        QVERIFY(!window.chkAhGpp->isChecked());
        QVERIFY(window.chkEmc->isChecked());
        QVERIFY(!window.chkDew->isChecked());
    }

    void codeNotInTheListStoresTheSecondEntry() {
        state->settings.McSp = {1, 42, 1};
        frmSpecies window(*state, ui);
        window.show();
        QTest::mouseClick(window.cmdClose, Qt::LeftButton);
        QCOMPARE(state->settings.McSp[1], 5);
        QCOMPARE(get(QStringLiteral("McSp2")), QStringLiteral("5"));
    }

    void sameCodeTwiceSelectsTheLastOne() {
        state->species = tableOf({{1, "Reference"}, {7, "Beech, steamed"}, {7, "Beech"}});
        state->settings.McSp = {7, 7, 7};
        frmSpecies window(*state, ui);
        QCOMPARE(window.cboMC[0]->currentIndex(), 2);
    }

    void userRoundTrip() {
        QVERIFY(writeFile(state->iniPath(),
                          "; my settings\n[General]\nCelsius=0\nAhGpp=1\nEmc=1\nDewpoint=1\n"
                          "McSp1=1\nMcSp2=1\nMcSp3=1\n"));
        {
            frmSpecies window(*state, ui);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QTest::mouseClick(window.chkCelsius, Qt::LeftButton);
            QTest::mouseClick(window.chkEmc, Qt::LeftButton);
            chooseByKeyboard(window.cboMC[0], QStringLiteral("Oak"));
            chooseByKeyboard(window.cboMC[2], QStringLiteral("Curve"));
            QTest::mouseClick(window.cmdClose, Qt::LeftButton);
            QVERIFY(!window.isVisible());
        }
        QCOMPARE(state->settings.Celsius, 1);
        QCOMPARE(state->settings.Emc, 0);
        QCOMPARE(state->settings.AhGpp, 1);
        QCOMPARE(state->settings.McSp, (std::array<int, 3>{5, 1, -3}));
        QCOMPARE(readFile(state->iniPath()),
                 QByteArray("; my settings\n[General]\nCelsius=1\nAhGpp=1\nEmc=0\n"
                            "Dewpoint=1\nMcSp1=5\nMcSp2=1\nMcSp3=-3\n"));

        // Opened again, the window shows what was stored.
        frmSpecies again(*state, ui);
        QVERIFY(again.chkCelsius->isChecked());
        QVERIFY(!again.chkEmc->isChecked());
        QCOMPARE(again.cboMC[0]->currentText(), QStringLiteral("Oak"));
        QCOMPARE(again.cboMC[1]->currentText(), QStringLiteral("Reference"));
        QCOMPARE(again.cboMC[2]->currentText(), QStringLiteral("Curve"));
    }

    void everyWayOfClosingStoresAllSevenKeys_data() {
        QTest::addColumn<int>("way");
        QTest::newRow("Close button") << 0;
        QTest::newRow("window frame") << 1;
        QTest::newRow("Escape") << 2;
    }
    void everyWayOfClosingStoresAllSevenKeys() {
        QFETCH(int, way);
        QVERIFY(writeFile(state->iniPath(), "[General]\nTestMode=1\nCelsius = 1 \n"));
        state->settings.McSp = {5, 7, 1};
        frmSpecies window(*state, ui);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(window.chkDew, Qt::LeftButton);
        if (way == 0) QTest::mouseClick(window.cmdClose, Qt::LeftButton);
        if (way == 1) window.close();
        if (way == 2) QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        QCOMPARE(state->settings.Dewpoint, 0);
        QCOMPARE(readFile(state->iniPath()),
                 QByteArray("[General]\nTestMode=1\nCelsius=0\nMcSp1=5\nMcSp2=7\nMcSp3=1\n"
                            "AhGpp=1\nEmc=1\nDewpoint=0\n"));
    }

    void unwritableSettingsFileIsReportedOnce() {
        // A folder where the file should be: every write is refused, one box says why.
        QVERIFY(QDir(home->path()).mkdir("KV5.INI"));
        frmSpecies window(*state, ui);
        window.show();
        QTest::mouseClick(window.chkDew, Qt::LeftButton);
        QTest::mouseClick(window.cmdClose, Qt::LeftButton);
        QCOMPARE(state->settings.Dewpoint, 0); // still applies
        QCOMPARE(ui.messages.size(), std::size_t(1));
        QVERIFY2(ui.messages[0].text.startsWith("The settings could not be saved in " + state->iniPath() + ": ") &&
                     ui.messages[0].text.size() > state->iniPath().size() + 50,
                 qPrintable(ui.messages[0].text));
        QCOMPARE(ui.messages[0].icon, Icon::Exclamation);
        ui.clearRecord();
    }

    void oneSpeciesOnly() {
        state->species = tableOf({{1, "Reference"}});
        state->settings.McSp = {4, 1, 4};
        frmSpecies window(*state, ui);
        for (QComboBox* list : window.cboMC) QCOMPARE(list->currentText(), QStringLiteral("Reference"));
        window.show();
        QTest::mouseClick(window.cmdClose, Qt::LeftButton);
        QCOMPARE(state->settings.McSp, (std::array<int, 3>{1, 1, 1}));
    }

    void noSpeciesKeepsTheChoicesAndStoresTheRest() {
        state->species = SpeciesList{};
        state->settings.McSp = {5, 7, -3};
        frmSpecies window(*state, ui);
        for (QComboBox* list : window.cboMC) {
            QCOMPARE(list->count(), 0);
            QVERIFY(!list->isEnabled());
        }
        window.show();
        QTest::mouseClick(window.chkCelsius, Qt::LeftButton);
        QTest::mouseClick(window.cmdClose, Qt::LeftButton);
        QCOMPARE(state->settings.McSp, (std::array<int, 3>{5, 7, -3}));
        QCOMPARE(state->settings.Celsius, 1);
        QCOMPARE(get(QStringLiteral("McSp3")), QStringLiteral("-3"));
        QCOMPARE(get(QStringLiteral("Celsius")), QStringLiteral("1"));
    }

    // Looks at the window as a user would; the picture is kept when KV5_SCREENSHOTS names a folder.
    void screenshot() {
        frmSpecies window(*state, ui);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QList<QWidget*> controls = window.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(controls.size(), 11);
        int previousTop = -1;
        for (QWidget* control : controls) {
            const QString name = control->objectName();
            QVERIFY2(control->isVisible(), qPrintable(name));
            QVERIFY2(window.rect().contains(control->geometry()), qPrintable(name));
            if (auto* button = qobject_cast<QAbstractButton*>(control)) {
                QVERIFY2(!button->text().isEmpty(), qPrintable(name));
                QVERIFY2(button->width() >= button->sizeHint().width(), qPrintable(name));
            }
            if (auto* label = qobject_cast<QLabel*>(control)) {
                QVERIFY2(!label->text().isEmpty(), qPrintable(name));
                QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(name));
            }
            if (auto* list = qobject_cast<QComboBox*>(control)) {
                QVERIFY2(list->width() >= list->fontMetrics().horizontalAdvance(list->currentText()),
                         qPrintable(name));
            }
            for (QWidget* other : controls)
                if (other != control)
                    QVERIFY2(!control->geometry().intersects(other->geometry()),
                             qPrintable(name + QStringLiteral(" overlaps ") + other->objectName()));
            // Top to bottom in the order of creation, each label beside its list.
            if (!qobject_cast<QComboBox*>(control)) {
                QVERIFY2(control->y() > previousTop, qPrintable(name));
                previousTop = control->y();
            }
        }
        for (int i = 0; i < 3; ++i) {
            QLabel* caption = std::array<QLabel*, 3>{window.capMC1, window.capMC2, window.capMC3}[i];
            QVERIFY(caption->x() < window.cboMC[i]->x());
            QVERIFY(std::abs(caption->geometry().center().y() - window.cboMC[i]->geometry().center().y()) <=
                    2);
        }
        const QPixmap picture = window.grab();
        QSet<QRgb> colours;
        const QImage image = picture.toImage();
        for (int y = 0; y < image.height(); y += 2)
            for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
        QVERIFY(colours.size() > 10);
        const QString folder = qEnvironmentVariable("KV5_SCREENSHOTS");
        if (!folder.isEmpty())
            QVERIFY(
                picture.save(folder + QStringLiteral("/frmSpecies@%1x.png").arg(window.devicePixelRatioF())));
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "test_settingswindow.moc"
