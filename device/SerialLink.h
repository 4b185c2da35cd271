// The serial link to the logger: opening and closing the one port, and the request/reply
// transaction that every logger command uses. The commands themselves, the queries among them,
// are the command set's (device/Commands.h).
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace kv5 {

class ByteStream;
class UserInterface;

// What a read yields when the logger did not answer as it must.
inline const QByteArray CommError = QByteArrayLiteral("COMM ERROR");

class SerialLink : public QObject {
    Q_OBJECT

public:
    // A link on the serial port of the machine (QSerialPort).
    explicit SerialLink(UserInterface& ui, QObject* parent = nullptr);
    // A link on the given stream, for example the simulator's in-process logger.
    SerialLink(UserInterface& ui, ByteStream& stream, QObject* parent = nullptr);
    ~SerialLink() override;

    UserInterface& ui() { return ui_; }

    // Shows "Opening Serial Port", opens the port at 9600 8N1 unless it is open already, and
    // tells whether it is open. A port it opens is drained until the line is quiet, so an
    // operation starts on a quiet line. A failure is reported with "ERROR: PortOpen: " and what
    // to do.
    bool PortOpen(const QString& port);
    // Closes the port when it is open.
    void PortClose();
    bool isOpen() const;

    // One exchange: discard stale input, send the request, wait until `expected` bytes are
    // there (one more when the reply starts with a 0x00 byte), the port fails, or the limit
    // has passed; read what arrived and drop one leading 0x00. A reply cut short by the limit
    // is returned as it is. No value means a run-time error, already reported under
    // `procedure`. A device that vanishes closes the port and gives an empty reply.
    std::optional<QByteArray> transaction(const QByteArray& request, int expected, double limitSeconds,
                                          const QString& procedure);

    // Throws away what arrives until the line has been quiet for `quietSeconds` (at most a few
    // seconds in all), so that a late answer to an earlier request is not taken for the next.
    void drainInput(double quietSeconds);

    // Why the port was closed under a running operation (the device vanished); empty otherwise.
    QString lostReason() const;

private:
    UserInterface& ui_;
    std::unique_ptr<ByteStream> ownStream_;
    ByteStream& stream_;
};

// The value (0..255) of the byte at the 1-based position of a reply; 0 with a message when
// the reply is shorter.
int ByteAt(const QByteArray& reply, int position, UserInterface& ui);

} // namespace kv5
