// Printing of the table and the chart, read back from the PDF files written: the dialogue
// around it (description, page count, progress, cancels), titles, page footers, margins, the
// announced page count against the pages produced, every record on exactly one page, the chart
// page's text block and the picture's place and size; the PDF offered when no printer is
// installed; the command line; the windows' Print buttons.
#include "app/AppState.h"
#include "app/ViewCommands.h"
#include "logfiles/LogFile.h"
#include "logger/TimeFormat.h"
#include "support/ScriptedUi.h"
#include "views/ChartState.h"
#include "views/ChartWidgets.h"
#include "views/LogStatistics.h"
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

// A word of a PDF page with its box in points from the top left corner.
struct Word {
    QString text;
    QRectF box;
};
// Words on one height, left to right, joined by blanks, with their common box.
struct PdfLine {
    QString text;
    QRectF box;
};
struct PdfPage {
    QSizeF size;
    std::vector<Word> words;
    // The page's lines from top to bottom.
    std::vector<PdfLine> lines() const {
        std::vector<Word> sorted = words;
        std::stable_sort(sorted.begin(), sorted.end(), [](const Word& a, const Word& b) {
            if (std::abs(a.box.center().y() - b.box.center().y()) >= 2)
                return a.box.center().y() < b.box.center().y();
            return a.box.left() < b.box.left();
        });
        std::vector<PdfLine> lines;
        for (const Word& word : sorted) {
            if (lines.empty() || std::abs(lines.back().box.center().y() - word.box.center().y()) >= 2) {
                lines.push_back({word.text, word.box});
            } else {
                lines.back().text += ' ' + word.text;
                lines.back().box |= word.box;
            }
        }
        return lines;
    }
    // The words of the line holding the first word equal to text, joined by blanks.
    QString lineOf(const QString& text) const {
        for (const Word& word : words) {
            if (word.text != text) continue;
            QStringList line;
            for (const Word& other : words)
                if (std::abs(other.box.center().y() - word.box.center().y()) < 2) line << other.text;
            return line.join(' ');
        }
        return {};
    }
    const Word* find(const QString& text) const {
        for (const Word& word : words)
            if (word.text == text) return &word;
        return nullptr;
    }
};

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Every page of the PDF with its words, as poppler reads them.
std::vector<PdfPage> readPdf(const QString& path) {
    const QString html =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    std::vector<PdfPage> pages;
    static const QRegularExpression element(QStringLiteral(
        "<page width=\"([0-9.]+)\" height=\"([0-9.]+)\">|<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" "
        "xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)</word>"));
    for (const QRegularExpressionMatch& match : element.globalMatch(html)) {
        if (!match.captured(1).isEmpty()) {
            pages.push_back({QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble()), {}});
        } else if (!pages.empty()) {
            const QRectF box(QPointF(match.captured(3).toDouble(), match.captured(4).toDouble()),
                             QPointF(match.captured(5).toDouble(), match.captured(6).toDouble()));
            QString text = match.captured(7);
            text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
            pages.back().words.push_back({text, box});
        }
    }
    return pages;
}

QString pdfInfo(const QString& path, const QString& key) {
    const QRegularExpression line(QStringLiteral("^%1:\\s*(.*)$").arg(key),
                                  QRegularExpression::MultilineOption);
    return line.match(run(QStringLiteral("pdfinfo"), {path})).captured(1).trimmed();
}

// The first page rendered at dpi dots to the inch.
QImage renderPage(const QString& path, int dpi, const QString& keepAs = {}) {
    QTemporaryDir folder;
    const QString stem = folder.filePath(QStringLiteral("page"));
    run(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi),
                                     QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                                     QStringLiteral("1"), QStringLiteral("-singlefile"), path, stem});
    QImage image(stem + QStringLiteral(".png"));
    const QString shots = qEnvironmentVariable("KV5_SCREENSHOT_DIR");
    if (!shots.isEmpty() && !keepAs.isEmpty()) {
        image.save(shots + '/' + keepAs + QStringLiteral(".png"));
        QFile::remove(shots + '/' + keepAs + QStringLiteral(".pdf"));
        QFile::copy(path, shots + '/' + keepAs + QStringLiteral(".pdf"));
    }
    return image;
}

