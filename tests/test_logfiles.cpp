// Log text files and their library window, under a locale whose decimal separator is a comma.
#include "app/frmOpenFile.h"
#include "core/LogContext.h"
#include "core/LogData.h"
#include "core/UserInterface.h"
#include "logfiles/LogFile.h"
#include "support/Installation.h"
#include "support/ScriptedUi.h"
#include "support/Windows.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

using namespace kv5;

namespace {

QString goldenPath(const char* name) {
    return QStringLiteral(KV5_SOURCE_DIR "/tests/data/") + QLatin1String(name);
}

// The records of a log as text: "Q7R " for that family, then "time,temp,...,rh" per record.
QString records(const LogData& log) {
    QStringList lines;
    for (int i = 0; i < log.RecordCount; ++i) {
        QStringList fields{log.LogTime[i], QString::number(log.LogTemp[i])};
        for (const double value : log.isQ7R() ? QList{log.LogMc1[i], log.LogMc2[i], log.LogMc3[i], log.LogRhQ7R[i]}
                                              : QList{log.LogRh[i]})
            fields << QString::number(value);
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
    void load(const char* name) { QVERIFY(ReadLogFile(log, ui, goldenPath(name))); }
    void clickEntry(frmOpenFile& window, const QString& name) {
        const QList<QListWidgetItem*> found = window.List1->findItems(name, Qt::MatchExactly);
        QVERIFY2(!found.isEmpty(), qPrintable(name));
        QTest::mouseClick(window.List1->viewport(), Qt::LeftButton, {},
                          window.List1->visualItemRect(found.front()).center());
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

    // Characters that cannot stand in a file name become "_"; all others stay.
    void fileNames_data() {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("name");
        QTest::newRow("failed GETTIME") << "12345" << "COMM ERROR" << "SN12345-20CO-MM- E-RR-OR-100.txt";
        QTest::newRow("unsafe characters") << QString::fromUtf8("../\0a\x01\x1f\x7f\\b é", 13) << "14/5211345"
                                           << "SN..__a____b é-2014-_5-21-13-45-100.txt";
    }
    void fileNames() {
        QFETCH(QString, serial);
        QFETCH(QString, start);
        log.SerialNumber = serial;
        log.StartTimeText = start;
        QTEST(LogFileName(LogFileBaseName(log, ui), 100), "name");
        QVERIFY(ui.messages.empty());
    }

    void saveWritesTheExactBytes_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("folderThere");
        QTest::newRow("Vantorp") << QByteArray("vantorp.txt") << true;
        QTest::newRow("Q7R, DATA made anew") << QByteArray("q7r.txt") << false;
    }
    // A log read is saved with its file's bytes as the first of its name, mode 0666 less the umask.
    void saveWritesTheExactBytes() {
        QFETCH(QByteArray, file);
        QFETCH(bool, folderThere);
        load(file.constData());
        if (!folderThere) QVERIFY(QDir(data).removeRecursively());
        const mode_t umask = ::umask(002);
        const QString name = save();
        ::umask(umask);
        QCOMPARE(name, QStringLiteral("SN12345-2014-05-21-13-45-01.txt"));
        QCOMPARE(FileBytes(dataPath(name)), FileBytes(goldenPath(file.constData())));
        QCOMPARE(dataFiles(), QStringList{name});
        struct stat status {};
        QCOMPARE(::stat(QFile::encodeName(dataPath(name)).constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, mode_t(0664));
        QVERIFY(ui.messages.empty());
    }

    // Each save takes the next free number; after 99 files of one name comes 100.
    void sequenceNumbersNeverOverwrite() {
        load("vantorp.txt");
        const QString base = QStringLiteral("SN12345-2014-05-21-13-45");
        QCOMPARE(save(), base + "-01.txt");
        QCOMPARE(save(), base + "-02.txt");
        for (int i = 3; i <= 99; ++i)
            QVERIFY(WriteFileBytes(dataPath(base + QStringLiteral("-%1.txt").arg(i, 2, 10, QChar(u'0'))), "kept"));
        QCOMPARE(save(), base + "-100.txt");
        QCOMPARE(FileBytes(dataPath(base + "-57.txt")), QByteArray("kept"));
        QCOMPARE(dataFiles().size(), 100);
    }

    // A log saved with its context: a number is free only when neither name is taken, the
    // context holds what it was given with the log's record count and hash, comes back with the
    // log, and goes with it.
    void contextBesideTheLog() {
        load("q7r.txt");
        LogContext context;
        context.SerialNumber = log.SerialNumber;
        context.Description = QStringLiteral("Kiln \"4\"");
        context.SensorType = SensorQ7R;
        context.FirmwareRevision = QStringLiteral("PKV5r3fix");
        context.Start = QDateTime(QDate(2026, 3, 8), QTime(1, 30), Qt::UTC);
        context.UtcOffsetSeconds = -5 * 3600;
        context.IntervalSeconds = 1800;
        context.Celsius = false;
        context.Temperature = {40.5, 140.0};
        context.Beep = false;
        context.McSpecies[1] = {7, QStringLiteral("Red oak")};
        context.Downloaded = QDateTime(QDate(2026, 3, 8), QTime(6, 31, 2), Qt::UTC);
        const QString base = QStringLiteral("SN12345-2014-05-21-13-45");
        QVERIFY(WriteFileBytes(dataPath(base + "-01.json"), "{}"));
        const QString name = SaveLogFile(log, data, ui, &context);
        QCOMPARE(name, base + "-02.txt");
        QVERIFY(ui.messages.empty());
        const QByteArray bytes = FileBytes(dataPath(name));
        const QJsonObject json = QJsonDocument::fromJson(FileBytes(dataPath(base + "-02.json"))).object();
        QCOMPARE(json.keys().size(), 16);
        QCOMPARE(json["format"].toInt(), 1);
        QCOMPARE(json["description"].toString(), context.Description);
        QCOMPARE(json["family"].toString(), QStringLiteral("Q7R"));
        QCOMPARE(json["start"].toString(), QStringLiteral("2026-03-08T01:30:00"));
        QCOMPARE(json["utc_offset"].toString(), QStringLiteral("-05:00"));
        QCOMPARE(json["records"].toInt(), int(bytes.count('\n')));
        QCOMPARE(json["unit"].toString(), QStringLiteral("F"));
        QCOMPARE(json["alarms"]["temperature"]["low"].toDouble(), 40.5);
        QVERIFY(json["alarms"]["emc"]["high"].isNull() && json["alarms"]["hold"].isNull());
        QCOMPARE(json["alarms"]["beep"].toBool(true), false);
        QCOMPARE(json["species"][1]["name"].toString(), QStringLiteral("Red oak"));
        QCOMPARE(json["downloaded"].toString(), QStringLiteral("2026-03-08T06:31:02Z"));
        QCOMPARE(json["sha256"].toString().toLatin1(), QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());

        LogData opened;
        QVERIFY(ReadLogFile(opened, ui, dataPath(name)));
        QVERIFY(opened.Context.has_value());
        QCOMPARE(opened.ShownDescription(), context.Description);
        QCOMPARE(opened.Context->Start, context.Start);
        QCOMPARE(opened.Context->UtcOffsetSeconds, context.UtcOffsetSeconds);
        QCOMPARE(opened.Context->Temperature.high, std::optional<double>(140));
        QCOMPARE(opened.Context->McSpecies[1].Code, 7);
        // A context that is not one is reported; the records still count as read.
        QVERIFY(WriteFileBytes(dataPath(base + "-01.txt"), bytes));
        QVERIFY(ReadLogFile(opened, ui, dataPath(base + "-01.txt")));
        QVERIFY(!opened.Context && opened.RecordCount > 0);
        QVERIFY(ui.messageTexts().value(0).startsWith(QStringLiteral("ERROR: OpenLogFile: ")));

        opened.SelectedLogFile = name;
        ui.answers = {Answer::Yes};
        QVERIFY(DeleteSelectedLogFile(opened, data, ui));
        QCOMPARE(dataFiles(), QStringList({base + "-01.json", base + "-01.txt"}));
    }

    // DATA is no folder at all: the save says why and leaves the file alone.
    void saveFailureSaysWhy() {
        load("q7r.txt");
        QVERIFY(QDir(data).removeRecursively() && WriteFileBytes(data, "a file"));
        QCOMPARE(save(), QString());
        const QString text = ui.messageTexts().value(1);
        QVERIFY2(text.startsWith("ERROR: SaveLogFile: ") &&
                     text.contains(QString::fromLocal8Bit(std::strerror(ENOTDIR))),
                 qPrintable(text));
        QCOMPARE(FileBytes(data), QByteArray("a file"));
    }

    void reader_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("blanks, missing and extra fields, no last line end")
            << QByteArray("  a ,  23.5  , 40.0 \r\nb,x,\r\nc,1.5,2.5,x,9\r\nno comma here\r\nlast,3.0,4.0")
            << "a,23.5,40 | b,0,0 | c,1.5,2.5 | no comma here,0,0 | last,3,4";
        // What is no finite number is 0, whatever the locale; LF and CR alone end lines too.
        QTest::newRow("numbers, line ends") << QByteArray("a,+5,1e2\rb,12abc,1.2.3\nc,inf,nan\r\nd,1e999,-3.3\n")
                                            << "a,5,100 | b,0,0 | c,0,0 | d,0,-3.3";
        QTest::newRow("an empty line ends the data") << QByteArray("a,1.0,2.0\r\n\r\nb,3.0,4.0\r\n") << "a,1,2";
        QTest::newRow("three fields first: Vantorp")
            << QByteArray("a,1.0,2.0\r\nb,3.0,4.0,5.0,6.0,7.0\r\n") << "a,1,2 | b,3,4";
        QTest::newRow("Q7R with a short line")
            << QByteArray("a,1.0,2.0,3.0,4.0,5.0\r\nb,6.0,7.0\r\n") << "Q7R a,1,2,3,4,5 | b,6,7,0,0,0";
    }
    // The first line decides the family; header values are not the file's.
    void reader() {
        QFETCH(QByteArray, content);
        const QString path = home.filePath(QStringLiteral("input.txt"));
        QVERIFY(WriteFileBytes(path, content));
        load("q7r.txt");
        log.Description = QStringLiteral("kiln 3");
        QVERIFY(ReadLogFile(log, ui, path));
        QTEST(records(log), "expected");
        QCOMPARE(log.Description, QStringLiteral("kiln 3"));
        QVERIFY(ui.messages.empty());
    }

    void readFailures_data() {
        QTest::addColumn<QString>("input"); // "folder", "pipe", a device, else a file of content
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("records");
        QTest::addColumn<QString>("cause"); // after "ERROR: OpenLogFile: " and the path; empty: read whole
        QByteArray full;
        for (int i = 1; i <= MaxLogRecords; ++i) full += "t" + QByteArray::number(i) + ",1.5,2.5\r\n";
        const QString notAFile = " is a pipe, a device or a socket, not a log file";
        // Not a plain file: the log stays as it was (3 records), at once.
        QTest::newRow("a folder") << "folder" << QByteArray() << 3 << " is a folder, not a log file";
        QTest::newRow("a pipe nobody writes to") << "pipe" << QByteArray() << 3 << notAFile;
        QTest::newRow("an endless device") << "/dev/zero" << QByteArray() << 3 << notAFile;
        QTest::newRow("one record too many")
            << "file" << full + "t17001,1.5,2.5\r\n" << MaxLogRecords
            << " holds more than 17000 records; the first 17000 are read";
        QTest::newRow("exactly full") << "file" << full << MaxLogRecords << "";
        // No log line comes near 4 KiB; what has one is no log file.
        QTest::newRow("a line of 4096 bytes")
            << "file" << "a,1.5,2.5\r\n" + QByteArray(4088, 'x') + ",1.5,2.5\r\n" << 2 << "";
        QTest::newRow("a line of 4097 bytes")
            << "file" << "a,1.5,2.5\r\n" + QByteArray(4089, 'x') + ",1.5,2.5\r\n" << 1
            << " is no log file: its line 2 is longer than 4096 bytes";
        // The reader takes 64 KiB at a time: a CR at byte 65535 and its LF at 65536 end one line.
        QTest::newRow("CR LF across 64 KiB")
            << "file" << "t0000,1.50,2.50\r\n" + QByteArray("t000,1.50,2.50\r\n").repeated(4095) + "end,1.5,2.5\r\n"
            << 4097 << "";
    }
    // What cannot be a log is refused without waiting; of a file too long the first records are
    // read. Both say so.
    void readFailures() {
        QFETCH(QString, input);
        QFETCH(QByteArray, content);
        QFETCH(QString, cause);
        load("q7r.txt");
        QString path = input;
        if (input == "folder") path = home.path();
        if (input == "pipe") {
            path = home.filePath(QStringLiteral("pipe"));
            QFile::remove(path);
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        if (input == "file") {
            path = home.filePath(QStringLiteral("long.txt"));
            QVERIFY(WriteFileBytes(path, content));
        }
        QCOMPARE(ReadLogFile(log, ui, path), cause.isEmpty());
        QTEST(log.RecordCount, "records");
        QCOMPARE(ui.messageTexts(), cause.isEmpty() ? QStringList() : QStringList{"ERROR: OpenLogFile: " + path + cause});
        if (log.RecordCount == MaxLogRecords) QCOMPARE(log.LogTime[MaxLogRecords - 1], QStringLiteral("t17000"));
        if (log.RecordCount == 4097) QCOMPARE(log.LogTime[4096], QStringLiteral("end"));
    }

    // The views' Delete without a file chosen; a name with a folder never reaches outside DATA.
    void deleteSelectedFile() {
        QVERIFY(!DeleteSelectedLogFile(log, data, ui));
        QCOMPARE(describe(ui.messages.at(0)), describe({"Select a file first.", Icon::Information}));
        QVERIFY(WriteFileBytes(home.filePath("KV5.INI"), "[General]\n"));
        log.SelectedLogFile = QStringLiteral("../KV5.INI");
        ui.answers = {Answer::Yes};
        QVERIFY(!DeleteSelectedLogFile(log, data, ui));
        QVERIFY(QFile::exists(home.filePath("KV5.INI")));
        QVERIFY(ui.messageTexts().value(2).startsWith(QStringLiteral("Delete Error: ")));
    }

    // The library lists ordinary, not hidden ".TXT" files by name; its buttons act on the choice.
    void library() {
        for (const char* name : {"b.txt", "b.json", "A.TXT", "c.Txt", "notes.csv", ".hidden.txt", "txt",
                                 "SN12345-2014-05-21-13-45-100.txt"})
            QVERIFY(WriteFileBytes(dataPath(QLatin1String(name)), "x"));
        QVERIFY(QDir(data).mkdir(QStringLiteral("folder.txt")));
        QStringList exported;
        frmOpenFile window(log, data, ui,
                           {[&](const QString& path) { exported << path; },
                            [&](const QString& path, OpenFormat format, QWidget*) {
                                exported << path + (format == OpenFormat::Csv ? " as CSV" : " as JSON");
                            }});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QString faults = LayoutFaults(window, QStringLiteral("frmOpenFile"));
        QVERIFY2(faults.isEmpty(), qPrintable(faults));
        QStringList listed;
        for (int i = 0; i < window.List1->count(); ++i) listed << window.List1->item(i)->text();
        QCOMPARE(listed, QStringList({"A.TXT", "b.txt", "c.Txt", "SN12345-2014-05-21-13-45-100.txt"}));
        // Without a choice every button and every export only says so.
        for (QPushButton* button : {window.btnOpen, window.btnDelete}) QTest::mouseClick(button, Qt::LeftButton);
        for (QAction* action : {window.mnuExportWorkbook, window.mnuExportCsv, window.mnuExportJson})
            action->trigger();
        QCOMPARE(ui.messageTexts(), QStringList(5, "Select a file first."));
        QCOMPARE(window.btnExport->menu()->actions(),
                 QList<QAction*>({window.mnuExportWorkbook, window.mnuExportCsv, window.mnuExportJson}));
        ui.clearRecord();
        QVERIFY(window.isVisible());
        // Yes takes the entry out of the list; a file gone behind the window's back stays listed.
        ui.answers = {Answer::Yes, Answer::Yes};
        clickEntry(window, "b.txt");
        QTest::mouseClick(window.btnDelete, Qt::LeftButton);
        QCOMPARE(window.List1->count(), 3);
        QVERIFY(!QFile::exists(dataPath("b.txt")) && !QFile::exists(dataPath("b.json")));
        clickEntry(window, "A.TXT");
        QVERIFY(QFile::remove(dataPath("A.TXT")));
        QTest::mouseClick(window.btnDelete, Qt::LeftButton);
        QVERIFY(ui.messageTexts().value(2).startsWith(QStringLiteral("Delete Error: ")));
        QCOMPARE(window.List1->count(), 3);
        // A double click opens; Escape keeps, Close drops the choice.
        clickEntry(window, "c.Txt");
        QTest::mouseDClick(window.List1->viewport(), Qt::LeftButton, {},
                           window.List1->visualItemRect(window.List1->currentItem()).center());
        QVERIFY(window.isHidden() && log.SelectedLogFile == "c.Txt");
        // Export hands the file over in the format chosen from its menu.
        for (QAction* action : {window.mnuExportWorkbook, window.mnuExportCsv, window.mnuExportJson}) {
            window.show();
            action->trigger();
            QVERIFY(window.isHidden());
        }
        QCOMPARE(exported, QStringList({dataPath("c.Txt"), dataPath("c.Txt") + " as CSV", dataPath("c.Txt") + " as JSON"}));
        window.show();
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(window.isHidden() && log.SelectedLogFile == "c.Txt");
        window.show();
        QTest::mouseClick(window.btnCancel, Qt::LeftButton);
        QVERIFY(window.isHidden() && log.SelectedLogFile.isEmpty());
        // A DATA that cannot be listed is reported.
        QVERIFY(QDir(data).removeRecursively() && WriteFileBytes(data, "no folder"));
        ui.clearRecord();
        frmOpenFile broken(log, data, ui);
        QVERIFY(ui.messageTexts().value(0).startsWith(QStringLiteral("OpenFile.Form_Load: ")));
    }
};

int main(int argc, char** argv) {
    qputenv("LC_ALL", "de_DE.UTF-8");
    QApplication app(argc, argv);
    TestLogFiles test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_logfiles.moc"
