// The program as a user runs it from a shell: the files it writes under the users' own glibc
// locales, file names that are not UTF-8, standard output that cannot be written, and a standard
// error that carries only the program's messages.
#include "sim/Simulator.h"
#include "support/Installation.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>

#include <unistd.h>

using namespace kv5;

namespace {

const QString Kv5 = QStringLiteral(KV5_BINARY_DIR "/app/kv5");
const QString LogFile = QStringLiteral(KV5_SOURCE_DIR "/tests/data/q7r.txt");

QProcessEnvironment environmentWith(const QString& locale) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LC_ALL", locale);
    // Qt's PDF writer numbers its fonts in the order of a hash table, seeded anew in each process.
    environment.insert("QT_HASH_SEED", "0");
    environment.remove("KV5_PORT");
    environment.remove("KV5_HOME");
    return environment;
}

bool generated(const QByteArray& locale) {
    const locale_t found = newlocale(LC_ALL_MASK, locale.constData(), locale_t(nullptr));
    if (found) freelocale(found);
    return found != locale_t(nullptr);
}

// The parts of a workbook by name (the zip's own dates left out), the creation time blanked.
QMap<QString, QByteArray> workbookParts(const QString& path) {
    QMap<QString, QByteArray> parts;
    const ProgramRun list = RunProgram("unzip", {"-Z1", path});
    for (const QByteArray& name : list.output.split('\n')) {
        if (name.isEmpty()) continue;
        QByteArray part = RunProgram("unzip", {"-p", path, QString::fromUtf8(name)}).output;
        static const QRegularExpression stamp(">\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ<");
        parts.insert(QString::fromUtf8(name), QString::fromUtf8(part).replace(stamp, "><").toUtf8());
    }
    return parts;
}

QByteArray withoutCreationDate(QByteArray pdf) {
    static const QRegularExpression date("/CreationDate \\(D:[0-9Z+\\-']*\\)");
    return QString::fromLatin1(pdf).replace(date, "/CreationDate ()").toLatin1();
}

