#include "core/SafePublish.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace kv5 {

namespace {

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool writeAll(int fd, const char* data, qsizetype left) {
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

// Gives from the name to in folder; unless replacing, fails with EEXIST when to exists.
bool renameIn(int folder, const char* from, const char* to, bool replacing) {
    if (replacing) return ::renameat(folder, from, folder, to) == 0;
    if (::renameat2(folder, from, folder, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP && errno != EOPNOTSUPP) return false;
    // A file system without the no-replace rename: a hard link also fails on an existing name.
    if (::linkat(folder, from, folder, to, 0) != 0) return false;
    ::unlinkat(folder, from, 0);
    return true;
}

} // namespace

PendingFile::~PendingFile() {
    closeFile();
    if (!name_.isEmpty()) ::unlinkat(folderFd_, name_.constData(), 0);
    if (folderFd_ >= 0) ::close(folderFd_);
}

void PendingFile::closeFile() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool PendingFile::create(const QString& folder, const QString& prefix, QString& why) {
    folder_ = folder;
    folderFd_ = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd_ < 0) {
        why = QStringLiteral("cannot open the folder %1: %2").arg(folder, systemError(errno));
        return false;
    }
    // Hidden and with its own ending, so that no list of the folder's files shows it.
    for (int attempt = 0;; ++attempt) {
        const QByteArray name = '.' + QFile::encodeName(prefix) + '-' + QByteArray::number(::getpid()) + '-' +
                                QByteArray::number(QRandomGenerator::global()->generate(), 16) + ".tmp";
        // 0666: the umask takes away what the user does not give to others.
        fd_ = ::openat(folderFd_, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            name_ = name;
            return true;
        }
        if (errno != EEXIST || attempt > 100) {
            why = QStringLiteral("cannot create a file in %1: %2").arg(folder, systemError(errno));
            return false;
        }
    }
}

QString PendingFile::path() const {
    return folder_ + QLatin1Char('/') + QFile::decodeName(name_);
}

bool PendingFile::write(const QByteArray& bytes, QString& why) {
    if (fd_ >= 0 && writeAll(fd_, bytes.constData(), bytes.size())) return true;
    why = QStringLiteral("cannot write in %1: %2").arg(folder_, systemError(fd_ >= 0 ? errno : EBADF));
    return false;
}

PendingFile::Outcome PendingFile::publish(const QString& fileName, Publish how, QString& why) {
    if (name_.isEmpty()) {
        why = QStringLiteral("cannot write in %1: %2").arg(folder_, systemError(EBADF));
        return Outcome::Failed;
    }
    if (!synced_) {
        // A writer that opened the file by name wrote through its own descriptor; flushing any
        // descriptor of the file flushes it all.
        if (fd_ < 0) fd_ = ::openat(folderFd_, name_.constData(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0 || ::fsync(fd_) != 0 || ::close(std::exchange(fd_, -1)) != 0) {
            why = QStringLiteral("cannot write in %1: %2").arg(folder_, systemError(errno));
            return Outcome::Failed;
        }
        synced_ = true;
    }
    const QByteArray finalName = QFile::encodeName(fileName);
    if (!renameIn(folderFd_, name_.constData(), finalName.constData(), how == Publish::Replacing)) {
        if (errno == EEXIST && how == Publish::NeverReplacing) return Outcome::NameTaken;
        why = QStringLiteral("cannot create %1/%2: %3").arg(folder_, fileName, systemError(errno));
        return Outcome::Failed;
    }
    name_.clear();
    ::fsync(folderFd_);
    return Outcome::Published;
}

} // namespace kv5
