// kv5-screenshots: takes the pictures of the user guide and the README from the real windows,
// driven as a user would drive them against the simulated logger, on the offscreen platform.
//
//     kv5-screenshots FOLDER
//
// Writes the PNG files named in Shots below into FOLDER, at twice the screen's resolution (the
// files say so, and the help document shows them at their size on the screen). Each window is
// drawn with a plain title bar showing its caption, as a window manager would. The simulated
// logger has a fixed start time and seed, so the pictures change only when the windows do.
// `cmake --build build --target screenshots` regenerates docs/images with it.
#include "app/AppState.h"
#include "app/MainController.h"
#include "app/ViewCommands.h"
#include "app/frmApp.h"
#include "app/frmSpecies.h"
#include "app/frmOpenFile.h"
#include "sim/Simulator.h"
#include "views/ChartWidgets.h"
#include "views/LogStatistics.h"
#include "views/PrintWindows.h"
#include "views/frmChart.h"
#include "views/frmTable.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <functional>

using namespace kv5;

namespace {

constexpr double ScreenDpi = 96.0;
constexpr double ScaleFactor = 2.0;

QString outputFolder;
int failures = 0;

void fail(const QString& text) {
    std::fprintf(stderr, "kv5-screenshots: %s\n", qPrintable(text));
    ++failures;
}

// The widget as shown, under a title bar with its caption and inside a thin frame.
QImage framed(QWidget* widget) {
    const QPixmap content = widget->grab();
    const double ratio = content.devicePixelRatio();
    const int bar = 26;
    const QSize size(widget->width() + 2, widget->height() + bar + 1);
    QImage image(size * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(QColor(0x8a, 0x93, 0x9e));
    QPainter painter(&image);
    painter.fillRect(QRect(1, 1, size.width() - 2, bar - 1), QColor(0x3c, 0x46, 0x52));
    QFont font = widget->font();
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(10, 1, size.width() - 20, bar - 1), Qt::AlignVCenter | Qt::AlignLeft,
                     widget->windowTitle());
    painter.drawPixmap(QPoint(1, bar), content);
    painter.end();
    return image;
}

void save(const QImage& image, const QString& name) {
    QImage stored = image;
    // The resolution the picture was taken at, so that it is shown at its size on the screen.
    const int dotsPerMeter = static_cast<int>(std::lround(ScreenDpi * image.devicePixelRatio() / 0.0254));
    stored.setDotsPerMeterX(dotsPerMeter);
    stored.setDotsPerMeterY(dotsPerMeter);
    const QString path = QDir(outputFolder).filePath(name);
    if (!stored.save(path, "PNG"))
        fail(QStringLiteral("cannot write %1").arg(path));
    else
        std::printf("%s\n", qPrintable(path));
}

// Runs show(), which opens a modal message box, and meanwhile takes the box's picture under name
// and closes it with its Cancel or No button, or its only button.
void shootModal(const QString& name, const std::function<void()>& show) {
    bool taken = false;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        timer.stop();
        save(framed(box), name);
        taken = true;
        QAbstractButton* cancel = box->button(QMessageBox::Cancel);
        if (!cancel) cancel = box->button(QMessageBox::No);
        if (!cancel && !box->buttons().isEmpty()) cancel = box->buttons().constFirst();
        if (cancel) cancel->click();
    });
    timer.start();
    show();
    timer.stop();
    if (!taken) fail(QStringLiteral("no box appeared for %1").arg(name));
}

// Runs show(), which asks with input boxes, and types the answers into them one after another.
void answerInputs(QStringList answers, const std::function<void()>& show) {
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || answers.isEmpty()) return;
        dialog->setTextValue(answers.takeFirst());
        dialog->accept();
    });
    timer.start();
    show();
    timer.stop();
    if (!answers.isEmpty()) fail(QStringLiteral("%1 input boxes did not appear").arg(answers.size()));
}

sim::Options kilnLogger() {
    sim::Options options;
    options.family = sim::Family::Q7R;
    options.records = 900;
    options.serialNumber = "3107";
    options.description = "Kiln 2 red oak 4/4";
    options.startTime = "2604140800";
    options.intervalTicks = 10;
    options.battery = '5';
    options.holdAlarms = true;
    return options;
}