// The smallest rectangle holding every pixel of the colour (within a small tolerance).
QRect pixelsOf(const QImage& image, const QColor& color) {
    QRect found;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel(line[x]);
            if (std::abs(pixel.red() - color.red()) < 40 && std::abs(pixel.green() - color.green()) < 40 &&
                std::abs(pixel.blue() - color.blue()) < 40)
                found |= QRect(x, y, 1, 1);
        }
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
        if (daemon_.state() != QProcess::NotRunning) {
            daemon_.terminate();
            daemon_.waitForFinished(10000);
        }
    }

    // Empty text when it runs, else why not.
    QString start() {
        const QString cupsd =
            QStandardPaths::findExecutable(QStringLiteral("cupsd"), {QStringLiteral("/usr/sbin")});
        const QString lpadmin =
            QStandardPaths::findExecutable(QStringLiteral("lpadmin"), {QStringLiteral("/usr/sbin")});
        if (cupsd.isEmpty() || lpadmin.isEmpty())
            return QStringLiteral("cupsd and lpadmin are not installed");
        if (!folder_.isValid()) return QStringLiteral("no private folder");
        const QString root = folder_.path();
        for (const char* sub : {"conf/ppd", "spool/tmp", "cache", "state", "log", "printed", "bin/backend"})
            QDir(root).mkpath(QString::fromLatin1(sub));
        // The server's own helpers, and a backend that keeps the document.
        QFile::link(QStringLiteral("/usr/lib/cups/daemon"), root + QStringLiteral("/bin/daemon"));
        const QString backend = root + QStringLiteral("/bin/backend/keep");
        write(backend, "#!/bin/sh\n[ $# -eq 0 ] && exit 0\nexec cat ${6:+\"$6\"} > "
                       "\"${DEVICE_URI#keep:}/job-$1.pdf\"\n");
        // Owner only: cupsd then runs it as the user it runs as itself.
        QFile::setPermissions(backend, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        socket_ = root + QStringLiteral("/cups.sock");
        write(root + QStringLiteral("/conf/cupsd.conf"),
              "Listen " + QFile::encodeName(socket_) +
                  "\nBrowsing No\nLogLevel info\nDefaultAuthType None\n"
                  "<Location />\nOrder allow,deny\nAllow all\n</Location>\n"
                  "<Policy default>\n<Limit All>\nOrder deny,allow\n</Limit>\n</Policy>\n");
        const QByteArray r = QFile::encodeName(root);
        write(root + QStringLiteral("/conf/cups-files.conf"),
              "ServerRoot " + r + "/conf\nServerBin " + r + "/bin\nRequestRoot " + r + "/spool\nTempDir " +
                  r + "/spool/tmp\nCacheDir " + r + "/cache\nStateDir " + r + "/state\nErrorLog " + r +
                  "/log/error_log\nAccessLog " + r + "/log/access_log\nPageLog " + r + "/log/page_log\n");
        daemon_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        daemon_.start(cupsd,
                      {QStringLiteral("-f"), QStringLiteral("-c"), root + QStringLiteral("/conf/cupsd.conf"),
                       QStringLiteral("-s"), root + QStringLiteral("/conf/cups-files.conf")});
        if (!daemon_.waitForStarted())
            return QStringLiteral("cupsd does not start: ") + daemon_.errorString();
        for (int waited = 0; !QFileInfo::exists(socket_); waited += 50) {
            if (waited > 10000 || daemon_.state() == QProcess::NotRunning)
                return QStringLiteral("cupsd does not run here: ") + log();
            QThread::msleep(50);
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("CUPS_SERVER"), socket_);
        for (const QStringList& arguments :
             {QStringList{QStringLiteral("-p"), QLatin1String(Queue), QStringLiteral("-E"),
                          QStringLiteral("-v"), QStringLiteral("keep:") + root + QStringLiteral("/printed"),
                          QStringLiteral("-m"), QStringLiteral("raw")},
              QStringList{QStringLiteral("-d"), QLatin1String(Queue)}}) {
            QProcess admin;
            admin.setProcessEnvironment(environment);
            admin.start(lpadmin, arguments);
            if (!admin.waitForFinished(30000) || admin.exitCode() != 0)
                return QStringLiteral("lpadmin fails: ") +
                       QString::fromLocal8Bit(admin.readAllStandardError());
        }
        cupsSetServer(QFile::encodeName(socket_).constData());
        return {};
    }

    // The queue's jobs, pending, held, printing or done.
    struct Job {
        int id;
        QString title;
        bool completed;
    };
    std::vector<Job> jobs() const {
        cups_job_t* list = nullptr;
        const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &list, Queue, 0, CUPS_WHICHJOBS_ALL);
        std::vector<Job> found;
        for (int i = 0; i < count; ++i)
            found.push_back(
                {list[i].id, QString::fromUtf8(list[i].title), list[i].state == IPP_JSTATE_COMPLETED});
        cupsFreeJobs(count, list);
        return found;
    }
    // Waits until every job is done; false after a time without.
    bool allDone() const {
        for (int waited = 0; waited < 20000; waited += 50) {
            const std::vector<Job> now = jobs();
            if (std::all_of(now.begin(), now.end(), [](const Job& job) { return job.completed; }))
                return true;
            QThread::msleep(50);
        }
        return false;
    }
    QString printed(int job) const { return folder_.filePath(QStringLiteral("printed/job-%1.pdf").arg(job)); }
    QString log() const {
        QFile file(folder_.filePath(QStringLiteral("log/error_log")));
        return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
    }

private:
    static void write(const QString& path, const QByteArray& content) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) file.write(content);
    }

    QTemporaryDir folder_;
    QString socket_;
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
        log.LogMc1[i] = 20;
        log.LogMc2[i] = 21;
        log.LogMc3[i] = 22;
        log.LogRhQ7R[i] = i == count / 3 ? 20.5 : i == count / 2 ? 90.25 : 60;
        log.LogRh[i] = 5;
    }
    log.RecordCount = count;
    log.SensorType = SensorQ7R;
}

} // namespace

