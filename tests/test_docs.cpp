// The help document KV5.PDF and the guide it is built from: it lies beside the program, holds
// every chapter where its contents say, quotes the program's own texts and carries its pictures
// losslessly; the pictures are those the screenshot tool takes of the real windows. The PDF is
// read back with poppler's pdftotext and pdfimages.
#include "support/Installation.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace kv5;

namespace {

const QString SourceDir = QStringLiteral(KV5_SOURCE_DIR);
const QString BinaryDir = QStringLiteral(KV5_BINARY_DIR);
const QString HelpDocument = BinaryDir + QStringLiteral("/app/KV5.PDF");

// Blanks and line ends as single blanks, so quotations can be found across line breaks; a path
// broken after one of its slashes is joined again.
QString simplified(const QString& text) {
    return text.simplified().replace(QStringLiteral("/ "), QStringLiteral("/"));
}

// The pictures a Markdown text names, by file name.
QSet<QString> picturesNamed(const QString& markdown) {
    QSet<QString> names;
    for (auto it = QRegularExpression(QStringLiteral("images/([A-Za-z0-9_.-]+\\.png)")).globalMatch(markdown);
         it.hasNext();)
        names << it.next().captured(1);
    return names;
}

QSet<QString> committedPictures() {
    const QStringList names =
        QDir(SourceDir + QStringLiteral("/docs/images")).entryList({"*.png"}, QDir::Files);
    return QSet<QString>(names.begin(), names.end());
}

} // namespace

class TestDocs : public QObject {
    Q_OBJECT

    QStringList pages_;    // the document's text, page by page
    QString text_;         // all of it, blanks simplified
    QStringList chapters_; // the chapter files, as the build lists them
    QString guide_;        // their Markdown

private slots:
    void initTestCase() {
        const ProgramRun run = RunProgram(QStringLiteral("pdftotext"), {HelpDocument, QStringLiteral("-")});
        QVERIFY2(run.exitCode == 0, run.errors.constData());
        // pdftotext ends every page with a form feed.
        pages_ = QString::fromUtf8(run.output).split(QLatin1Char('\f'));
        if (pages_.last().trimmed().isEmpty()) pages_.removeLast();
        text_ = simplified(pages_.join(QLatin1Char(' ')));
        const QString cmake =
            QString::fromUtf8(FileBytes(SourceDir + QStringLiteral("/docs/CMakeLists.txt")));
        for (auto it = QRegularExpression(QStringLiteral("guide/([0-9A-Za-z_-]+\\.md)")).globalMatch(cmake);
             it.hasNext();) {
            chapters_ << it.next().captured(1);
            guide_ +=
                QString::fromUtf8(FileBytes(SourceDir + QStringLiteral("/docs/guide/") + chapters_.last()));
        }
    }

    void chaptersWhereTheContentsSay() {
        // The program looks for its files in its own folder; the build folder works as one.
        QVERIFY(QFileInfo(BinaryDir + QStringLiteral("/app/kv5")).isExecutable());
        QCOMPARE(FileBytes(BinaryDir + QStringLiteral("/app/ABLIST.TXT")),
                 FileBytes(SourceDir + QStringLiteral("/data/ABLIST.TXT")));
        QVERIFY2(pages_.size() >= 20, qPrintable(QString::number(pages_.size())));
        QVERIFY(simplified(pages_[0]).startsWith(QStringLiteral("Quorvane KV5 User Guide")));

        // Every chapter file is listed by the build (else it would silently be missing), in order.
        QCOMPARE(
            chapters_,
            QDir(SourceDir + QStringLiteral("/docs/guide")).entryList({"*.md"}, QDir::Files, QDir::Name));
        QVERIFY(chapters_.size() >= 10);

        const QString contents = simplified(pages_[1]);
        for (int number = 1; number <= chapters_.size(); ++number) {
            const QString text = QString::fromUtf8(
                FileBytes(SourceDir + QStringLiteral("/docs/guide/") + chapters_[number - 1]));
            const QString title =
                text.section(QLatin1Char('\n'), 0, 0).remove(QRegularExpression(QStringLiteral("^# ")));
            // "3 Connecting the logger 7" in the contents...
            const auto entry = QRegularExpression(QStringLiteral("(^|\\s)%1 %2 (\\d+)( |$)")
                                                      .arg(number)
                                                      .arg(QRegularExpression::escape(title)))
                                   .match(contents);
            QVERIFY2(entry.hasMatch(), qPrintable(title));
            const int page = entry.captured(2).toInt();
            QVERIFY2(page >= 3 && page <= pages_.size(), qPrintable(title));
            // ...and the chapter begins on that page: its heading under the running head that names it.
            const QString heading = QStringLiteral("%1 %2 ").arg(number).arg(title);
            const QString pageText = simplified(pages_[page - 1]);
            QVERIFY2(pageText.count(heading) == 2,
                     qPrintable(QStringLiteral("%1not on page %2").arg(heading).arg(page)));
            if (page > 3) QVERIFY2(!simplified(pages_[page - 2]).contains(heading), qPrintable(heading));
            QVERIFY(pageText.contains(QStringLiteral("Page %1 of %2").arg(page).arg(pages_.size())));
        }
    }

