// Printing of table and chart, read back from the PDF files written; with no printer, to a private
// print system, from the command line and from the windows' Print buttons.
#include "app/AppState.h"
#include "app/ViewCommands.h"
#include "logfiles/LogFile.h"
#include "logger/TimeFormat.h"
#include "support/ScriptedUi.h"
#include "views/ChartWidgets.h"
#include "views/Print.h"
#include "views/PrintWindows.h"
#include "views/frmChart.h"
#include "views/frmTable.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPrinterInfo>
#include <QProcess>
#include <QProgressDialog>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <map>

#include <cups/cups.h>
#include <sys/stat.h> // umask

using namespace kv5;

namespace {

// A page as poppler reads it: the words on one baseline make a line, with its box in points.
struct PdfPage {
    QSizeF size;
    QStringList texts;
    std::vector<QRectF> boxes;
};

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(60000) ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
}

std::vector<PdfPage> readPdf(const QString& path) {
    static const QRegularExpression element(
        "<page width=\"([0-9.]+)\" height=\"([0-9.]+)\">|<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" "
        "xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)</word>");
    std::vector<PdfPage> pages;
    std::vector<std::map<int, std::map<double, std::pair<QString, QRectF>>>> words; // by baseline, left edge
    for (const QRegularExpressionMatch& match : element.globalMatch(run("pdftotext", {"-bbox", path, "-"}))) {
        const auto number = [&](int i) { return match.captured(i).toDouble(); };
        if (!match.captured(1).isEmpty())
            pages.push_back({QSizeF(number(1), number(2)), {}, {}}), words.emplace_back();
        else if (!words.empty())
            words.back()[qRound(number(6) * 4)][number(3)] = {
                match.captured(7).replace("&amp;", "&"),
                QRectF(QPointF(number(3), number(4)), QPointF(number(5), number(6)))};
    }
    for (std::size_t p = 0; p < pages.size(); ++p)
        for (const auto& [y, line] : words[p]) {
            QStringList text;
            QRectF box;
            for (const auto& [x, word] : line) text << word.first, box |= word.second;
            pages[p].texts << text.join(' ');
            pages[p].boxes.push_back(box);
        }
    return pages;
}

// The smallest rectangle holding every red or blue trace pixel of page 1 at 96 dots per inch.
QRect tracesOnPage(const QString& path) {
    QTemporaryDir folder;
    run("pdftoppm", {"-png", "-r", "96", "-f", "1", "-l", "1", "-singlefile", path, folder.filePath("page")});
    const QImage image = QImage(folder.filePath("page.png")).convertToFormat(QImage::Format_RGB32);
    QRect found;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c(image.pixel(x, y));
            if (c.green() < 40 && ((c.red() > 215 && c.blue() < 40) || (c.blue() > 215 && c.red() < 40)))
                found |= QRect(x, y, 1, 1);
        }
    return found;
}

void write(const QString& path, const QString& content) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(content.toUtf8());
}

// A private cupsd in root whose default queue keeps each job as root/printed/job-N.pdf.
bool startCups(const QString& root, QProcess& daemon) {
    const QString cupsd = QStandardPaths::findExecutable("cupsd", {"/usr/sbin"});
    for (const char* sub : {"conf/ppd", "spool/tmp", "cache", "state", "log", "printed", "bin/backend"})
        QDir(root).mkpath(sub);
    // The backend is the owner's only, so cupsd runs it as the user it runs as itself.
    QFile::link("/usr/lib/cups/daemon", root + "/bin/daemon");
    write(root + "/bin/backend/keep",
          "#!/bin/sh\n[ $# -eq 0 ] && exit 0\nexec cat ${6:+\"$6\"} > \"${DEVICE_URI#keep:}/job-$1.pdf\"\n");
    QFile::setPermissions(root + "/bin/backend/keep", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString socket = root + "/cups.sock";
    write(root + "/conf/printers.conf", "<DefaultPrinter kv5test>\nDeviceURI keep:" + root +
                                            "/printed\nState Idle\nAccepting Yes\n</DefaultPrinter>\n");
    write(root + "/conf/cupsd.conf",
          "Listen " + socket +
              "\nBrowsing No\nDefaultAuthType None\n<Location />\nOrder allow,deny\nAllow all\n"
              "</Location>\n<Policy default>\n<Limit All>\nOrder deny,allow\n</Limit>\n</Policy>\n");
    write(root + "/conf/cups-files.conf", QString("ServerRoot %1/conf\nServerBin %1/bin\nRequestRoot "
                                                  "%1/spool\nTempDir %1/spool/tmp\nCacheDir %1/cache\n"
                                                  "StateDir %1/state\nErrorLog %1/log/error_log\nAccessLog "
                                                  "%1/log/access_log\nPageLog %1/log/page_log\n")
                                              .arg(root));
    daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (!cupsd.isEmpty())
        daemon.start(cupsd, {"-f", "-c", root + "/conf/cupsd.conf", "-s", root + "/conf/cups-files.conf"});
    for (int waited = 0; !QFileInfo::exists(socket); waited += 50, QThread::msleep(50))
        if (waited > 10000 || daemon.state() == QProcess::NotRunning) return false;
    cupsSetServer(QFile::encodeName(socket).constData());
    return true;
}

// The documents of the private queue's jobs, first job first, once every job is done.
QStringList printedJobs(const QString& root) {
    for (int waited = 0; waited < 20000; waited += 50, QThread::msleep(50)) {
        cups_job_t* list = nullptr;
        const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &list, "kv5test", 0, CUPS_WHICHJOBS_ALL);
        QStringList files;
        for (int i = 0; i < count; ++i)
            if (list[i].state == IPP_JSTATE_COMPLETED)
                files << QString("%1/printed/job-%2.pdf").arg(root).arg(list[i].id);
        cupsFreeJobs(count, list);
        if (files.size() == count) return files.sort(), files;
    }
    return {"unfinished jobs"};
}

