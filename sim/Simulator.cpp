#include "sim/Simulator.h"

#include "sim/DeviceModel.h"
#include "sim/RecordCodec.h"
#include "sim/RequestFramer.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <utility>

namespace kv5::sim {

namespace {

constexpr qint64 kMillisecond = 1'000'000;
// A request that stops arriving half-way is given up after this long without a byte.
constexpr qint64 kIdleLimit = 500 * kMillisecond;
// Time limits of the program's transaction: 0.2 s for "P", 2.0 s for everything else.
constexpr qint64 kRevisionLimit = 200 * kMillisecond;
constexpr qint64 kCommandLimit = 2000 * kMillisecond;
constexpr qint64 kLateBy = 300 * kMillisecond;
// How long a write may wait for room in the line's buffer before the rest of a reply is dropped.
constexpr int kWriteStallMs = 200;
// How long a hang-up waits for the program to read the bytes sent before it.
constexpr qint64 kDrainLimit = 300 * kMillisecond;
constexpr qint64 kDrainCheck = 2 * kMillisecond;
constexpr qint64 kDeliveryTime = 20 * kMillisecond;

qint64 monotonicNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

timespec toTimespec(qint64 ns) {
    return timespec{time_t(ns / 1'000'000'000), long(ns % 1'000'000'000)};
}

void sleepUntil(qint64 deadline) {
    const timespec when = toTimespec(deadline);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &when, nullptr) == EINTR) {
    }
}

// Wire time of n bytes at 9600 baud with 10 bits a byte (start, 8 data, stop), in nanoseconds.
// Computed from the byte count each time, so a long reply does not accumulate rounding drift.
constexpr qint64 wireTime(qint64 bytes) {
    return bytes * 10'000'000'000 / 9600;
}

QString systemError(const QString& what) {
    return what + QStringLiteral(": ") + qt_error_string(errno);
}

// The reply as the fault makes the logger send it.
QByteArray withFault(QByteArray reply, Fault fault, bool isBlock) {
    switch (fault) {
    case Fault::ShortReply:
    case Fault::HangUp:
        return reply.left(reply.size() / 2);
    case Fault::WrongEcho:
        reply[0] = static_cast<char>(reply[0] ^ 0x01); // 'G' → 'F', 'S' → 'R', 'P' → 'Q'
        return reply;
    case Fault::OneLeadingZero:
        return QByteArray(1, '\0') + reply;
    case Fault::TwoLeadingZeros:
        return QByteArray(2, '\0') + reply;
    case Fault::CorruptHead:
        if (isBlock)
            reply[9] = 'A'; // "GETLOG  !A#$"
        else
            reply[0] = static_cast<char>(reply[0] ^ 0x01);
        return reply;
    case Fault::CorruptTail:
        reply.back() = reply.back() == '\n' ? '\r' : static_cast<char>(reply.back() ^ 0x01);
        return reply;
    case Fault::Block275:
        reply.chop(1);
        return reply;
    case Fault::Block277:
        return reply + '\n';
    case Fault::None:
    case Fault::NoReply:
    case Fault::SlowReply:
        break;
    }
    return reply;
}

} // namespace

class InProcessStream;

struct Simulator::Private {
    explicit Private(const Options& options);
    ~Private();

    // A complete request and the moment its last byte is on the logger's side of the wire.
    struct Pending {
        Request request;
        qint64 completeAt = 0;
    };
    struct Output {
        QByteArray bytes;
        qint64 startAt = 0;
        bool hangUpAfter = false;
    };

    void run();
    bool receive();
    void queue(Request request);
    void handle(const Pending& pending);
    bool writeOutput();
    void writeAll(const char* data, qsizetype size);
    void waitUntilRead(qint64 limit) const;
    void closeLine();
    Fault takeFault(const Request& request);
    void wakeUp() const;

    const Options options;

    // Shared between the caller's thread and the simulator's thread.
    mutable std::mutex mutex;
    DeviceModel model;
    QList<FaultRule> faults;
    QList<QByteArray> transcript;

    std::function<void(const QByteArray&)> requestObserver;
    std::function<void()> hangUpObserver;
    QStringList links;
    QString slavePath;
    int master = -1;
    int slaveKeeper = -1; // keeps the line open while the program has it closed
    int wake = -1;
    std::thread thread;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> hangUpRequested{false};
    std::atomic<bool> running{false};