sim::Options roomLogger() {
    sim::Options options;
    options.records = 1500;
    options.serialNumber = "2417";
    options.description = "Archive room east wall";
    options.startTime = "2604020900";
    return options;
}

// Detect & Read on the main window against a simulated logger.
bool readLogger(frmApp& window, AppState& state, const sim::Options& options) {
    sim::Simulator simulator(options);
    QString error;
    if (!simulator.start(&error)) {
        fail(QStringLiteral("the simulated logger did not start: %1").arg(error));
        return false;
    }
    state.device.PortOverride = simulator.portPath();
    window.cmdDetect->click();
    state.device.PortOverride.clear();
    if (state.log.RecordCount != options.records) {
        fail(QStringLiteral("the download brought %1 records, not %2")
                 .arg(state.log.RecordCount)
                 .arg(options.records));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", QByteArray::number(ScaleFactor));
    QApplication application(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    if (QApplication::arguments().size() != 2) {
        std::fprintf(stderr, "usage: kv5-screenshots FOLDER\n");
        return 2;
    }
    outputFolder = QApplication::arguments().at(1);
    if (!QDir().mkpath(outputFolder)) {
        fail(QStringLiteral("cannot create %1").arg(outputFolder));
        return 1;
    }

    // A fresh program folder with the shipped species list.
    QTemporaryDir home;
    QFile::copy(QStringLiteral(KV5_SOURCE_DIR "/data/ABLIST.TXT"),
                home.filePath(QStringLiteral("ABLIST.TXT")));
    AppState state;
    state.ProgramFolder = home.path();

    frmApp window(state);
    MainController controller(state, window);
    window.onClosing = [&controller] { return controller.mayClose(); };
    window.Load();
    window.show();
    QApplication::processEvents();
    save(framed(&window), QStringLiteral("first-start.png"));

    // Nothing plugged in: the box that offers to search again.
    shootModal(QStringLiteral("not-found.png"), [&] { window.cmdDetect->click(); });

    // Two logs: a room logger, then the kiln logger whose log the windows show.
    if (!readLogger(window, state, roomLogger()) || !readLogger(window, state, kilnLogger())) return 1;
    QApplication::processEvents();
    save(framed(&window), QStringLiteral("main-window.png"));

    {
        frmSpecies settings(state, window.ui(), &window);
        settings.show();
        QApplication::processEvents();
        save(framed(&settings), QStringLiteral("settings.png"));
        settings.close();
    }
    {
        frmTable table(LogViewOf(state), window.ui(), LogFileActionsOf(state, window.ui()), &window);
        InstallTablePrinting(table, LogViewOf(state), window.ui());
        table.show();
        QApplication::processEvents();
        save(framed(&table), QStringLiteral("table.png"));
        shootModal(QStringLiteral("log-info.png"), [&] { table.btnInfo->click(); });
        table.close();
    }
    {
        frmChart& chart =
            ChartWindow(LogViewOf(state), window.ui(), LogFileActionsOf(state, window.ui()), &window);
        InstallChartPrinting(chart, LogViewOf(state), window.ui());
        chart.Load();
        chart.show();
        QApplication::processEvents();
        // Room for the kiln's temperatures: the Y axis from 0 to 150.
        answerInputs({QStringLiteral("150"), QStringLiteral("0")}, [&] { chart.btnZoom->click(); });
        QApplication::processEvents();
        // The readout follows the mouse: a record two thirds into the log.
        const QPointF at = chart.bmp->widgetPoint(QPointF(104, 60));
        QMouseEvent move(QEvent::MouseMove, at, chart.bmp->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(chart.bmp, &move);
        QApplication::processEvents();
        save(framed(&chart), QStringLiteral("chart.png"));
        chart.hide();
    }
    {
        frmOpenFile library(state.log, state.dataFolder(), window.ui(), {}, &window);
        library.show();
        if (library.List1->count() > 0) library.List1->setCurrentRow(library.List1->count() - 1);
        QApplication::processEvents();
        save(framed(&library), QStringLiteral("library.png"));
        library.close();
    }
    return failures == 0 ? 0 : 1;
}
