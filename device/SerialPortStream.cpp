#include "device/SerialPortStream.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <utility>

namespace kv5 {

namespace {

// The programs that hold the device open, as "name (process N)", where /proc lets us see them.
QStringList programsUsing(const QString& device) {
    const QString target = QFileInfo(device).canonicalFilePath();
    QStringList programs;
    if (target.isEmpty()) return programs;
    const QDir proc(QStringLiteral("/proc"));
    const QStringList pids = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    const QString self = QString::number(::getpid());
    for (const QString& pid : pids) {
        bool numeric = false;
        pid.toInt(&numeric);
        if (!numeric || pid == self) continue;
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        for (const QString& fd : fds.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
            if (QFileInfo(fds.filePath(fd)).symLinkTarget() == target) {
                QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
                QString name = comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed()
                                                              : QStringLiteral("unknown");
                programs << QStringLiteral("%1 (process %2)").arg(name, pid);
                break;
            }
        }
    }
    return programs;
}

QString groupOf(const QString& device) {
    struct stat info {};
    if (::stat(QFile::encodeName(device).constData(), &info) != 0) return {};
    const group* owner = ::getgrgid(info.st_gid);
    return owner ? QString::fromLocal8Bit(owner->gr_name) : QString::number(info.st_gid);
}

bool isFailure(QSerialPort::SerialPortError error) {
    return error != QSerialPort::NoError && error != QSerialPort::TimeoutError;
}

} // namespace

SerialPortStream::SerialPortStream(QObject* parent) : QObject(parent) {
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialPortStream::portFailed);
}

SerialPortStream::~SerialPortStream() {
    if (port_.isOpen()) port_.close();
}

void SerialPortStream::portFailed(QSerialPort::SerialPortError error) {
    if (!isFailure(error) || !port_.isOpen()) return;
    // A vanished device makes the port report read errors in a tight loop for as long as it
    // stays open: close it on the first one, outside the port's own signal.
    if (failure_.isEmpty()) failure_ = port_.errorString();
    const quint64 generation = generation_;
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation == generation_ && port_.isOpen()) port_.close();
        },
        Qt::QueuedConnection);
}

QString SerialPortStream::openFailureText(const QString& port) const {
    const QString rule = QStringLiteral("60-quorvane-kv5.rules");
    switch (port_.error()) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("The port %1 does not exist. Check that the logger is plugged in.").arg(port);
    case QSerialPort::PermissionError: {
        if (::access(QFile::encodeName(port).constData(), R_OK | W_OK) == 0) {
            const QStringList holders = programsUsing(port);
            return QStringLiteral("The port %1 is in use by another program%2. Close it and try again.")
                .arg(port, holders.isEmpty() ? QString() : QStringLiteral(": ") + holders.join(QStringLiteral(", ")));
        }
        const QString group = groupOf(port);
        return QStringLiteral("Permission denied on %1. The port belongs to the group \"%2\": add your user to "
                              "it (sudo usermod -aG %2 $USER) and log in again, or install the udev rule "
                              "%3 that comes with the program.")
            .arg(port, group.isEmpty() ? QStringLiteral("dialout") : group, rule);
    }
    default: {
        const QStringList holders = programsUsing(port);
        if (!holders.isEmpty())
            return QStringLiteral("The port %1 is in use by another program: %2. Close it and try again.")
                .arg(port, holders.join(QStringLiteral(", ")));
        return QStringLiteral("The port %1 could not be opened: %2.").arg(port, port_.errorString());
    }
    }
}

bool SerialPortStream::open(const QString& port, QString& failure) {
    port_.setPortName(port);
    port_.setBaudRate(QSerialPort::Baud9600);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.setReadBufferSize(1024);
    failure_.clear();
    leftover_.clear();
    ++generation_;
    if (port_.open(QIODevice::ReadWrite)) return true;
    failure = openFailureText(port);
    return false;
}

void SerialPortStream::close() {
    if (port_.isOpen()) port_.close();
}

qint64 SerialPortStream::now() const {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SerialPortStream::discardInput() {
    // Both what the port object holds and what the driver holds.
    leftover_.clear();
    port_.clear(QSerialPort::Input);
    port_.readAll();
}

bool SerialPortStream::write(const QByteArray& bytes) {
    if (port_.write(bytes) != bytes.size()) return false;
    port_.flush();
    return true;
}

QByteArray SerialPortStream::take() {
    QByteArray bytes = std::exchange(leftover_, QByteArray());
    if (port_.isOpen()) bytes += port_.readAll();
    return bytes;
}

void SerialPortStream::setReadNotification(bool enabled) {
    // The port reads the driver whenever its notifier fires; switched off, arriving bytes stay
    // in the driver until it is on again. Should the port ever keep no such notifier, the
    // wait still works, only with more wake-ups.
    for (QSocketNotifier* notifier : port_.findChildren<QSocketNotifier*>())
        if (notifier->type() == QSocketNotifier::Read) notifier->setEnabled(enabled);
}

bool SerialPortStream::wait(qint64 until, bool onInput) {
    if (!port_.isOpen()) return false;
    bool failed = false;
    {
        QEventLoop loop;
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        if (onInput) connect(&port_, &QSerialPort::readyRead, &loop, &QEventLoop::quit);
        connect(&port_, &QSerialPort::errorOccurred, &loop, [&](QSerialPort::SerialPortError error) {
            if (!isFailure(error)) return;
            failed = true;
            loop.quit();
        });
        const qint64 nanoseconds = until - now();
        timer.start(static_cast<int>(std::max<qint64>(0, (nanoseconds + 999999) / 1000000)));
        if (!onInput) setReadNotification(false);
        loop.exec();
        if (!onInput && port_.isOpen()) setReadNotification(true);
    }
    if (failed) {
        if (failure_.isEmpty()) failure_ = port_.errorString();
        // What came before the failure can still be taken.
        leftover_ += port_.readAll();
        port_.close();
    }
    return port_.isOpen();
}

} // namespace kv5