    // Only the simulator's thread touches these.
    RequestFramer framer;
    std::deque<Pending> ready;
    std::optional<Output> output;
    qint64 receiveWireFree = 0; // when the program's last request has fully arrived
    qint64 sendWireFree = 0;    // when the last reply byte has left

    std::unique_ptr<InProcessStream> inProcess;
};

// The line in process: the program's writes are framed at once, and its waits move a virtual
// clock from one event of the logger to the next (a request complete, a reply byte on the wire,
// a half request given up), doing what the simulator's thread would do at that moment.
class InProcessStream final : public ByteStream {
public:
    explicit InProcessStream(Simulator::Private& d) : d(d) {}

    bool open(const QString& port, QString& failure) override {
        if (!lineUp) {
            failure = QStringLiteral("The port %1 does not exist: the simulated logger is unplugged.").arg(port);
            return false;
        }
        opened = true;
        failure_.clear();
        return true;
    }
    void close() override { opened = false; }
    bool isOpen() const override { return opened && lineUp; }
    qint64 now() const override { return clock; }
    void discardInput() override { arrived.clear(); }
    bool write(const QByteArray& bytes) override {
        if (!isOpen()) return false;
        d.framer.append(bytes, clock);
        while (auto request = d.framer.next()) d.queue(std::move(*request));
        return true;
    }
    QByteArray take() override { return std::exchange(arrived, QByteArray()); }
    bool wait(qint64 until, bool onInput) override {
        // A line that fails ends the wait at that moment.
        while (isOpen()) {
            const qint64 next = nextEvent();
            if (next < 0 || next > until) {
                clock = std::max(clock, until);
                return true;
            }
            clock = std::max(clock, next);
            const qsizetype before = arrived.size();
            step();
            if (onInput && arrived.size() > before) return isOpen();
        }
        return false;
    }
    QString errorString() const override {
        return isOpen() ? QString() : QStringLiteral("The simulated logger is not connected.");
    }
    QString failure() const override { return failure_; }

    // The device vanishes: the program's side fails from now on.
    void hangUp() {
        if (!lineUp) return;
        lineUp = false;
        if (opened) failure_ = QStringLiteral("The simulated logger hung up.");
        if (d.hangUpObserver) d.hangUpObserver();
    }

private:
    // When the next reply byte is on the program's side, when the next request may be handled,
    // or when a request that stopped arriving is given up; -1 when nothing is due.
    qint64 nextEvent() const {
        if (d.output) {
            const qint64 start = d.output->startAt;
            return d.options.paced ? start + wireTime(sent + 1) : start;
        }
        qint64 next = d.ready.empty() ? -1 : d.ready.front().completeAt;
        if (d.framer.hasPartial()) {
            const qint64 giveUp = d.framer.lastArrival() + kIdleLimit;
            next = next < 0 ? giveUp : std::min(next, giveUp);
        }
        return next;
    }

    // Does what is due at the clock's time.
    void step() {
        if (d.output) {
            // Paced, one byte at a time at its wire time; otherwise the whole reply at once.
            const QByteArray& bytes = d.output->bytes;
            const qsizetype count = d.options.paced ? 1 : bytes.size() - sent;
            arrived += bytes.mid(sent, count);
            sent += count;
            d.sendWireFree = clock;
            if (sent < bytes.size()) return;
            const bool hangUpAfter = d.output->hangUpAfter;
            d.output.reset();
            sent = 0;
            if (hangUpAfter) hangUp();
            return;
        }
        if (!d.ready.empty() && d.ready.front().completeAt <= clock) {
            const Simulator::Private::Pending pending = d.ready.front();
            d.ready.pop_front();
            d.handle(pending);
            return;
        }
        d.queue(d.framer.takePartial());
    }

    Simulator::Private& d;
    qint64 clock = 1'000'000'000; // virtual nanoseconds
    QByteArray arrived;           // on the program's side, not yet taken
    qsizetype sent = 0;           // bytes of the reply under way already on the program's side
    bool opened = false;
    bool lineUp = true;
    QString failure_;
};

Simulator::Private::Private(const Options& options)
    : options(options), model(options), inProcess(std::make_unique<InProcessStream>(*this)) {}

Simulator::Private::~Private() = default;

void Simulator::Private::wakeUp() const {
    const quint64 one = 1;
    if (wake >= 0 && ::write(wake, &one, sizeof one) < 0) {
        // The counter is only a doorbell: a full counter rings as well.
    }
}

