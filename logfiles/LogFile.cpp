#include "logfiles/LogFile.h"

#include "core/FileNames.h"
#include "core/LogContext.h"
#include "core/LogData.h"
#include "core/Numbers.h"
#include "core/Paths.h"
#include "core/SafePublish.h"
#include "core/SystemError.h"
#include "core/UserInterface.h"
#include "logger/TimeFormat.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv5 {

namespace {

const QString SaveProcedure = QStringLiteral("SaveLogFile");
const QString OpenProcedure = QStringLiteral("OpenLogFile");

// The highest sequence number tried before a save gives up.
constexpr int MaxSequence = 100000;

// No line of a log file comes near this: a time text and six numbers.
constexpr qsizetype MaxLogLineBytes = 4096;

void appendNumber(QByteArray& content, double value) {
    content += ',';
    content += NumberText(value, Separator::Point).toLatin1();
}

// Creates the DATA folder when it is not there, reporting a failure as MakeFolders does.
void makeDataFolder(const QString& path, UserInterface& ui) {
    const QFileInfo info(path);
    if (info.isDir()) return;
    QString reason;
    if (info.exists()) {
        reason = QStringLiteral("%1 exists and is not a folder").arg(path);
    } else if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0) {
        reason = QStringLiteral("cannot create %1: %2").arg(path, systemError(errno));
    }
    if (!reason.isEmpty()) ui.message({QStringLiteral("ERROR: MakeFolders.0: ") + reason});
}

// Reads a file one line at a time through a small buffer, whatever the file's size: a line
// ends at CR LF, LF or CR.
class LogLineReader {
public:
    enum class Result { Line, End, TooLong, Failed };

    explicit LogLineReader(int fd) : fd_(fd) {}

    // The next line without its ending. TooLong for a line of more than MaxLogLineBytes; Failed
    // with the cause in error.
    Result next(QByteArray& line) {
        constexpr qsizetype ChunkBytes = 64 * 1024;
        for (;;) {
            const char* begin = pending_.constData() + at_;
            const qsizetype available = pending_.size() - at_;
            qsizetype length = 0;
            while (length < available && begin[length] != '\n' && begin[length] != '\r') ++length;
            if (length > MaxLogLineBytes) return Result::TooLong;
            // A CR at the end of what has arrived may be the first half of a CR LF: read on.
            if (length < available && (begin[length] == '\n' || length + 1 < available || end_)) {
                line = QByteArray(begin, length);
                at_ += length + 1;
                if (begin[length] == '\r' && at_ < pending_.size() && pending_[at_] == '\n') ++at_;
                return Result::Line;
            }
            if (end_) {
                if (available == 0) return Result::End;
                line = QByteArray(begin, available);
                at_ = pending_.size();
                return Result::Line;
            }
            pending_.remove(0, at_);
            at_ = 0;
            const qsizetype kept = pending_.size();
            pending_.resize(kept + ChunkBytes);
            ssize_t got = 0;
            do got = ::read(fd_, pending_.data() + kept, ChunkBytes);
            while (got < 0 && errno == EINTR);
            pending_.resize(kept + std::max<ssize_t>(got, 0));
            if (got < 0) {
                error = errno;
                return Result::Failed;
            }
            end_ = got == 0;
        }
    }

    int error = 0;

private:
    int fd_;
    QByteArray pending_; // read but not yet taken, from at_ on
    qsizetype at_ = 0;
    bool end_ = false;
};

} // namespace

QString NextCommaField(QString& line) {
    const qsizetype at = line.indexOf(QLatin1Char(','));
    if (at < 0) return std::exchange(line, QString());
    QString field = line.left(at);
    line.remove(0, at + 1);
    return field;
}

QString SafeFileNamePart(const QString& text) {
    QString safe = text;
    for (QChar& c : safe) {
        const char16_t code = c.unicode();
        if (code < 0x20 || code == 0x7f || code == u'/' || code == u'\\') c = QLatin1Char('_');
    }
    return safe;
}

QString LogFileBaseName(const LogData& log, UserInterface& ui) {
    return QStringLiteral("SN") + SafeFileNamePart(log.SerialNumber) + QLatin1Char('-') +
           SafeFileNamePart(FormatTimeISO(log.StartTimeText, ui));
}

QString LogFileName(const QString& base, int sequence) {
    return base + QLatin1Char('-') + QStringLiteral("%1").arg(sequence, 2, 10, QLatin1Char('0')) +
           QStringLiteral(".txt");
}

QByteArray LogFileContent(const LogData& log) {
    QByteArray content;
    const bool q7r = log.isQ7R();
    content.reserve(qsizetype(log.RecordCount) * (q7r ? 48 : 32));
    for (int i = 0; i < log.RecordCount; ++i) {
        content += log.LogTime[i].toUtf8();
        appendNumber(content, log.LogTemp[i]);
        if (q7r) {
            appendNumber(content, log.LogMc1[i]);
            appendNumber(content, log.LogMc2[i]);
            appendNumber(content, log.LogMc3[i]);
            appendNumber(content, log.LogRhQ7R[i]);
        } else {
            appendNumber(content, log.LogRh[i]);
        }
        content += "\r\n";
    }
    return content;
}

