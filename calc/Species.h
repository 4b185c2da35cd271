// Wood species correction of moisture readings, and the species list ABLIST.TXT it comes from.
#pragma once

#include <QString>

#include <array>

namespace kv5 {

class UserInterface;

constexpr int MaxSpecies = 99;
// Species codes with a meaning of their own: lines with the first two are never stored; the
// third selects the built-in correction curve instead of the entry's factors.
constexpr int SpeciesCodeDropped1 = -1;
constexpr int SpeciesCodeDropped2 = -2;
constexpr int SpeciesCodeBuiltInCurve = -3;

struct SpeciesEntry {
    qint32 Code = 0; // the value kept in McSp and in the species lists' item data
    QString Name;    // shown in the species lists
    double A = 0;    // additive term
    double B = 0;    // multiplying term
};

struct SpeciesList {
    // Entries in file order; only the first SpeciesCount are held.
    std::array<SpeciesEntry, MaxSpecies> SpeciesTable{};
    int SpeciesCount = 0;
};

// Fills species from the file: the first line is a heading and skipped, empty lines are
// skipped, every other line is code, name, A and B separated by tabs. Codes -1 and -2 are
// dropped. A missing or empty file, a read failure or a 100th entry is reported as
// "ERROR: ReadSpeciesFile: " and the reason; the entries read before stay.
void ReadSpeciesFile(const QString& path, SpeciesList& species, UserInterface& ui);

// mc corrected for the species of that code (b * mc + a), limited to 0..99.9. Code -3 takes
// the built-in piecewise-linear curve; a code not in the table only limits the reading.
double CorrectMcForSpecies(const SpeciesList& species, qint32 code, double mc);

} // namespace kv5
