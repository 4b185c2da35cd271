#include "device/SerialLink.h"

#include "app/UserInterface.h"
#include "device/ReplyChecks.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
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

} // namespace

SerialLink::SerialLink(UserInterface& ui, QObject* parent) : QObject(parent), ui_(ui) {
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialLink::portFailed);
}

SerialLink::~SerialLink() {
    if (port_.isOpen()) port_.close();
}

void SerialLink::portFailed(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || !port_.isOpen()) return;
    // A vanished device makes the port report read errors in a tight loop for as long as it
    // stays open: close it on the first one, outside the port's own signal.
    if (lostReason_.isEmpty()) lostReason_ = port_.errorString();
    const quint64 generation = generation_;
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation == generation_ && port_.isOpen()) port_.close();
        },
        Qt::QueuedConnection);
}

QString SerialLink::openFailureText(const QString& port) const {
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

bool SerialLink::PortOpen(const QString& port) {
    ui_.status(QStringLiteral("Opening Serial Port"));
    if (port_.isOpen()) return true;
    port_.setPortName(port);
    port_.setBaudRate(QSerialPort::Baud9600);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.setReadBufferSize(1024);
    lostReason_.clear();
    ++generation_;
    if (!port_.open(QIODevice::ReadWrite)) {
        ui_.message({QStringLiteral("ERROR: PortOpen: ") + openFailureText(port)});
        return false;
    }
    return true;
}

void SerialLink::PortClose() {
    if (!port_.isOpen()) return;
    port_.close();
}

std::optional<QByteArray> SerialLink::transaction(const QByteArray& request, int expected, double limitSeconds,
                                                  const QString& procedure) {
    if (!port_.isOpen()) {
        // A device that vanished earlier in this operation simply no longer answers.
        if (!lostReason_.isEmpty()) return QByteArray();
        ui_.error(procedure, QStringLiteral("The serial port is not open."));
        return std::nullopt;
    }

    // Discard stale input, both what the port object holds and what the driver holds, so a
    // late answer to an earlier command is never taken for this one.
    port_.clear(QSerialPort::Input);
    port_.readAll();

    // Send the request in one write and push it out now.
    if (port_.write(request) != request.size()) {
        ui_.error(procedure, port_.errorString());
        return std::nullopt;
    }
    port_.flush();
    bytesWritten_ += static_cast<quint64>(request.size());

    // Wait on a monotonic clock for the whole reply; a leading 0x00 byte is not part of it.
    const auto limit = static_cast<qint64>(std::llround(limitSeconds * 1000.0));
    QDeadlineTimer deadline(limit, Qt::PreciseTimer);
    const auto complete = [&] {
        const qint64 available = port_.bytesAvailable();
        if (available < expected) return false;
        if (available > expected) return true;
        char first = 0;
        return port_.peek(&first, 1) == 1 && first != '\0';
    };
    bool failed = false;
    if (!complete()) {
        QEventLoop loop;
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(&port_, &QSerialPort::readyRead, &loop, [&] {
            if (complete()) loop.quit();
        });
        connect(&port_, &QSerialPort::errorOccurred, &loop, [&](QSerialPort::SerialPortError error) {
            if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError) return;
            failed = true;
            loop.quit();
        });
        while (!failed && !complete() && !deadline.hasExpired()) {
            const qint64 nanoseconds = deadline.remainingTimeNSecs();
            timer.start(static_cast<int>(std::max<qint64>(1, (nanoseconds + 999999) / 1000000)));
            loop.exec();
        }
    }
    if (failed) {
        if (lostReason_.isEmpty()) lostReason_ = port_.errorString();
        port_.close();
        return QByteArray();
    }

    // Read what arrived and drop one leading 0x00 byte.
    QByteArray reply = port_.readAll();
    bytesRead_ += static_cast<quint64>(reply.size());
    return DropLeadingZero(std::move(reply));
}

QByteArray SerialLink::GetCmd(const QByteArray& command, int payloadLength) {
    const QByteArray echo = command + ' ';
    const auto reply = transaction(command + '\r', static_cast<int>(echo.size()) + payloadLength + 2, 2.0,
                                   QStringLiteral("GetCmd"));
    if (!reply) return CommError;
    return QueryPayload(command, *reply, payloadLength);
}

int ByteAt(const QByteArray& reply, int position, UserInterface& ui) {
    if (position < 1 || position > reply.size()) {
        ui.error(QStringLiteral("ByteAt"),
                 QStringLiteral("position %1 is outside the reply of %2 bytes").arg(position).arg(reply.size()));
        return 0;
    }
    return static_cast<unsigned char>(reply.at(position - 1));
}

} // namespace kv5
