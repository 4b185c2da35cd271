#include "support/DeviceRig.h"

#include <QDir>

namespace kv5 {

DeviceRig::DeviceRig(const sim::Options& options, Wire wire)
    : simulator(options),
      link(ui, wire == Wire::InProcess ? simulator.stream() : static_cast<ByteStream&>(serialPort)),
      operations(state, link, ui) {
    state.ProgramFolder = folder.path();
    QDir(folder.path()).mkdir(QStringLiteral("DATA"));
    state.species.SpeciesTable[0] = {1, QStringLiteral("Reference"), 0, 1};
    state.species.SpeciesTable[1] = {7, QStringLiteral("Test wood"), 1, 0.5};
    state.species.SpeciesCount = 2;
    if (wire == Wire::InProcess) {
        started = true;
        state.device.PortOverride = QStringLiteral("simulated logger");
    } else {
        started = simulator.start();
        state.device.PortOverride = simulator.portPath();
    }
}

QStringList DeviceRig::dataFiles() const {
    return QDir(state.dataFolder()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

QStringList DeviceRig::commands() const {
    QStringList words;
    for (const QByteArray& request : simulator.transcript()) {
        const qsizetype blank = request.indexOf(' ');
        QByteArray word = request.left(blank < 0 ? request.indexOf('\r') : blank);
        if (word == "GETLOG" && request.size() > 7)
            word += ' ' + QByteArray::number(static_cast<unsigned char>(request.at(7)));
        words << QString::fromLatin1(word);
    }
    return words;
}

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray result;
    for (int v : values) result.append(static_cast<char>(v));
    return result;
}

} // namespace kv5
