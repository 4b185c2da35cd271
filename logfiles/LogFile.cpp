#include "logfiles/LogFile.h"

#include "app/AppState.h"
#include "app/ProgramFolder.h"
#include "app/UserInterface.h"
#include "device/Encodings.h"
#include "logger/TimeFormat.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringDecoder>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kv5 {

namespace {

const QString SaveProcedure = QStringLiteral("SaveLogFile");
const QString OpenProcedure = QStringLiteral("OpenLogFile");

// The highest sequence number tried before a save gives up.
constexpr int MaxSequence = 100000;

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString nextField(QString& line, QChar separator) {
    const qsizetype at = line.indexOf(separator);
    if (at < 0) return std::exchange(line, QString());
    QString field = line.left(at);
    line.remove(0, at + 1);
    return field;
}

// A file descriptor closed when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    void reset(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    // Closes now and returns close's result, so a late write error is not lost.
    int close() { return ::close(std::exchange(fd_, -1)); }

private:
    int fd_;
};

bool writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

// Gives temp the name final in the same folder unless final exists. errno is EEXIST when the
// name was taken.
bool publishWithoutReplacing(int folder, const char* temp, const char* final) {
    if (::renameat2(folder, temp, folder, final, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP && errno != EOPNOTSUPP) return false;
    // A file system without the no-replace rename: a hard link also fails on an existing name.
    if (::linkat(folder, temp, folder, final, 0) != 0) return false;
    ::unlinkat(folder, temp, 0);
    return true;
}

void appendNumber(QByteArray& content, double value) {
    content += ',';
    content += NumberText(value, Separator::Point).toLatin1();
}

} // namespace

QString NextCommaField(QString& line) {
    return nextField(line, QLatin1Char(','));
}

QString NextTabField(QString& line) {
    return nextField(line, QLatin1Char('\t'));
}

double ReadLogNumber(QStringView text) {
    text = text.trimmed();
    if (text.startsWith(QLatin1Char('+'))) text = text.mid(1);
    char digits[64];
    if (text.isEmpty() || text.size() >= qsizetype(sizeof digits)) return 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c > 0x7f) return 0;
        digits[i] = static_cast<char>(c);
    }
    double value = 0;
    const char* end = digits + text.size();
    const auto [stop, error] = std::from_chars(digits, end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value)) return 0;
    return value;
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

QString LogFilePath(const AppState& state, const QString& name) {
    return state.dataFolder() + '/' + name;
}

