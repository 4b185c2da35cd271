// The help document and the guide it is built from: KV5.PDF lies beside the program, holds every
// chapter where its table of contents says, quotes the program's own texts, and carries its
// pictures losslessly; the pictures are those the screenshot tool takes of the real windows;
// the README shows the set-up commands and a picture that exists. The PDF is read back with
// poppler's pdftotext, pdfinfo and pdfimages.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

const QString SourceDir = QStringLiteral(KV5_SOURCE_DIR);
const QString BinaryDir = QStringLiteral(KV5_BINARY_DIR);
const QString HelpDocument = BinaryDir + QStringLiteral("/app/KV5.PDF");

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs a tool and returns its standard output; empty when it failed.
QByteArray output(const QString& program, const QStringList& arguments, int* exitCode = nullptr) {
    QProcess process;
    process.start(program, arguments);
    const bool finished = process.waitForFinished(120000);
    if (exitCode)
        *exitCode = finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    if (!finished || process.exitCode() != 0) return {};
    return process.readAllStandardOutput();
}

// Blanks and line ends as single blanks, so quotations can be found across line breaks; a path
// broken after one of its slashes is joined again.
QString simplified(const QString& text) {
    return text.simplified().replace(QStringLiteral("/ "), QStringLiteral("/"));
}

struct Chapter {
    int number = 0;
    QString title;
    QString file;
};

// The chapters in the order the build lists them, with the titles their files begin with.
QList<Chapter> buildChapters() {
    const QString cmake = QString::fromUtf8(fileBytes(SourceDir + QStringLiteral("/docs/CMakeLists.txt")));
    QList<Chapter> chapters;
    for (auto it = QRegularExpression(QStringLiteral("guide/([0-9A-Za-z_-]+\\.md)")).globalMatch(cmake);
         it.hasNext();) {
        const QString name = it.next().captured(1);
        const QString text = QString::fromUtf8(fileBytes(SourceDir + QStringLiteral("/docs/guide/") + name));
        const QString first = text.section(QLatin1Char('\n'), 0, 0);
        chapters << Chapter{static_cast<int>(chapters.size()) + 1,
                            first.startsWith(QLatin1String("# ")) ? first.mid(2).trimmed() : QString(), name};
    }
    return chapters;
}

// The pictures a Markdown text names, by file name.
QSet<QString> picturesNamed(const QString& markdown) {
    QSet<QString> names;
    for (auto it = QRegularExpression(QStringLiteral("images/([A-Za-z0-9_.-]+\\.png)")).globalMatch(markdown);
         it.hasNext();)
        names << it.next().captured(1);
    return names;
}

QString guideText() {
    QString text;
    for (const Chapter& chapter : buildChapters())
        text += QString::fromUtf8(fileBytes(SourceDir + QStringLiteral("/docs/guide/") + chapter.file));
    return text;
}

QSet<QString> committedPictures() {
    const QStringList names =
        QDir(SourceDir + QStringLiteral("/docs/images")).entryList({"*.png"}, QDir::Files);
    return QSet<QString>(names.begin(), names.end());
}

// The text of every source file of the program, to find its messages in.
QString programSources() {
    QString text;
    for (const char* folder : {"app", "device", "logger", "logfiles", "calc", "views", "export"}) {
        QDirIterator it(SourceDir + QLatin1Char('/') + QLatin1String(folder), {"*.cpp", "*.h"}, QDir::Files);
        while (it.hasNext()) text += QString::fromUtf8(fileBytes(it.next()));
    }
    return text;
}

} // namespace

class TestDocs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void documentLiesBesideTheProgram();
    void buildListsEveryChapter();
    void contentsLeadToTheChapters();
    void guideCoversTheTopics();
    void troubleshootingNamesCausesAndFixes();
    void guideQuotesTheProgramsTexts_data();
    void guideQuotesTheProgramsTexts();

    void picturesAreThereAndUsed();
    void picturesAreStoredLosslessly();
    void screenshotToolTakesEveryPicture();

    void readme();

private:
    // The page the contents give for a chapter; 0 when they do not list it.
    int contentsPage(const Chapter& chapter) const;

    QString pdftotext_;
    QStringList pages_; // the document's text, page by page
    QString text_;      // all of it, blanks simplified
};