void Simulator::Private::run() {
    while (!stopRequested) {
        if (hangUpRequested) {
            closeLine();
            return;
        }
        const qint64 now = monotonicNow();
        // Send a reply whose time has come. The logger handles one request at a time: the next
        // request waits until the reply to the previous one is out.
        if (output) {
            if (now >= output->startAt) {
                if (!writeOutput()) return;
                continue;
            }
        } else if (!ready.empty() && ready.front().completeAt <= now) {
            const Pending pending = ready.front();
            ready.pop_front();
            handle(pending);
            continue;
        }
        if (framer.hasPartial() && now >= framer.lastArrival() + kIdleLimit) {
            queue(framer.takePartial());
            continue;
        }

        qint64 deadline = -1;
        if (output)
            deadline = output->startAt;
        else if (!ready.empty())
            deadline = ready.front().completeAt;
        if (framer.hasPartial()) {
            const qint64 giveUp = framer.lastArrival() + kIdleLimit;
            deadline = deadline < 0 ? giveUp : std::min(deadline, giveUp);
        }
        const timespec timeout = toTimespec(std::max<qint64>(0, deadline - now));
        pollfd fds[2] = {{master, POLLIN, 0}, {wake, POLLIN, 0}};
        if (ppoll(fds, 2, deadline < 0 ? nullptr : &timeout, nullptr) < 0) {
            if (errno == EINTR) continue;
            closeLine();
            return;
        }
        if (fds[1].revents & POLLIN) {
            quint64 rings = 0;
            if (::read(wake, &rings, sizeof rings) < 0) {
                // Nothing to drain.
            }
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) {
            if (!receive()) {
                closeLine();
                return;
            }
        }
    }
}

bool Simulator::Private::receive() {
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(master, buffer, sizeof buffer);
        if (got > 0) {
            framer.append(QByteArray(buffer, got), monotonicNow());
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == EAGAIN) break;
        return false; // the line is gone
    }
    while (auto request = framer.next()) queue(std::move(*request));
    return true;
}

void Simulator::Private::queue(Request request) {
    qint64 completeAt = request.lastArrival;
    if (options.paced) {
        // The pty hands over a whole request at once; on the wire its last byte arrives only
        // n byte times after its first one, and never before the previous request has arrived.
        const qint64 start = std::max(request.firstArrival, receiveWireFree);
        completeAt = std::max(start + wireTime(request.bytes.size()), request.lastArrival);
        receiveWireFree = completeAt;
    }
    ready.push_back({std::move(request), completeAt});
}

Fault Simulator::Private::takeFault(const Request& request) {
    if (request.command.isEmpty()) return Fault::None;
    for (FaultRule& rule : faults) {
        if (rule.command != "*" && rule.command != request.command) continue;
        if (rule.block >= 0 && (request.command != "GETLOG" || quint8(request.argument[0]) != rule.block))
            continue;
        if (rule.times == 0) continue;
        if (rule.times > 0) --rule.times;
        return rule.fault;
    }
    return Fault::None;
}

void Simulator::Private::handle(const Pending& pending) {
    const Request& request = pending.request;
    QByteArray reply;
    Fault fault = Fault::None;
    {
        std::lock_guard lock(mutex);
        transcript.append(request.bytes);
        reply = model.answer(request);
        fault = takeFault(request);
    }
    if (requestObserver) requestObserver(request.bytes);
    if (reply.isEmpty() || fault == Fault::NoReply) return;

    Output out;
    out.bytes = withFault(reply, fault, request.command == "GETLOG");
    out.startAt = pending.completeAt;
    if (fault == Fault::SlowReply)
        out.startAt += (request.command == "P" ? kRevisionLimit : kCommandLimit) + kLateBy;
    out.hangUpAfter = fault == Fault::HangUp;
    if (options.paced) out.startAt = std::max(out.startAt, sendWireFree);
    output = std::move(out);
}

void Simulator::Private::writeAll(const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t written = ::write(master, data, size_t(size));
        if (written > 0) {
            data += written;
            size -= written;
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && errno == EAGAIN) {
            // Nobody reads the line and its buffer is full: wait a little, then drop the rest,
            // as bytes sent to a port that nobody reads are lost.
            pollfd fd{master, POLLOUT, 0};
            if (poll(&fd, 1, kWriteStallMs) > 0) continue;
        }
        return;
    }
}

