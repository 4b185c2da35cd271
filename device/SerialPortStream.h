// The byte stream of a real serial port, or of a pseudo-terminal, through QSerialPort.
#pragma once

#include "device/ByteStream.h"

#include <QObject>
#include <QSerialPort>

namespace kv5 {

class SerialPortStream : public QObject, public ByteStream {
    Q_OBJECT

public:
    explicit SerialPortStream(QObject* parent = nullptr);
    ~SerialPortStream() override;

    bool open(const QString& port, QString& failure) override;
    void close() override;
    bool isOpen() const override { return port_.isOpen(); }
    qint64 now() const override;
    void discardInput() override;
    bool write(const QByteArray& bytes) override;
    QByteArray take() override;
    // Waits in a local event loop, so the windows stay responsive. Without `onInput` the port's
    // read notifier is off meanwhile: bytes that arrive wait in the driver and wake nobody.
    bool wait(qint64 until, bool onInput) override;
    QString errorString() const override { return port_.errorString(); }
    QString failure() const override { return failure_; }

private:
    void portFailed(QSerialPort::SerialPortError error);
    QString openFailureText(const QString& port) const;
    void setReadNotification(bool enabled);

    QSerialPort port_;
    quint64 generation_ = 0; // counts opens, so a late close never hits a newer open
    QString failure_;
    QByteArray leftover_; // read in the moment the port failed, not yet taken
};

} // namespace kv5
