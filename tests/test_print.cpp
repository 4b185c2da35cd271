// Printing of the table and the chart, read back from the PDF files written: the dialogue
// around it (description, page count, progress, cancels), titles, page footers, margins, the
// announced page count against the pages produced, every record on exactly one page, the chart
// page's text block and the picture's place and size; the PDF offered when no printer is
// installed; a real print system; the command line; the windows' Print buttons.
#include "app/AppState.h"
#include "app/ViewCommands.h"
#include "logfiles/LogFile.h"
#include "logger/TimeFormat.h"
#include "support/ScriptedUi.h"
#include "views/ChartState.h"
#include "views/ChartWidgets.h"
#include "views/LogTable.h"
#include "views/Print.h"
#include "views/frmChart.h"
#include "views/frmTable.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPrinterInfo>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include <cups/cups.h>
#include <sys/stat.h>

using namespace kv5;

namespace {

// Words on one height, left to right, joined by blanks, with their common box in points from
// the page's top left corner.
struct PdfLine {
    QString text;
    QRectF box;
};
struct PdfPage {
    QSizeF size;
    std::vector<PdfLine> lines; // top to bottom
    QStringList texts() const {
        QStringList all;
        for (const PdfLine& line : lines) all << line.text;
        return all;
    }
};

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Every page of the PDF with its lines, as poppler reads them.
std::vector<PdfPage> readPdf(const QString& path) {
    static const QRegularExpression element(
        "<page width=\"([0-9.]+)\" height=\"([0-9.]+)\">|<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" "
        "xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)</word>");
    std::vector<PdfPage> pages;
    std::vector<std::vector<PdfLine>> words;
    for (const QRegularExpressionMatch& match : element.globalMatch(run("pdftotext", {"-bbox", path, "-"}))) {
        const auto number = [&](int i) { return match.captured(i).toDouble(); };
        if (!match.captured(1).isEmpty()) {
            pages.push_back({QSizeF(number(1), number(2)), {}});
            words.emplace_back();
        } else if (!pages.empty()) {
            words.back().push_back({match.captured(7).replace("&amp;", "&"),
                                    QRectF(QPointF(number(3), number(4)), QPointF(number(5), number(6)))});
        }
    }
    for (std::size_t p = 0; p < pages.size(); ++p) {
        std::stable_sort(words[p].begin(), words[p].end(), [](const PdfLine& a, const PdfLine& b) {
            if (std::abs(a.box.center().y() - b.box.center().y()) >= 2)
                return a.box.center().y() < b.box.center().y();
            return a.box.left() < b.box.left();
        });
        std::vector<PdfLine>& lines = pages[p].lines;
        for (const PdfLine& word : words[p]) {
            if (lines.empty() || std::abs(lines.back().box.center().y() - word.box.center().y()) >= 2) {
                lines.push_back(word);
            } else {
                lines.back().text += ' ' + word.text;
                lines.back().box |= word.box;
            }
        }
    }
    return pages;
}

QString pdfInfo(const QString& path, const QString& key) {
    const QRegularExpression line("^" + key + ":\\s*(.*)$", QRegularExpression::MultilineOption);
    return line.match(run("pdfinfo", {path})).captured(1).trimmed();
}

// The first page rendered at 96 dots to the inch, and the smallest rectangle holding every
// pixel of the trace colours red and blue.
QRect tracesOnPage(const QString& path) {
    QTemporaryDir folder;
    run("pdftoppm", {"-png", "-r", "96", "-f", "1", "-l", "1", "-singlefile", path, folder.filePath("page")});
    const QImage image = QImage(folder.filePath("page.png")).convertToFormat(QImage::Format_RGB32);
    QRect found;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel(image.pixel(x, y));
            if (pixel.green() < 40 &&
                ((pixel.red() > 215 && pixel.blue() < 40) || (pixel.blue() > 215 && pixel.red() < 40)))
                found |= QRect(x, y, 1, 1);
        }
    return found;
}

// A print system of the test's own: cupsd in a private folder, listening only on a socket there,
// with one queue as the default printer. The queue's backend keeps every job's document in the
// folder "printed" as job-N.pdf, so a test sees what reached the printer. While it runs, this
// process's print system calls go to it.
class PrivateCups {
public:
    static constexpr const char* Queue = "kv5test";

    ~PrivateCups() {
        cupsSetServer(nullptr);
        daemon_.terminate();
        daemon_.waitForFinished(10000);
    }