QString SaveLogFile(const AppState& state, UserInterface& ui) {
    const auto fail = [&ui](const QString& why) {
        ui.error(SaveProcedure, why);
        return QString();
    };
    const QString base = LogFileBaseName(state.log, ui);
    const QByteArray content = LogFileContent(state.log);

    const QString folder = state.dataFolder();
    if (!QFileInfo(folder).isDir()) MakeFolders(state.ProgramFolder, ui);
    const Descriptor folderFd(
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.get() < 0)
        return fail(QStringLiteral("cannot open the folder %1: %2").arg(folder, systemError(errno)));

    // The temporary file is hidden and has no ".txt", so the library never lists it.
    QByteArray temp;
    Descriptor file;
    for (int attempt = 0; file.get() < 0; ++attempt) {
        temp = QByteArray(".kv5-save-") + QByteArray::number(::getpid()) + '-' +
               QByteArray::number(QRandomGenerator::global()->generate(), 16) + ".tmp";
        file.reset(::openat(folderFd.get(), temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (file.get() < 0 && (errno != EEXIST || attempt > 100))
            return fail(QStringLiteral("cannot create a file in %1: %2").arg(folder, systemError(errno)));
    }
    const auto failAndRemove = [&](const QString& what, int error) {
        ::unlinkat(folderFd.get(), temp.constData(), 0);
        return fail(QStringLiteral("%1: %2").arg(what, systemError(error)));
    };
    if (!writeAll(file.get(), content))
        return failAndRemove(QStringLiteral("cannot write in %1").arg(folder), errno);
    if (::fsync(file.get()) != 0)
        return failAndRemove(QStringLiteral("cannot write in %1").arg(folder), errno);
    if (file.close() != 0) return failAndRemove(QStringLiteral("cannot write in %1").arg(folder), errno);

    for (int sequence = 1; sequence <= MaxSequence; ++sequence) {
        const QString name = LogFileName(base, sequence);
        if (publishWithoutReplacing(folderFd.get(), temp.constData(), QFile::encodeName(name).constData())) {
            // The new name itself is made durable too.
            ::fsync(folderFd.get());
            return name;
        }
        if (errno != EEXIST)
            return failAndRemove(QStringLiteral("cannot create %1/%2").arg(folder, name), errno);
    }
    ::unlinkat(folderFd.get(), temp.constData(), 0);
    return fail(
        QStringLiteral("%1 already holds files %2-01.txt to -%3.txt").arg(folder, base).arg(MaxSequence));
}

bool ReadLogFile(AppState& state, UserInterface& ui, const QString& path) {
    const auto fail = [&ui](const QString& why) {
        ui.error(OpenProcedure, why);
        return false;
    };
    QFile file(path);
    if (QFileInfo(path).isDir()) return fail(QStringLiteral("%1 is a folder, not a log file").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));

    LogData& log = state.log;
    log.RecordCount = 0;
    log.SensorType = SensorVantorp;

    const QByteArray bytes = file.readAll();
    const bool readFailed = file.error() != QFileDevice::NoError;
    const QString readError = file.errorString();
    file.close();

    // Files are UTF-8; one that is not is taken as Latin-1 rather than losing its time texts.
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) text = QString::fromLatin1(bytes);

    // A line ends at CR LF, LF or CR.
    const QStringView all(text);
    qsizetype at = 0;
    while (at < all.size()) {
        qsizetype end = at;
        while (end < all.size() && all[end] != QLatin1Char('\n') && all[end] != QLatin1Char('\r')) ++end;
        QString line = all.mid(at, end - at).toString();
        at = end;
        if (at < all.size() && all[at] == QLatin1Char('\r')) ++at;
        if (at < all.size() && all[at] == QLatin1Char('\n') &&
            (at == end || all[at - 1] == QLatin1Char('\r')))
            ++at;
        if (line.isEmpty()) break; // an empty line ends the data
        if (log.RecordCount >= MaxLogRecords)
            return fail(QStringLiteral("%1 holds more than %2 records; the first %2 are read")
                            .arg(path)
                            .arg(MaxLogRecords));

        const int n = log.RecordCount;
        log.LogTime[n] = NextCommaField(line).trimmed();
        log.LogTemp[n] = ReadLogNumber(NextCommaField(line));
        if (n == 0) {
            log.LogRh[0] = log.LogMc1[0] = ReadLogNumber(NextCommaField(line));
            const QString fourth = NextCommaField(line).trimmed();
            if (!fourth.isEmpty()) {
                log.SensorType = SensorQ7R;
                log.LogMc2[0] = ReadLogNumber(fourth);
                log.LogMc3[0] = ReadLogNumber(NextCommaField(line));
                log.LogRhQ7R[0] = ReadLogNumber(NextCommaField(line));
            }
        } else if (log.isQ7R()) {
            log.LogMc1[n] = ReadLogNumber(NextCommaField(line));
            log.LogMc2[n] = ReadLogNumber(NextCommaField(line));
            log.LogMc3[n] = ReadLogNumber(NextCommaField(line));
            log.LogRhQ7R[n] = ReadLogNumber(NextCommaField(line));
        } else {
            log.LogRh[n] = ReadLogNumber(NextCommaField(line));
        }
        log.RecordCount = n + 1;
    }
    if (readFailed) return fail(QStringLiteral("cannot read %1: %2").arg(path, readError));
    return true;
}

bool DeleteLogFile(const AppState& state, const QString& name, QString& why) {
    const QString path = LogFilePath(state, name);
    if (name.isEmpty() || name.contains(QLatin1Char('/'))) {
        why = QStringLiteral("%1 is not a file of %2").arg(name, state.dataFolder());
        return false;
    }
    if (::unlink(QFile::encodeName(path).constData()) != 0) {
        why = QStringLiteral("cannot delete %1: %2").arg(path, systemError(errno));
        return false;
    }
    return true;
}

bool DeleteSelectedLogFile(AppState& state, UserInterface& ui) {
    LogData& log = state.log;
    if (log.SelectedLogFile.isEmpty()) {
        ui.message({QStringLiteral("Select a file first."), Icon::Information});
        return false;
    }
    const Answer answer =
        ui.message({QStringLiteral("Do you want to delete ") + log.SelectedLogFile + QStringLiteral(" ?"),
                    Icon::Question, Buttons::YesNo, ConfirmTitle, Answer::Yes});
    if (answer != Answer::Yes) return false;
    QString why;
    if (!DeleteLogFile(state, log.SelectedLogFile, why)) {
        ui.message({QStringLiteral("Delete Error: ") + why});
        return false;
    }
    log.SelectedLogFile.clear();
    log.RecordCount = 0;
    log.SensorType = SensorVantorp;
    return true;
}

} // namespace kv5
