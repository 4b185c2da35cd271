// The context file beside a log file.
#include "core/LogContext.h"
#include "logfiles/LogFile.h"

#include <QFile>
#include <QFileInfo>

namespace kv5 {

bool ReadLogContext(const QString& logPath, std::optional<LogContext>& context, QString& why) {
    context.reset();
    const QString path = ContextFileName(logPath);
    QFile file(path);
    if (!file.exists()) return true;
    if (!QFileInfo(path).isFile()) {
        why = QStringLiteral("%1 is not a regular file").arg(path);
        return false;
    }
    // A context is a few hundred bytes; a huge or endless file is not one.
    constexpr qint64 MaxContextBytes = 1 << 16;
    if (!file.open(QIODevice::ReadOnly)) {
        why = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray bytes = file.read(MaxContextBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        why = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    LogContext read;
    QString reason;
    if (bytes.size() > MaxContextBytes) reason = QStringLiteral("larger than %1 bytes").arg(MaxContextBytes);
    if (!reason.isEmpty() || !ReadLogContextJson(bytes, read, reason)) {
        why = QStringLiteral("%1 is no log context: %2").arg(path, reason);
        return false;
    }
    context = std::move(read);
    return true;
}

} // namespace kv5