    // Empty text when it runs, else why not.
    QString start() {
        const QString cupsd = QStandardPaths::findExecutable("cupsd", {"/usr/sbin"});
        const QString lpadmin = QStandardPaths::findExecutable("lpadmin", {"/usr/sbin"});
        if (cupsd.isEmpty() || lpadmin.isEmpty() || !folder_.isValid())
            return "cupsd and lpadmin are not installed";
        const QString root = folder_.path();
        for (const char* sub : {"conf/ppd", "spool/tmp", "cache", "state", "log", "printed", "bin/backend"})
            QDir(root).mkpath(sub);
        // The server's own helpers, and a backend (owner only: cupsd then runs it as the user it
        // runs as itself) that keeps the document.
        QFile::link("/usr/lib/cups/daemon", root + "/bin/daemon");
        write(root + "/bin/backend/keep", "#!/bin/sh\n[ $# -eq 0 ] && exit 0\nexec cat ${6:+\"$6\"} > "
                                          "\"${DEVICE_URI#keep:}/job-$1.pdf\"\n");
        QFile::setPermissions(root + "/bin/backend/keep",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString socket = root + "/cups.sock";
        write(root + "/conf/cupsd.conf",
              "Listen " + socket +
                  "\nBrowsing No\nDefaultAuthType None\n<Location />\nOrder allow,deny\n"
                  "Allow all\n</Location>\n<Policy default>\n<Limit All>\nOrder "
                  "deny,allow\n</Limit>\n</Policy>\n");
        write(
            root + "/conf/cups-files.conf",
            QString(
                "ServerRoot %1/conf\nServerBin %1/bin\nRequestRoot %1/spool\nTempDir %1/spool/tmp\nCacheDir "
                "%1/cache\nStateDir %1/state\nErrorLog %1/log/error_log\nAccessLog "
                "%1/log/access_log\nPageLog "
                "%1/log/page_log\n")
                .arg(root));
        daemon_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        daemon_.start(cupsd, {"-f", "-c", root + "/conf/cupsd.conf", "-s", root + "/conf/cups-files.conf"});
        for (int waited = 0; !QFileInfo::exists(socket); waited += 50) {
            if (waited > 10000 || daemon_.state() == QProcess::NotRunning)
                return "cupsd does not run here: " + log();
            QThread::msleep(50);
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("CUPS_SERVER", socket);
        for (const QStringList& arguments :
             {QStringList{"-p", Queue, "-E", "-v", "keep:" + root + "/printed", "-m", "raw"},
              QStringList{"-d", Queue}}) {
            QProcess admin;
            admin.setProcessEnvironment(environment);
            admin.start(lpadmin, arguments);
            if (!admin.waitForFinished(30000) || admin.exitCode() != 0)
                return "lpadmin fails: " + QString::fromLocal8Bit(admin.readAllStandardError());
        }
        cupsSetServer(QFile::encodeName(socket).constData());
        return {};
    }

    // The documents of the queue's jobs in the order they came, once every job is done.
    QStringList printedJobs() const {
        for (int waited = 0; waited < 20000; waited += 50) {
            cups_job_t* list = nullptr;
            const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &list, Queue, 0, CUPS_WHICHJOBS_ALL);
            std::vector<int> done;
            for (int i = 0; i < count; ++i)
                if (list[i].state == IPP_JSTATE_COMPLETED && QString(list[i].title) == "Quorvane KV5")
                    done.push_back(list[i].id);
            cupsFreeJobs(count, list);
            std::sort(done.begin(), done.end());
            QStringList files;
            for (int id : done) files << folder_.filePath(QString("printed/job-%1.pdf").arg(id));
            if (int(done.size()) == count) return files;
            QThread::msleep(50);
        }
        return {"unfinished jobs"};
    }
    QString log() const {
        QFile file(folder_.filePath("log/error_log"));
        return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
    }

private:
    static void write(const QString& path, const QString& content) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) file.write(content.toUtf8());
    }

    QTemporaryDir folder_;
    QProcess daemon_;
};

// A Q7R kiln log of count half-hourly records with known extremes: temperature from 100 up to
// 100 + (count - 1) / 10 (below the boiling point for up to 1000 records, then again from 100),
// RH 60 with one low of 20.5 and one high of 90.25.
void fillKiln(LogData& log, int count) {
    const QDateTime start(QDate(2014, 5, 21), QTime(13, 45));
    for (int i = 0; i < count; ++i) {
        log.LogTime[i] = TimeStampText(start.addSecs(qint64(i) * 1800));
        log.LogTemp[i] = 100 + (i % 1000) / 10.0;
        log.LogMc1[i] = 20, log.LogMc2[i] = 21, log.LogMc3[i] = 22, log.LogRh[i] = 5;
        log.LogRhQ7R[i] = i == count / 3 ? 20.5 : i == count / 2 ? 90.25 : 60;
    }
    log.RecordCount = count;
    log.SensorType = SensorQ7R;
}

