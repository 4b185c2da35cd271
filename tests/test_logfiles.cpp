// Log text files: field splitters, names and sequence numbers, the exact bytes written, safe
// saving, the tolerant reader, and the library window driven as a user would. The program runs
// under a locale whose decimal separator is a comma: files must still carry and read points.
#include "core/LogData.h"
#include "core/UserInterface.h"
#include "logfiles/LogFile.h"
#include "app/frmOpenFile.h"
#include "support/ScriptedUi.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kv5;

namespace {

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString goldenPath(const char* name) {
    return QStringLiteral(KV5_SOURCE_DIR "/tests/data/") + QLatin1String(name);
}

QByteArray golden(const char* name) {
    return readBytes(goldenPath(name));
}

// The records of a log as text: "Q7R " for that family, then "time,temp,...,rh" per record.
QString records(const LogData& log) {
    QStringList lines;
    for (int i = 0; i < log.RecordCount; ++i) {
        QStringList fields{log.LogTime[i], QString::number(log.LogTemp[i])};
        if (log.isQ7R())
            for (const double value : {log.LogMc1[i], log.LogMc2[i], log.LogMc3[i], log.LogRhQ7R[i]})
                fields << QString::number(value);
        else
            fields << QString::number(log.LogRh[i]);
        lines << fields.join(',');
    }
    return (log.isQ7R() ? QStringLiteral("Q7R ") : QString()) + lines.join(QStringLiteral(" | "));
}

} // namespace