// A Q7R kiln log: temperature 100 + i / 8, RH 60 but 20.5 at a third and 90.25 at half of it.
void fillKiln(LogData& log, int count) {
    const QDateTime start(QDate(2014, 5, 21), QTime(13, 45));
    for (int i = 0; i < count; ++i) {
        log.LogTime[i] = TimeStampText(start.addSecs(qint64(i) * 1800));
        log.LogTemp[i] = 100 + i / 8.0, log.LogRh[i] = 5;
        log.LogRhQ7R[i] = i == count / 3 ? 20.5 : i == count / 2 ? 90.25 : 60;
    }
    log.RecordCount = count;
    log.SensorType = SensorQ7R;
}

// A Q7R log in °F of a kiln drying with a daily cycle, every half hour from 21 May 2014 13:45.
void fillDrying(LogData& log, int count) {
    const QDateTime start(QDate(2014, 5, 21), QTime(13, 45));
    for (int i = 0; i < count; ++i) {
        const double day = std::sin(i * 2 * M_PI / 48);
        log.LogTime[i] = TimeStampText(start.addSecs(qint64(i) * 1800));
        log.LogTemp[i] = std::round((118 + 10 * day + i * 0.0007) * 10) / 10;
        log.LogMc1[i] = std::round((28 - i * 0.0012 + 0.3 * day) * 10) / 10;
        log.LogMc2[i] = std::round((31 - i * 0.0014 + 0.2 * day) * 10) / 10;
        log.LogMc3[i] = std::round((25 - i * 0.0010 + 0.25 * day) * 10) / 10;
        log.LogRhQ7R[i] = std::round((65 - 12 * day - i * 0.001) * 10) / 10;
    }
    log.RecordCount = count;
    log.SensorType = SensorQ7R;
}

} // namespace

class TestPrint : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    QTemporaryDir userHome; // the user's home folder while the tests run
    AppState state;
    ScriptedUi ui;

    PrintTarget toPdf(const QString& name) const { return {home.filePath(name), home.path()}; }
    QStringList files(const QString& dir) const { return QDir(dir).entryList(QDir::Files | QDir::Hidden); }
    static QString written(const QString& path) { return "The printout was written to " + path + "."; }
    static QString offer(const QString& path) {
        return "No printer is installed. Do you want to write the printout to the PDF file " + path +
               " instead?";
    }
    // The answers for the next printout: the description, then the questions.
    void answer(const QString& description, std::deque<Answer> answers = {}) {
        ui.clearRecord();
        ui.inputs = {description};
        ui.answers = std::move(answers);
    }
    PrintResult printChart(const QString& name, QSize surface = QSize(417, 409)) {
        ChartState chart(LogViewOf(state), ui);
        chart.Load();
        return PrintChart(LogViewOf(state), ui, chart, surface, toPdf(name));
    }

