#include "core/SafePublish.h"

#include "core/SystemError.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kv5 {

namespace {

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

// Copies the whole content of from to the end of to; false with errno set.
bool copyAll(int from, int to) {
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(from, buffer.data(), static_cast<size_t>(buffer.size()), at);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        if (!writeAll(to, buffer.constData(), got)) return false;
        at += got;
    }
}

// What an ending signal removes: names relative to an open folder, in slots that the signal
// handler reads without locks. A slot is filled first and armed last.
struct CleanupSlot {
    std::atomic<bool> taken{false};
    std::atomic<bool> armed{false};
    int folderFd = AT_FDCWD;
    int flags = 0; // AT_REMOVEDIR for a folder
    char name[PATH_MAX] = {};
};
static_assert(std::atomic<bool>::is_always_lock_free);
CleanupSlot cleanupSlots[32];

// Arms a slot for name in folderFd; -1 when none is free or the name is too long (the thing is
// then only removed the ordinary way).
int armCleanup(int folderFd, const QByteArray& name, int flags) {
    if (name.size() >= PATH_MAX) return -1;
    for (int i = 0; i < int(std::size(cleanupSlots)); ++i) {
        CleanupSlot& slot = cleanupSlots[i];
        bool free = false;
        if (!slot.taken.compare_exchange_strong(free, true)) continue;
        slot.folderFd = folderFd;
        slot.flags = flags;
        std::memcpy(slot.name, name.constData(), static_cast<size_t>(name.size()) + 1);
        slot.armed.store(true, std::memory_order_release);
        return i;
    }
    return -1;
}

void disarmCleanup(int& slot) {
    if (slot < 0) return;
    cleanupSlots[slot].armed.store(false, std::memory_order_release);
    cleanupSlots[slot].taken.store(false, std::memory_order_release);
    slot = -1;
}

// Removes the files in the folder name of parent, with system calls only (no opendir, which
// allocates): a library may be writing its own temporary files there.
void removeFilesIn(int parent, const char* name) {
    const int folder = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) return;
    alignas(dirent64) static char entries[8192];
    for (long got; (got = ::syscall(SYS_getdents64, folder, entries, sizeof entries)) > 0;)
        for (long at = 0; at < got; at += reinterpret_cast<const dirent64*>(entries + at)->d_reclen)
            ::unlinkat(folder, reinterpret_cast<const dirent64*>(entries + at)->d_name, 0); // not "." or ".."
    ::close(folder);
}

void removeAndEnd(int signal) {
    // Files first, then the folders that held them. Only async-signal-safe calls here.
    for (const int flags : {0, AT_REMOVEDIR})
        for (CleanupSlot& slot : cleanupSlots)
            if (slot.armed.load(std::memory_order_acquire) && slot.flags == flags) {
                if (flags == AT_REMOVEDIR) removeFilesIn(slot.folderFd, slot.name);
                ::unlinkat(slot.folderFd, slot.name, flags);
            }
    struct sigaction original {};
    original.sa_handler = SIG_DFL;
    ::sigaction(signal, &original, nullptr);
    // Blocked while this handler runs, the signal ends the program as soon as it returns.
    ::raise(signal);
}

// The mode the user's new files get: 0666 less the umask. The kernel tells the umask without
// changing it; where it does not, it is set and put back at once.
mode_t newFileMode() {
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status)) found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found) return 0666 & ~static_cast<mode_t>(mask);
    }
    const mode_t mask = ::umask(077);
    ::umask(mask);
    return 0666 & ~mask;
}

bool oneOf(int error, std::initializer_list<int> errors) {
    for (const int e : errors)
        if (error == e) return true;
    return false;
}

} // namespace

PendingFile::~PendingFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!name_.isEmpty()) ::unlinkat(folderFd_, name_.constData(), 0);
    disarmCleanup(cleanupSlot_);
    if (folderFd_ >= 0) ::close(folderFd_);
}

bool PendingFile::createFor(const QString& target, const QString& prefix, QString& why) {
    const QFileInfo info(target);
    if (info.isDir()) {
        why = QStringLiteral("%1 is a folder").arg(info.absoluteFilePath());
        return false;
    }
    return create(info.absolutePath(), prefix, why);
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
        // The user's alone until it is published, as what it replaces may be: created 0600, so
        // that no one else can open it even for a moment. Read and write: a file system without
        // links gets the content copied out of it, and writers open it again through writerPath.
        const EndingSignalsHeld held;
        fd_ = ::openat(folderFd_, name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd_ >= 0) {
            name_ = name;
            cleanupSlot_ = armCleanup(folderFd_, name_, 0);
            // The mode of a new file, given when the file is published.
            newFileMode_ = newFileMode();
            return true;
        }
        if (errno != EEXIST || attempt > 100) {
            why = QStringLiteral("cannot create a file in %1: %2").arg(folder, systemError(errno));
            return false;
        }
    }
}

QString PendingFile::writerPath() const {
    return QStringLiteral("/proc/self/fd/%1").arg(fd_);
}

bool PendingFile::write(const QByteArray& bytes, QString& why) {
    if (fd_ >= 0 && writeAll(fd_, bytes.constData(), bytes.size())) return true;
    why = QStringLiteral("cannot write in %1: %2").arg(folder_, systemError(fd_ >= 0 ? errno : EBADF));
    return false;
}

