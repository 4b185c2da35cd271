// What an installation of the program holds, and running the build's programs and the system's
// tools (cmake and cpack from the PATH) from a test.
#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace kv5 {

// The files an installation puts under its prefix, relative to it.
extern const QStringList InstalledFiles;

struct ProgramRun {
    int exitCode = -1; // -1 also when it crashed or did not finish
    QByteArray output;
    QByteArray errors;
};

// Runs program with arguments and waits up to two minutes for it to end.
ProgramRun RunProgram(const QString& program, const QStringList& arguments,
                      const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

// The file's contents; empty when it cannot be read.
QByteArray FileBytes(const QString& path);

} // namespace kv5