private slots:
    void initTestCase() {
        QVERIFY(home.isValid() && userHome.isValid() &&
                !QStandardPaths::findExecutable("pdftotext").isEmpty());
        state.ProgramFolder = home.path();
        qputenv("HOME", QFile::encodeName(userHome.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(userHome.filePath(".config")));
    }

    void init() {
        state.log = LogData();
        state.settings = Settings();
        ui.clearRecord();
        QVERIFY(QDir(home.path()).removeRecursively() && QDir().mkpath(home.filePath(DataFolderName)));
        QDir(userHome.filePath("Documents")).removeRecursively();
        QVERIFY(QDir(userHome.path()).mkdir("Documents"));
    }

    // A log opened from a file with its context is titled by that file's description.
    void titleOfTheFilesOwn() {
        fillKiln(state.log, 3);
        state.log.Description = "The logger read last";
        state.log.Context = LogContext();
        state.log.Context->Description = "Kiln 7";
        ui.inputs = {std::nullopt};
        QCOMPARE(int(PrintTable(LogViewOf(state), ui, toPdf("table.pdf"))), int(PrintResult::Cancelled));
        QCOMPARE(ui.inputRequests.at(0).value, QStringLiteral("Kiln 7"));
    }

    // A table of several pages: title, footer and margins on each, every record once, in order.
    void tablePrintout() {
        fillKiln(state.log, 333);
        state.log.Description = "Kiln 4";
        // The grid's codes mean nothing in a title; one too long ends in an ellipsis.
        const QString codes = "Lot /p of /pc /c /fb1 ";
        answer(codes + QString(40, 'x') + " " + QString(40, 'y') + " end", {Answer::Ok});
        QCOMPARE(int(PrintTable(LogViewOf(state), ui, toPdf("table.pdf"))), int(PrintResult::Printed));
        QCOMPARE(ui.inputRequests.at(0).value, QStringLiteral("Kiln 4"));
        const std::vector<PdfPage> read = readPdf(home.filePath("table.pdf"));
        const int pages = int(read.size());
        QCOMPARE(ui.messageTexts(), QStringList{QStringLiteral("Printing needs %1 pages.").arg(pages)});
        const QStringList rows = TableLines(state.log, state.settings, QLatin1Char(' '));
        const double margin = 36; // 720 twips
        int record = 0, perPage = 0;
        for (int p = 0; p < pages; ++p) {
            const QStringList& lines = read[p].texts;
            const std::vector<QRectF>& boxes = read[p].boxes;
            const QSizeF size = read[p].size;
            QVERIFY2(lines[0].startsWith(codes) && lines[0].endsWith(QChar(0x2026)), qPrintable(lines[0]));
            QCOMPARE(lines[1], rows.front());
            QCOMPARE(lines.back(), QStringLiteral("Page %1 of %2").arg(p + 1).arg(pages));
            QVERIFY(std::abs(boxes.front().center().x() - size.width() / 2) < 1);
            QVERIFY(std::abs(boxes.back().right() - (size.width() - margin)) < 1 &&
                    boxes.back().bottom() > size.height() - margin - 6);
            const QRectF inside(QPointF(margin - 0.5, margin - 0.5),
                                size - QSizeF(2 * margin - 1, 2 * margin - 1));
            for (std::size_t l = 0; l < boxes.size(); ++l)
                QVERIFY2(inside.contains(boxes[l]), qPrintable(lines[l]));
            for (qsizetype l = 2; l + 1 < lines.size(); ++l) QCOMPARE(lines[l], rows.value(1 + record++));
            if (p == 0) perPage = int(lines.size()) - 3;
        }
        QCOMPARE(record, 333);
        QVERIFY(pages >= 3 && (pages - 1) * perPage < 333);
    }

    // Every way out before printing leaves no file.
    void tableCancelled() {
        for (const auto& [description, pageCount] : std::vector<std::pair<std::optional<QString>, Answer>>{
                 {std::nullopt, Answer::Ok}, {"", Answer::Ok}, {"Kiln 4", Answer::Cancel}}) {
            ui.inputs = {description};
            ui.answers = {pageCount};
            QCOMPARE(int(PrintTable(LogViewOf(state), ui, toPdf("no.pdf"))), int(PrintResult::Cancelled));
        }
        QCOMPARE(ui.messageTexts(), QStringList{"Printing needs 1 pages."}); // asked only the last time
        QVERIFY(files(home.path()).isEmpty());
    }

    // A real print system gets no job from a cancelled printout and a whole one from the rest.
    void printerGetsWholeJobsOnly() {
        qunsetenv("PRINTER"), qunsetenv("LPDEST");
        QTemporaryDir root;
        QProcess daemon;
        const auto stop =
            qScopeGuard([&] { cupsSetServer(nullptr), daemon.terminate(), daemon.waitForFinished(); });
        if (!startCups(root.path(), daemon)) QSKIP("cupsd does not run here");
        fillKiln(state.log, 333);
        answer("Kiln 4", {Answer::Ok});
        QCOMPARE(int(PrintTable(LogViewOf(state), ui, {}, [](int page, int) { return page < 3; })),
                 int(PrintResult::Cancelled));
        QCOMPARE(printedJobs(root.path()), QStringList());
        answer("Kiln 4", {Answer::Ok});
        QCOMPARE(int(PrintTable(LogViewOf(state), ui)), int(PrintResult::Printed));
        const QStringList jobs = printedJobs(root.path());
        QCOMPARE(jobs.size(), 1);
        const std::vector<PdfPage> pages = readPdf(jobs[0]);
        QCOMPARE(ui.messageTexts(), QStringList{QString("Printing needs %1 pages.").arg(pages.size())});
        QCOMPARE(pages.back().texts.back(), QStringLiteral("Page %1 of %1").arg(pages.size()));
    }

    // The chart page: the title one inch from the corner, the facts in the general number form.
    void chartPrintout() {
        fillKiln(state.log, 3);
        answer("Store  room, May");
        QCOMPARE(int(printChart("chart.pdf")), int(PrintResult::Printed));
        const PdfPage page = readPdf(home.filePath("chart.pdf")).at(0);
        QCOMPARE(page.texts, QStringList({"Store room, May", "Log File Info", "Max Temp 100.25",
                                          "Min Temp 100", "Max Rh 60", "Min Rh 20.5", "Records 3"}));
        QVERIFY(std::abs(page.boxes[0].left() - 72) < 1.5 && std::abs(page.boxes[0].top() - 72) < 3);
    }

    // kv5 print FILE --pdf OUT.pdf [--chart] [--description TEXT].
    void printCommand() {
        fillKiln(state.log, 120);
        state.log.SerialNumber = "0042";
        state.log.StartTimeText = "1405211345";
        const QString name = SaveLogFile(state.log, state.dataFolder(), ui);
        const QString out = home.filePath("out.pdf");
        ::umask(002);
        QCOMPARE(RunPrintCommand(state, ui, name, out, false, QString()), 0);
        QCOMPARE(QFileInfo(out).permissions() & 0x0fff, QFile::Permissions(0x664));
        QCOMPARE(readPdf(out).at(0).texts.front(), name);
        QCOMPARE(RunPrintCommand(state, ui, LogFilePath(state, name), out, true, "Chart copy"), 0);
        QCOMPARE(readPdf(out).at(0).texts,
                 QStringList({"Chart copy", "Log File Info", "Max Temp 114.9", "Min Temp 100", "Max Rh 90.3",
                              "Min Rh 20.5", "Records 120"}));
        QVERIFY2(ui.messages.empty() && ui.inputRequests.empty(), qPrintable(ui.messageTexts().join('\n')));

        QCOMPARE(RunPrintCommand(state, ui, name, QString(), false, QString()), 2);
        QCOMPARE(RunPrintCommand(state, ui, name, home.filePath("no/out.pdf"), false, "x"), 1);
        QCOMPARE(RunPrintCommand(state, ui, "no-such-log.txt", out, false, QString()), 1);
        QVERIFY2(
            ui.messages.size() == 3 && ui.messageTexts()[2].startsWith("ERROR: OpenLogFile: ") &&
                ui.messageTexts()[1].startsWith("ERROR: RunPrintCommand: " + home.filePath("no/out.pdf")),
            qPrintable(ui.messageTexts().join('\n')));
    }

    // The Print buttons with no printer: the PDF offered, Cancel in the progress box, the chart's size.
    void printButtons() {
        if (!QPrinterInfo::defaultPrinter().isNull())
            QSKIP("a printer is installed here: no PDF file is offered");
        fillKiln(state.log, 333);
        state.log.SelectedLogFile = "SN0042-2014-05-21-13-45-01.txt";
        frmTable table(LogViewOf(state), ui);
        InstallTablePrinting(table, LogViewOf(state), ui);
        table.show();
        int highest = -1, cancel = 1;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (auto* box = table.findChild<QProgressDialog*>()) {
                highest = std::max(highest, box->value());
                if (cancel && box->value() >= 1) box->cancel();
            }
        });
        watch.start(0);
        const QString documents = userHome.filePath("Documents"),
                      first = documents + "/SN0042-2014-05-21-13-45-01-table.pdf";
        for (Answer offered : {Answer::No, Answer::Yes}) {
            answer("Kiln 4", {offered, Answer::Ok});
            QTest::mouseClick(table.btnPrint, Qt::LeftButton);
            QCOMPARE(ui.messageTexts().size(), int(offered == Answer::Yes) + 1); // nothing after a cancel
            QCOMPARE(ui.messageTexts()[0], offer(first));
        }
        QVERIFY(highest >= 1 && files(documents).isEmpty());
        cancel = false;
        for (const QString& file : {first, documents + "/SN0042-2014-05-21-13-45-01-table-2.pdf"}) {
            highest = -1;
            answer("Kiln 4", {Answer::Yes, Answer::Ok});
            QTest::mouseClick(table.btnPrint, Qt::LeftButton);
            const int count = int(readPdf(file).size());
            QCOMPARE(
                ui.messageTexts(),
                QStringList({offer(file), QString("Printing needs %1 pages.").arg(count), written(file)}));
            QCOMPARE(highest, count - 1);
        }

        // The chart window's, without Documents: the program folder, the serial number, the window's size.
        QVERIFY(QDir(documents).removeRecursively());
        fillKiln(state.log, 3);
        state.log.SelectedLogFile.clear();
        state.log.SerialNumber = "0042";
        QWidget owner;
        frmChart& chart = ChartWindow(LogViewOf(state), ui, {}, &owner);
        InstallChartPrinting(chart, LogViewOf(state), ui);
        chart.resize(760, 520);
        chart.show();
        answer("Kiln 4", {Answer::Yes});
        QTest::mouseClick(chart.btnPrint, Qt::LeftButton);
        const QString file = home.filePath("SN0042-chart.pdf");
        QCOMPARE(ui.messageTexts(), QStringList({offer(file), written(file)}));
        const QRect traces = tracesOnPage(file);
        QVERIFY(std::abs(traces.left() - 96) <= 1 &&
                std::abs(traces.right() - (96 + chart.bmp->width() - 1)) <= 1);
        QVERIFY2(ui.failures.isEmpty(), qPrintable(ui.failures.join('\n')));
    }

    // The report of a full Q7R log (weekly rows) and of a short one (daily rows), read back by
    // poppler: at most two pages of A4 (the test's locale), every font embedded, the file's
    // SHA-256, the site and operator given, and per quantity the summary's min, max and mean
    // as `kv5 info --json` gives them.
    void report_data() {
        QTest::addColumn<int>("records");
        QTest::addColumn<QString>("periods");
        QTest::newRow("17000 records, weekly") << MaxLogRecords << "Weekly figures (min / mean / max)";
        QTest::newRow("200 records, daily") << 200 << "Daily figures (min / mean / max)";
    }
    void report() {
        QFETCH(int, records);
        QFETCH(QString, periods);
        fillDrying(state.log, records);
        const QString name = "SN0042-2014-05-21-13-45-01.txt";
        const QString path = LogFilePath(state, name);
        write(path, QString::fromLatin1(LogFileContent(state.log)));
        LogContext context;
        context.SerialNumber = "0042", context.Description = "Kiln 4 oak", context.SensorType = SensorQ7R;
        context.Start = QDateTime(QDate(2014, 5, 21), QTime(13, 45), Qt::UTC), context.UtcOffsetSeconds = -4 * 3600;
        context.IntervalSeconds = 1800, context.Records = records, context.Celsius = false;
        context.Temperature.high = 150, context.RhMc.low = 30;
        context.McSpecies = {{{3, "Red oak"}, {3, "Red oak"}, {7, "Beech"}}};
        write(ContextFileName(path), QString::fromUtf8(LogContextJson(context)));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString sha256 = QString::fromLatin1(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());

        const QString pdf = home.filePath("report.pdf");
        ReportRequest request;
        request.site = "Mill 2", request.operatorName = "J. Smith";
        QCOMPARE(RunReportCommand(state, ui, name, pdf, request), 0);
        QCOMPARE(ui.messageTexts(), QStringList());
        const std::vector<PdfPage> pages = readPdf(pdf);
        QVERIFY(pages.size() == 1 || pages.size() == 2);
        QCOMPARE(pages[0].size, QSizeF(595, 842));
        QStringList lines;
        for (const PdfPage& page : pages) lines << page.texts;
        const QString text = lines.join('\n');
        for (const QString& wanted : {"File " + name + " SHA-256 " + sha256, QString("Site Mill 2"),
                                      QString("Operator J. Smith"), QString("Serial number 0042"),
                                      QString("Species MC1 Red oak, MC2 Red oak, MC3 Beech"), periods,
                                      QString("Records %1").arg(records), QString("Interval 1800 s")})
            QVERIFY2(lines.contains(wanted), qPrintable(wanted + " not in:\n" + text));
        const QStringList fonts = run("pdffonts", {pdf}).split('\n', Qt::SkipEmptyParts).mid(2);
        QVERIFY(!fonts.isEmpty());
        for (const QString& font : fonts) QVERIFY2(font.contains(" yes "), qPrintable(font)); // emb, sub or uni

        QString json;
        QTextStream out(&json);
        QCOMPARE(RunInfoCommand(state, ui, name, out, {true, {}, {}}), 0);
        const QMap<QString, QString> labels{{"temperature", "Temp °F"}, {"mc1", "MC1 %"}, {"mc2", "MC2 %"},
                                            {"mc3", "MC3 %"},          {"rh", "RH %"},   {"gpp", "GPP"},
                                            {"emc", "EMC %"},          {"dew_point", "Dew °F"}};
        const QJsonArray quantities = QJsonDocument::fromJson(json.toUtf8())["quantities"].toArray();
        QCOMPARE(quantities.size(), labels.size());
        for (const QJsonValue& q : quantities) {
            const QString label = labels.value(q["name"].toString());
            QVERIFY(!label.isEmpty());
            // The summary row: label, min and its time, max and its time, mean.
            const QString row = label + QString(" %1 %2 %3 %4 %5")
                                            .arg(q["min"].toDouble(), 0, 'f', 1)
                                            .arg(q["min_at"].toString().left(16).replace('T', ' '))
                                            .arg(q["max"].toDouble(), 0, 'f', 1)
                                            .arg(q["max_at"].toString().left(16).replace('T', ' '))
                                            .arg(q["mean"].toDouble(), 0, 'f', 2);
            QVERIFY2(std::any_of(lines.begin(), lines.end(), [&](const QString& l) { return l.startsWith(row); }),
                     qPrintable(row + " not in:\n" + text));
        }
    }

    // Letter where it is the custom, else A4.
    void reportPaper_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("letter");
        QTest::newRow("United States") << "en_US" << true;
        QTest::newRow("Canada, French") << "fr_CA" << true;
        QTest::newRow("Mexico") << "es_MX" << true;
        QTest::newRow("United Kingdom") << "en_GB" << false;
        QTest::newRow("Egypt") << "ar_EG" << false;
    }
    void reportPaper() {
        QFETCH(QString, locale);
        QFETCH(bool, letter);
        QCOMPARE(ReportPageSizeOf(QLocale(locale)), letter ? QPageSize::Letter : QPageSize::A4);
    }

    // The windows' Report: made from the file chosen in the library, where the user says.
    void reportOfTheChosenFile() {
        fillKiln(state.log, 50);
        write(LogFilePath(state, "k.txt"), QString::fromLatin1(LogFileContent(state.log)));
        const QString pdf = home.filePath("chosen.pdf");
        QStringList suggested;
        const auto ask = [&](const QString& name) { return suggested << name, pdf; };
        ReportSelectedLogFile(state, ui, nullptr, ask);
        QCOMPARE(ui.messageTexts(), QStringList{"Open a log file first: a report is made from a saved log file."});
        QVERIFY(suggested.isEmpty());
        ui.clearRecord();
        state.log.SelectedLogFile = "k.txt";
        ReportSelectedLogFile(state, ui, nullptr, ask);
        QCOMPARE(suggested, QStringList{userHome.filePath("Documents/k-report.pdf")});
        QCOMPARE(ui.messageTexts(), QStringList());
        const QByteArray hash = QCryptographicHash::hash(LogFileContent(state.log), QCryptographicHash::Sha256);
        QVERIFY(readPdf(pdf).at(0).texts.contains("File k.txt SHA-256 " + QString::fromLatin1(hash.toHex())));
        // The Print button offers it beside the printout.
        frmTable table(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        InstallTablePrinting(table, LogViewOf(state), ui);
        QVERIFY(table.mnuPrint && table.mnuReport);
        QCOMPARE(table.btnPrint->menu()->actions(), QList<QAction*>({table.mnuPrint, table.mnuReport}));
    }
};

QTEST_MAIN(TestPrint)
#include "test_print.moc"