void TestDocs::initTestCase() {
    pdftotext_ = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    QVERIFY2(!pdftotext_.isEmpty(), "pdftotext is missing (Debian package poppler-utils)");
    QVERIFY2(QFileInfo(HelpDocument).isFile(), qPrintable(HelpDocument));
    const QString all = QString::fromUtf8(output(pdftotext_, {HelpDocument, QStringLiteral("-")}));
    QVERIFY(!all.isEmpty());
    // pdftotext ends every page with a form feed.
    pages_ = all.split(QLatin1Char('\f'));
    if (pages_.last().trimmed().isEmpty()) pages_.removeLast();
    text_ = simplified(all);
}

int TestDocs::contentsPage(const Chapter& chapter) const {
    // "3 Connecting the logger 7" on the contents page.
    const QRegularExpression entry(QStringLiteral("(^|\\s)%1 %2 (\\d+)( |$)")
                                       .arg(chapter.number)
                                       .arg(QRegularExpression::escape(chapter.title)));
    const auto match = entry.match(simplified(pages_.value(1)));
    return match.hasMatch() ? match.captured(2).toInt() : 0;
}

void TestDocs::documentLiesBesideTheProgram() {
    // The program looks for KV5.PDF in its own folder; the build folder works as one.
    QVERIFY(QFileInfo(BinaryDir + QStringLiteral("/app/kv5")).isExecutable());
    QVERIFY(fileBytes(HelpDocument).startsWith("%PDF-"));
    const QString info = QString::fromUtf8(output(QStandardPaths::findExecutable("pdfinfo"), {HelpDocument}));
    QVERIFY(info.contains(QRegularExpression(QStringLiteral("Title:\\s+Quorvane KV5 User Guide"))));
    QVERIFY2(pages_.size() >= 20, qPrintable(QString::number(pages_.size())));
    // The title page, then the contents.
    QVERIFY(simplified(pages_[0]).startsWith(QStringLiteral("Quorvane KV5 User Guide")));
    QVERIFY(simplified(pages_[1]).contains(QStringLiteral("Contents")));
}

void TestDocs::buildListsEveryChapter() {
    // A chapter file the build does not list would silently be missing from the document.
    const QList<Chapter> chapters = buildChapters();
    QStringList listed;
    for (const Chapter& chapter : chapters) {
        QVERIFY2(!chapter.title.isEmpty(), qPrintable(chapter.file + QStringLiteral(" has no title")));
        listed << chapter.file;
    }
    const QStringList files =
        QDir(SourceDir + QStringLiteral("/docs/guide")).entryList({"*.md"}, QDir::Files, QDir::Name);
    QCOMPARE(listed, files);
}

void TestDocs::contentsLeadToTheChapters() {
    const QList<Chapter> chapters = buildChapters();
    QVERIFY(chapters.size() >= 10);
    for (const Chapter& chapter : chapters) {
        const int page = contentsPage(chapter);
        QVERIFY2(page >= 3 && page <= pages_.size(), qPrintable(chapter.title));
        // The chapter begins on that page: its heading under the running head that names it.
        const QString heading = QStringLiteral("%1 %2 ").arg(chapter.number).arg(chapter.title);
        const QString pageText = simplified(pages_[page - 1]);
        QVERIFY2(pageText.count(heading) == 2,
                 qPrintable(QStringLiteral("%1not on page %2").arg(heading).arg(page)));
        if (page - 2 > 1) QVERIFY2(!simplified(pages_[page - 2]).contains(heading), qPrintable(heading));
        // Every page carries its number.
        QVERIFY(pageText.contains(QStringLiteral("Page %1 of %2").arg(page).arg(pages_.size())));
    }
}