void MakeFolders(const QString& programFolder, UserInterface& ui) {
    makeDataFolder(ProgramFile(programFolder, DataFolderName), ui);
}

QString LogFileArgumentPath(const QString& dataFolder, const QString& file) {
    if (!file.contains(QLatin1Char('/'))) {
        const QString inData = ProgramFile(dataFolder, file);
        if (::access(EncodeFileName(inData).constData(), F_OK) == 0) return inData;
    }
    return file;
}

QString SaveLogFile(const LogData& log, const QString& folder, UserInterface& ui, const LogContext* context) {
    const auto fail = [&ui](const QString& why) {
        ui.error(SaveProcedure, why);
        return QString();
    };
    const QString base = LogFileBaseName(log, ui);
    const QByteArray content = LogFileContent(log);

    makeDataFolder(folder, ui);
    // The pending files have no ".txt", so the library never lists them.
    PendingFile file;
    QString why;
    if (!file.create(folder, QStringLiteral("kv5-save"), why) || !file.write(content, why)) return fail(why);
    // The context is made before a name is taken; a failure to make it costs only the context.
    PendingFile sidecar;
    QString sidecarWhy;
    bool sidecarReady = false;
    if (context) {
        LogContext saved = *context;
        saved.Records = log.RecordCount;
        saved.Sha256 = QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex());
        sidecarReady = sidecar.create(folder, QStringLiteral("kv5-context"), sidecarWhy) &&
                       sidecar.write(LogContextJson(saved), sidecarWhy);
    }
    for (int sequence = 1; sequence <= MaxSequence; ++sequence) {
        const QString name = LogFileName(base, sequence);
        const QString contextName = ContextFileName(name);
        struct stat info;
        if (::lstat(QFile::encodeName(ProgramFile(folder, contextName)).constData(), &info) == 0) continue;
        switch (file.publish(name, PendingFile::Publish::NeverReplacing, why)) {
        case PendingFile::Outcome::Published:
            if (!context) return name;
            if (sidecarReady) {
                switch (sidecar.publish(contextName, PendingFile::Publish::NeverReplacing, sidecarWhy)) {
                case PendingFile::Outcome::Published:
                    return name;
                case PendingFile::Outcome::NameTaken:
                    sidecarWhy = QStringLiteral("%1 appeared meanwhile").arg(contextName);
                    break;
                case PendingFile::Outcome::Failed:
                    break;
                }
            }
            ui.error(SaveProcedure,
                     QStringLiteral("the log was saved as %1; only its context could not be saved as %2: %3")
                         .arg(name, contextName, sidecarWhy));
            return name;
        case PendingFile::Outcome::NameTaken:
            continue;
        case PendingFile::Outcome::Failed:
            return fail(why);
        }
    }
    return fail(
        QStringLiteral("%1 already holds files %2-01.txt to -%3.txt").arg(folder, base).arg(MaxSequence));
}

