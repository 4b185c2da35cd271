// The one way the program publishes a file it writes (log files, workbooks, printouts): the
// content goes to a hidden file in the folder of the final name, is flushed to disk, and only
// then takes its final name in one step. A reader never sees a half-written file, and a failure
// or a cancel leaves nothing behind. New files get the usual mode of new files, 0666 less the
// umask, like every other program's files. Needs only Qt Core and POSIX.
#pragma once

#include <QByteArray>
#include <QString>

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
    // Its path, for writers that open the file by name.
    QString path() const;
    // Appends bytes; false with the cause in why.
    bool write(const QByteArray& bytes, QString& why);

    // Flushes the file to disk and gives it the name fileName in its folder, replacing a file of
    // that name or, with NeverReplacing, giving NameTaken when the name exists (the hidden file
    // stays for another name). The new name is made durable too. Failed with the cause in why.
    Outcome publish(const QString& fileName, Publish how, QString& why);

private:
    void closeFile();

    int folderFd_ = -1;
    int fd_ = -1;
    QString folder_;
    QByteArray name_; // the hidden file's name within folder_
    bool synced_ = false;
};

} // namespace kv5