// A Vantorp log of three records with extremes that the general number form shows in full.
void fillVantorp(LogData& log) {
    const double temp[] = {68, 77.25, 50.5}, rh[] = {50, 30.125, 90};
    for (int i = 0; i < 3; ++i) {
        log.LogTime[i] = QStringLiteral("5/21/2014 1%1:45").arg(i + 3);
        log.LogTemp[i] = temp[i], log.LogRh[i] = rh[i], log.LogRhQ7R[i] = 99;
    }
    log.RecordCount = 3;
    log.SensorType = SensorVantorp;
}

QString noPrinterQuestion(const QString& path) {
    return "No printer is installed. Do you want to write the printout to the PDF file " + path + " instead?";
}

} // namespace

class TestPrint : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    // The user's home folder while the tests run, with a Documents folder.
    QTemporaryDir userHome;
    AppState state;
    ScriptedUi ui;

    PrintTarget toPdf(const QString& name) const { return {home.filePath(name), home.path()}; }
    QStringList pdfFiles() const {
        return QDir(home.path()).entryList({"*.pdf", ".*"}, QDir::Files | QDir::Hidden);
    }
    QStringList documents() const {
        return QDir(userHome.filePath("Documents")).entryList(QDir::Files | QDir::Hidden);
    }
    // The answers for the next printout: the description, then the questions.
    void answer(const QString& description, std::deque<Answer> answers = {}) {
        ui.clearRecord();
        ui.inputs = {description};
        ui.answers = std::move(answers);
    }
    // The chart of the in-memory log, printed at surface size to the PDF file name.
    PrintResult printChart(const QString& name, QSize surface = QSize(417, 409)) {
        ChartState chart(LogViewOf(state), ui);
        chart.Load();
        return PrintChart(LogViewOf(state), ui, chart, surface, toPdf(name));
    }

