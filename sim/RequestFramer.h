// Cuts the byte stream the program sends into the logger's requests.
#pragma once

#include <QByteArray>

#include <deque>
#include <optional>

namespace kv5::sim {

struct Request {
    QByteArray bytes; // exactly as received
    QByteArray
        command; // "P", "GETSN", "GETLOG", "SETMEM", ...; empty for input the logger does not understand
    QByteArray argument; // the bytes between the blank after the command and the CR (GETLOG: the block byte)
    qint64 firstArrival = 0; // monotonic nanoseconds at which the first and the last byte were read
    qint64 lastArrival = 0;
};

// Requests are ASCII words, but their arguments are binary and may hold CR or 0x00, so each
// command's argument is taken by its known length before its CR is looked for. Input that fits no
// command is dropped up to and including the next CR and handed out as a request without command.
class RequestFramer {
public:
    void append(const QByteArray& bytes, qint64 arrival);
    // The next complete request at the front of the input, if there is one.
    std::optional<Request> next();
    bool hasPartial() const { return !buffer_.isEmpty(); }
    qint64 lastArrival() const { return arrivals_.empty() ? 0 : arrivals_.back(); }
    // Gives up on a request that stopped arriving: everything buffered, as a request without command.
    Request takePartial();

private:
    Request take(int length, const QByteArray& command, const QByteArray& argument);
    std::optional<Request> resynchronise(int from);

    QByteArray buffer_;
    std::deque<qint64> arrivals_; // one per buffered byte
};

} // namespace kv5::sim