void Simulator::Private::waitUntilRead(qint64 limit) const {
    // Bytes written to the master reach the slave's input queue a little later, handed on by
    // the kernel's worker; give them that time first. The held slave descriptor then shows how
    // much of the queue the program has not read yet.
    const qint64 start = monotonicNow();
    sleepUntil(start + kDeliveryTime);
    const qint64 giveUp = start + limit;
    for (qint64 at = monotonicNow(); at < giveUp; at += kDrainCheck) {
        int waiting = 0;
        if (ioctl(slaveKeeper, FIONREAD, &waiting) != 0 || waiting == 0) return;
        sleepUntil(at + kDrainCheck);
    }
}

bool Simulator::Private::writeOutput() {
    const Output out = std::move(*output);
    output.reset();
    if (options.paced) {
        // One byte at a time, each when its last bit would have arrived: absolute deadlines, so
        // the rate is exact however late the thread wakes up.
        for (qsizetype i = 0; i < out.bytes.size(); ++i) {
            const qint64 deadline = out.startAt + wireTime(i + 1);
            sleepUntil(deadline);
            if (stopRequested || hangUpRequested) return true;
            writeAll(out.bytes.constData() + i, 1);
            sendWireFree = deadline;
        }
    } else {
        writeAll(out.bytes.constData(), out.bytes.size());
    }
    if (out.hangUpAfter) {
        // A hang-up throws away what the other side has not read yet; let the program take the
        // part that was sent, as it would have from a device that vanished mid-reply.
        waitUntilRead(kDrainLimit);
        closeLine();
        return false;
    }
    return true;
}

void Simulator::Private::closeLine() {
    if (master >= 0) ::close(master);
    if (slaveKeeper >= 0) ::close(slaveKeeper);
    master = -1;
    slaveKeeper = -1;
    running = false;
    if (hangUpObserver) hangUpObserver();
}

Simulator::Simulator(const Options& options) : d(std::make_unique<Private>(options)) {}

Simulator::~Simulator() {
    d->stopRequested = true;
    d->wakeUp();
    if (d->thread.joinable()) d->thread.join();
    if (d->master >= 0) ::close(d->master);
    if (d->slaveKeeper >= 0) ::close(d->slaveKeeper);
    if (d->wake >= 0) ::close(d->wake);
    for (const QString& link : std::as_const(d->links))
        if (QFileInfo(link).isSymLink()) QFile::remove(link);
}

bool Simulator::start(QString* error) {
    auto fail = [&](const QString& message) {
        if (error) *error = message;
        if (d->master >= 0) ::close(d->master);
        d->master = -1;
        return false;
    };
    // A running line is left alone.
    if (d->thread.joinable() || d->master >= 0) {
        if (error) *error = QStringLiteral("The simulator is already started");
        return false;
    }

    // The master side is ours; the program opens the slave like a serial device.
    d->master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (d->master < 0) return fail(systemError(QStringLiteral("Cannot open a pseudo-terminal")));
    if (grantpt(d->master) != 0 || unlockpt(d->master) != 0)
        return fail(systemError(QStringLiteral("Cannot unlock the pseudo-terminal")));
    char name[128] = {};
    if (ptsname_r(d->master, name, sizeof name) != 0)
        return fail(systemError(QStringLiteral("Cannot name the pseudo-terminal")));

    // Raw mode before anything is written, or the line discipline changes CR, LF and 0x00.
    termios settings{};
    if (tcgetattr(d->master, &settings) != 0)
        return fail(systemError(QStringLiteral("Cannot read the line settings")));
    cfmakeraw(&settings);
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    if (tcsetattr(d->master, TCSANOW, &settings) != 0)
        return fail(systemError(QStringLiteral("Cannot set the line to raw mode")));
    if (fcntl(d->master, F_SETFL, fcntl(d->master, F_GETFL) | O_NONBLOCK) != 0)
        return fail(systemError(QStringLiteral("Cannot make the line non-blocking")));

    // While no slave is open the master reports a hang-up on every poll; holding one open keeps
    // the line quiet between the program's sessions.
    d->slaveKeeper = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (d->slaveKeeper < 0)
        return fail(systemError(QStringLiteral("Cannot open %1").arg(QString::fromLocal8Bit(name))));
    // A start after a hang-up plugs the same logger in again: its state stays, the line is new.
    if (d->wake >= 0) ::close(d->wake);
    d->framer = RequestFramer();
    d->ready.clear();
    d->output.reset();
    d->wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (d->wake < 0) {
        ::close(d->slaveKeeper);
        d->slaveKeeper = -1;
        return fail(systemError(QStringLiteral("Cannot create an event descriptor")));
    }
    d->slavePath = QString::fromLocal8Bit(name);
    d->stopRequested = false;
    d->hangUpRequested = false;
    d->running = true;
    d->thread = std::thread([this] { d->run(); });
    return true;
}