// Runs a shell script with the program's path in $0: the way to give the program arguments
// that are not UTF-8 (a QProcess argument is always UTF-8).
ProgramRun runShell(const QString& script, const QProcessEnvironment& environment) {
    return RunProgram("/bin/sh", {"-c", script, Kv5}, environment);
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

    // What a row of runs left, by file name.
    using Files = QMap<QString, QByteArray>;
    Files inC;
    QTemporaryDir kept;
    QString logSavedInC;

    // Under the locale: `kv5 read` saves the log of a simulated kiln logger, the log saved under C
    // is exported and printed, and the main window writes the settings at its start. A saved
    // log's time stamps are written in the user's own date format: they are left out.
    void runUnder(const QString& locale, Files& files) {
        sim::Options kiln;
        kiln.family = sim::Family::Q7R;
        kiln.records = 900;
        sim::Simulator simulator(kiln);
        QVERIFY(simulator.start());
        QTemporaryDir home;
        const QProcessEnvironment environment = environmentWith(locale);
        const auto run = [&](const QStringList& arguments) {
            const ProgramRun result = RunProgram(Kv5, QStringList{"--home", home.path()} + arguments, environment);
            if (result.exitCode != 0)
                QTest::qFail(qPrintable(locale + ": " + arguments.join(' ') + ": " + result.errors), __FILE__,
                             __LINE__);
            return result;
        };
        const QString saved =
            QString::fromUtf8(run({"read", "--port", simulator.portPath()}).output).trimmed().split('\n').last();
        static const QRegularExpression stamp("^[^,\r\n]*", QRegularExpression::MultilineOption);
        files.insert("DATA/" + QFileInfo(saved).fileName(),
                     QString::fromUtf8(FileBytes(saved)).replace(stamp, QString()).toUtf8());
        // The log saved under C, with its context: its stamps are in C's short date, which another
        // locale does not read, so the times of its summary come from the context.
        if (logSavedInC.isEmpty()) {
            logSavedInC = kept.filePath("kiln.txt");
            QVERIFY(QFile::copy(saved, logSavedInC));
            QVERIFY(QFile::copy(saved.chopped(4) + ".json", kept.filePath("kiln.json")));
        }
        run({"export", logSavedInC, "-o", home.filePath("book.xlsx")});
        run({"print", logSavedInC, "--pdf", home.filePath("table.pdf")});
        run({"--bench-startup"});
        files.insert("KV5.INI", FileBytes(home.filePath("KV5.INI")));
        files.insert("table.pdf", withoutCreationDate(FileBytes(home.filePath("table.pdf"))));
        const auto parts = workbookParts(home.filePath("book.xlsx"));
        for (auto part = parts.begin(); part != parts.end(); ++part)
            files.insert("book.xlsx/" + part.key(), part.value());
    }

private slots:
    void initTestCase() {
        runUnder("C.UTF-8", inC);
        QVERIFY(!QTest::currentTestFailed());
        // Not an empty comparison: the values sheet holds the 900 records' numbers, in C's form.
        QByteArray sheet;
        for (const QString& name : inC.keys())
            if (name.startsWith("book.xlsx/xl/worksheets/")) sheet += inC[name];
        static const QRegularExpression value("<v>([^<]*)</v>"), number("^-?\\d+(\\.\\d+)?(E[-+]\\d+)?$");
        qsizetype values = 0;
        for (auto match = value.globalMatch(QString::fromUtf8(sheet)); match.hasNext(); ++values)
            QVERIFY2(match.next().captured(1).contains(number), sheet.left(300));
        QVERIFY2(values > 900 * 5, qPrintable(QString::number(values)));
        QVERIFY(inC.value("KV5.INI").contains("Celsius=0") && inC.value("table.pdf").startsWith("%PDF-"));
    }

    // Every file is the same as under C, byte for byte: the log, the settings, every part of the
    // workbook (each <v> and each numeric attribute). A printout shows the user's own decimal
    // separator, so its reference is a run under a name that Qt reads as the same language but
    // glibc has not generated, which leaves the C library in C.
    void sameFilesInEveryLocale_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("seenOnlyByQt");
        QTest::newRow("German: decimal comma") << "de_DE.UTF-8" << "de_DE.ISO-8859-15";
        QTest::newRow("French: comma, narrow blanks between digit groups") << "fr_FR.UTF-8" << "fr_FR.ISO-8859-15";
        QTest::newRow("Turkish: dotless i in upper case") << "tr_TR.UTF-8" << "tr_TR.ISO-8859-15";
        QTest::newRow("Arabic: Arabic digits and decimal sign") << "ar_EG.UTF-8" << "ar_EG.ISO-8859-15";
    }
    void sameFilesInEveryLocale() {
        QFETCH(QString, locale);
        QFETCH(QString, seenOnlyByQt);
        QVERIFY2(generated(locale.toUtf8()), qPrintable(locale + " is not generated: run scripts/install-deps"));
        QVERIFY(!generated(seenOnlyByQt.toUtf8()));
        Files files;
        runUnder(locale, files);
        if (QTest::currentTestFailed()) return;
        QCOMPARE(files.keys(), inC.keys());
        for (const QString& name : inC.keys())
            if (name != "table.pdf") QVERIFY2(files[name] == inC[name], qPrintable(name));

        QTemporaryDir home;
        const QString pdf = home.filePath("table.pdf");
        const QStringList print{"--home", home.path(), "print", logSavedInC, "--pdf", pdf};
        QCOMPARE(RunProgram(Kv5, print, environmentWith(seenOnlyByQt)).exitCode, 0);
        QVERIFY(files["table.pdf"] == withoutCreationDate(FileBytes(pdf)));
    }

    // A name that is not UTF-8 (Latin-1 "café") keeps its bytes: the file opens, a message names
    // it as it is, and a program folder of such a name is refused instead of another being used.
    void namesKeepTheirBytes_data() {
        QTest::addColumn<QString>("arguments"); // shell words, run in a folder that holds caf\xe9.txt
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("output"); // the start of standard output
        QTest::addColumn<QByteArray>("errors");
        QTest::newRow("the file opens") << "--home home table \"$(printf 'caf\\351.txt')\"" << 0
                                        << QByteArray("Time\tTemp") << QByteArray();
        QTest::newRow("a missing file named by its bytes")
            << "--home home info \"$(printf 'th\\351.txt')\"" << 1 << QByteArray()
            << "ERROR: OpenLogFile: cannot open th\xe9.txt: " + QByteArray(std::strerror(ENOENT)) + "\n";
        QTest::newRow("no other program folder")
            << "--home \"$(printf 'caf\\351')\" table \"$(printf 'caf\\351.txt')\"" << 2 << QByteArray()
            << QByteArray("kv5: the folder name caf\xe9 is not UTF-8 text; rename the folder or choose another\n");
        QTest::newRow("no other output file")
            << "--home home print \"$(printf 'caf\\351.txt')\" --pdf \"$(printf 'caf\\351.pdf')\"" << 2
            << QByteArray() << QByteArray("kv5: the file name caf\xe9.pdf is not UTF-8 text; choose another\n");
    }
    void namesKeepTheirBytes() {
        QFETCH(QString, arguments);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, output);
        QFETCH(QByteArray, errors);
        QTemporaryDir folder;
        const QByteArray path = QFile::encodeName(folder.path());
        // Qt cannot name the file to remove it: the test does.
        const QByteArray name = path + "/caf\xe9.txt";
        const auto removeIt = qScopeGuard([&name] { ::unlink(name.constData()); });
        QVERIFY(QFile::copy(LogFile, folder.filePath("x")) && QDir(folder.path()).mkdir("home"));
        QCOMPARE(std::rename(QFile::encodeName(folder.filePath("x")).constData(), name.constData()), 0);
        QProcessEnvironment environment = environmentWith("C.UTF-8");
        environment.insert("F", folder.path());
        const ProgramRun run = runShell("cd \"$F\" && exec \"$0\" " + arguments, environment);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.output.startsWith(output), run.output.left(200));
        QCOMPARE(run.errors, errors);
        // Nothing named by replacement characters (Qt does not list caf\xe9.txt itself).
        QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"home"});
    }

    // Every command that prints: its standard error is empty, though XDG_RUNTIME_DIR is not set
    // (cron, sudo), and on a full disk it fails with the cause.
    void standardStreams_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("table") << QStringList{"table", LogFile};
        QTest::newRow("info") << QStringList{"info", LogFile};
        QTest::newRow("export") << QStringList{"export", LogFile, "-o", "book.xlsx"};
        QTest::newRow("read") << QStringList{"read", "--simulate"};
        QTest::newRow("help") << QStringList{"--help"};
        QTest::newRow("version") << QStringList{"--version"};
    }
    void standardStreams() {
        QFETCH(QStringList, arguments);
        QTemporaryDir home;
        QProcessEnvironment environment = environmentWith("C.UTF-8");
        environment.remove("XDG_RUNTIME_DIR");
        const QString script = "cd \"$H\" && exec \"$0\" --home \"$H\" \"$@\"";
        environment.insert("H", home.path());
        const ProgramRun fine = RunProgram("/bin/sh", QStringList{"-c", script, Kv5} + arguments, environment);
        QVERIFY2(fine.exitCode == 0 && !fine.output.isEmpty(), fine.errors);
        QCOMPARE(fine.errors, QByteArray());
        const ProgramRun full =
            RunProgram("/bin/sh", QStringList{"-c", script + " >/dev/full", Kv5} + arguments, environment);
        QCOMPARE(full.exitCode, 1);
        QCOMPARE(full.errors, "kv5: cannot write the output: " + QByteArray(std::strerror(ENOSPC)) + "\n");
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
