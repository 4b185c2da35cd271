#include "sim/RequestFramer.h"

#include <iterator>

namespace kv5::sim {

namespace {

enum class Argument { None, BlockByte, Fixed, UpToCr };

struct CommandForm {
    const char* word;
    Argument argument;
    int length = 0; // for Argument::Fixed
};

// Every request the logger understands. Without argument: word CR. GETLOG: word SP block byte,
// no CR. The others: word SP argument CR.
constexpr CommandForm kForms[] = {
    {"P", Argument::None},           {"GETSN", Argument::None},         {"GETDESC", Argument::None},
    {"GETTIME", Argument::None},     {"GETINT", Argument::None},        {"GETTEMPHI", Argument::None},
    {"GETTEMPLO", Argument::None},   {"GETRHHI", Argument::None},       {"GETRHLO", Argument::None},
    {"GETLOG", Argument::BlockByte}, {"SETTIME", Argument::Fixed, 10},  {"SETDESC", Argument::Fixed, 32},
    {"SETSN", Argument::UpToCr},     {"SETINT", Argument::Fixed, 2},    {"SETRHHI", Argument::Fixed, 2},
    {"SETRHLO", Argument::Fixed, 2}, {"SETTEMPHI", Argument::Fixed, 2}, {"SETTEMPLO", Argument::Fixed, 2},
    {"SETMEM", Argument::Fixed, 5},  {"CLRLOG", Argument::None},        {"SETLEDLA", Argument::None},
    {"SETLEDME", Argument::None},
};

// Input without a CR is kept this long at most before it is thrown away.
constexpr int kLongestLine = 512;

} // namespace

void RequestFramer::append(const QByteArray& bytes, qint64 arrival) {
    buffer_ += bytes;
    arrivals_.insert(arrivals_.end(), static_cast<size_t>(bytes.size()), arrival);
}

Request RequestFramer::take(int length, const QByteArray& command, const QByteArray& argument) {
    Request request;
    request.bytes = buffer_.left(length);
    request.command = command;
    request.argument = argument;
    request.firstArrival = arrivals_.front();
    request.lastArrival = arrivals_[static_cast<size_t>(length - 1)];
    buffer_.remove(0, length);
    arrivals_.erase(arrivals_.begin(), std::next(arrivals_.begin(), length));
    return request;
}

Request RequestFramer::takePartial() {
    if (buffer_.isEmpty()) return {};
    return take(int(buffer_.size()), {}, {});
}

std::optional<Request> RequestFramer::resynchronise(int from) {
    const auto cr = buffer_.indexOf('\r', from);
    if (cr >= 0) return take(int(cr) + 1, {}, {});
    if (buffer_.size() > kLongestLine) return takePartial();
    return std::nullopt;
}

std::optional<Request> RequestFramer::next() {
    if (buffer_.isEmpty()) return std::nullopt;
    bool couldStillMatch = false;
    for (const CommandForm& form : kForms) {
        const QByteArray word(form.word);
        const QByteArray head = word + (form.argument == Argument::None ? '\r' : ' ');
        if (buffer_.size() < head.size()) {
            if (head.startsWith(buffer_)) couldStillMatch = true;
            continue;
        }
        if (!buffer_.startsWith(head)) continue;
        const int start = int(head.size());
        switch (form.argument) {
        case Argument::None:
            return take(start, word, {});
        case Argument::BlockByte:
            if (buffer_.size() < start + 1) return std::nullopt;
            return take(start + 1, word, buffer_.mid(start, 1));
        case Argument::Fixed:
            if (buffer_.size() < start + form.length + 1) return std::nullopt;
            if (buffer_[start + form.length] != '\r') return resynchronise(start + form.length);
            return take(start + form.length + 1, word, buffer_.mid(start, form.length));
        case Argument::UpToCr: {
            const auto cr = buffer_.indexOf('\r', start);
            if (cr < 0) return resynchronise(start);
            return take(int(cr) + 1, word, buffer_.mid(start, cr - start));
        }
        }
    }
    if (couldStillMatch) return std::nullopt;
    return resynchronise(0);
}

} // namespace kv5::sim
