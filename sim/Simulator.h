// The KV5 logger, emulated byte for byte, on a pseudo-terminal or in process.
//
// On a pseudo-terminal the program under test opens portPath() like the real logger's serial
// device; the simulator answers on its own thread, so it keeps answering while the program
// waits in an event loop. In process, the program's link speaks to stream() instead: the
// logger answers on the caller's thread as the stream's virtual clock moves on, so pacing,
// slow replies and time limits cost no wall time. A simulator is used one way or the other.
#pragma once

#include "device/ByteStream.h"
#include "sim/SimTypes.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace kv5::sim {

class InProcessStream;

enum class Limit { TempHigh, TempLow, RhHigh, RhLow };

class Simulator {
public:
    explicit Simulator(const Options& options = {});
    ~Simulator(); // stops the thread, closes the line, removes the links made by makeSymlink
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens the pseudo-terminal and starts answering. False (with the reason) when that fails.
    // After a hang-up it opens a new line (a new path) for the same logger, as if plugged in again.
    bool start(QString* error = nullptr);
    QString portPath() const; // the slave's path, e.g. /dev/pts/7
    // A symbolic link to the slave (replacing an older link of that name); removed again on destruction.
    bool makeSymlink(const QString& link, QString* error = nullptr);
    // The in-process line to this logger, on a virtual clock; any port name opens it, until
    // the line is hung up.
    ByteStream& stream();

    // False once the line has been hung up (hangUp(), the HangUp fault) or before start().
    bool isRunning() const;

    void addFault(const FaultRule& rule);
    void clearFaults();

    // Every request received, in order, as raw bytes, including input that fits no command.
    QList<QByteArray> transcript() const;
    void clearTranscript();

    // Closes the line now: the device vanishes. Returns when the line is closed.
    void hangUp();

    // Called on the simulator's thread: with each request as it is taken in, and once the line
    // has been hung up. Set them before start().
    void setRequestObserver(std::function<void(const QByteArray&)> observer);
    void setHangUpObserver(std::function<void()> observer);

    // Thread-safe snapshots of the logger's state.
    QByteArray memory() const; // the 256 memory bytes
    int memoryByte(int address) const;
    QByteArray serialNumber() const;     // as GETSN answers it (4 characters)
    QByteArray description() const;      // 32 characters
    QByteArray startTime() const;        // YYMMDDhhmm
    int interval() const;                // device ticks
    QByteArray limit(Limit which) const; // the two stored bytes
    int recordCount() const;
    QList<QByteArray> records() const; // raw records, 4 (Vantorp) or 8 (Q7R) bytes each
    int secondsPerTick() const;

    // The exact 258-byte payload the simulator sends for block n (0 = the status block).
    QByteArray blockPayload(int block) const;

    static QByteArray encodeFixedPoint(double value);

private:
    friend class InProcessStream;
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace kv5::sim