class TestLogFiles : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    QString data; // the DATA folder
    LogData log;
    ScriptedUi ui;

    QString dataPath(const QString& name) const { return data + '/' + name; }
    QStringList dataFiles() const {
        return QDir(data).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    QString save() { return SaveLogFile(log, data, ui); }
    // Reads a file of tests/data into the log.
    void load(const char* name) { QVERIFY(ReadLogFile(log, ui, goldenPath(name))); }
    // Selects the entry by clicking on it.
    void clickEntry(frmOpenFile& window, const QString& name) {
        const QList<QListWidgetItem*> found = window.List1->findItems(name, Qt::MatchExactly);
        QVERIFY2(!found.isEmpty(), qPrintable(name));
        QTest::mouseClick(window.List1->viewport(), Qt::LeftButton, {},
                          window.List1->visualItemRect(found.front()).center());
        QCOMPARE(window.List1->selectedItems().value(0), found.front());
    }

private slots:
    void initTestCase() {
        QVERIFY(home.isValid());
        QCOMPARE(QLocale::system().decimalPoint(), QStringLiteral(","));
        data = home.filePath(DataFolderName);
    }

    void init() {
        QDir(data).removeRecursively();
        QFile::remove(data); // some tests make DATA a file
        QVERIFY(QDir(home.path()).mkdir(DataFolderName));
        log = LogData();
        log.SerialNumber = QStringLiteral("12345");
        log.StartTimeText = QStringLiteral("1405211345");
        ui.clearRecord();
        ui.answers.clear();
    }

    void fileNames_data() {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("sequence");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << QStringLiteral("12345") << "1405211345" << 1
                               << "SN12345-2014-05-21-13-45-01.txt";
        QTest::newRow("failed GETTIME")
            << QStringLiteral("12345") << "COMM ERROR" << 99 << "SN12345-20CO-MM- E-RR-OR-99.txt";
        QTest::newRow("separators") << QString::fromLatin1("../\0x", 5) << "14/5211345" << 100
                                    << "SN..__x-2014-_5-21-13-45-100.txt";
        QTest::newRow("control bytes") << QString::fromLatin1("a\x01\x1f\x7f\\b é") << "1405211345" << 2
                                       << QString::fromLatin1("SNa____b é-2014-05-21-13-45-02.txt");
    }

    // Characters that cannot stand in a file name become "_"; all others stay.
    void fileNames() {
        QFETCH(QString, serial);
        QFETCH(QString, start);
        QFETCH(int, sequence);
        log.SerialNumber = serial;
        log.StartTimeText = start;
        QTEST(LogFileName(LogFileBaseName(log, ui), sequence), "name");
        QVERIFY(ui.messages.empty());
    }

    void saveWritesTheExactBytes_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("folderThere");
        QTest::newRow("Vantorp") << QByteArray("vantorp.txt") << true;
        QTest::newRow("Q7R, DATA made anew") << QByteArray("q7r.txt") << false;
        QTest::newRow("empty log") << QByteArray() << true;
    }

    // A log read from a file is saved with the file's exact bytes, under the first sequence
    // number, with the mode of any new file (0666 less the umask), nothing else left in the
    // folder, and the log as it was.
    void saveWritesTheExactBytes() {
        QFETCH(QByteArray, file);
        QFETCH(bool, folderThere);
        if (!file.isEmpty()) load(file.constData());
        if (!folderThere) QVERIFY(QDir(data).removeRecursively());
        const LogData before = log;
        const mode_t umask = ::umask(002);
        const QString name = save();
        ::umask(umask);
        QCOMPARE(name, QStringLiteral("SN12345-2014-05-21-13-45-01.txt"));
        QCOMPARE(readBytes(dataPath(name)), file.isEmpty() ? QByteArray() : golden(file.constData()));
        QCOMPARE(dataFiles(), QStringList{name});
        struct stat status {};
        QCOMPARE(::stat(QFile::encodeName(dataPath(name)).constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, mode_t(0664));
        QCOMPARE(records(log), records(before));
        QVERIFY(ui.messages.empty());
    }

    void sequenceNumbersNeverOverwrite() {
        load("vantorp.txt");
        const QString base = QStringLiteral("SN12345-2014-05-21-13-45");
        QCOMPARE(save(), base + "-01.txt");
        QCOMPARE(save(), base + "-02.txt");
        // The smallest free number is taken; files of other names do not count.
        QVERIFY(QFile::remove(dataPath(base + "-01.txt")));
        QVERIFY(writeBytes(dataPath(base + "-01.TXT"), "other"));
        QCOMPARE(save(), base + "-01.txt");
        // After 99 files of one name the next is 100; the files there keep their content.
        for (int i = 3; i <= 99; ++i)
            QVERIFY(writeBytes(dataPath(base + QStringLiteral("-%1.txt").arg(i, 2, 10, QChar('0'))), "kept"));
        QCOMPARE(save(), base + "-100.txt");
        QCOMPARE(readBytes(dataPath(base + "-57.txt")), QByteArray("kept"));
        QCOMPARE(readBytes(dataPath(base + "-01.TXT")), QByteArray("other"));
        QCOMPARE(readBytes(dataPath(base + "-100.txt")), golden("vantorp.txt"));
        QCOMPARE(dataFiles().size(), 101); // 01, 01.TXT, 02 .. 99, 100
        QVERIFY(ui.messages.empty());
    }

    void failedSavesLeaveNothingAndSayWhy() {
        load("q7r.txt");
        const auto saveFails = [&](const char* cause) {
            ui.clearRecord();
            QCOMPARE(save(), QString());
            const QString text = ui.messages.empty() ? QString() : ui.messages.back().text;
            QVERIFY2(text.startsWith("ERROR: SaveLogFile: ") && text.contains(QLatin1String(cause)),
                     qPrintable(text));
            QCOMPARE(log.LogMc3[1], -0.3);
        };
        // A write the disk refuses half-way (as when it is full): no partial or temporary file.
        log.RecordCount = MaxLogRecords;
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &limit), 0);
        rlimit small = limit;
        small.rlim_cur = 4096;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        saveFails("File too large");
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        std::signal(SIGXFSZ, previous);
        QCOMPARE(dataFiles(), QStringList());
        log.RecordCount = 3;

        // DATA is no folder at all.
        QVERIFY(QDir(data).removeRecursively());
        QVERIFY(writeBytes(data, "a file"));
        saveFails("Not a directory");
        QCOMPARE(readBytes(data), QByteArray("a file"));
    }

    void reader_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Vantorp file")
            << golden("vantorp.txt")
            << "5/21/2014 13:45,72.5,45 | 5/21/2014 14:00,72.1,44.3 | 5/21/2014 14:15,-3.3,0"
               " | 5/21/2014 14:30,7,99.9 | 5/21/2014 14:45,23.5,100";
        QTest::newRow("Q7R file")
            << golden("q7r.txt")
            << "Q7R 21.05.2014 13:45,21.3,12,8.6,30.1,55.2 | 21.05.2014 14:15,21.8,11.9,0,-0.3,56"
               " | 21.05.2014 14:45,-10,99.9,7,15.5,0";
        QTest::newRow("blanks, missing and extra fields, no last line end")
            << QByteArray(
                   "  1/2/2014 10:00 ,  23.5  , 40.0 \r\n1/2/2014 10:15,x,\r\n1/2/2014 10:30,1.5,2.5,x,9\r\n"
                   "no comma here\r\nlast,3.0,4.0")
            << "1/2/2014 10:00,23.5,40 | 1/2/2014 10:15,0,0 | 1/2/2014 10:30,1.5,2.5 | no comma here,0,0 | "
               "last,3,4";
        // What is no finite number is 0, whatever the locale's decimal separator.
        QTest::newRow("numbers") << QByteArray("a,+5,1e2\nb,12abc,1.2.3\nc,inf,nan\nd,1e999,-3.3\n")
                                 << "a,5,100 | b,0,0 | c,0,0 | d,0,-3.3";
        QTest::newRow("an empty line ends the data") << QByteArray("a,1.0,2.0\n\nb,3.0,4.0\n") << "a,1,2";
        QTest::newRow("LF and CR alone end lines")
            << QByteArray("a,1.0,2.0\rb,3.0,4.0\nc,5.0,6.0\r\n") << "a,1,2 | b,3,4 | c,5,6";
        QTest::newRow("empty file") << QByteArray() << "";
        QTest::newRow("three fields first: Vantorp")
            << QByteArray("a,1.0,2.0\r\nb,3.0,4.0,5.0,6.0,7.0\r\n") << "a,1,2 | b,3,4";
        QTest::newRow("Q7R with a short line")
            << QByteArray("a,1.0,2.0,3.0,4.0,5.0\r\nb,6.0,7.0\r\n") << "Q7R a,1,2,3,4,5 | b,6,7,0,0,0";
    }

    // The first line decides the family; header values are not the file's.
    void reader() {
        QFETCH(QByteArray, content);
        const QString path = home.filePath(QStringLiteral("input.txt"));
        QVERIFY(writeBytes(path, content));
        load("q7r.txt");
        log.Description = QStringLiteral("kiln 3");
        QVERIFY(ReadLogFile(log, ui, path));
        QTEST(records(log), "expected");
        QCOMPARE(log.Description, QStringLiteral("kiln 3"));
        QVERIFY(ui.messages.empty());
    }

    void readFailures_data() {
        QTest::addColumn<int>("lines");
        QTest::addColumn<bool>("read");
        QTest::addColumn<int>("records");
        QTest::newRow("no file") << -1 << false << 3;
        QTest::newRow("a folder") << -2 << false << 3;
        QTest::newRow("one record too many") << MaxLogRecords + 1 << false << MaxLogRecords;
        QTest::newRow("exactly full") << MaxLogRecords << true << MaxLogRecords;
    }

    // A file that cannot be read leaves the log as it was; of one too long the first records
    // are read. Either is reported as "ERROR: OpenLogFile: ".
    void readFailures() {
        QFETCH(int, lines);
        QFETCH(bool, read);
        load("q7r.txt");
        const QString path = lines == -2 ? home.path() : home.filePath(QStringLiteral("long.txt"));
        QByteArray content;
        for (int i = 1; i <= lines; ++i) content += "t" + QByteArray::number(i) + ",1.5,2.5\r\n";
        QFile::remove(path);
        if (lines > 0) QVERIFY(writeBytes(path, content));
        QCOMPARE(ReadLogFile(log, ui, path), read);
        QTEST(log.RecordCount, "records");
        QCOMPARE(ui.messages.size(), std::size_t(read ? 0 : 1));
        if (!read) QVERIFY(ui.messages[0].text.startsWith(QStringLiteral("ERROR: OpenLogFile: ")));
        if (lines > 0) QCOMPARE(log.LogTime[MaxLogRecords - 1], QStringLiteral("t17000"));
    }

    // The Delete button of the views.
    void deleteSelectedFile() {
        load("q7r.txt");
        QVERIFY(!DeleteSelectedLogFile(log, data, ui));
        QCOMPARE(describe(ui.messages.at(0)), describe({"Select a file first.", Icon::Information}));
        QVERIFY(writeBytes(dataPath("a.txt"), "x"));
        log.SelectedLogFile = QStringLiteral("a.txt");
        ui.clearRecord();
        ui.answers = {Answer::No, Answer::Yes, Answer::Yes};
        QVERIFY(!DeleteSelectedLogFile(log, data, ui));
        const Message question{"Do you want to delete a.txt ?", Icon::Question, Buttons::YesNo, ConfirmTitle};
        QCOMPARE(describe(ui.messages.at(0)), describe(question));
        QVERIFY(QFile::exists(dataPath("a.txt")));

        // A file that is gone already: "Delete Error: ", nothing changes.
        QVERIFY(QFile::rename(dataPath("a.txt"), dataPath("b.txt")));
        QVERIFY(!DeleteSelectedLogFile(log, data, ui));
        QVERIFY(ui.messageTexts().value(2).startsWith(QStringLiteral("Delete Error: ")));
        QCOMPARE(log.RecordCount, 3);

        QVERIFY(QFile::rename(dataPath("b.txt"), dataPath("a.txt")));
        QVERIFY(DeleteSelectedLogFile(log, data, ui));
        QCOMPARE(dataFiles(), QStringList());
        QCOMPARE(records(log), QString());
        QCOMPARE(log.SelectedLogFile, QString());

        // A name with a folder never reaches outside DATA.
        QVERIFY(writeBytes(home.filePath("KV5.INI"), "[General]\n"));
        QString why;
        QVERIFY(!DeleteLogFile(data, QStringLiteral("../KV5.INI"), why));
        QVERIFY(QFile::exists(home.filePath("KV5.INI")));
    }

    // Ordinary, not hidden files ending in ".TXT" in any case, sorted by name, each name whole.
    void libraryListsTheLogFiles() {
        for (const char* name : {"b.txt", "A.TXT", "c.Txt", "notes.csv", ".hidden.txt", "txt",
                                 "SN12345-2014-05-21-13-45-100.txt"})
            QVERIFY(writeBytes(dataPath(QLatin1String(name)), "x"));
        QVERIFY(QDir(data).mkdir(QStringLiteral("folder.txt")));
        frmOpenFile window(log, data, ui);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QStringList listed;
        for (int i = 0; i < window.List1->count(); ++i) {
            listed << window.List1->item(i)->text();
            QVERIFY(window.List1->viewport()->rect().contains(
                window.List1->visualItemRect(window.List1->item(i))));
        }
        QCOMPARE(listed, QStringList({"A.TXT", "b.txt", "c.Txt", "SN12345-2014-05-21-13-45-100.txt"}));
        clickEntry(window, "b.txt");
        if (const QString folder = qEnvironmentVariable("KV5_SCREENSHOT_DIR"); !folder.isEmpty())
            window.grab().save(folder + QStringLiteral("/library.png"));

        // Without a choice every button only says so.
        window.List1->clearSelection();
        for (QPushButton* button : {window.btnOpen, window.btnExport, window.btnDelete})
            QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(ui.messageTexts(), QStringList(3, "Select a file first."));
        QVERIFY(window.isVisible());

        // A DATA that cannot be listed is reported.
        QVERIFY(QDir(data).removeRecursively() && writeBytes(data, "no folder"));
        ui.clearRecord();
        frmOpenFile broken(log, data, ui);
        QCOMPARE(ui.messages.size(), std::size_t(1));
        QVERIFY(ui.messages[0].text.startsWith(QStringLiteral("OpenFile.Form_Load: ")));
    }

    void libraryButtons_data() {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<int>("records");
        QTest::addColumn<bool>("exported");
        // Close chooses and reads nothing; the frame and Escape keep the file chosen before,
        // which is read again.
        QTest::newRow("Open") << QStringLiteral("q7r.txt") << 3 << false;
        QTest::newRow("double click") << QStringLiteral("q7r.txt") << 3 << false;
        QTest::newRow("Export") << QStringLiteral("vantorp.txt") << 5 << true;
        QTest::newRow("Close") << QString() << 2 << false;
        QTest::newRow("frame") << QStringLiteral("vantorp.txt") << 5 << false;
        QTest::newRow("Escape") << QStringLiteral("vantorp.txt") << 5 << false;
    }

    // OpenLogFile shows the library modally over its owner and reads what was chosen. Each way
    // out of the window after q7r.txt was clicked: what it chose and read, and whether the
    // program's exporter got the file.
    void libraryButtons() {
        const QString action = QString::fromLatin1(QTest::currentDataTag());
        for (const char* name : {"q7r.txt", "vantorp.txt"})
            QVERIFY(writeBytes(dataPath(QLatin1String(name)), golden(name)));
        log.SelectedLogFile = QStringLiteral("vantorp.txt");
        log.RecordCount = 2;
        QStringList exported;
        SetLogFileExporter([&](UserInterface&, const QString& path) { exported << path; });
        QWidget owner;
        owner.show();
        QTimer::singleShot(0, this, [&] {
            auto* window = qobject_cast<frmOpenFile*>(QApplication::activeModalWidget());
            QVERIFY(window);
            clickEntry(*window, "q7r.txt");
            const QMap<QString, QPushButton*> buttons{
                {"Open", window->btnOpen}, {"Export", window->btnExport}, {"Close", window->btnCancel}};
            if (buttons.contains(action))
                QTest::mouseClick(buttons[action], Qt::LeftButton);
            else if (action == QLatin1String("double click"))
                QTest::mouseDClick(window->List1->viewport(), Qt::LeftButton, {},
                                   window->List1->visualItemRect(window->List1->currentItem()).center());
            else if (action == QLatin1String("frame"))
                window->close();
            else
                QTest::keyClick(window, Qt::Key_Escape);
        });
        OpenLogFile(log, data, ui, &owner);
        SetLogFileExporter({});
        QTEST(log.SelectedLogFile, "selected");
        QTEST(log.RecordCount, "records");
        QTEST(exported == QStringList{dataPath("q7r.txt")}, "exported");
        QVERIFY(ui.messages.empty());
    }

    // Yes takes the entry out of the list; a file gone behind the window's back stays listed.
    void libraryDeletes() {
        for (const char* name : {"a.txt", "b.txt"}) QVERIFY(writeBytes(dataPath(QLatin1String(name)), "x"));
        frmOpenFile window(log, data, ui);
        window.show();
        ui.answers = {Answer::Yes, Answer::Yes};
        clickEntry(window, "a.txt");
        QTest::mouseClick(window.btnDelete, Qt::LeftButton);
        QCOMPARE(dataFiles(), QStringList{"b.txt"});
        QCOMPARE(window.List1->count(), 1);
        clickEntry(window, "b.txt");
        QVERIFY(QFile::remove(dataPath("b.txt")));
        QTest::mouseClick(window.btnDelete, Qt::LeftButton);
        QVERIFY2(ui.messageTexts().value(2).startsWith(QStringLiteral("Delete Error: ")),
                 qPrintable(ui.messageTexts().join(" | ")));
        QCOMPARE(window.List1->count(), 1);
        QVERIFY(window.isVisible());
    }
};

int main(int argc, char** argv) {
    // Numbers in this locale use a decimal comma; log files must carry points all the same.
    qputenv("LC_ALL", "de_DE.UTF-8");
    QApplication app(argc, argv);
    TestLogFiles test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_logfiles.moc"
