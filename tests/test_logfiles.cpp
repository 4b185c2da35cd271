// Log text files: field splitters, names and sequence numbers, the exact bytes written, safe
// saving, the tolerant reader, and the library window driven as a user would. The program runs
// under a locale whose decimal separator is a comma: files must still carry and read points.
#include "app/AppState.h"
#include "logfiles/LogFile.h"
#include "logfiles/frmOpenFile.h"
#include "support/ScriptedUi.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
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

QString golden(const char* name) {
    return QStringLiteral(KV5_SOURCE_DIR "/tests/data/") + QLatin1String(name);
}

// The log whose file is tests/data/vantorp.txt: halves round away from zero on the decimal
// value, -0.04 gives 0.0, not -0.0.
void fillVantorp(LogData& log) {
    const double temp[] = {72.5, 22.25 * 1.8 + 32, -3.25, 7, 23.46};
    const double rh[] = {45, 44.25, -0.04, 99.9, 99.96};
    const char* time[] = {"5/21/2014 13:45", "5/21/2014 14:00", "5/21/2014 14:15", "5/21/2014 14:30",
                          "5/21/2014 14:45"};
    for (int i = 0; i < 5; ++i) {
        log.LogTime[i] = QLatin1String(time[i]);
        log.LogTemp[i] = temp[i];
        log.LogRh[i] = rh[i];
        log.LogRhQ7R[i] = 11; // not part of a Vantorp file
    }
    log.RecordCount = 5;
    log.SensorType = SensorVantorp;
}

// The log whose file is tests/data/q7r.txt.
void fillQ7R(LogData& log) {
    const double values[3][5] = {
        {21.25, 11.96, 8.55, 30.05, 55.2}, {21.75, 11.94, 0.04, -0.25, 56}, {-10, 99.9, 7.04, 15.45, 0}};
    for (int i = 0; i < 3; ++i) {
        log.LogTime[i] = QStringLiteral("21.05.2014 %1").arg(i == 0 ? "13:45" : i == 1 ? "14:15" : "14:45");
        log.LogTemp[i] = values[i][0];
        log.LogMc1[i] = values[i][1];
        log.LogMc2[i] = values[i][2];
        log.LogMc3[i] = values[i][3];
        log.LogRhQ7R[i] = values[i][4];
        log.LogRh[i] = 77; // not part of a Q7R file
    }
    log.RecordCount = 3;
    log.SensorType = SensorQ7R;
}

} // namespace