PendingFile::Outcome PendingFile::publish(const QString& fileName, Publish how, QString& why) {
    const QString target = folder_ + QLatin1Char('/') + fileName;
    const auto failed = [&](const QString& text) {
        why = text;
        return Outcome::Failed;
    };
    if (name_.isEmpty())
        return failed(QStringLiteral("cannot write in %1: %2").arg(folder_, systemError(EBADF)));
    // A writer that opened the file by name wrote through its own descriptor; flushing any
    // descriptor of the file flushes it all.
    if (!synced_ && ::fsync(fd_) != 0)
        return failed(QStringLiteral("cannot write in %1: %2").arg(folder_, systemError(errno)));
    synced_ = true;

    const QByteArray finalName = QFile::encodeName(fileName);
    // A new file gets the usual mode; a replacement keeps what the user allowed of the file it
    // replaces (a private file stays private). A file system without modes keeps its own.
    mode_t mode = newFileMode_;
    struct stat existing {};
    if (how == Publish::Replacing &&
        ::fstatat(folderFd_, finalName.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(existing.st_mode))
            return failed(
                QStringLiteral(
                    "%1 is a symbolic link: it is neither followed nor replaced; name the file itself")
                    .arg(target));
        if (!S_ISREG(existing.st_mode))
            return failed(QStringLiteral("%1 is not a plain file: it is not replaced").arg(target));
        mode = existing.st_mode & 0777;
    }
    ::fchmod(fd_, mode);

    const char* from = name_.constData();
    const char* to = finalName.constData();
    if (how == Publish::Replacing) {
        if (::renameat(folderFd_, from, folderFd_, to) != 0)
            return failed(QStringLiteral("cannot create %1: %2").arg(target, systemError(errno)));
    } else if (::renameat2(folderFd_, from, folderFd_, to, RENAME_NOREPLACE) != 0) {
        if (errno == EEXIST) return Outcome::NameTaken;
        if (!oneOf(errno, {EINVAL, ENOSYS, ENOTSUP, EOPNOTSUPP}))
            return failed(QStringLiteral("cannot create %1: %2").arg(target, systemError(errno)));
        // No no-replace rename here: a hard link also fails on an existing name.
        if (::linkat(folderFd_, from, folderFd_, to, 0) != 0) {
            if (errno == EEXIST) return Outcome::NameTaken;
            if (!oneOf(errno, {EPERM, ENOSYS, ENOTSUP, EOPNOTSUPP}))
                return failed(QStringLiteral("cannot create %1: %2").arg(target, systemError(errno)));
            return copyToNewName(finalName, fileName, why);
        }
        ::unlinkat(folderFd_, from, 0);
    }
    name_.clear();
    disarmCleanup(cleanupSlot_);
    ::fsync(folderFd_);
    return Outcome::Published;
}

PendingFile::Outcome PendingFile::copyToNewName(const QByteArray& finalName, const QString& fileName,
                                                QString& why) {
    const QString target = folder_ + QLatin1Char('/') + fileName;
    const int copy =
        ::openat(folderFd_, finalName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (copy < 0) {
        if (errno == EEXIST) return Outcome::NameTaken;
        why = QStringLiteral("cannot create %1: %2").arg(target, systemError(errno));
        return Outcome::Failed;
    }
    // Until it is whole, the copy is as temporary as the hidden file.
    int copySlot = armCleanup(folderFd_, finalName, 0);
    bool whole = copyAll(fd_, copy) && ::fsync(copy) == 0;
    int error = errno;
    if (::close(copy) != 0 && whole) {
        whole = false;
        error = errno;
    }
    if (!whole) {
        ::unlinkat(folderFd_, finalName.constData(), 0);
        disarmCleanup(copySlot);
        why = QStringLiteral("cannot write %1: %2").arg(target, systemError(error));
        return Outcome::Failed;
    }
    // The copy is kept from here on; a signal before the hidden file is gone takes only that.
    disarmCleanup(copySlot);
    ::unlinkat(folderFd_, name_.constData(), 0);
    name_.clear();
    disarmCleanup(cleanupSlot_);
    ::fsync(folderFd_);
    return Outcome::Published;
}

RemovedOnSignal::RemovedOnSignal(const QString& path, bool folder)
    : slot_(armCleanup(AT_FDCWD, QFile::encodeName(path), folder ? AT_REMOVEDIR : 0)) {}

RemovedOnSignal::~RemovedOnSignal() {
    disarmCleanup(slot_);
}

EndingSignalsHeld::EndingSignalsHeld() {
    sigset_t ending;
    sigemptyset(&ending);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&ending, signal);
    ::pthread_sigmask(SIG_BLOCK, &ending, &before_);
}

EndingSignalsHeld::~EndingSignalsHeld() {
    ::pthread_sigmask(SIG_SETMASK, &before_, nullptr);
}

void RemoveTemporaryFilesOnSignal() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
        struct sigaction handler {};
        handler.sa_handler = removeAndEnd;
        sigemptyset(&handler.sa_mask);
        // One ending signal at a time: the others wait until the first has done its work.
        for (const int other : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&handler.sa_mask, other);
        ::sigaction(signal, &handler, nullptr);
    }
}

} // namespace kv5
