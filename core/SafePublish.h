// The one way the program publishes a file it writes (log files, workbooks, printouts, charts):
// the content goes to a hidden file in the folder of the final name, is flushed to disk, and only
// then takes its final name in one step. A reader never sees a half-written file, and a failure,
// a cancel or an ending signal leaves nothing behind. New files get the usual mode of new files,
// 0666 less the umask, like every other program's files. Needs only Qt Core and POSIX.
#pragma once

#include <QByteArray>
#include <QString>

#include <csignal>

#include <sys/types.h>

namespace kv5 {

class PendingFile {
public:
    enum class Publish { Replacing, NeverReplacing };
    enum class Outcome { Published, NameTaken, Failed };

    PendingFile() = default;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    // Removes the hidden file unless it was published.
    ~PendingFile();

    // Creates the hidden file in folder, named after prefix. False with the cause in why.
    bool create(const QString& folder, const QString& prefix, QString& why);
    // Creates the hidden file in the folder of target, the file it is to become; a target that
    // is a folder is refused at once, before anything is written. False with the cause in why.
    bool createFor(const QString& target, const QString& prefix, QString& why);
    // A path for writers that open their output by name (the workbook library, the printer):
    // the entry of the hidden file's descriptor in /proc, which names this very file whatever
    // anyone who can write to the folder does to its names meanwhile.
    QString writerPath() const;
    // Appends bytes; false with the cause in why.
    bool write(const QByteArray& bytes, QString& why);

    // Flushes the file to disk and gives it the name fileName in its folder; the new name is made
    // durable too. Failed with the cause in why.
    // - Replacing: a plain file of that name is replaced and its mode kept; a symbolic link (or a
    //   folder, a device) there is neither followed nor replaced.
    // - NeverReplacing: NameTaken when the name exists (the hidden file stays for another name).
    //   Where the file system has neither a rename that fails on an existing name nor hard links
    //   (many remote and cloud mounts), the content is copied into a file created under the name
    //   only if it is not there, and the hidden file is removed.
    Outcome publish(const QString& fileName, Publish how, QString& why);

private:
    Outcome copyToNewName(const QByteArray& finalName, const QString& fileName, QString& why);

    int folderFd_ = -1;
    int fd_ = -1;
    QString folder_;
    QByteArray name_; // the hidden file's name within folder_
    int cleanupSlot_ = -1;
    mode_t newFileMode_ = 0600;
    bool synced_ = false;
};

// A file, or a folder with the files in it, that an ending signal removes (see
// RemoveTemporaryFilesOnSignal) while this object lives; for temporary things made without
// PendingFile, such as the folder where a library writes temporary files of its own.
class RemovedOnSignal {
public:
    RemovedOnSignal(const QString& path, bool folder);
    RemovedOnSignal(const RemovedOnSignal&) = delete;
    RemovedOnSignal& operator=(const RemovedOnSignal&) = delete;
    ~RemovedOnSignal();

private:
    int slot_;
};

// Holds back SIGINT, SIGTERM and SIGHUP while it lives, so that a temporary thing is never
// made without being known to the signal's cleanup: made and armed in one step.
class EndingSignalsHeld {
public:
    EndingSignalsHeld();
    EndingSignalsHeld(const EndingSignalsHeld&) = delete;
    EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;
    ~EndingSignalsHeld();

private:
    sigset_t before_;
};

// Makes SIGINT, SIGTERM and SIGHUP remove the hidden files of every living PendingFile and the
// things of every RemovedOnSignal before the program ends by that signal, as it would have
// without (so its exit status tells of the interruption). A signal the program was started
// with ignored stays ignored. Called once at start-up.
void RemoveTemporaryFilesOnSignal();

} // namespace kv5