class TestPrint : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    // The user's home folder while the tests run, with a Documents folder.
    QTemporaryDir userHome;
    AppState state;
    ScriptedUi ui;

    QString pdfPath(const QString& name) const { return home.filePath(name); }
    PrintTarget toPdf(const QString& name) const { return {pdfPath(name), home.path()}; }
    QStringList pdfFiles() const {
        return QDir(home.path())
            .entryList({QStringLiteral("*.pdf"), QStringLiteral(".*")}, QDir::Files | QDir::Hidden);
    }

    QStringList documents() const {
        return QDir(userHome.filePath(QStringLiteral("Documents"))).entryList(QDir::Files | QDir::Hidden);
    }
    static QString noPrinterQuestion(const QString& path) {
        return QStringLiteral("No printer is installed. Do you want to write the printout to the PDF file %1 "
                              "instead?")
            .arg(path);
    }
    void skipWithPrinter() {
        if (!QPrinterInfo::defaultPrinter().isNull())
            QSKIP("a printer is installed here: the offer of a PDF file is not made");
    }
    // A Vantorp log of three records with extremes that the general number form shows in full.
    void fillVantorp() {
        const double temp[] = {68, 77.25, 50.5};
        const double rh[] = {50, 30.125, 90};
        for (int i = 0; i < 3; ++i) {
            state.log.LogTime[i] = QStringLiteral("5/21/2014 1%1:45").arg(i + 3);
            state.log.LogTemp[i] = temp[i];
            state.log.LogRh[i] = rh[i];
            state.log.LogRhQ7R[i] = 99;
        }
        state.log.RecordCount = 3;
        state.log.SensorType = SensorVantorp;
    }
    // The chart page's text lines, and where its text and picture stand.
    struct ChartPage {
        QStringList lines;
        double firstTop = 0, firstLeft = 0, lineStep = 0;
        QSizeF size;
    };
    static ChartPage readChartPage(const QString& path) {
        const std::vector<PdfPage> pages = readPdf(path);
        if (pages.size() != 1) return {};
        ChartPage page;
        page.size = pages[0].size;
        const std::vector<PdfLine> lines = pages[0].lines();
        for (const PdfLine& line : lines) page.lines << line.text;
        if (lines.size() >= 2) {
            page.firstTop = lines[0].box.top();
            page.firstLeft = lines[0].box.left();
            page.lineStep =
                lines[lines.size() > 3 ? 3 : 1].box.top() - lines[lines.size() > 3 ? 2 : 0].box.top();
        }
        return page;
    }