private slots:
    void initTestCase() {
        QVERIFY(home.isValid());
        QVERIFY2(!QStandardPaths::findExecutable("pdftotext").isEmpty(),
                 "poppler-utils (pdftotext, pdfinfo, pdftoppm) is needed to read the printouts back");
        state.ProgramFolder = home.path();
        QVERIFY(QDir(home.path()).mkdir(DataFolderName));
        SetTraceColors(state);
        QVERIFY(userHome.isValid() && QDir(userHome.path()).mkdir("Documents"));
        qputenv("HOME", QFile::encodeName(userHome.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(userHome.filePath(".config")));
    }

    void init() {
        state.log = LogData();
        state.settings = Settings();
        ui.clearRecord();
        ui.answers.clear();
        ui.inputs.clear();
        for (const QString& name : pdfFiles()) QFile::remove(home.filePath(name));
        for (const QString& name : documents()) QFile::remove(userHome.filePath("Documents/" + name));
    }

    // A table of several pages: the dialogue, the page count announced and produced, the title
    // and the footer on every page, the margins, every record once and in order.
    void tablePrintout() {
        fillKiln(state.log, 333);
        state.log.Description = "Kiln 4 oak";
        answer("Kiln 4  oak, batch 17", {Answer::Ok});
        QCOMPARE(int(PrintTable(LogViewOf(state), ui, toPdf("table.pdf"))), int(PrintResult::Printed));
        QCOMPARE(ui.inputRequests.at(0).title, QStringLiteral("Print Table"));
        QCOMPARE(ui.inputRequests[0].prompt, QStringLiteral("Enter a description for the printout:"));
        QCOMPARE(ui.inputRequests[0].value, QStringLiteral("Kiln 4 oak"));
        QCOMPARE(int(ui.messages.size()), 1);
        QCOMPARE(int(ui.messages[0].buttons), int(Buttons::OkCancel));
        const QString file = home.filePath("table.pdf");
        const int pages = pdfInfo(file, "Pages").toInt();
        QCOMPARE(ui.messages[0].text, QStringLiteral("Printing needs %1 pages.").arg(pages));
        QCOMPARE(pdfInfo(file, "Title"), QStringLiteral("Quorvane KV5"));

        const std::vector<PdfPage> read = readPdf(file);
        QCOMPARE(int(read.size()), pages);
        // The rows as the table window shows them, cells separated by one blank.
        const QStringList rows = TableLines(state.log, state.settings, QLatin1Char(' '));
        const double margin = 36; // 720 twips in points
        int record = 0, perPage = 0;
        for (int p = 0; p < pages; ++p) {
            const PdfPage& page = read[p];
            const std::vector<PdfLine>& lines = page.lines;
            const QString where = QStringLiteral("page %1").arg(p + 1);
            // The title with its doubled blank, centred; the column headers below it; the footer
            // at the right of the bottom line; nothing in the margins.
            QCOMPARE(lines.front().text, QStringLiteral("Kiln 4 oak, batch 17"));
            QVERIFY2(std::abs(lines.front().box.center().x() - page.size.width() / 2) < 1, qPrintable(where));
            QCOMPARE(lines[1].text, rows.front());
            QCOMPARE(lines.back().text, QStringLiteral("Page %1 of %2").arg(p + 1).arg(pages));
            QVERIFY2(std::abs(lines.back().box.right() - (page.size.width() - margin)) < 1,
                     qPrintable(where));
            QVERIFY2(lines.back().box.bottom() > page.size.height() - margin - 6, qPrintable(where));
            for (const PdfLine& line : lines)
                QVERIFY2(QRectF(QPointF(margin, margin), page.size - QSizeF(2 * margin, 2 * margin))
                             .adjusted(-0.5, -0.5, 0.5, 0.5)
                             .contains(line.box),
                         qPrintable(where + ": " + line.text));
            // This page's records follow the last page's. Every page but the last is full: one
            // more record would reach into the footer's line.
            for (std::size_t l = 2; l + 1 < lines.size(); ++l)
                QCOMPARE(lines[l].text, rows.value(1 + record++));
            if (p == 0) perPage = int(lines.size()) - 3;
            if (p + 1 < pages) {
                QCOMPARE(int(lines.size()) - 3, perPage);
                const double rowStep = lines[3].box.top() - lines[2].box.top();
                QVERIFY2(lines[lines.size() - 2].box.bottom() + 2 * rowStep > lines.back().box.top(),
                         qPrintable(where));
            }
        }
        QCOMPARE(record, 333);
        QVERIFY(pages >= 3 && (pages - 1) * perPage < 333);
        QCOMPARE(pdfFiles(), QStringList{"table.pdf"});
    }

    // Every way out before the last page prints nothing and leaves no file, not even a part.
    void tableCancelled_data() {
        QTest::addColumn<QString>("description");
        QTest::addColumn<int>("pageCount");    // the answer to the page count; -1: not asked
        QTest::addColumn<int>("progressStop"); // the page whose progress says cancel; 0: never asked
        QTest::newRow("description cancelled") << QString() << -1 << 0;
        QTest::newRow("description left empty") << "" << -1 << 0;
        QTest::newRow("page count cancelled") << "Kiln 4" << int(Answer::Cancel) << 0;
        QTest::newRow("second page cancelled") << "Kiln 4" << int(Answer::Ok) << 2;
    }
    void tableCancelled() {
        QFETCH(QString, description);
        QFETCH(int, pageCount);
        QFETCH(int, progressStop);
        fillKiln(state.log, 200);
        state.log.Description = "Kiln 4";
        ui.inputs = {description.isNull() ? std::nullopt : std::optional<QString>(description)};
        if (pageCount >= 0) ui.answers = {Answer(pageCount)};
        std::vector<int> asked;
        const auto progress = [&](int page, int) { return asked.push_back(page), page != progressStop; };
        QCOMPARE(int(PrintTable(LogViewOf(state), ui, toPdf("table.pdf"), progress)),
                 int(PrintResult::Cancelled));
        QCOMPARE(int(ui.messages.size()), pageCount >= 0 ? 1 : 0);
        std::vector<int> expected;
        for (int page = 1; page <= progressStop; ++page) expected.push_back(page);
        QCOMPARE(asked, expected);
        QVERIFY(pdfFiles().isEmpty());
        QVERIFY2(ui.failures.isEmpty(), qPrintable(ui.failures.join('\n')));
    }

    // On a real print system: a cancel while the pages are made leaves no job at all, and a
    // printout that is not cancelled reaches the printer whole, as one job, table and chart alike.
    void printerGetsWholeJobsOnly() {
        qunsetenv("PRINTER");
        qunsetenv("LPDEST");
        PrivateCups cups;
        const QString why = cups.start();
        if (!why.isEmpty()) QSKIP(qPrintable("no print system of our own: " + why));
        QCOMPARE(QPrinterInfo::defaultPrinter().printerName(), QString(PrivateCups::Queue));
        fillKiln(state.log, 333);
        answer("Kiln 4", {Answer::Ok});
        QCOMPARE(int(PrintTable(LogViewOf(state), ui, {}, [](int page, int) { return page < 3; })),
                 int(PrintResult::Cancelled));
        QCOMPARE(cups.printedJobs(), QStringList());

        answer("Kiln 4", {Answer::Ok});
        QCOMPARE(int(PrintTable(LogViewOf(state), ui)), int(PrintResult::Printed));
        ChartState chart(LogViewOf(state), ui);
        chart.Load();
        ui.inputs = {"Kiln 4 chart"};
        QCOMPARE(int(PrintChart(LogViewOf(state), ui, chart, QSize(417, 409))), int(PrintResult::Printed));
        const QStringList jobs = cups.printedJobs();
        QVERIFY2(jobs.size() == 2, qPrintable(cups.log()));
        QCOMPARE(ui.messageTexts(), QStringList{"Printing needs " + pdfInfo(jobs[0], "Pages") + " pages."});
        const std::vector<PdfPage> pages = readPdf(jobs[0]);
        QVERIFY(pages.size() > 3);
        QCOMPARE(pages.back().lines.back().text, QStringLiteral("Page %1 of %1").arg(pages.size()));
        QCOMPARE(readPdf(jobs[1]).at(0).texts().mid(0, 2), QStringList({"Kiln 4 chart", "Log File Info"}));
    }

    // An empty log prints one page with the column headers. The description is printed as typed:
    // the grid's codes mean nothing in it, and a line too long for the page ends in an ellipsis
    // inside the margins. A file that cannot be written is reported.
    void tableEdgeCases() {
        state.settings.Celsius = 1;
        state.settings.AhGpp = 0;
        const QString codes = "Lot /p of /pc /c /fb1";
        const QString longer = codes + " " + QString(40, 'x') + " " + QString(40, 'y') + " end";
        for (const QString& title : {codes, longer}) {
            answer(title, {Answer::Ok});
            QCOMPARE(int(PrintTable(LogViewOf(state), ui, toPdf("codes.pdf"))), int(PrintResult::Printed));
            QCOMPARE(ui.messageTexts(), QStringList{"Printing needs 1 pages."});
            const std::vector<PdfPage> read = readPdf(home.filePath("codes.pdf"));
            QCOMPARE(int(read.size()), 1);
            const QStringList lines = read[0].texts();
            QCOMPARE(lines.mid(1), QStringList({"Time Temp \u00b0C RH % EMC % Dew \u00b0C", "Page 1 of 1"}));
            QVERIFY2(lines[0] == title || (title == longer && lines[0].startsWith(codes) &&
                                           lines[0].endsWith(QChar(0x2026)) && !lines[0].contains("end")),
                     qPrintable(lines[0]));
            QVERIFY(read[0].lines[0].box.left() >= 36 - 0.5 &&
                    read[0].lines[0].box.right() <= read[0].size.width() - 36 + 0.5);
        }

        answer("Nowhere", {Answer::Ok});
        const QString nowhere = home.filePath("missing/table.pdf");
        QCOMPARE(int(PrintTable(LogViewOf(state), ui, {nowhere, QString()})), int(PrintResult::Failed));
        QCOMPARE(ui.messageTexts().size(), 1);
        QVERIFY2(ui.messageTexts()[0].startsWith("ERROR: btnPrint_Click: " + nowhere + " cannot be written"),
                 qPrintable(ui.messageTexts()[0]));
        QVERIFY(!QFileInfo::exists(nowhere));
    }

    // With no printer installed the user is offered a PDF file named after the log in the
    // Documents folder, else the program folder, and told where it went; No prints nothing.
    void noPrinterOffersPdf() {
        if (!QPrinterInfo::defaultPrinter().isNull())
            QSKIP("a printer is installed here: no PDF file is offered");
        fillKiln(state.log, 20);
        state.log.SelectedLogFile = "SN0042-2014-05-21-13-45-01.txt";
        const QString first = userHome.filePath("Documents/SN0042-2014-05-21-13-45-01-table.pdf");
        answer("Kiln 4", {Answer::No});
        QCOMPARE(int(PrintTable(LogViewOf(state), ui)), int(PrintResult::Cancelled));
        QCOMPARE(ui.messageTexts(), QStringList{noPrinterQuestion(first)});
        QCOMPARE(ui.messages[0].title, QStringLiteral("Confirm"));
        QVERIFY(documents().isEmpty());

        for (const QString& expected :
             {first, userHome.filePath("Documents/SN0042-2014-05-21-13-45-01-table-2.pdf")}) {
            answer("Kiln 4", {Answer::Yes, Answer::Ok});
            QCOMPARE(int(PrintTable(LogViewOf(state), ui)), int(PrintResult::Printed));
            QCOMPARE(ui.messageTexts(), QStringList({noPrinterQuestion(expected), "Printing needs 1 pages.",
                                                     "The printout was written to " + expected + "."}));
            QCOMPARE(int(ui.messages.back().icon), int(Icon::Information));
            QCOMPARE(pdfInfo(expected, "Pages"), QStringLiteral("1"));
        }

        // The chart likewise; without Documents and without a chosen file, in the program folder
        // under the serial number.
        QVERIFY(QDir(userHome.filePath("Documents")).removeRecursively());
        state.log.SelectedLogFile.clear();
        state.log.SerialNumber = "0042";
        ChartState chart(LogViewOf(state), ui);
        chart.Load();
        answer("Kiln 4", {Answer::Yes});
        QCOMPARE(int(PrintChart(LogViewOf(state), ui, chart, QSize(417, 409))), int(PrintResult::Printed));
        const QString chartFile = home.filePath("SN0042-chart.pdf");
        QCOMPARE(ui.messageTexts(), QStringList({noPrinterQuestion(chartFile),
                                                 "The printout was written to " + chartFile + "."}));
        QVERIFY(readPdf(chartFile).at(0).texts().contains("Log File Info"));
        QVERIFY(QDir(userHome.path()).mkdir("Documents"));
    }

    void generalNumberForm() {
        QCOMPARE(GeneralNumberText(-0.0), QStringLiteral("0"));
        QCOMPARE(GeneralNumberText(1.0 / 3), QStringLiteral("0.333333333333333"));
        QCOMPARE(GeneralNumberText(0.1 + 0.2), QStringLiteral("0.3"));
    }

    // The chart page: the description at one inch from the left and the top, an empty line, the
    // log's facts in the general number form, an empty line, and the chart at its size on screen
    // below them, drawn as lines (no picture is embedded), after the readout went to the last
    // record.
    void chartPrintout() {
        fillVantorp(state.log);
        state.log.Description = "Store room";
        ChartState chart(LogViewOf(state), ui);
        chart.Load();
        chart.bmp_MouseMove(0, 0, 0, 0);
        answer("Store  room, May");
        QCOMPARE(int(PrintChart(LogViewOf(state), ui, chart, QSize(417, 409), toPdf("chart.pdf"))),
                 int(PrintResult::Printed));
        QVERIFY(ui.messages.empty());
        QCOMPARE(ui.inputRequests.back().title, QStringLiteral("Print Table"));
        QCOMPARE(ui.inputRequests.back().value, QStringLiteral("Store room"));
        QCOMPARE(chart.txtLegend[0].text, QStringLiteral("5/21/2014 15:45"));

        const QString file = home.filePath("chart.pdf");
        const PdfPage page = readPdf(file).at(0);
        QCOMPARE(page.texts(), QStringList({"Store room, May", "Log File Info", "Max Temp 77.25",
                                            "Min Temp 50.5", "Max Rh 90", "Min Rh 30.125", "Records 3"}));
        const QRectF firstLine = page.lines[0].box;
        const double lineStep = page.lines[3].box.top() - page.lines[2].box.top();
        QVERIFY2(std::abs(firstLine.left() - 72) < 1.5 && std::abs(firstLine.top() - 72) < 3,
                 qPrintable(QStringLiteral("%1, %2").arg(firstLine.left()).arg(firstLine.top())));
        QVERIFY(lineStep > 14 && lineStep < 20); // 14 point text
        QCOMPARE(pdfInfo(file, "Title"), QStringLiteral("Quorvane KV5"));
        QCOMPARE(run("pdfimages", {"-list", file}).split('\n', Qt::SkipEmptyParts).size(), 2); // no image

        // At 96 dots to the inch the chart has its size on screen, one inch from the left, two
        // lines below the last text line: the RH trace from 90 % down to 30.125 % on the 0 to
        // 100 scale.
        const QRect traces = tracesOnPage(file);
        const double pictureTop = (firstLine.top() + 9 * lineStep) * 96 / 72 + 0.5;
        QVERIFY2(std::abs(traces.left() - 96) <= 1 && std::abs(traces.right() - (96 + 416)) <= 1,
                 qPrintable(QStringLiteral("%1..%2").arg(traces.left()).arg(traces.right())));
        QVERIFY2(std::abs(traces.top() - (pictureTop + (125 - 90 * 1.25) * 408 / 125)) < 4,
                 qPrintable(QString::number(traces.top())));
        QVERIFY2(std::abs(traces.bottom() - (pictureTop + (125 - 30.125 * 1.25) * 408 / 125)) < 4,
                 qPrintable(QString::number(traces.bottom())));

        // A chart larger than the page is made smaller to fit beside and below the text, in its
        // own proportions.
        answer("Wide");
        QCOMPARE(int(printChart("wide.pdf", QSize(1800, 1000))), int(PrintResult::Printed));
        const QSizeF size = readPdf(home.filePath("wide.pdf")).at(0).size * 96 / 72;
        const QRect wide = tracesOnPage(home.filePath("wide.pdf"));
        QVERIFY(wide.left() >= 95 && wide.right() < size.width() && wide.bottom() < size.height());
        QVERIFY2(wide.width() > size.width() - 96 - 3, qPrintable(QString::number(wide.width())));
    }

    // An empty log: the description, "There is no log data!" and the surface with its message;
    // a Q7R log: its RH under "Rh", no moisture values; a cancelled description prints nothing.
    void chartPageOfEmptyAndQ7RLogs() {
        answer("Nothing yet");
        QCOMPARE(int(printChart("empty.pdf")), int(PrintResult::Printed));
        QCOMPARE(readPdf(home.filePath("empty.pdf")).at(0).texts(),
                 QStringList({"Nothing yet", "There is no log data!", "The log is empty."}));
        fillKiln(state.log, 100);
        answer("Kiln 4");
        QCOMPARE(int(printChart("q7r.pdf")), int(PrintResult::Printed));
        QCOMPARE(readPdf(home.filePath("q7r.pdf")).at(0).texts(),
                 QStringList({"Kiln 4", "Log File Info", "Max Temp 109.9", "Min Temp 100", "Max Rh 90.25",
                              "Min Rh 20.5", "Records 100"}));
        ui.inputs = {std::nullopt};
        QCOMPARE(int(printChart("none.pdf")), int(PrintResult::Cancelled));
        QCOMPARE(pdfFiles(), QStringList({"empty.pdf", "q7r.pdf"}));
        QVERIFY(ui.messages.empty());
    }

    // kv5 print FILE --pdf OUT.pdf [--chart] [--description TEXT].
    void printCommand() {
        fillKiln(state.log, 120);
        state.log.SerialNumber = "0042";
        state.log.StartTimeText = "1405211345";
        const QString name = SaveLogFile(state.log, state.dataFolder(), ui);
        QVERIFY2(!name.isEmpty(), qPrintable(ui.messageTexts().join('\n')));
        state.log = LogData();
        state.log.Description = "From the logger";
        const QString out = home.filePath("out.pdf");

        // Without a description the title is the log file's name; the PDF file gets the mode of
        // any new file, 0666 less the umask.
        const mode_t umask = ::umask(002);
        const int printed = RunPrintCommand(state, ui, name, out, false, QString());
        ::umask(umask);
        QCOMPARE(printed, 0);
        QVERIFY2(ui.messages.empty() && ui.inputRequests.empty(), qPrintable(ui.messageTexts().join('\n')));
        struct stat status {};
        QCOMPARE(::stat(QFile::encodeName(out).constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, mode_t(0664));
        std::vector<PdfPage> pages = readPdf(out);
        QVERIFY(pages.size() >= 2);
        QCOMPARE(pages[0].lines.front().text, name);
        QCOMPARE(RunPrintCommand(state, ui, name, out, false, "Customer copy"), 0);
        QCOMPARE(readPdf(out).at(0).lines.front().text, QStringLiteral("Customer copy"));
        QCOMPARE(RunPrintCommand(state, ui, LogFilePath(state, name), out, true, "Chart copy"), 0);
        const QStringList chartLines = readPdf(out).at(0).texts();
        QCOMPARE(chartLines.mid(0, 2), QStringList({"Chart copy", "Log File Info"}));
        QVERIFY(chartLines.contains("Records 120"));
        QVERIFY(ui.messages.empty());

        // Without an output name, and with a file that is not there.
        QCOMPARE(RunPrintCommand(state, ui, name, QString(), false, QString()), 2);
        QCOMPARE(ui.messages.size(), std::size_t(1));
        QVERIFY(QFile::remove(out));
        QCOMPARE(RunPrintCommand(state, ui, "no-such-log.txt", out, false, QString()), 1);
        QVERIFY(ui.messageTexts().back().startsWith("ERROR: OpenLogFile: "));
        QVERIFY(!QFileInfo::exists(out));
    }

    // The table window's Print button as a user presses it, with no printer installed: the
    // progress box over the window, its Cancel stopping the job, then a job run to its end.
    void tableWindowPrintButton() {
        if (!QPrinterInfo::defaultPrinter().isNull())
            QSKIP("a printer is installed here: no PDF file is offered");
        fillKiln(state.log, 2000);
        frmTable window(LogViewOf(state), ui);
        InstallTablePrinting(window, LogViewOf(state), ui);
        window.show();
        QString label, title;
        int highest = -1;
        bool cancel = true;
        QTimer watch;
        watch.setInterval(0);
        connect(&watch, &QTimer::timeout, this, [&] {
            if (auto* box = window.findChild<QProgressDialog*>()) {
                label = box->labelText(), title = box->windowTitle();
                highest = std::max(highest, box->value());
                if (cancel && box->value() >= 1) box->cancel();
            }
        });
        watch.start();
        for (bool cancelled : {true, false}) {
            cancel = cancelled;
            highest = -1;
            answer("Kiln 4", {Answer::Yes, Answer::Ok});
            QTest::mouseClick(window.btnPrint, Qt::LeftButton);
            QCOMPARE(label, QStringLiteral("Printing - Click Cancel to quit"));
            QCOMPARE(title, QStringLiteral("Quorvane KV5"));
            QVERIFY(!window.findChild<QProgressDialog*>());
            QVERIFY2(ui.failures.isEmpty(), qPrintable(ui.failures.join('\n')));
            if (cancelled) {
                QVERIFY(highest >= 1);
                QCOMPARE(ui.messageTexts().size(), 2); // the offer of a PDF and the page count, nothing after
                QVERIFY(documents().isEmpty());
            }
        }
        const QString file = userHome.filePath("Documents/KV5-table.pdf");
        const int count = pdfInfo(file, "Pages").toInt();
        QCOMPARE(ui.messageTexts(),
                 QStringList({noPrinterQuestion(file), QString("Printing needs %1 pages.").arg(count),
                              "The printout was written to " + file + "."}));
        QCOMPARE(highest, count - 1);
    }

    // The chart window's Print button: the chart at the size its surface has in the window, and
    // the window's legend back on the last record, as printed.
    void chartWindowPrintButton() {
        if (!QPrinterInfo::defaultPrinter().isNull())
            QSKIP("a printer is installed here: no PDF file is offered");
        fillVantorp(state.log);
        QWidget owner;
        frmChart& window = ChartWindow(LogViewOf(state), ui, {}, &owner);
        QVERIFY(window.btnPrint->isHidden());
        InstallChartPrinting(window, LogViewOf(state), ui);
        window.resize(760, 520);
        window.show();
        window.bmp->mouseMoved(Qt::NoButton, Qt::NoModifier, QPointF(0, 0));
        QCOMPARE(window.txtLegend[0]->text(), QStringLiteral("5/21/2014 13:45"));
        answer("Store room", {Answer::Yes});
        QTest::mouseClick(window.btnPrint, Qt::LeftButton);
        const QString file = userHome.filePath("Documents/KV5-chart.pdf");
        QCOMPARE(ui.messageTexts(),
                 QStringList({noPrinterQuestion(file), "The printout was written to " + file + "."}));
        QCOMPARE(window.txtLegend[0]->text(), QStringLiteral("5/21/2014 15:45"));
        const int width = window.bmp->width();
        QVERIFY(width > 417); // larger than at first: the window was made larger
        const QRect traces = tracesOnPage(file);
        QVERIFY2(
            std::abs(traces.left() - 96) <= 1 && std::abs(traces.right() - (96 + width - 1)) <= 1,
            qPrintable(QStringLiteral("%1..%2 for %3").arg(traces.left()).arg(traces.right()).arg(width)));
    }
};

QTEST_MAIN(TestPrint)
#include "test_print.moc"
