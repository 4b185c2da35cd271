// The libFuzzer entry of one fuzz program; KV5_FUZZ_TARGET names its target.
#include "fuzz/FuzzTargets.h"

#include <QtGlobal>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Qt's warnings would drown the fuzzer's output; fatal messages still abort.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "Qt fatal: %s\n", qPrintable(text));
        std::abort();
    }
}

const kv5::fuzz::Target* target = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qInstallMessageHandler(quietMessages);
    target = kv5::fuzz::FindTarget(QStringLiteral(KV5_FUZZ_TARGET));
    if (!target) {
        std::fprintf(stderr, "no fuzz target %s\n", KV5_FUZZ_TARGET);
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString problem =
        target->run(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "%s: property failed: %s\n", KV5_FUZZ_TARGET, qPrintable(problem));
        std::abort();
    }
    return 0;
}
