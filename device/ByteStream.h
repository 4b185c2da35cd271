// The byte stream under the serial link: open a port, write bytes, take what has arrived, and
// wait for more until a deadline on the stream's own monotonic clock. A real serial port (or a
// pseudo-terminal) is one; the simulator's in-process logger, on a virtual clock, is another.
#pragma once

#include <QByteArray>
#include <QString>

namespace kv5 {

class ByteStream {
public:
    virtual ~ByteStream() = default;

    // Opens the port at 9600 baud, 8 data bits, no parity, one stop bit. False with the cause,
    // in words that say what to do about it.
    virtual bool open(const QString& port, QString& failure) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Nanoseconds on a monotonic clock.
    virtual qint64 now() const = 0;
    // Throws away what has arrived and was not taken, the driver's part included.
    virtual void discardInput() = 0;
    // Sends the bytes now; false (with errorString()) when that fails.
    virtual bool write(const QByteArray& bytes) = 0;
    // What has arrived since the last take.
    virtual QByteArray take() = 0;
    // Returns when the clock reaches `until`, the stream fails, or, with `onInput`, more bytes
    // have arrived. False when the stream failed: it is closed then and failure() says why.
    virtual bool wait(qint64 until, bool onInput) = 0;

    virtual QString errorString() const = 0;
    // Why the stream was closed under its user (the device went away); empty otherwise.
    virtual QString failure() const = 0;
};

} // namespace kv5