class TestLogFiles : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    AppState state;
    ScriptedUi ui;

    QString dataPath(const QString& name) const { return state.dataFolder() + '/' + name; }
    QStringList dataFiles() const {
        return QDir(state.dataFolder()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    bool read(const QByteArray& content) {
        const QString path = home.filePath(QStringLiteral("input.txt"));
        if (!writeBytes(path, content)) return false;
        ui.clearRecord();
        return ReadLogFile(state.log, ui, path);
    }
    QListWidgetItem* item(frmOpenFile& window, const QString& name) {
        const QList<QListWidgetItem*> found = window.List1->findItems(name, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.front();
    }
    // Selects the entry by clicking on it.
    void clickEntry(frmOpenFile& window, const QString& name) {
        QListWidgetItem* entry = item(window, name);
        QVERIFY2(entry, qPrintable(name));
        QTest::mouseClick(window.List1->viewport(), Qt::LeftButton, {},
                          window.List1->visualItemRect(entry).center());
        QCOMPARE(window.List1->selectedItems().value(0), entry);
    }

private slots:
    void initTestCase() {
        QVERIFY(home.isValid());
        QCOMPARE(QLocale::system().decimalPoint(), QStringLiteral(","));
        state.ProgramFolder = home.path();
    }

    void init() {
        QDir(state.dataFolder()).removeRecursively();
        QVERIFY(QDir(home.path()).mkdir(DataFolderName));
        state.log = LogData();
        state.log.SerialNumber = QStringLiteral("12345");
        state.log.StartTimeText = QStringLiteral("1405211345");
        ui.clearRecord();
        ui.answers.clear();
    }

    void fieldSplitters() {
        QString line = QStringLiteral(" a ,b,,c\td");
        QCOMPARE(NextCommaField(line), QStringLiteral(" a "));
        QCOMPARE(line, QStringLiteral("b,,c\td"));
        QCOMPARE(NextCommaField(line), QStringLiteral("b"));
        QCOMPARE(NextCommaField(line), QString());
        QCOMPARE(line, QStringLiteral("c\td"));
        QCOMPARE(NextCommaField(line), QStringLiteral("c\td")); // no comma left: all of it
        QCOMPARE(line, QString());
        QCOMPARE(NextCommaField(line), QString());

        line = QStringLiteral("7\tOak, red\t1.5");
        QCOMPARE(NextTabField(line), QStringLiteral("7"));
        QCOMPARE(NextTabField(line), QStringLiteral("Oak, red"));
        QCOMPARE(NextTabField(line), QStringLiteral("1.5"));
        QVERIFY(line.isEmpty());
    }

    void numbersAreReadWithAPointWhateverTheLocale() {
        QCOMPARE(ReadLogNumber(u" 23.5 "), 23.5);
        QCOMPARE(ReadLogNumber(u"-3.3"), -3.3);
        QCOMPARE(ReadLogNumber(u"+5"), 5.0);
        QCOMPARE(ReadLogNumber(u"7"), 7.0);
        QCOMPARE(ReadLogNumber(u"1e2"), 100.0);
        // What is no number in a file gives 0, the comma of this locale included.
        for (const char16_t* text :
             {u"", u"  ", u"abc", u"12abc", u"23,5", u"1.2.3", u"inf", u"nan", u"1e999"})
            QCOMPARE(ReadLogNumber(text), 0.0);
    }

    void fileNames() {
        QCOMPARE(LogFileName(QStringLiteral("SN1-2014-05-21-13-45"), 1),
                 QStringLiteral("SN1-2014-05-21-13-45-01.txt"));
        QCOMPARE(LogFileName(QStringLiteral("B"), 99), QStringLiteral("B-99.txt"));
        QCOMPARE(LogFileName(QStringLiteral("B"), 100), QStringLiteral("B-100.txt"));
        QCOMPARE(LogFileBaseName(state.log, ui), QStringLiteral("SN12345-2014-05-21-13-45"));

        // A failed GETTIME reply still gives a name.
        state.log.StartTimeText = QStringLiteral("COMM ERROR");
        QCOMPARE(LogFileBaseName(state.log, ui), QStringLiteral("SN12345-20CO-MM- E-RR-OR"));

        // Separators and control bytes become "_"; letters, digits and the rest stay.
        QCOMPARE(SafeFileNamePart(QStringLiteral("AbZ9 é.-")), QStringLiteral("AbZ9 é.-"));
        QCOMPARE(SafeFileNamePart(QStringLiteral("../a\\b")), QStringLiteral(".._a_b"));
        QCOMPARE(SafeFileNamePart(QString::fromLatin1("a\0b\x01\x1f\x7f", 6)), QStringLiteral("a_b___"));
        state.log.SerialNumber = QString::fromLatin1("../\0x", 5);
        state.log.StartTimeText = QStringLiteral("14/5211345");
        QCOMPARE(LogFileBaseName(state.log, ui), QStringLiteral("SN..__x-2014-_5-21-13-45"));
        QVERIFY(ui.messages.empty());
    }

    void savedFilesHaveTheExactBytes() {
        fillVantorp(state.log);
        QCOMPARE(SaveLogFile(state.log, state.dataFolder(), ui), QStringLiteral("SN12345-2014-05-21-13-45-01.txt"));
        QCOMPARE(readBytes(dataPath("SN12345-2014-05-21-13-45-01.txt")), readBytes(golden("vantorp.txt")));

        fillQ7R(state.log);
        state.log.SerialNumber = QStringLiteral("Q7");
        const QString name = SaveLogFile(state.log, state.dataFolder(), ui);
        QCOMPARE(name, QStringLiteral("SNQ7-2014-05-21-13-45-01.txt"));
        QCOMPARE(readBytes(LogFilePath(state, name)), readBytes(golden("q7r.txt")));
        QCOMPARE(LogFilePath(state, name), home.path() + QStringLiteral("/DATA/") + name);

        // Nothing else is left in the folder, and the log is as it was.
        QCOMPARE(dataFiles(),
                 QStringList({"SN12345-2014-05-21-13-45-01.txt", "SNQ7-2014-05-21-13-45-01.txt"}));
        QCOMPARE(state.log.RecordCount, 3);
        QVERIFY(ui.messages.empty());
    }

    // An empty log gives an empty file, with the mode of any new file: 0666 less the umask.
    void emptyLogGivesAnEmptyFile() {
        const mode_t umask = ::umask(002);
        const QString name = SaveLogFile(state.log, state.dataFolder(), ui);
        ::umask(umask);
        QCOMPARE(name, QStringLiteral("SN12345-2014-05-21-13-45-01.txt"));
        QCOMPARE(readBytes(dataPath(name)), QByteArray());
        struct stat status {};
        QCOMPARE(::stat(QFile::encodeName(dataPath(name)).constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, mode_t(0664));
    }

    void sequenceNumbersNeverOverwrite() {
        fillVantorp(state.log);
        const QString base = QStringLiteral("SN12345-2014-05-21-13-45");
        QCOMPARE(SaveLogFile(state.log, state.dataFolder(), ui), base + "-01.txt");
        QCOMPARE(SaveLogFile(state.log, state.dataFolder(), ui), base + "-02.txt");
        QCOMPARE(readBytes(dataPath(base + "-02.txt")), readBytes(golden("vantorp.txt")));

        // The smallest free number is taken; files of other names do not count.
        QVERIFY(QFile::remove(dataPath(base + "-01.txt")));
        QVERIFY(writeBytes(dataPath(base + "-01.TXT"), "other"));
        QCOMPARE(SaveLogFile(state.log, state.dataFolder(), ui), base + "-01.txt");

        // After 99 files of one name the next is 100; the files there keep their content.
        for (int i = 3; i <= 99; ++i)
            QVERIFY(writeBytes(dataPath(base + QStringLiteral("-%1.txt").arg(i, 2, 10, QChar('0'))), "kept"));
        QCOMPARE(SaveLogFile(state.log, state.dataFolder(), ui), base + "-100.txt");
        QCOMPARE(SaveLogFile(state.log, state.dataFolder(), ui), base + "-101.txt");
        QCOMPARE(readBytes(dataPath(base + "-57.txt")), QByteArray("kept"));
        QCOMPARE(readBytes(dataPath(base + "-01.TXT")), QByteArray("other"));
        QCOMPARE(readBytes(dataPath(base + "-101.txt")), readBytes(golden("vantorp.txt")));
        QCOMPARE(dataFiles().size(), 102); // 01, 01.TXT, 02 .. 99, 100, 101
        QVERIFY(ui.messages.empty());
    }

    void serialNumberCannotLeaveTheFolder() {
        fillVantorp(state.log);
        state.log.SerialNumber = QStringLiteral("/../../x\\");
        const QString name = SaveLogFile(state.log, state.dataFolder(), ui);
        QCOMPARE(name, QStringLiteral("SN_.._.._x_-2014-05-21-13-45-01.txt"));
        QCOMPARE(dataFiles(), QStringList{name});
        QCOMPARE(QDir(home.path()).entryList(QDir::Files), QStringList());
        QVERIFY(ui.messages.empty());
    }

    void missingFolderIsMadeAgain() {
        QVERIFY(QDir(state.dataFolder()).removeRecursively());
        fillVantorp(state.log);
        QCOMPARE(SaveLogFile(state.log, state.dataFolder(), ui), QStringLiteral("SN12345-2014-05-21-13-45-01.txt"));
        QVERIFY(ui.messages.empty());
    }

    void failedSavesLeaveNothingAndSayWhy() {
        fillQ7R(state.log);
        const auto saveFails = [&](const char* cause, int records) {
            ui.clearRecord();
            QCOMPARE(SaveLogFile(state.log, state.dataFolder(), ui), QString());
            QVERIFY(!ui.messages.empty());
            const QString text = ui.messages.back().text;
            QVERIFY2(text.startsWith("ERROR: SaveLogFile: ") && text.contains(QLatin1String(cause)),
                     qPrintable(text));
            QCOMPARE(state.log.RecordCount, records);
            QCOMPARE(state.log.LogMc3[1], -0.25);
        };

        // A write the disk refuses half-way (as when it is full): no partial or temporary file.
        state.log.RecordCount = MaxLogRecords;
        for (int i = 3; i < MaxLogRecords; ++i) state.log.LogTime[i] = state.log.LogTime[0];
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &limit), 0);
        rlimit small = limit;
        small.rlim_cur = 4096;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        saveFails("File too large", MaxLogRecords);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        std::signal(SIGXFSZ, previous);
        QCOMPARE(dataFiles(), QStringList());
        state.log.RecordCount = 3;

        // A folder that cannot be written.
        QVERIFY(QFile::setPermissions(state.dataFolder(), QFile::ReadOwner | QFile::ExeOwner));
        if (::access(qPrintable(state.dataFolder()), W_OK) == 0) {
            qInfo("running with the right to write anywhere: the read-only folder case is not tried");
        } else {
            saveFails("Permission denied", 3);
            QCOMPARE(dataFiles(), QStringList());
        }
        QVERIFY(QFile::setPermissions(state.dataFolder(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

        // DATA is no folder at all.
        QVERIFY(QDir(state.dataFolder()).removeRecursively());
        QVERIFY(writeBytes(state.dataFolder(), "a file"));
        saveFails("Not a directory", 3);
        QCOMPARE(readBytes(state.dataFolder()), QByteArray("a file"));
        QVERIFY(QFile::remove(state.dataFolder()));
    }

    void goldenFilesReadBack() {
        state.log.Description = QStringLiteral("kiln 3");
        ui.clearRecord();
        QVERIFY(ReadLogFile(state.log, ui, golden("vantorp.txt")));
        LogData& log = state.log;
        QCOMPARE(log.RecordCount, 5);
        QCOMPARE(log.SensorType, SensorVantorp);
        QCOMPARE(log.LogTime[4], QStringLiteral("5/21/2014 14:45"));
        const double temp[] = {72.5, 72.1, -3.3, 7, 23.5};
        const double rh[] = {45, 44.3, 0, 99.9, 100};
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(log.LogTemp[i], temp[i]);
            QCOMPARE(log.LogRh[i], rh[i]);
        }
        QCOMPARE(log.LogMc1[0], 45.0); // the first RH also goes into MC1

        QVERIFY(ReadLogFile(state.log, ui, golden("q7r.txt")));
        QCOMPARE(log.RecordCount, 3);
        QCOMPARE(log.SensorType, SensorQ7R);
        QCOMPARE(log.LogTime[0], QStringLiteral("21.05.2014 13:45"));
        const double q7r[3][5] = {
            {21.3, 12.0, 8.6, 30.1, 55.2}, {21.8, 11.9, 0, -0.3, 56}, {-10, 99.9, 7, 15.5, 0}};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(log.LogTemp[i], q7r[i][0]);
            QCOMPARE(log.LogMc1[i], q7r[i][1]);
            QCOMPARE(log.LogMc2[i], q7r[i][2]);
            QCOMPARE(log.LogMc3[i], q7r[i][3]);
            QCOMPARE(log.LogRhQ7R[i], q7r[i][4]);
        }
        // Header values are not the file's.
        QCOMPARE(log.SerialNumber, QStringLiteral("12345"));
        QCOMPARE(log.Description, QStringLiteral("kiln 3"));
        QVERIFY(ui.messages.empty());
    }

    void readerIsTolerant() {
        LogData& log = state.log;
        // Blanks, missing and extra fields, text that is no number, a line without a comma.
        QVERIFY(read("  1/2/2014 10:00 ,  23.5  , 40.0 \r\n"
                     "1/2/2014 10:15,x,\r\n"
                     "1/2/2014 10:30,1.5,2.5,ignored,9\r\n"
                     "no comma here\r\n"
                     "last line without its end,3.0,4.0"));
        QCOMPARE(log.SensorType, SensorVantorp);
        QCOMPARE(log.RecordCount, 5);
        QCOMPARE(log.LogTime[0], QStringLiteral("1/2/2014 10:00"));
        QCOMPARE(log.LogTemp[0], 23.5);
        QCOMPARE(log.LogRh[0], 40.0);
        QCOMPARE(log.LogTemp[1], 0.0);
        QCOMPARE(log.LogRh[1], 0.0);
        QCOMPARE(log.LogRh[2], 2.5);
        QCOMPARE(log.LogTime[3], QStringLiteral("no comma here"));
        QCOMPARE(log.LogTemp[3], 0.0);
        QCOMPARE(log.LogRh[3], 0.0);
        QCOMPARE(log.LogRh[4], 4.0);

        // An empty line ends the data; LF and CR alone also end lines.
        QVERIFY(read("a,1.0,2.0\n\nb,3.0,4.0\n"));
        QCOMPARE(log.RecordCount, 1);
        QVERIFY(read("a,1.0,2.0\rb,3.0,4.0\nc,5.0,6.0\r\n"));
        QCOMPARE(log.RecordCount, 3);
        QCOMPARE(log.LogRh[2], 6.0);

        // An empty file.
        log.SensorType = SensorQ7R;
        QVERIFY(read(""));
        QCOMPARE(log.RecordCount, 0);
        QCOMPARE(log.SensorType, SensorVantorp);

        // The first line decides the family: three fields make the whole file Vantorp.
        QVERIFY(read("a,1.0,2.0\r\nb,3.0,4.0,5.0,6.0,7.0\r\n"));
        QCOMPARE(log.SensorType, SensorVantorp);
        QCOMPARE(log.RecordCount, 2);
        QCOMPARE(log.LogRh[1], 4.0);
        // A Q7R file with short lines later gives 0 for what is missing.
        QVERIFY(read("a,1.0,2.0,3.0,4.0,5.0\r\nb,6.0,7.0\r\n"));
        QCOMPARE(log.SensorType, SensorQ7R);
        QCOMPARE(log.LogMc1[1], 7.0);
        QCOMPARE(log.LogMc2[1], 0.0);
        QCOMPARE(log.LogRhQ7R[1], 0.0);
        QCOMPARE(log.LogRhQ7R[0], 5.0);
        QVERIFY(ui.messages.empty());
    }

    void readerStopsAtTheCapacity() {
        QByteArray content;
        for (int i = 1; i <= MaxLogRecords + 1; ++i) content += "t" + QByteArray::number(i) + ",1.5,2.5\r\n";
        QVERIFY(!read(content));
        QCOMPARE(state.log.RecordCount, MaxLogRecords);
        QCOMPARE(state.log.LogTime[MaxLogRecords - 1], QStringLiteral("t17000"));
        QCOMPARE(ui.messages.size(), std::size_t(1));
        QVERIFY(ui.messages[0].text.startsWith(QStringLiteral("ERROR: OpenLogFile: ")));

        // Exactly full is no failure.
        content.chop(QByteArray("t17001,1.5,2.5\r\n").size());
        QVERIFY(read(content));
        QCOMPARE(state.log.RecordCount, MaxLogRecords);
        QVERIFY(ui.messages.empty());
    }

    void unreadableFileLeavesTheLog() {
        fillQ7R(state.log);
        for (const QString& path : {home.filePath("missing.txt"), home.path()}) {
            ui.clearRecord();
            QVERIFY(!ReadLogFile(state.log, ui, path));
            QCOMPARE(ui.messages.size(), std::size_t(1));
            QVERIFY2(ui.messages[0].text.startsWith(QStringLiteral("ERROR: OpenLogFile: ")),
                     qPrintable(ui.messages[0].text));
            QCOMPARE(state.log.RecordCount, 3);
            QCOMPARE(state.log.SensorType, SensorQ7R);
        }
    }

    void roundTripKeepsTheNumbers() {
        // Fahrenheit numbers written with Celsius off read back unchanged with it on.
        fillVantorp(state.log);
        state.settings.Celsius = 0;
        const QString name = SaveLogFile(state.log, state.dataFolder(), ui);
        state.settings.Celsius = 1;
        state.log.RecordCount = 0;
        QVERIFY(ReadLogFile(state.log, ui, LogFilePath(state, name)));
        QCOMPARE(state.log.LogTemp[1], 72.1);
        QCOMPARE(SaveLogFile(state.log, state.dataFolder(), ui), QStringLiteral("SN12345-2014-05-21-13-45-02.txt"));
        QCOMPARE(readBytes(dataPath("SN12345-2014-05-21-13-45-02.txt")), readBytes(golden("vantorp.txt")));
    }

    // The Delete button of the views.
    void deleteSelectedFile() {
        fillVantorp(state.log);
        QVERIFY(!DeleteSelectedLogFile(state.log, state.dataFolder(), ui));
        QCOMPARE(ui.messageTexts(), QStringList{"Select a file first."});
        QCOMPARE(ui.messages[0].icon, Icon::Information);

        QVERIFY(writeBytes(dataPath("a.txt"), "x"));
        state.log.SelectedLogFile = QStringLiteral("a.txt");
        ui.clearRecord();
        ui.answers = {Answer::No};
        QVERIFY(!DeleteSelectedLogFile(state.log, state.dataFolder(), ui));
        QCOMPARE(ui.messages[0].text, QStringLiteral("Do you want to delete a.txt ?"));
        QCOMPARE(ui.messages[0].title, ConfirmTitle);
        QCOMPARE(ui.messages[0].icon, Icon::Question);
        QCOMPARE(ui.messages[0].buttons, Buttons::YesNo);
        QVERIFY(QFile::exists(dataPath("a.txt")));
        QCOMPARE(state.log.RecordCount, 5);

        ui.answers = {Answer::Yes};
        QVERIFY(DeleteSelectedLogFile(state.log, state.dataFolder(), ui));
        QVERIFY(!QFile::exists(dataPath("a.txt")));
        QCOMPARE(state.log.RecordCount, 0);
        QCOMPARE(state.log.SensorType, SensorVantorp);
        QCOMPARE(state.log.SelectedLogFile, QString());

        // A file that is gone already: "Delete Error: ", nothing changes.
        fillQ7R(state.log);
        state.log.SelectedLogFile = QStringLiteral("a.txt");
        ui.clearRecord();
        ui.answers = {Answer::Yes};
        QVERIFY(!DeleteSelectedLogFile(state.log, state.dataFolder(), ui));
        QCOMPARE(ui.messages.size(), std::size_t(2));
        QVERIFY(ui.messages[1].text.startsWith(QStringLiteral("Delete Error: ")));
        QCOMPARE(ui.messages[1].icon, Icon::None);
        QCOMPARE(state.log.SelectedLogFile, QStringLiteral("a.txt"));
        QCOMPARE(state.log.RecordCount, 3);

        // A name with a folder never reaches outside DATA.
        QVERIFY(writeBytes(home.filePath("KV5.INI"), "[General]\n"));
        QString why;
        QVERIFY(!DeleteLogFile(state.dataFolder(), QStringLiteral("../KV5.INI"), why));
        QVERIFY(QFile::exists(home.filePath("KV5.INI")));
    }

    void libraryListsTheLogFiles() {
        for (const char* name : {"b.txt", "A.TXT", "c.Txt", "notes.csv", ".hidden.txt", "txt",
                                 "SN12345-2014-05-21-13-45-100.txt"})
            QVERIFY(writeBytes(dataPath(QLatin1String(name)), "x"));
        QVERIFY(QDir(state.dataFolder()).mkdir(QStringLiteral("folder.txt")));
        frmOpenFile window(state.log, state.dataFolder(), ui);
        QCOMPARE(window.windowTitle(), QStringLiteral("Log File Library"));
        QStringList listed;
        for (int i = 0; i < window.List1->count(); ++i) listed << window.List1->item(i)->text();
        QCOMPARE(listed, QStringList({"A.TXT", "b.txt", "c.Txt", "SN12345-2014-05-21-13-45-100.txt"}));
        QStringList captions;
        for (QPushButton* button : {window.btnOpen, window.btnExport, window.btnDelete, window.btnCancel})
            captions << button->text();
        QCOMPARE(captions, QStringList({"Open", "Export", "Delete", "Close"}));
        QVERIFY(ui.messages.empty());

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Every name can be read whole.
        for (int i = 0; i < window.List1->count(); ++i)
            QVERIFY(window.List1->viewport()->rect().contains(
                window.List1->visualItemRect(window.List1->item(i))));
        clickEntry(window, "b.txt");
        if (const QString folder = qEnvironmentVariable("KV5_SCREENSHOT_DIR"); !folder.isEmpty())
            window.grab().save(folder + QStringLiteral("/library.png"));
    }

    void libraryWithoutFiles() {
        QVERIFY(QDir(state.dataFolder()).removeRecursively());
        frmOpenFile window(state.log, state.dataFolder(), ui);
        window.show();
        QCOMPARE(window.List1->count(), 0);
        bool exported = false;
        window.OpenInExcel = [&](const QString&) { exported = true; };
        for (QPushButton* button : {window.btnOpen, window.btnExport, window.btnDelete})
            QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(ui.messageTexts(), QStringList(3, "Select a file first."));
        QCOMPARE(ui.messages[0].icon, Icon::Information);
        QVERIFY(window.isVisible());
        QVERIFY(!exported);

        // A DATA that cannot be listed is reported.
        QVERIFY(writeBytes(state.dataFolder(), "no folder"));
        ui.clearRecord();
        frmOpenFile broken(state.log, state.dataFolder(), ui);
        QCOMPARE(ui.messages.size(), std::size_t(1));
        QVERIFY(ui.messages[0].text.startsWith(QStringLiteral("OpenFile.Form_Load: ")));
        QVERIFY(QFile::remove(state.dataFolder()));
    }

    void libraryOpens() {
        QVERIFY(writeBytes(dataPath("a.txt"), "x"));
        QVERIFY(writeBytes(dataPath("b.txt"), "x"));
        {
            frmOpenFile window(state.log, state.dataFolder(), ui);
            window.show();
            clickEntry(window, "b.txt");
            QTest::mouseClick(window.btnOpen, Qt::LeftButton);
            QCOMPARE(state.log.SelectedLogFile, QStringLiteral("b.txt"));
            QVERIFY(!window.isVisible());
        }
        {
            // A double click is select and Open.
            frmOpenFile window(state.log, state.dataFolder(), ui);
            window.show();
            QListWidgetItem* entry = item(window, "a.txt");
            QVERIFY(entry);
            const QPoint at = window.List1->visualItemRect(entry).center();
            QTest::mouseClick(window.List1->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(window.List1->viewport(), Qt::LeftButton, {}, at);
            QCOMPARE(state.log.SelectedLogFile, QStringLiteral("a.txt"));
            QVERIFY(!window.isVisible());
        }
        QVERIFY(ui.messages.empty());
    }

    void libraryCloses() {
        QVERIFY(writeBytes(dataPath("a.txt"), "x"));
        state.log.SelectedLogFile = QStringLiteral("old.txt");
        {
            // Close after choosing an entry still chooses nothing.
            frmOpenFile window(state.log, state.dataFolder(), ui);
            window.show();
            clickEntry(window, "a.txt");
            QTest::mouseClick(window.btnCancel, Qt::LeftButton);
            QCOMPARE(state.log.SelectedLogFile, QString());
            QVERIFY(!window.isVisible());
        }
        state.log.SelectedLogFile = QStringLiteral("old.txt");
        {
            // The window frame and Escape change nothing.
            frmOpenFile window(state.log, state.dataFolder(), ui);
            window.show();
            clickEntry(window, "a.txt");
            QVERIFY(window.close());
            QCOMPARE(state.log.SelectedLogFile, QStringLiteral("old.txt"));
            window.show();
            QTest::keyClick(&window, Qt::Key_Escape);
            QVERIFY(!window.isVisible());
            QCOMPARE(state.log.SelectedLogFile, QStringLiteral("old.txt"));
        }
    }

    void libraryExports() {
        QVERIFY(writeBytes(dataPath("a.txt"), "x"));
        state.log.SelectedLogFile = QStringLiteral("old.txt");
        QStringList exported;
        SetLogFileExporter([&](UserInterface&, const QString& path) { exported << path; });
        {
            frmOpenFile window(state.log, state.dataFolder(), ui);
            window.show();
            clickEntry(window, "a.txt");
            QTest::mouseClick(window.btnExport, Qt::LeftButton);
            QCOMPARE(exported, QStringList{dataPath("a.txt")});
            QVERIFY(!window.isVisible());
            QCOMPARE(state.log.SelectedLogFile, QStringLiteral("old.txt"));
        }
        SetLogFileExporter({});
        frmOpenFile window(state.log, state.dataFolder(), ui);
        QVERIFY(!window.OpenInExcel);
    }

    void libraryDeletes() {
        for (const char* name : {"a.txt", "b.txt"}) QVERIFY(writeBytes(dataPath(QLatin1String(name)), "x"));
        frmOpenFile window(state.log, state.dataFolder(), ui);
        window.show();
        clickEntry(window, "a.txt");

        ui.answers = {Answer::No};
        QTest::mouseClick(window.btnDelete, Qt::LeftButton);
        QCOMPARE(ui.messages.size(), std::size_t(1));
        QCOMPARE(ui.messages[0].text, QStringLiteral("Do you want to delete a.txt ?"));
        QCOMPARE(ui.messages[0].title, ConfirmTitle);
        QCOMPARE(ui.messages[0].icon, Icon::Question);
        QCOMPARE(ui.messages[0].buttons, Buttons::YesNo);
        QVERIFY(QFile::exists(dataPath("a.txt")));
        QCOMPARE(window.List1->count(), 2);

        ui.answers = {Answer::Yes};
        QTest::mouseClick(window.btnDelete, Qt::LeftButton);
        QVERIFY(!QFile::exists(dataPath("a.txt")));
        QVERIFY(!item(window, "a.txt"));
        QCOMPARE(window.List1->count(), 1);
        QVERIFY(window.isVisible());

        // A file gone behind the window's back: "Delete Error: ", the entry stays.
        clickEntry(window, "b.txt");
        QVERIFY(QFile::remove(dataPath("b.txt")));
        ui.clearRecord();
        ui.answers = {Answer::Yes};
        QTest::mouseClick(window.btnDelete, Qt::LeftButton);
        QCOMPARE(ui.messages.size(), std::size_t(2));
        QVERIFY2(ui.messages[1].text.startsWith(QStringLiteral("Delete Error: ")),
                 qPrintable(ui.messages[1].text));
        QVERIFY(item(window, "b.txt"));
        QVERIFY(window.isVisible());
    }

    // OpenLogFile shows the library modally, then reads what was chosen.
    void openLogFileReadsTheChoice() {
        QVERIFY(QFile::copy(golden("q7r.txt"), dataPath("q7r.txt")));
        QVERIFY(QFile::copy(golden("vantorp.txt"), dataPath("vantorp.txt")));
        QWidget owner;
        owner.show();
        // Runs what the user does once the library window is up.
        const auto whenShown = [this](std::function<void(frmOpenFile&)> act) {
            QTimer::singleShot(0, this, [act] {
                auto* window = qobject_cast<frmOpenFile*>(QApplication::activeModalWidget());
                QVERIFY(window);
                act(*window);
            });
        };

        whenShown([this](frmOpenFile& window) {
            clickEntry(window, "q7r.txt");
            QTest::mouseClick(window.btnOpen, Qt::LeftButton);
        });
        OpenLogFile(state.log, state.dataFolder(), ui, &owner);
        QCOMPARE(state.log.SelectedLogFile, QStringLiteral("q7r.txt"));
        QCOMPARE(state.log.SensorType, SensorQ7R);
        QCOMPARE(state.log.RecordCount, 3);

        // Close: nothing is read.
        state.log.RecordCount = 2;
        whenShown([](frmOpenFile& window) { QTest::mouseClick(window.btnCancel, Qt::LeftButton); });
        OpenLogFile(state.log, state.dataFolder(), ui, &owner);
        QCOMPARE(state.log.RecordCount, 2);

        // The frame: the file chosen before is read again.
        state.log.SelectedLogFile = QStringLiteral("vantorp.txt");
        whenShown([](frmOpenFile& window) { window.close(); });
        OpenLogFile(state.log, state.dataFolder(), ui, &owner);
        QCOMPARE(state.log.SensorType, SensorVantorp);
        QCOMPARE(state.log.RecordCount, 5);
        QVERIFY(ui.messages.empty());
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
