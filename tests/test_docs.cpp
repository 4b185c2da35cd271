// The help document KV5.PDF, read back with poppler's tools: every chapter where its contents say,
// the program's texts quoted, its pictures lossless and those the screenshot tool takes.
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

// Blanks and line ends as single blanks; a path broken after one of its slashes joined again.
QString simplified(const QString& text) {
    return text.simplified().replace(QStringLiteral("/ "), QStringLiteral("/"));
}

// The pictures named in the guide's chapters and the README, and those committed.
QSet<QString> pictures(const QString& markdown) {
    QSet<QString> names;
    for (auto it = QRegularExpression(QStringLiteral("images/([\\w.-]+\\.png)")).globalMatch(markdown);
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

    QStringList pages_;    // the document's text, page by page, blanks simplified
    QStringList chapters_; // the chapter files, as the build lists them
    QStringList titles_;   // their titles
    QString guide_;        // their Markdown

private slots:
    void initTestCase() {
        const ProgramRun run = RunProgram(QStringLiteral("pdftotext"), {HelpDocument, QStringLiteral("-")});
        QVERIFY2(run.exitCode == 0, run.errors.constData());
        // pdftotext ends every page with a form feed.
        for (const QString& page : QString::fromUtf8(run.output).split(QLatin1Char('\f'), Qt::SkipEmptyParts))
            if (!page.trimmed().isEmpty()) pages_ << simplified(page);
        QVERIFY2(pages_.size() >= 20 && pages_[0].startsWith(QStringLiteral("Quorvane KV5 User Guide")),
                 qPrintable(pages_.value(0)));
        const QString cmake =
            QString::fromUtf8(FileBytes(SourceDir + QStringLiteral("/docs/CMakeLists.txt")));
        for (auto it = QRegularExpression(QStringLiteral("guide/([\\w-]+\\.md)")).globalMatch(cmake);
             it.hasNext();) {
            chapters_ << it.next().captured(1);
            const QString text = QString::fromUtf8(FileBytes(SourceDir + "/docs/guide/" + chapters_.last()));
            titles_ << text.section('\n', 0, 0).mid(2);
            guide_ += text;
        }
    }

    void chaptersWhereTheContentsSay() {
        // Every chapter file is listed by the build (else it would silently be missing), in order.
        QCOMPARE(
            chapters_,
            QDir(SourceDir + QStringLiteral("/docs/guide")).entryList({"*.md"}, QDir::Files, QDir::Name));
        QVERIFY(chapters_.size() >= 10);
        for (int number = 1; number <= chapters_.size(); ++number) {
            const QString heading = QStringLiteral("%1 %2 ").arg(number).arg(titles_[number - 1]);
            // "3 Connecting the logger 7" in the contents...
            const auto entry =
                QRegularExpression("(^|\\s)" + QRegularExpression::escape(heading) + "(\\d+)( |$)")
                    .match(pages_[1]);
            QVERIFY2(entry.hasMatch(), qPrintable(heading));
            const int page = entry.captured(2).toInt();
            // ...and the chapter begins on that page: its heading under the running head naming it.
            QVERIFY2(page >= 3 && page <= pages_.size() && pages_[page - 1].count(heading) == 2 &&
                         (page == 3 || !pages_[page - 2].contains(heading)),
                     qPrintable(heading));
        }
    }

    void guideQuotesTheProgramsTexts() {
        QString sources;
        for (const char* folder : {"app", "device", "logger", "logfiles", "calc", "views", "export"})
            for (QDirIterator it(SourceDir + '/' + folder, {"*.cpp", "*.h"}, QDir::Files); it.hasNext();)
                sources += QString::fromUtf8(FileBytes(it.next()));
        // The program says each (its sources write "&&" where a caption shows "&"); the document quotes it.
        for (const QString quoted :
             {"Ready!  Click Detect & Read to start.", "ERROR: Open serial port failed!",
              "60-quorvane-kv5.rules", "Use Celsius - Only new data is changed",
              "no application for spreadsheet files is set up to open it."})
            QVERIFY2((sources.contains(quoted) || sources.contains(QString(quoted).replace("&", "&&"))) &&
                         pages_.join(' ').contains(simplified(quoted)),
                     qPrintable(quoted));
    }

    void picturesAreThereUsedAndLossless() {
        const QSet<QString> named = pictures(guide_);
        // Every picture named is committed, and no stale picture is kept.
        QCOMPARE(named + pictures(QString::fromUtf8(FileBytes(SourceDir + "/README.md"))),
                 committedPictures());
        const ProgramRun images =
            RunProgram(QStringLiteral("pdfimages"), {QStringLiteral("-list"), HelpDocument});
        // Two heading lines, then one line per image.
        const QStringList lines = QString::fromUtf8(images.output).split('\n', Qt::SkipEmptyParts).mid(2);
        QVERIFY2(lines.size() >= named.size() && lines.filter("jpeg").isEmpty(), images.output.constData());
    }

    void screenshotToolTakesEveryPicture() {
        QTemporaryDir folder;
        QCOMPARE(RunProgram(BinaryDir + QStringLiteral("/docs/kv5-screenshots"), {folder.path()}).exitCode,
                 0);
        const QStringList taken = QDir(folder.path()).entryList({"*.png"}, QDir::Files);
        QCOMPARE(QSet<QString>(taken.begin(), taken.end()), committedPictures());
        // Taken at twice the screen's 96 dots to the inch, and saying so.
        for (const QString& name : taken)
            QCOMPARE(std::lround(QImage(folder.filePath(name)).dotsPerMeterX() * 0.0254), 192L);
    }
};

QTEST_MAIN(TestDocs)
#include "test_docs.moc"