private slots:
    void initTestCase() {
        QVERIFY(home.isValid());
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(),
                 "poppler-utils (pdftotext, pdfinfo, pdftoppm) is needed to read the printouts back");
        state.ProgramFolder = home.path();
        QVERIFY(QDir(home.path()).mkdir(DataFolderName));
        SetTraceColors(state);
        QVERIFY(userHome.isValid() && QDir(userHome.path()).mkdir(QStringLiteral("Documents")));
        qputenv("HOME", QFile::encodeName(userHome.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(userHome.filePath(QStringLiteral(".config"))));
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
        state.log.Description = QStringLiteral("Kiln 4 oak");
        ui.inputs = {QStringLiteral("Kiln 4  oak, batch 17")};
        ui.answers = {Answer::Ok};
        std::vector<std::pair<int, int>> progress;
        const PrintResult result =
            PrintTable(LogViewOf(state), ui, toPdf(QStringLiteral("table.pdf")), [&](int page, int pages) {
                progress.emplace_back(page, pages);
                return true;
            });
        QCOMPARE(int(result), int(PrintResult::Printed));
        QVERIFY2(ui.failures.isEmpty(), qPrintable(ui.failures.join('\n')));

        QCOMPARE(int(ui.inputRequests.size()), 1);
        QCOMPARE(ui.inputRequests[0].title, QStringLiteral("Print Table"));
        QCOMPARE(ui.inputRequests[0].prompt, QStringLiteral("Enter a description for the printout:"));
        QCOMPARE(ui.inputRequests[0].value, QStringLiteral("Kiln 4 oak"));
        QCOMPARE(int(ui.messages.size()), 1);
        const Message& question = ui.messages[0];
        QCOMPARE(int(question.buttons), int(Buttons::OkCancel));
        QCOMPARE(int(question.icon), int(Icon::None));
        const QRegularExpressionMatch announced =
            QRegularExpression(QStringLiteral("^Printing needs ([0-9]+) pages\\.$")).match(question.text);
        QVERIFY2(announced.hasMatch(), qPrintable(question.text));
        const int pages = announced.captured(1).toInt();
        QVERIFY(pages >= 3);

        const QString file = pdfPath(QStringLiteral("table.pdf"));
        renderPage(file, 100, QStringLiteral("print-table-page1"));
        QCOMPARE(pdfInfo(file, QStringLiteral("Pages")).toInt(), pages);
        QCOMPARE(pdfInfo(file, QStringLiteral("Title")), QStringLiteral("Quorvane KV5"));
        QCOMPARE(int(progress.size()), pages);
        for (int i = 0; i < pages; ++i) QCOMPARE(progress[i], std::make_pair(i + 1, pages));

        const std::vector<PdfPage> read = readPdf(file);
        QCOMPARE(int(read.size()), pages);
        // The rows as the table window shows them, cells separated by one blank.
        const QStringList rows = TableLines(state.log, state.settings, QLatin1Char(' '));
        const double margin = 36; // 720 twips in points
        int record = 0, perPage = 0;
        for (int p = 0; p < pages; ++p) {
            const PdfPage& page = read[p];
            const QString where = QStringLiteral("page %1").arg(p + 1);
            const std::vector<PdfLine> lines = page.lines();
            QVERIFY2(lines.size() >= 4, qPrintable(where));
            // The title with its doubled blank, centred; the column headers below it.
            QCOMPARE(lines.front().text, QStringLiteral("Kiln 4 oak, batch 17"));
            QVERIFY2(std::abs(lines.front().box.center().x() - page.size.width() / 2) < 1, qPrintable(where));
            QCOMPARE(lines[1].text, rows.front());
            // The footer at the right of the bottom line.
            QCOMPARE(lines.back().text, QStringLiteral("Page %1 of %2").arg(p + 1).arg(pages));
            QVERIFY2(std::abs(lines.back().box.right() - (page.size.width() - margin)) < 1,
                     qPrintable(where));
            QVERIFY2(lines.back().box.bottom() > page.size.height() - margin - 6, qPrintable(where));
            // Nothing in the margins.
            for (const PdfLine& line : lines)
                QVERIFY2(line.box.left() >= margin - 0.5 &&
                             line.box.right() <= page.size.width() - margin + 0.5 &&
                             line.box.top() >= margin - 0.5 &&
                             line.box.bottom() <= page.size.height() - margin + 0.5,
                         qPrintable(where + ": " + line.text));
            // This page's records follow the last page's; only the last page may be short.
            for (std::size_t l = 2; l + 1 < lines.size(); ++l) {
                QVERIFY2(record < 333, qPrintable(where));
                QCOMPARE(lines[l].text, rows[1 + record]);
                ++record;
            }
            // Every page but the last is full: all hold as many records, and one more would reach
            // into the footer's line.
            const int onPage = int(lines.size()) - 3;
            if (p == 0) perPage = onPage;
            if (p + 1 < pages) {
                QCOMPARE(onPage, perPage);
                const double rowStep = lines[3].box.top() - lines[2].box.top();
                const PdfLine& lastRow = lines[lines.size() - 2];
                QVERIFY2(lastRow.box.bottom() + rowStep > lines.back().box.top() - rowStep,
                         qPrintable(where));
            }
        }
        QCOMPARE(record, 333);
        QCOMPARE(pages, (333 + perPage - 1) / perPage);
        QCOMPARE(pdfFiles(), QStringList{QStringLiteral("table.pdf")});
    }

    // Every way out before the last page prints nothing and leaves no file, not even a part.
    void tableCancelPaths() {
        fillKiln(state.log, 200);
        state.log.Description = QStringLiteral("Kiln 4");
        const PrintTarget target = toPdf(QStringLiteral("table.pdf"));

        // Cancel in the description box: no further box.
        ui.inputs = {std::nullopt};
        QCOMPARE(int(PrintTable(LogViewOf(state), ui, target)), int(PrintResult::Cancelled));
        QVERIFY(ui.messages.empty());
        // The field cleared, or left empty when there is no description.
        ui.inputs = {QString()};
        QCOMPARE(int(PrintTable(LogViewOf(state), ui, target)), int(PrintResult::Cancelled));
        state.log.Description.clear();
        ui.inputs = {QString()};
        QCOMPARE(int(PrintTable(LogViewOf(state), ui, target)), int(PrintResult::Cancelled));
        QCOMPARE(ui.inputRequests.back().value, QString());
        QVERIFY(ui.messages.empty());
        QVERIFY(pdfFiles().isEmpty());

        // Cancel on the page count.
        ui.inputs = {QStringLiteral("Kiln 4")};
        ui.answers = {Answer::Cancel};
        int asked = 0;
        const auto count = [&](int, int) { return ++asked, true; };
        QCOMPARE(int(PrintTable(LogViewOf(state), ui, target, count)), int(PrintResult::Cancelled));
        QCOMPARE(ui.messageTexts().size(), 1);
        QVERIFY(ui.messageTexts().front().startsWith(QStringLiteral("Printing needs ")));
        QCOMPARE(asked, 0);
        QVERIFY(pdfFiles().isEmpty());

        // Cancel in the progress box while the second page is due.
        ui.clearRecord();
        ui.inputs = {QStringLiteral("Kiln 4")};
        ui.answers = {Answer::Ok};
        std::vector<int> pagesAsked;
        const auto cancelSecond = [&](int page, int) {
            pagesAsked.push_back(page);
            return page < 2;
        };
        QCOMPARE(int(PrintTable(LogViewOf(state), ui, target, cancelSecond)), int(PrintResult::Cancelled));
        QCOMPARE(pagesAsked, std::vector<int>({1, 2}));
        QCOMPARE(ui.messageTexts().size(), 1);
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
        if (!why.isEmpty()) QSKIP(qPrintable(QStringLiteral("no print system of our own: ") + why));
        QCOMPARE(QPrinterInfo::defaultPrinter().printerName(), QString::fromLatin1(PrivateCups::Queue));
        fillKiln(state.log, 333);

        ui.inputs = {QStringLiteral("Kiln 4")};
        ui.answers = {Answer::Ok};
        QCOMPARE(int(PrintTable(LogViewOf(state), ui, {}, [](int page, int) { return page < 3; })),
                 int(PrintResult::Cancelled));
        QVERIFY(cups.allDone());
        QCOMPARE(int(cups.jobs().size()), 0);

        ui.clearRecord();
        ui.inputs = {QStringLiteral("Kiln 4"), QStringLiteral("Kiln 4 chart")};
        ui.answers = {Answer::Ok};
        QCOMPARE(int(PrintTable(LogViewOf(state), ui)), int(PrintResult::Printed));
        ChartState chart(LogViewOf(state), ui);
        chart.Load();
        QCOMPARE(int(PrintChart(LogViewOf(state), ui, chart, QSize(417, 409))), int(PrintResult::Printed));
        QVERIFY2(ui.failures.isEmpty(), qPrintable(ui.failures.join('\n')));
        QVERIFY2(cups.allDone(), qPrintable(cups.log()));
        std::vector<PrivateCups::Job> jobs = cups.jobs();
        std::sort(jobs.begin(), jobs.end(), [](const auto& a, const auto& b) { return a.id < b.id; });
        QCOMPARE(int(jobs.size()), 2);
        const QString table = cups.printed(jobs[0].id);
        const QString chartPage = cups.printed(jobs[1].id);
        QCOMPARE(jobs[0].title, QStringLiteral("Quorvane KV5"));
        QCOMPARE(
            ui.messageTexts(),
            QStringList{
                QStringLiteral("Printing needs %1 pages.").arg(pdfInfo(table, QStringLiteral("Pages")))});
        const std::vector<PdfPage> pages = readPdf(table);
        QVERIFY(pages.size() > 3);
        QCOMPARE(pages.back().lines().back().text, QStringLiteral("Page %1 of %1").arg(pages.size()));
        QCOMPARE(readChartPage(chartPage).lines.mid(0, 2),
                 QStringList({QStringLiteral("Kiln 4 chart"), QStringLiteral("Log File Info")}));
    }

    // An empty log prints one page with the column headers; a Vantorp log in degrees C its own
    // columns; a file that cannot be written is reported.
    void tableEdgeCases() {
        state.settings.Celsius = 1;
        state.settings.AhGpp = 0;
        state.log.SensorType = SensorVantorp;
        ui.inputs = {QStringLiteral("Empty")};
        ui.answers = {Answer::Ok};
        QCOMPARE(int(PrintTable(LogViewOf(state), ui, toPdf(QStringLiteral("empty.pdf")))), int(PrintResult::Printed));
        QCOMPARE(ui.messageTexts(), QStringList{QStringLiteral("Printing needs 1 pages.")});
        const std::vector<PdfPage> pages = readPdf(pdfPath(QStringLiteral("empty.pdf")));
        QCOMPARE(int(pages.size()), 1);
        QStringList lines;
        for (const PdfLine& line : pages[0].lines()) lines << line.text;
        QCOMPARE(lines, QStringList({QStringLiteral("Empty"),
                                     QStringLiteral("Time Temp \u00b0C RH % EMC % Dew \u00b0C"),
                                     QStringLiteral("Page 1 of 1")}));

        // The description is printed as typed, however long: the grid's codes mean nothing in it,
        // and a line too long for the page ends in an ellipsis inside the margins.
        const QString codes = QStringLiteral("Lot /p of /pc /c /fb1");
        const QString longer = codes + QStringLiteral(" ") + QString(40, QLatin1Char('x')) +
                               QStringLiteral(" ") + QString(40, QLatin1Char('y')) + QStringLiteral(" end");
        for (const QString& title : {codes, longer}) {
            ui.clearRecord();
            ui.inputs = {title};
            ui.answers = {Answer::Ok};
            QCOMPARE(int(PrintTable(LogViewOf(state), ui, toPdf(QStringLiteral("codes.pdf")))),
                     int(PrintResult::Printed));
            const std::vector<PdfPage> read = readPdf(pdfPath(QStringLiteral("codes.pdf")));
            QCOMPARE(int(read.size()), 1);
            const PdfLine first = read[0].lines().front();
            if (title == codes) {
                QCOMPARE(first.text, codes);
            } else {
                QVERIFY2(first.text.startsWith(codes) && first.text.endsWith(QChar(0x2026)) &&
                             !first.text.contains(QStringLiteral("end")),
                         qPrintable(first.text));
                QVERIFY(first.box.left() >= 36 - 0.5 && first.box.right() <= read[0].size.width() - 36 + 0.5);
            }
        }

        ui.clearRecord();
        ui.inputs = {QStringLiteral("Nowhere")};
        ui.answers = {Answer::Ok};
        const QString nowhere = home.filePath(QStringLiteral("missing/table.pdf"));
        QCOMPARE(int(PrintTable(LogViewOf(state), ui, {nowhere, QString()})), int(PrintResult::Failed));
        QCOMPARE(ui.messageTexts().size(), 1);
        QVERIFY2(ui.messageTexts().front().startsWith(QStringLiteral("ERROR: btnPrint_Click: ") + nowhere +
                                                      QStringLiteral(" cannot be written")),
                 qPrintable(ui.messageTexts().front()));
        QVERIFY(!QFileInfo::exists(nowhere));
    }

    // With no printer installed the user is offered a PDF file named after the log in the
    // Documents folder, else the program folder, and told where it went; No prints nothing.
    void noPrinterOffersPdf() {
        skipWithPrinter();
        fillKiln(state.log, 20);
        state.log.SelectedLogFile = QStringLiteral("SN0042-2014-05-21-13-45-01.txt");
        const QString folder = userHome.filePath(QStringLiteral("Documents"));
        const QString first = folder + QStringLiteral("/SN0042-2014-05-21-13-45-01-table.pdf");

        ui.inputs = {QStringLiteral("Kiln 4")};
        ui.answers = {Answer::No};
        QCOMPARE(int(PrintTable(LogViewOf(state), ui)), int(PrintResult::Cancelled));
        QCOMPARE(int(ui.messages.size()), 1);
        QCOMPARE(ui.messages[0].text, noPrinterQuestion(first));
        QCOMPARE(int(ui.messages[0].buttons), int(Buttons::YesNo));
        QCOMPARE(int(ui.messages[0].icon), int(Icon::Question));
        QCOMPARE(ui.messages[0].title, QStringLiteral("Confirm"));
        QVERIFY(documents().isEmpty());

        for (const QString& expected :
             {first, folder + QStringLiteral("/SN0042-2014-05-21-13-45-01-table-2.pdf")}) {
            ui.clearRecord();
            ui.inputs = {QStringLiteral("Kiln 4")};
            ui.answers = {Answer::Yes, Answer::Ok};
            QCOMPARE(int(PrintTable(LogViewOf(state), ui)), int(PrintResult::Printed));
            QCOMPARE(ui.messageTexts(),
                     QStringList({noPrinterQuestion(expected), QStringLiteral("Printing needs 1 pages."),
                                  QStringLiteral("The printout was written to %1.").arg(expected)}));
            QCOMPARE(int(ui.messages.back().icon), int(Icon::Information));
            QCOMPARE(pdfInfo(expected, QStringLiteral("Pages")), QStringLiteral("1"));
        }

        // The chart likewise; without Documents and without a chosen file, in the program folder
        // under the serial number.
        QVERIFY(QDir(folder).removeRecursively());
        state.log.SelectedLogFile.clear();
        state.log.SerialNumber = QStringLiteral("0042");
        ChartState chart(LogViewOf(state), ui);
        chart.Load();
        ui.clearRecord();
        ui.inputs = {QStringLiteral("Kiln 4")};
        ui.answers = {Answer::Yes};
        QCOMPARE(int(PrintChart(LogViewOf(state), ui, chart, QSize(417, 409))), int(PrintResult::Printed));
        const QString chartFile = home.filePath(QStringLiteral("SN0042-chart.pdf"));
        QCOMPARE(ui.messageTexts(),
                 QStringList({noPrinterQuestion(chartFile),
                              QStringLiteral("The printout was written to %1.").arg(chartFile)}));
        QVERIFY(readChartPage(chartFile).lines.contains(QStringLiteral("Log File Info")));
        QVERIFY(QDir(userHome.path()).mkdir(QStringLiteral("Documents")));
    }

    void generalNumberForm() {
        QCOMPARE(GeneralNumberText(68), QStringLiteral("68"));
        QCOMPARE(GeneralNumberText(72.05), QStringLiteral("72.05"));
        QCOMPARE(GeneralNumberText(-0.5), QStringLiteral("-0.5"));
        QCOMPARE(GeneralNumberText(-0.0), QStringLiteral("0"));
        QCOMPARE(GeneralNumberText(1234567.25), QStringLiteral("1234567.25"));
        QCOMPARE(GeneralNumberText(1.0 / 3), QStringLiteral("0.333333333333333"));
        QCOMPARE(GeneralNumberText(0.1 + 0.2), QStringLiteral("0.3"));
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(GeneralNumberText(1234.5), QStringLiteral("1234,5"));
        QLocale::setDefault(before);
    }

    // The chart page: the description at one inch from the left and the top, an empty line, the
    // log's facts, an empty line, and the chart at its size on screen below them, drawn as lines
    // (no picture is embedded).
    void chartPrintout() {
        fillVantorp();
        state.log.Description = QStringLiteral("Store room");
        ChartState chart(LogViewOf(state), ui);
        chart.Load();
        chart.bmp_MouseMove(0, 0, 0, 0); // the readout elsewhere; printing shows the last record
        const QSize surface(417, 409);
        ui.inputs = {QStringLiteral("Store  room, May")};
        QCOMPARE(int(PrintChart(LogViewOf(state), ui, chart, surface, toPdf(QStringLiteral("chart.pdf")))),
                 int(PrintResult::Printed));
        QVERIFY(ui.messages.empty());
        QCOMPARE(ui.inputRequests.back().title, QStringLiteral("Print Table"));
        QCOMPARE(ui.inputRequests.back().value, QStringLiteral("Store room"));
        QCOMPARE(chart.txtLegend[0].text, QStringLiteral("5/21/2014 15:45"));

        const QString file = pdfPath(QStringLiteral("chart.pdf"));
        const ChartPage page = readChartPage(file);
        QCOMPARE(page.lines, QStringList({QStringLiteral("Store room, May"), QStringLiteral("Log File Info"),
                                          QStringLiteral("Max Temp 77.25"), QStringLiteral("Min Temp 50.5"),
                                          QStringLiteral("Max Rh 90"), QStringLiteral("Min Rh 30.125"),
                                          QStringLiteral("Records 3")}));
        QVERIFY2(std::abs(page.firstLeft - 72) < 1.5, qPrintable(QString::number(page.firstLeft)));
        QVERIFY2(std::abs(page.firstTop - 72) < 3, qPrintable(QString::number(page.firstTop)));
        QVERIFY(page.lineStep > 14 && page.lineStep < 20); // 14 point text
        QCOMPARE(pdfInfo(file, QStringLiteral("Title")), QStringLiteral("Quorvane KV5"));
        QCOMPARE(run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), file})
                     .split('\n', Qt::SkipEmptyParts)
                     .size(),
                 2); // the list's two header lines, no image

        // At 96 dots to the inch the chart has its size on screen, one inch from the left, two
        // lines below the last text line: the temperature trace from the first to the last
        // record, the RH trace up to 90 % on the 0 to 100 scale.
        const QImage image = renderPage(file, 96, QStringLiteral("print-chart"));
        const double pixelsPerPoint = 96.0 / 72;
        const double pictureTop = (page.firstTop + 9 * page.lineStep) * pixelsPerPoint;
        const QRect temperature = pixelsOf(image, QColor(255, 0, 0));
        const QRect rh = pixelsOf(image, QColor(0, 0, 255));
        const QRect both = temperature | rh;
        QVERIFY2(std::abs(both.left() - 96) <= 1 && std::abs(both.right() - (96 + 416)) <= 1,
                 qPrintable(QStringLiteral("%1..%2").arg(both.left()).arg(both.right())));
        const double top90 = pictureTop + 0.5 + (125 - 90 * 1.25) * 408 / 125;
        QVERIFY2(std::abs(rh.top() - top90) < 4,
                 qPrintable(QStringLiteral("%1 %2").arg(rh.top()).arg(top90)));
        const double bottom30 = pictureTop + 0.5 + (125 - 30.125 * 1.25) * 408 / 125;
        QVERIFY2(std::abs(rh.bottom() - bottom30) < 4,
                 qPrintable(QStringLiteral("%1 %2").arg(rh.bottom()).arg(bottom30)));
        QVERIFY(QRect(96, int(pictureTop) - 2, 418, 413).contains(temperature | rh));
    }

    // An empty log: the description, "There is no log data!" and the surface with its message;
    // a Q7R log: its RH under "Rh", no moisture values.
    void chartPageOfEmptyAndQ7RLogs() {
        state.log.SensorType = SensorVantorp;
        ChartState chart(LogViewOf(state), ui);
        chart.Load();
        ui.inputs = {QStringLiteral("Nothing yet")};
        QCOMPARE(int(PrintChart(LogViewOf(state), ui, chart, QSize(417, 409), toPdf(QStringLiteral("empty.pdf")))),
                 int(PrintResult::Printed));
        QCOMPARE(readChartPage(pdfPath(QStringLiteral("empty.pdf"))).lines,
                 QStringList({QStringLiteral("Nothing yet"), QStringLiteral("There is no log data!"),
                              QStringLiteral("The log is empty.")}));

        fillKiln(state.log, 100);
        chart.Load();
        ui.inputs = {QStringLiteral("Kiln 4")};
        QCOMPARE(int(PrintChart(LogViewOf(state), ui, chart, QSize(417, 409), toPdf(QStringLiteral("q7r.pdf")))),
                 int(PrintResult::Printed));
        QCOMPARE(readChartPage(pdfPath(QStringLiteral("q7r.pdf"))).lines,
                 QStringList({QStringLiteral("Kiln 4"), QStringLiteral("Log File Info"),
                              QStringLiteral("Max Temp 109.9"), QStringLiteral("Min Temp 100"),
                              QStringLiteral("Max Rh 90.25"), QStringLiteral("Min Rh 20.5"),
                              QStringLiteral("Records 100")}));

        // Cancelling the description prints nothing.
        ui.clearRecord();
        ui.inputs = {std::nullopt};
        QCOMPARE(int(PrintChart(LogViewOf(state), ui, chart, QSize(417, 409), toPdf(QStringLiteral("none.pdf")))),
                 int(PrintResult::Cancelled));
        QVERIFY(!QFileInfo::exists(pdfPath(QStringLiteral("none.pdf"))));
        QVERIFY(ui.messages.empty());
        renderPage(pdfPath(QStringLiteral("empty.pdf")), 60, QStringLiteral("print-chart-empty"));
    }

    // A chart larger than the page is made smaller to fit beside and below the text.
    void chartLargerThanThePage() {
        fillVantorp();
        ChartState chart(LogViewOf(state), ui);
        chart.Load();
        ui.inputs = {QStringLiteral("Wide")};
        QCOMPARE(int(PrintChart(LogViewOf(state), ui, chart, QSize(1800, 1000), toPdf(QStringLiteral("wide.pdf")))),
                 int(PrintResult::Printed));
        const ChartPage page = readChartPage(pdfPath(QStringLiteral("wide.pdf")));
        const QImage image = renderPage(pdfPath(QStringLiteral("wide.pdf")), 96);
        const QRect traces = pixelsOf(image, QColor(255, 0, 0)) | pixelsOf(image, QColor(0, 0, 255));
        QVERIFY(traces.left() >= 95 && traces.right() < page.size.width() * 96 / 72);
        QVERIFY(traces.bottom() < page.size.height() * 96 / 72);
        // The proportions stay: the temperature trace spans the width that 1800 by 1000 keeps.
        QVERIFY2(traces.width() > (page.size.width() - 72) * 96 / 72 - 3,
                 qPrintable(QString::number(traces.width())));
    }

    // kv5 print FILE --pdf OUT.pdf [--chart] [--description TEXT].
    void printCommand() {
        fillKiln(state.log, 120);
        state.log.SerialNumber = QStringLiteral("0042");
        state.log.StartTimeText = QStringLiteral("1405211345");
        const QString name = SaveLogFile(state, ui);
        QVERIFY2(!name.isEmpty(), qPrintable(ui.messageTexts().join('\n')));
        state.log = LogData();
        state.log.Description = QStringLiteral("From the logger");
        const QString out = pdfPath(QStringLiteral("out.pdf"));

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
        QCOMPARE(pages[0].lines().front().text, name);
        QCOMPARE(pages.back().lines().back().text, QStringLiteral("Page %1 of %1").arg(pages.size()));

        QCOMPARE(RunPrintCommand(state, ui, name, out, false, QStringLiteral("Customer copy")), 0);
        QCOMPARE(readPdf(out)[0].lines().front().text, QStringLiteral("Customer copy"));

        QCOMPARE(
            RunPrintCommand(state, ui, LogFilePath(state, name), out, true, QStringLiteral("Chart copy")), 0);
        const QStringList chartLines = readChartPage(out).lines;
        QCOMPARE(chartLines.mid(0, 2),
                 QStringList({QStringLiteral("Chart copy"), QStringLiteral("Log File Info")}));
        QVERIFY(chartLines.contains(QStringLiteral("Records 120")));
        QVERIFY(ui.messages.empty());

        // Without an output name, and with a file that is not there.
        QCOMPARE(RunPrintCommand(state, ui, name, QString(), false, QString()), 2);
        QCOMPARE(ui.messages.size(), std::size_t(1));
        QVERIFY(QFile::remove(out));
        QCOMPARE(RunPrintCommand(state, ui, QStringLiteral("no-such-log.txt"), out, false, QString()), 1);
        QVERIFY(ui.messageTexts().back().startsWith(QStringLiteral("ERROR: OpenLogFile: ")));
        QVERIFY(!QFileInfo::exists(out));
    }

    // The table window's Print button as a user presses it, with no printer installed: the
    // progress box over the window, its Cancel stopping the job, then a job run to its end.
    void tableWindowPrintButton() {
        skipWithPrinter();
        fillKiln(state.log, 2000);
        frmTable window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        QVERIFY(window.btnPrint->isHidden());
        InstallTablePrinting(window, LogViewOf(state), ui);
        window.show();
        QVERIFY(window.btnPrint->isVisible());

        QString label, title;
        int highest = -1;
        bool cancel = true;
        QTimer watch;
        watch.setInterval(0);
        connect(&watch, &QTimer::timeout, this, [&] {
            auto* box = window.findChild<QProgressDialog*>();
            if (!box) return;
            label = box->labelText();
            title = box->windowTitle();
            highest = std::max(highest, box->value());
            if (cancel && box->value() >= 1) box->cancel();
        });
        watch.start();

        ui.inputs = {QStringLiteral("Kiln 4")};
        ui.answers = {Answer::Yes, Answer::Ok};
        QTest::mouseClick(window.btnPrint, Qt::LeftButton);
        QCOMPARE(label, QStringLiteral("Printing - Click Cancel to quit"));
        QCOMPARE(title, QStringLiteral("Quorvane KV5"));
        QVERIFY(highest >= 1);
        QCOMPARE(ui.messageTexts().size(), 2); // the offer of a PDF and the page count, nothing after
        const QString pages = ui.messageTexts().back();
        QVERIFY(documents().isEmpty());
        QVERIFY(!window.findChild<QProgressDialog*>());

        ui.clearRecord();
        cancel = false;
        highest = -1;
        ui.inputs = {QStringLiteral("Kiln 4")};
        ui.answers = {Answer::Yes, Answer::Ok};
        QTest::mouseClick(window.btnPrint, Qt::LeftButton);
        watch.stop();
        const QString file = userHome.filePath(QStringLiteral("Documents/KV5-table.pdf"));
        QCOMPARE(ui.messageTexts(),
                 QStringList({noPrinterQuestion(file), pages,
                              QStringLiteral("The printout was written to %1.").arg(file)}));
        const int count = pdfInfo(file, QStringLiteral("Pages")).toInt();
        QCOMPARE(pages, QStringLiteral("Printing needs %1 pages.").arg(count));
        QCOMPARE(highest, count - 1);
        QVERIFY2(ui.failures.isEmpty(), qPrintable(ui.failures.join('\n')));
    }

    // The chart window's Print button: the chart at the size its surface has in the window, and
    // the window's legend back on the last record, as printed.
    void chartWindowPrintButton() {
        skipWithPrinter();
        fillVantorp();
        QWidget owner;
        frmChart& window = ChartWindow(LogViewOf(state), ui, {}, &owner);
        QVERIFY(window.btnPrint->isHidden());
        InstallChartPrinting(window, LogViewOf(state), ui);
        window.resize(760, 520);
        window.show();
        QVERIFY(window.btnPrint->isVisible());
        window.bmp->mouseMoved(Qt::NoButton, Qt::NoModifier, QPointF(0, 0));
        QCOMPARE(window.txtLegend[0]->text(), QStringLiteral("5/21/2014 13:45"));

        ui.inputs = {QStringLiteral("Store room")};
        ui.answers = {Answer::Yes};
        QTest::mouseClick(window.btnPrint, Qt::LeftButton);
        const QString file = userHome.filePath(QStringLiteral("Documents/KV5-chart.pdf"));
        QCOMPARE(ui.messageTexts(),
                 QStringList(
                     {noPrinterQuestion(file), QStringLiteral("The printout was written to %1.").arg(file)}));
        QCOMPARE(window.txtLegend[0]->text(), QStringLiteral("5/21/2014 15:45"));

        const QSize surface = window.bmp->size();
        QVERIFY(surface.width() > 417); // larger than at first: the window was made larger
        const QImage image = renderPage(file, 96, QStringLiteral("print-chart-window"));
        const QRect traces = pixelsOf(image, QColor(255, 0, 0)) | pixelsOf(image, QColor(0, 0, 255));
        QVERIFY2(
            std::abs(traces.left() - 96) <= 1 && std::abs(traces.right() - (96 + surface.width() - 1)) <= 1,
            qPrintable(
                QStringLiteral("%1..%2 for %3").arg(traces.left()).arg(traces.right()).arg(surface.width())));
    }
};

QTEST_MAIN(TestPrint)
#include "test_print.moc"
