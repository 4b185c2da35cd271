#include "calc/Species.h"

#include "core/FileNames.h"
#include "core/Numbers.h"
#include "core/UserInterface.h"

#include <QFile>
#include <QLocale>
#include <QStringDecoder>
#include <QStringList>

#include <array>
#include <cmath>
#include <limits>
#include <utility>

namespace kv5 {

namespace {

// Splits off the text before the first tab, removing it and the tab from line; takes the
// whole rest when there is no tab.
QString takeTabField(QString& line) {
    const qsizetype tab = line.indexOf(u'\t');
    if (tab < 0) return std::exchange(line, QString());
    QString field = line.left(tab);
    line.remove(0, tab + 1);
    return field;
}

// The file's text: UTF-8 when it is valid UTF-8, else the Latin-1 reading of its bytes, so a
// list saved by an older editor in a single-byte code page still shows its names.
QString decodeText(const QByteArray& fileBytes) {
    const QByteArray bytes = WithoutByteOrderMark(fileBytes);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) text = QString::fromLatin1(bytes);
    return text;
}

void reportReadFailure(UserInterface& ui, const QString& reason) {
    ui.message({QStringLiteral("ERROR: ReadSpeciesFile: ") + reason});
}

// One row of the built-in curve: readings below `below` (and not below the previous row's
// bound, which belongs to this row) use b and a.
struct CurveRow {
    double below;
    double b;
    double a;
};

constexpr std::array<CurveRow, 8> builtInCurve{{
    {18, 0.125, -0.375},
    {26, 0.1875, -1.5},
    {31, 0.25, -3.0},
    {36, 0.25, -2.875},
    {41, 0.3125, -5.0},
    {51, 0.375, -7.625},
    {65, 0.4375, -10.81},
    {std::numeric_limits<double>::infinity(), 0.5, -14.81},
}};

} // namespace

void ReadSpeciesFile(const QString& path, SpeciesList& species, UserInterface& ui) {
    species.SpeciesCount = 0;
    if (const QString refusal = TextFileRefusal(path); !refusal.isEmpty()) {
        reportReadFailure(ui, refusal);
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reportReadFailure(ui, QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
        return;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        reportReadFailure(ui, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
        return;
    }
    if (bytes.isEmpty()) {
        reportReadFailure(ui, QStringLiteral("%1 is empty; it needs at least its heading line").arg(path));
        return;
    }

    // Lines end with CR LF, LF or CR; a line end after the last line adds no line.
    QString text = decodeText(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    if (text.endsWith(u'\n')) text.chop(1);
    const QStringList lines = text.split(u'\n');

    // The first line is the heading.
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.isEmpty()) continue;
        SpeciesEntry entry;
        entry.Code = StrToLng(takeTabField(line));
        entry.Name = takeTabField(line).trimmed();
        entry.A = ParseDecimal(takeTabField(line));
        entry.B = ParseDecimal(takeTabField(line));
        if (entry.Code == SpeciesCodeDropped1 || entry.Code == SpeciesCodeDropped2) continue;
        if (species.SpeciesCount >= MaxSpecies) {
            reportReadFailure(ui,
                              QStringLiteral("%1 holds more than %2 species; line %3 and the lines after it "
                                             "are not read")
                                  .arg(path)
                                  .arg(MaxSpecies)
                                  .arg(i + 1));
            return;
        }
        species.SpeciesTable[species.SpeciesCount++] = std::move(entry);
    }
}

double CorrectMcForSpecies(const SpeciesList& species, qint32 code, double mc) {
    double a = 0;
    double b = 1;
    if (code == SpeciesCodeBuiltInCurve) {
        // Each bound belongs to the higher range.
        std::size_t row = 0;
        while (row + 1 < builtInCurve.size() && !(mc < builtInCurve[row].below)) ++row;
        a = builtInCurve[row].a;
        b = builtInCurve[row].b;
    } else {
        for (int i = 0; i < species.SpeciesCount; ++i) {
            if (species.SpeciesTable[i].Code == code) {
                a = species.SpeciesTable[i].A;
                b = species.SpeciesTable[i].B;
                break;
            }
        }
    }
    return ClampPercent(b * mc + a);
}

} // namespace kv5