void TestDocs::guideCoversTheTopics() {
    // What a user needs: first start, the logger, each operation, the views, printing and export,
    // the settings and the species list's format, the command line, troubleshooting.
    QStringList titles;
    for (const Chapter& chapter : buildChapters()) titles << chapter.title;
    for (const char* title :
         {"First start", "Connecting the logger", "The main window", "Working with the logger",
          "Log files and the library", "The table", "The chart", "Log statistics", "Printing",
          "Export to a spreadsheet", "Settings and the species list", "The command line", "Troubleshooting"})
        QVERIFY2(titles.contains(QLatin1String(title)), title);
    for (const char* section :
         {"Detect & Read", "Start New Log", "Storage Mode", "Set Test Mode", "The species list ABLIST.TXT",
          "The settings file KV5.INI", "The readout", "Zoom", "Printing the table", "Printing the chart",
          "The udev rule (recommended)"})
        QVERIFY2(text_.contains(QLatin1String(section)), section);
    // The species list's format: the four tab-separated fields and the reserved codes.
    for (const char* fact : {"separated by one tab character", "the code, the name, A and B",
                             "B × reading + A", "-3", "-1, -2", "up to 99 species"})
        QVERIFY2(text_.contains(QString::fromUtf8(fact)), fact);
    // The commands, as `kv5 --help` names them.
    for (const char* command :
         {"kv5 table FILE", "kv5 info FILE", "--home FOLDER", "--port PATH", "--simulate"})
        QVERIFY2(text_.contains(QLatin1String(command)), command);
}

void TestDocs::troubleshootingNamesCausesAndFixes() {
    const QList<Chapter> chapters = buildChapters();
    const auto troubleshooting = std::find_if(chapters.begin(), chapters.end(), [](const Chapter& chapter) {
        return chapter.title == QLatin1String("Troubleshooting");
    });
    QVERIFY(troubleshooting != chapters.end());
    // The chapter's own text, from its first page to the end of the document.
    const int page = contentsPage(*troubleshooting);
    QVERIFY(page >= 3);
    const QString chapter = simplified(pages_.mid(page - 1).join(QLatin1Char(' ')));
    for (const char* fact : {// no permission on the port: the group and the rule
                             "Permission denied", "sudo usermod -aG dialout $USER", "60-quorvane-kv5.rules",
                             "/etc/udev/rules.d", "udevadm control --reload",
                             // the port in use: the program holding it, and how to find it
                             "is in use by another program", "sudo fuser -v /dev/ttyACM0",
                             // another service probing the port
                             "ModemManager", "ID_MM_DEVICE_IGNORE",
                             // no printer, no spreadsheet program
                             "No printer", "PDF file", "No spreadsheet program",
                             "no application for spreadsheet files", "libreoffice-calc"})
        QVERIFY2(chapter.contains(QLatin1String(fact)), fact);
}

void TestDocs::guideQuotesTheProgramsTexts_data() {
    QTest::addColumn<QString>("quoted");
    // Texts the guide quotes: each must be the program's own, word for word.
    for (const char* text : {"Quorvane KV5 v" KV5_VERSION,
                             "Ready!  Click Detect & Read to start.",
                             "The device was not found.  Make sure it is properly installed and try again.",
                             "ERROR: Open serial port failed!",
                             "Do you want to clear the device log and start a new one?",
                             "Do you want to put the device in storage mode?",
                             "This device does not support storage mode!",
                             "No log data / Sensor not yet found",
                             "Update complete",
                             "Getting Device Settings",
                             "Opening Serial Port",
                             "Use Celsius - Only new data is changed",
                             "Show Dewpoint",
                             "Log File Library",
                             "Select a file first.",
                             "Enter a description for the printout:",
                             "Enter a new maximum Y axis value:",
                             "Enter a new minimum Y axis value:",
                             "Printing - Click Cancel to quit",
                             "There is no log data!",
                             "The log is empty.",
                             "no application for spreadsheet files is set up to open it.",
                             "ERROR: Saving settings failed!",
                             "ERROR: Clearing the log failed!",
                             "ERROR: Hold alarm command failed!",
                             "ERROR: SETMEM command failed!",
                             "The device is now in storage mode to save battery power.",
                             "Inserting a sensor plug will wake the device and logging will continue.",
                             "Temp & Moisture Chart",
                             "Temp & Humidity Chart",
                             "Elapsed Time"})
        QTest::newRow(text) << QString::fromUtf8(text);
}

