#include "device/SerialLink.h"

#include "core/UserInterface.h"
#include "device/ReplyChecks.h"
#include "device/SerialPortStream.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kv5 {

namespace {

// One byte on the wire at 9600 baud: start bit, eight data bits, stop bit.
constexpr qint64 ByteTimeNs = 10'000'000'000 / 9600;
// A reply under way is looked at again this long before its last byte can be there, so that
// late wake-ups and a slightly fast sender cost no time.
constexpr qint64 WakeMarginNs = 3'000'000;
// Shorter sleeps are not worth it: the rest is waited for byte by byte.
constexpr qint64 ShortestSleepNs = 1'000'000;
// A line that never falls quiet is drained for no longer than this.
constexpr qint64 DrainLimitNs = 3'000'000'000;
// A freshly opened line counts as quiet after this long without a byte: far more than a byte's
// time, and long enough for the logger to begin a reply to a request sent just before.
constexpr double QuietLineSeconds = 0.5;

} // namespace

SerialLink::SerialLink(UserInterface& ui, QObject* parent)
    : QObject(parent), ui_(ui), ownStream_(std::make_unique<SerialPortStream>()), stream_(*ownStream_) {}

SerialLink::SerialLink(UserInterface& ui, ByteStream& stream, QObject* parent)
    : QObject(parent), ui_(ui), stream_(stream) {}

SerialLink::~SerialLink() { stream_.close(); }

bool SerialLink::isOpen() const { return stream_.isOpen(); }

QString SerialLink::lostReason() const { return stream_.failure(); }

bool SerialLink::PortOpen(const QString& port) {
    ui_.status(QStringLiteral("Opening Serial Port"));
    if (stream_.isOpen()) return true;
    QString failure;
    if (!stream_.open(port, failure)) {
        ui_.message({QStringLiteral("ERROR: PortOpen: ") + failure});
        return false;
    }
    // The logger may still be sending the reply to a request of an earlier session (a read
    // killed in the middle of a block); its rest would be taken for the first answers here.
    drainInput(QuietLineSeconds);
    return true;
}

void SerialLink::PortClose() { stream_.close(); }

std::optional<QByteArray> SerialLink::transaction(const QByteArray& request, int expected, double limitSeconds,
                                                  const QString& procedure) {
    if (!stream_.isOpen()) {
        // A device that vanished earlier in this operation simply no longer answers.
        if (!stream_.failure().isEmpty()) return QByteArray();
        ui_.error(procedure, QStringLiteral("The serial port is not open."));
        return std::nullopt;
    }

    // Discard stale input, so a late answer to an earlier command is never taken for this one.
    stream_.discardInput();

    // Send the request in one write.
    if (!stream_.write(request)) {
        ui_.error(procedure, stream_.errorString());
        return std::nullopt;
    }

    // Wait on the stream's monotonic clock for the whole reply; a leading 0x00 byte is not
    // part of it.
    const qint64 deadline = stream_.now() + static_cast<qint64>(std::llround(limitSeconds * 1e9));
    QByteArray reply = stream_.take();
    const auto needed = [&] { return expected + (reply.startsWith('\0') ? 1 : 0); };
    bool slept = false;
    while (reply.size() < needed()) {
        const qint64 now = stream_.now();
        if (now >= deadline) break;
        // Once the reply is under way, the rest cannot come faster than the wire carries it:
        // sleep through most of that instead of waking for every byte, then look again.
        const qint64 sleep =
            reply.isEmpty() || slept ? 0 : (needed() - reply.size()) * ByteTimeNs - WakeMarginNs;
        slept = sleep >= ShortestSleepNs;
        const bool open = slept ? stream_.wait(std::min(now + sleep, deadline), false) : stream_.wait(deadline, true);
        reply += stream_.take();
        if (!open) return QByteArray();
    }

    // Drop one leading 0x00 byte.
    return DropLeadingZero(std::move(reply));
}

void SerialLink::drainInput(double quietSeconds) {
    const qint64 quiet = static_cast<qint64>(std::llround(quietSeconds * 1e9));
    const qint64 giveUp = stream_.now() + DrainLimitNs;
    stream_.discardInput();
    while (stream_.isOpen()) {
        const qint64 until = std::min(stream_.now() + quiet, giveUp);
        const bool open = stream_.wait(until, true);
        const qsizetype drained = stream_.take().size();
        if (!open || stream_.now() >= giveUp || (drained == 0 && stream_.now() >= until)) return;
    }
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