ByteStream& Simulator::stream() {
    return *d->inProcess;
}

QString Simulator::portPath() const {
    return d->slavePath;
}

bool Simulator::isRunning() const {
    return d->running;
}

bool Simulator::makeSymlink(const QString& link, QString* error) {
    auto fail = [&](const QString& message) {
        if (error) *error = message;
        return false;
    };
    if (d->slavePath.isEmpty()) return fail(QStringLiteral("The simulator is not started"));
    const QFileInfo existing(link);
    if (existing.isSymLink()) {
        if (!QFile::remove(link)) return fail(QStringLiteral("Cannot replace the link %1").arg(link));
    } else if (existing.exists()) {
        return fail(QStringLiteral("%1 exists and is not a symbolic link").arg(link));
    }
    if (::symlink(d->slavePath.toLocal8Bit().constData(), link.toLocal8Bit().constData()) != 0)
        return fail(systemError(QStringLiteral("Cannot create the link %1").arg(link)));
    d->links.append(link);
    return true;
}

void Simulator::addFault(const FaultRule& rule) {
    std::lock_guard lock(d->mutex);
    d->faults.append(rule);
}

void Simulator::clearFaults() {
    std::lock_guard lock(d->mutex);
    d->faults.clear();
}

QList<QByteArray> Simulator::transcript() const {
    std::lock_guard lock(d->mutex);
    return d->transcript;
}

void Simulator::clearTranscript() {
    std::lock_guard lock(d->mutex);
    d->transcript.clear();
}

void Simulator::hangUp() {
    if (!d->thread.joinable()) {
        d->inProcess->hangUp();
        return;
    }
    d->hangUpRequested = true;
    d->wakeUp();
    d->thread.join();
}

void Simulator::setRequestObserver(std::function<void(const QByteArray&)> observer) {
    d->requestObserver = std::move(observer);
}

void Simulator::setHangUpObserver(std::function<void()> observer) {
    d->hangUpObserver = std::move(observer);
}

QByteArray Simulator::memory() const {
    std::lock_guard lock(d->mutex);
    return d->model.memory;
}

int Simulator::memoryByte(int addr) const {
    std::lock_guard lock(d->mutex);
    return addr >= 0 && addr < d->model.memory.size() ? quint8(d->model.memory[addr]) : -1;
}

QByteArray Simulator::serialNumber() const {
    std::lock_guard lock(d->mutex);
    return d->model.serialNumber;
}

QByteArray Simulator::description() const {
    std::lock_guard lock(d->mutex);
    return d->model.description;
}

QByteArray Simulator::startTime() const {
    std::lock_guard lock(d->mutex);
    return d->model.startTime;
}

int Simulator::interval() const {
    std::lock_guard lock(d->mutex);
    return quint8(d->model.interval[0]) * 256 + quint8(d->model.interval[1]);
}

QByteArray Simulator::limit(Limit which) const {
    std::lock_guard lock(d->mutex);
    switch (which) {
    case Limit::TempHigh:
        return d->model.tempHigh;
    case Limit::TempLow:
        return d->model.tempLow;
    case Limit::RhHigh:
        return d->model.rhHigh;
    case Limit::RhLow:
        break;
    }
    return d->model.rhLow;
}

int Simulator::recordCount() const {
    std::lock_guard lock(d->mutex);
    return d->model.recordCount();
}

QList<QByteArray> Simulator::records() const {
    std::lock_guard lock(d->mutex);
    QList<QByteArray> list;
    const int size = d->model.recordSize();
    for (qsizetype at = 0; at + size <= d->model.log.size(); at += size)
        list.append(d->model.log.mid(at, size));
    return list;
}

int Simulator::secondsPerTick() const {
    std::lock_guard lock(d->mutex);
    return d->model.secondsPerTick();
}

QByteArray Simulator::blockPayload(int block) const {
    std::lock_guard lock(d->mutex);
    return d->model.blockPayload(block);
}

QByteArray Simulator::encodeFixedPoint(double value) {
    return sim::encodeFixedPoint(value);
}

} // namespace kv5::sim
