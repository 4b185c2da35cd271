// Printing of the table and the chart, read back from the PDF files written: the dialogue
// around it (description, page count, progress, cancels), titles, page footers, margins, the
// announced page count against the pages produced, every record on exactly one page, the chart
// page's text block and the picture's place and size; the PDF offered when no printer is
// installed; the command line; the windows' Print buttons.
#include "app/AppState.h"
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
#include <QTimer>

#include <algorithm>
#include <cmath>

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

[[maybe_unused]] // The smallest rectangle holding every pixel of the colour (within a small tolerance).
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

// A Q7R kiln log of count half-hourly records with known extremes: temperature from 100 up to
// 100 + (count - 1) / 10, RH 60 with one low of 20.5 and one high of 90.25.
void fillKiln(LogData& log, int count) {
    const QDateTime start(QDate(2014, 5, 21), QTime(13, 45));
    for (int i = 0; i < count; ++i) {
        log.LogTime[i] = TimeStampText(start.addSecs(qint64(i) * 1800));
        log.LogTemp[i] = 100 + i / 10.0;
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
    AppState state;
    ScriptedUi ui;

    QString pdfPath(const QString& name) const { return home.filePath(name); }
    PrintTarget toPdf(const QString& name) const { return {pdfPath(name), home.path()}; }
    QStringList pdfFiles() const {
        return QDir(home.path())
            .entryList({QStringLiteral("*.pdf"), QStringLiteral(".*")}, QDir::Files | QDir::Hidden);
    }

private slots:
    void initTestCase() {
        QVERIFY(home.isValid());
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(),
                 "poppler-utils (pdftotext, pdfinfo, pdftoppm) is needed to read the printouts back");
        state.ProgramFolder = home.path();
        QVERIFY(QDir(home.path()).mkdir(DataFolderName));
        SetTraceColors(state);
    }

    void init() {
        state.log = LogData();
        state.settings = Settings();
        ui.clearRecord();
        ui.answers.clear();
        ui.inputs.clear();
        for (const QString& name : pdfFiles()) QFile::remove(home.filePath(name));
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
            PrintTable(state, ui, toPdf(QStringLiteral("table.pdf")), [&](int page, int pages) {
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
};

QTEST_MAIN(TestPrint)
#include "test_print.moc"
