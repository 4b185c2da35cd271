#include "sim/SimTypes.h"

#include <utility>

namespace kv5::sim {

namespace {

constexpr std::pair<Fault, const char*> kNames[] = {
    {Fault::None, "none"},
    {Fault::NoReply, "no-reply"},
    {Fault::ShortReply, "short-reply"},
    {Fault::SlowReply, "slow-reply"},
    {Fault::WrongEcho, "wrong-echo"},
    {Fault::OneLeadingZero, "one-leading-zero"},
    {Fault::TwoLeadingZeros, "two-leading-zeros"},
    {Fault::CorruptHead, "corrupt-head"},
    {Fault::CorruptTail, "corrupt-tail"},
    {Fault::Block275, "block275"},
    {Fault::Block277, "block277"},
    {Fault::HangUp, "hang-up"},
};

QString folded(QString name) {
    return name.toLower().remove(QLatin1Char('-')).remove(QLatin1Char('_'));
}

} // namespace

QString faultName(Fault fault) {
    for (const auto& [value, name] : kNames)
        if (value == fault) return QString::fromLatin1(name);
    return {};
}

bool faultFromName(const QString& name, Fault* fault) {
    const QString wanted = folded(name);
    for (const auto& [value, known] : kNames) {
        if (folded(QString::fromLatin1(known)) == wanted) {
            if (fault) *fault = value;
            return true;
        }
    }
    return false;
}

} // namespace kv5::sim