void TestDocs::guideQuotesTheProgramsTexts() {
    QFETCH(QString, quoted);
    static const QString sources = programSources();
    // The program says it (its sources write "&&" where a caption shows "&")...
    QString inSources = quoted;
    // (the window title is made of the program's name and the project's version).
    const bool found = sources.contains(inSources) || sources.contains(inSources.replace("&", "&&")) ||
                       quoted == QStringLiteral("Quorvane KV5 v" KV5_VERSION);
    QVERIFY2(found, "not a text of the program");
    // ...and the document quotes it.
    QVERIFY2(text_.contains(simplified(quoted)), "not in the document");
}

void TestDocs::picturesAreThereAndUsed() {
    const QSet<QString> named = picturesNamed(guideText());
    const QSet<QString> readme =
        picturesNamed(QString::fromUtf8(fileBytes(SourceDir + QStringLiteral("/README.md"))));
    const QSet<QString> committed = committedPictures();
    QVERIFY(named.size() >= 6);
    for (const QString& name : named + readme) QVERIFY2(committed.contains(name), qPrintable(name));
    // No stale picture is kept.
    for (const QString& name : committed)
        QVERIFY2(named.contains(name) || readme.contains(name), qPrintable(name));
}

void TestDocs::picturesAreStoredLosslessly() {
    const QString pdfimages = QStandardPaths::findExecutable(QStringLiteral("pdfimages"));
    QVERIFY(!pdfimages.isEmpty());
    const QStringList lines = QString::fromUtf8(output(pdfimages, {QStringLiteral("-list"), HelpDocument}))
                                  .split('\n', Qt::SkipEmptyParts);
    // Two heading lines, then one line per image.
    QVERIFY(lines.size() > 2);
    const QStringList images = lines.mid(2);
    QVERIFY2(images.size() >= picturesNamed(guideText()).size(), qPrintable(lines.join('\n')));
    for (const QString& image : images) QVERIFY2(!image.contains(QLatin1String("jpeg")), qPrintable(image));
}

void TestDocs::screenshotToolTakesEveryPicture() {
    const QString tool = BinaryDir + QStringLiteral("/docs/kv5-screenshots");
    QVERIFY(QFileInfo(tool).isExecutable());
    QTemporaryDir folder;
    int exitCode = -1;
    output(tool, {folder.path()}, &exitCode);
    QCOMPARE(exitCode, 0);
    const QStringList taken = QDir(folder.path()).entryList({"*.png"}, QDir::Files);
    QCOMPARE(QSet<QString>(taken.begin(), taken.end()), committedPictures());
    for (const QString& name : taken) {
        const QImage picture(folder.filePath(name));
        QVERIFY2(!picture.isNull(), qPrintable(name));
        // Taken at twice the screen's 96 dots to the inch, and saying so.
        QCOMPARE(std::lround(picture.dotsPerMeterX() * 0.0254), 192L);
        // A real window, not an empty picture: it has a title bar and something in it.
        QSet<QRgb> colours;
        for (int y = 0; y < picture.height(); y += 4)
            for (int x = 0; x < picture.width(); x += 4) colours << picture.pixel(x, y);
        QVERIFY2(colours.size() > 8, qPrintable(name));
    }
}

void TestDocs::readme() {
    const QString readme = QString::fromUtf8(fileBytes(SourceDir + QStringLiteral("/README.md")));
    // The two set-up commands, as commands of their own.
    QVERIFY(readme.contains(QStringLiteral("\n    scripts/demo\n")));
    QVERIFY(readme.contains(QStringLiteral("\n    scripts/test\n")));
    QVERIFY(QFileInfo(SourceDir + QStringLiteral("/scripts/demo")).isExecutable());
    QVERIFY(QFileInfo(SourceDir + QStringLiteral("/scripts/test")).isExecutable());
    QVERIFY(!picturesNamed(readme).isEmpty());
    // The benchmarks it names exist.
    for (auto it = QRegularExpression(QStringLiteral("bench_[a-z]+")).globalMatch(readme); it.hasNext();) {
        const QString bench = it.next().captured(0);
        QVERIFY2(QFileInfo::exists(SourceDir + QStringLiteral("/bench/") + bench + QStringLiteral(".cpp")),
                 qPrintable(bench));
    }
}

QTEST_MAIN(TestDocs)
#include "test_docs.moc"