bool ReadLogRecords(LogData& log, const QString& path, QString& why) {
    const auto fail = [&why](const QString& text) {
        why = text;
        return false;
    };
    // Only a plain file is read: a pipe would wait for a writer, a device may never end, and
    // opening a serial device alone can reset what hangs on it.
    // By the name's own bytes, which Qt's file classes cannot give for a name that is not UTF-8.
    const QByteArray name = EncodeFileName(path);
    struct stat status {};
    if (::stat(name.constData(), &status) != 0)
        return fail(QStringLiteral("cannot open %1: %2").arg(path, systemError(errno)));
    const auto notAFile = [&](mode_t mode) {
        return fail(S_ISDIR(mode)
                        ? QStringLiteral("%1 is a folder, not a log file").arg(path)
                        : QStringLiteral("%1 is a pipe, a device or a socket, not a log file").arg(path));
    };
    if (!S_ISREG(status.st_mode)) return notAFile(status.st_mode);
    // Without blocking, in case something else has taken the name since.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return fail(QStringLiteral("cannot open %1: %2").arg(path, systemError(errno)));
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return notAFile(status.st_mode);

    log.RecordCount = 0;
    log.SensorType = SensorVantorp;

    LogLineReader reader(fd);
    QByteArray bytes;
    // Lines are UTF-8; one that is not is taken as Latin-1 rather than losing its time text.
    QStringDecoder decoder(QStringDecoder::Utf8);
    for (int lineNumber = 1;; ++lineNumber) {
        switch (reader.next(bytes)) {
        case LogLineReader::Result::Line:
            break;
        case LogLineReader::Result::End:
            return true;
        case LogLineReader::Result::TooLong:
            return fail(QStringLiteral("%1 is no log file: its line %2 is longer than %3 bytes")
                            .arg(path)
                            .arg(lineNumber)
                            .arg(MaxLogLineBytes));
        case LogLineReader::Result::Failed:
            return fail(QStringLiteral("cannot read %1: %2").arg(path, systemError(reader.error)));
        }
        if (bytes.isEmpty()) return true; // an empty line ends the data
        if (log.RecordCount >= MaxLogRecords)
            return fail(QStringLiteral("%1 holds more than %2 records; the first %2 are read")
                            .arg(path)
                            .arg(MaxLogRecords));
        decoder.resetState();
        QString line = decoder.decode(bytes);
        if (decoder.hasError()) line = QString::fromLatin1(bytes);

        const int n = log.RecordCount;
        log.LogTime[n] = NextCommaField(line).trimmed();
        log.LogTemp[n] = ReadPointNumber(NextCommaField(line));
        if (n == 0) {
            log.LogRh[0] = log.LogMc1[0] = ReadPointNumber(NextCommaField(line));
            const QString fourth = NextCommaField(line).trimmed();
            if (!fourth.isEmpty()) {
                log.SensorType = SensorQ7R;
                log.LogMc2[0] = ReadPointNumber(fourth);
                log.LogMc3[0] = ReadPointNumber(NextCommaField(line));
                log.LogRhQ7R[0] = ReadPointNumber(NextCommaField(line));
            }
        } else if (log.isQ7R()) {
            log.LogMc1[n] = ReadPointNumber(NextCommaField(line));
            log.LogMc2[n] = ReadPointNumber(NextCommaField(line));
            log.LogMc3[n] = ReadPointNumber(NextCommaField(line));
            log.LogRhQ7R[n] = ReadPointNumber(NextCommaField(line));
        } else {
            log.LogRh[n] = ReadPointNumber(NextCommaField(line));
        }
        log.RecordCount = n + 1;
    }
}

bool ReadLogFile(LogData& log, UserInterface& ui, const QString& path) {
    QString why;
    const bool read = ReadLogRecords(log, path, why);
    if (!read) ui.error(OpenProcedure, why);
    if (!ReadLogContext(path, log.Context, why)) ui.error(OpenProcedure, why);
    return read;
}

bool ReadLogForOutput(LogData& log, UserInterface& ui, const QString& path, const QString& procedure,
                      const QString& what) {
    QString why;
    if (!ReadLogRecords(log, path, why)) {
        ui.error(procedure, why);
        return false;
    }
    if (log.RecordCount == 0) {
        ui.message({QStringLiteral("The log file %1 is empty: there is nothing to %2.")
                        .arg(QFileInfo(path).fileName(), what),
                    Icon::Information});
        return false;
    }
    if (!ReadLogContext(path, log.Context, why)) ui.error(procedure, why);
    return true;
}

bool DeleteLogFile(const QString& dataFolder, const QString& name, QString& why) {
    const QString path = ProgramFile(dataFolder, name);
    if (name.isEmpty() || name.contains(QLatin1Char('/'))) {
        why = QStringLiteral("%1 is not a file of %2").arg(name, dataFolder);
        return false;
    }
    // The context goes first: a log left without its context stays readable, a context left
    // without its log would only mislead.
    const QString contextPath = ProgramFile(dataFolder, ContextFileName(name));
    if (::unlink(QFile::encodeName(contextPath).constData()) != 0 && errno != ENOENT) {
        why = QStringLiteral("cannot delete %1: %2").arg(contextPath, systemError(errno));
        return false;
    }
    if (::unlink(QFile::encodeName(path).constData()) != 0) {
        why = QStringLiteral("cannot delete %1: %2").arg(path, systemError(errno));
        return false;
    }
    return true;
}

bool ConfirmDeleteLogFile(const QString& dataFolder, const QString& name, UserInterface& ui) {
    const Answer answer = ui.message({QStringLiteral("Do you want to delete ") + name + QStringLiteral(" ?"),
                                      Icon::Question, Buttons::YesNo, ConfirmTitle, Answer::Yes});
    if (answer != Answer::Yes) return false;
    QString why;
    if (DeleteLogFile(dataFolder, name, why)) return true;
    ui.message({QStringLiteral("Delete Error: ") + why});
    return false;
}

bool DeleteSelectedLogFile(LogData& log, const QString& dataFolder, UserInterface& ui) {
    if (log.SelectedLogFile.isEmpty()) {
        ui.message({QStringLiteral("Select a file first."), Icon::Information});
        return false;
    }
    if (!ConfirmDeleteLogFile(dataFolder, log.SelectedLogFile, ui)) return false;
    log.SelectedLogFile.clear();
    log.RecordCount = 0;
    log.SensorType = SensorVantorp;
    log.Context.reset();
    return true;
}

} // namespace kv5