    void guideQuotesTheProgramsTexts_data() {
        QTest::addColumn<QString>("quoted");
        // Texts the guide quotes: each must be the program's own, word for word.
        for (const char* text :
             {"Ready!  Click Detect & Read to start.",
              "The device was not found.  Make sure it is properly installed and try again.",
              "ERROR: Open serial port failed!", "60-quorvane-kv5.rules",
              "Do you want to clear the device log and start a new one?",
              "No log data / Sensor not yet found", "Use Celsius - Only new data is changed",
              "Printing - Click Cancel to quit", "no application for spreadsheet files is set up to open it.",
              "Temp & Moisture Chart"})
            QTest::newRow(text) << QString::fromUtf8(text);
    }
    void guideQuotesTheProgramsTexts() {
        QFETCH(QString, quoted);
        static const QString sources = [] {
            QString text;
            for (const char* folder : {"app", "device", "logger", "logfiles", "calc", "views", "export"})
                for (QDirIterator it(SourceDir + QLatin1Char('/') + QLatin1String(folder), {"*.cpp", "*.h"},
                                     QDir::Files);
                     it.hasNext();)
                    text += QString::fromUtf8(FileBytes(it.next()));
            return text;
        }();
        // The program says it (its sources write "&&" where a caption shows "&")...
        QVERIFY2(sources.contains(quoted) || sources.contains(QString(quoted).replace("&", "&&")),
                 "not a text of the program");
        // ...and the document quotes it.
        QVERIFY2(text_.contains(simplified(quoted)), "not in the document");
    }

    void picturesAreThereUsedAndLossless() {
        const QSet<QString> named = picturesNamed(guide_);
        const QSet<QString> readme =
            picturesNamed(QString::fromUtf8(FileBytes(SourceDir + QStringLiteral("/README.md"))));
        QVERIFY(named.size() >= 6 && !readme.isEmpty());
        // Every picture named is committed, and no stale picture is kept.
        QCOMPARE(named + readme, committedPictures());
        const ProgramRun images =
            RunProgram(QStringLiteral("pdfimages"), {QStringLiteral("-list"), HelpDocument});
        // Two heading lines, then one line per image.
        const QStringList lines = QString::fromUtf8(images.output).split('\n', Qt::SkipEmptyParts).mid(2);
        QVERIFY2(lines.size() >= named.size(), images.output.constData());
        for (const QString& image : lines)
            QVERIFY2(!image.contains(QLatin1String("jpeg")), qPrintable(image));
    }

    void screenshotToolTakesEveryPicture() {
        QTemporaryDir folder;
        QCOMPARE(RunProgram(BinaryDir + QStringLiteral("/docs/kv5-screenshots"), {folder.path()}).exitCode,
                 0);
        const QStringList taken = QDir(folder.path()).entryList({"*.png"}, QDir::Files);
        QCOMPARE(QSet<QString>(taken.begin(), taken.end()), committedPictures());
        for (const QString& name : taken) {
            const QImage picture(folder.filePath(name));
            // Taken at twice the screen's 96 dots to the inch, and saying so.
            QCOMPARE(std::lround(picture.dotsPerMeterX() * 0.0254), 192L);
            // A real window, not an empty picture.
            QSet<QRgb> colours;
            for (int y = 0; y < picture.height(); y += 4)
                for (int x = 0; x < picture.width(); x += 4) colours << picture.pixel(x, y);
            QVERIFY2(colours.size() > 8, qPrintable(name));
        }
    }

    void readmeCommandsExist() {
        const QString readme = QString::fromUtf8(FileBytes(SourceDir + QStringLiteral("/README.md")));
        for (const QString& script : {QStringLiteral("scripts/demo"), QStringLiteral("scripts/test")}) {
            QVERIFY2(readme.contains(QStringLiteral("\n    %1\n").arg(script)), qPrintable(script));
            QVERIFY(QFileInfo(SourceDir + QLatin1Char('/') + script).isExecutable());
        }
        for (auto it = QRegularExpression(QStringLiteral("bench_[a-z]+")).globalMatch(readme);
             it.hasNext();) {
            const QString bench = it.next().captured(0);
            QVERIFY2(
                QFileInfo::exists(SourceDir + QStringLiteral("/bench/") + bench + QStringLiteral(".cpp")),
                qPrintable(bench));
        }
    }
};

QTEST_MAIN(TestDocs)
#include "test_docs.moc"
