// kv5-make-manpage: writes the manual page kv5(1) from the program's own help, so that the two
// always say the same.
//
//     kv5-make-manpage --program KV5 --template kv5.1.in --date YYYY-MM-DD --output kv5.1
//
// It runs `KV5 --help` and `KV5 --version`. The help is read as it is laid out: the usage lines
// up to the first blank line, then a paragraph of description, then sections whose title line
// ends with a colon. A section's entry starts two blanks in: its term, then two or more blanks
// and its description, which goes on in lines indented further. The template is the page
// around the help: @HELP@ stands for the sections made from it, @VERSION@ and @DATE@ for the
// program's version and the release date. A help that cannot be read so fails the build.
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <cstdio>

namespace {

int fail(const QString& text) {
    std::fprintf(stderr, "kv5-make-manpage: %s\n", qPrintable(text));
    return 1;
}

// Text as roff reads it: backslashes kept, and no line taken for a request.
QString escaped(QString text) {
    text.replace(QLatin1Char('\\'), QStringLiteral("\\e"));
    if (text.startsWith(QLatin1Char('.')) || text.startsWith(QLatin1Char('\'')))
        text.prepend(QStringLiteral("\\&"));
    return text;
}

// Options in bold, their minus signs as such; the rest as it is.
QString marked(const QString& text) {
    static const QRegularExpression option(QStringLiteral("(^|(?<=[\\s\\[|(]))(--?[A-Za-z][A-Za-z0-9-]*)"));
    QString result;
    qsizetype at = 0;
    for (auto match = option.globalMatch(text); match.hasNext();) {
        const auto found = match.next();
        result += escaped(text.mid(at, found.capturedStart(2) - at));
        result += QStringLiteral("\\fB") +
                  QString(found.captured(2)).replace(QLatin1Char('-'), QStringLiteral("\\-")) +
                  QStringLiteral("\\fR");
        at = found.capturedEnd(2);
    }
    return result + escaped(text.mid(at));
}

// An entry's term: options and a leading command name in bold, the values to fill in (the words
// in capitals) in italics.
QString markedTerm(const QString& term) {
    static const QRegularExpression value(QStringLiteral("\\b([A-Z][A-Z0-9]+(?:[.x][A-Za-z0-9]+)?)\\b"));
    QString text = marked(term);
    if (!term.startsWith(QLatin1Char('-'))) {
        const qsizetype end = text.indexOf(QLatin1Char(' '));
        text = QStringLiteral("\\fB") + text.left(end) + QStringLiteral("\\fR") +
               (end < 0 ? QString() : text.mid(end));
    }
    return text.replace(value, QStringLiteral("\\fI\\1\\fR"));
}

struct Entry {
    QString term;
    QStringList description;
};

struct Section {
    QString title;
    QString note; // what the title says in parentheses
    QList<Entry> entries;
};

struct Help {
    QStringList usage;
    QStringList description;
    QList<Section> sections;
};

bool readHelp(const QString& text, Help& help, QString& error) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    int i = 0;
    for (; i < lines.size() && !lines[i].trimmed().isEmpty(); ++i) {
        QString line = lines[i].trimmed();
        if (line.startsWith(QLatin1String("Usage:"))) line = line.mid(6).trimmed();
        help.usage << line;
    }
    for (++i; i < lines.size() && !lines[i].trimmed().isEmpty(); ++i) help.description << lines[i].trimmed();
    if (help.usage.isEmpty() || !help.usage.first().startsWith(QLatin1String("kv5")) ||
        help.description.isEmpty()) {
        error = QStringLiteral("the help does not begin with its usage lines and a description");
        return false;
    }
    static const QRegularExpression title(QStringLiteral("^(\\S[^(:]*?)\\s*(?:\\((.*)\\))?:$"));
    static const QRegularExpression entry(QStringLiteral("^  (\\S.*?)(?:\\s{2,}(\\S.*))?$"));
    for (; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (line.trimmed().isEmpty()) continue;
        if (const auto found = title.match(line); found.hasMatch()) {
            help.sections.append({found.captured(1), found.captured(2), {}});
        } else if (help.sections.isEmpty()) {
            error = QStringLiteral("line %1 is in no section: %2").arg(i + 1).arg(line);
            return false;
        } else if (line.startsWith(QLatin1String("    "))) {
            QList<Entry>& entries = help.sections.last().entries;
            if (entries.isEmpty()) {
                error = QStringLiteral("line %1 goes on no entry: %2").arg(i + 1).arg(line);
                return false;
            }
            entries.last().description << line.trimmed();
        } else if (const auto found = entry.match(line); found.hasMatch()) {
            Entry next{found.captured(1), {}};
            if (found.hasCaptured(2)) next.description << found.captured(2);
            help.sections.last().entries << next;
        } else {
            error = QStringLiteral("line %1 is no entry: %2").arg(i + 1).arg(line);
            return false;
        }
    }
    for (const Section& section : help.sections)
        for (const Entry& item : section.entries)
            if (item.description.isEmpty()) {
                error = QStringLiteral("%1 has no description").arg(item.term);
                return false;
            }
    if (help.sections.isEmpty()) {
        error = QStringLiteral("the help has no sections");
        return false;
    }
    return true;
}

QString roffOf(const Help& help) {
    QStringList out;
    out << QStringLiteral(".SH SYNOPSIS") << QStringLiteral(".nf");
    for (const QString& line : help.usage) out << markedTerm(line);
    out << QStringLiteral(".fi") << QStringLiteral(".SH DESCRIPTION");
    for (const QString& line : help.description) out << marked(line);
    for (const Section& section : help.sections) {
        out << QStringLiteral(".SH ") + section.title.toUpper();
        if (!section.note.isEmpty())
            out << escaped(section.note.left(1).toUpper() + section.note.mid(1) + '.');
        for (const Entry& item : section.entries) {
            out << QStringLiteral(".TP") << markedTerm(item.term);
            for (const QString& line : item.description) out << marked(line);
        }
    }
    return out.join(QLatin1Char('\n'));
}

bool runProgram(const QString& program, const QString& option, QString& output, QString& error) {
    QProcess process;
    process.start(program, {option});
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        error = QStringLiteral("%1 %2 failed: %3")
                    .arg(program, option, QString::fromLocal8Bit(process.readAllStandardError()));
        return false;
    }
    output = QString::fromUtf8(process.readAllStandardOutput());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QString program, templatePath, date, output;
    const QStringList arguments = QCoreApplication::arguments();
    for (int i = 1; i + 1 < arguments.size(); i += 2) {
        const QString& option = arguments[i];
        if (option == QLatin1String("--program"))
            program = arguments[i + 1];
        else if (option == QLatin1String("--template"))
            templatePath = arguments[i + 1];
        else if (option == QLatin1String("--date"))
            date = arguments[i + 1];
        else if (option == QLatin1String("--output"))
            output = arguments[i + 1];
        else
            return fail(QStringLiteral("unknown option %1").arg(option));
    }
    if (program.isEmpty() || templatePath.isEmpty() || output.isEmpty())
        return fail(QStringLiteral(
            "usage: kv5-make-manpage --program KV5 --template kv5.1.in --date DATE --output kv5.1"));

    QString helpText, versionText, error;
    if (!runProgram(program, QStringLiteral("--help"), helpText, error) ||
        !runProgram(program, QStringLiteral("--version"), versionText, error))
        return fail(error);
    Help help;
    if (!readHelp(helpText, help, error)) return fail(error);

    QFile templateFile(templatePath);
    if (!templateFile.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1").arg(templatePath));
    QString page = QString::fromUtf8(templateFile.readAll());
    if (!page.contains(QLatin1String("@HELP@")))
        return fail(QStringLiteral("%1 has no @HELP@").arg(templatePath));
    page.replace(QStringLiteral("@HELP@"), roffOf(help));
    page.replace(QStringLiteral("@VERSION@"), versionText.trimmed());
    page.replace(QStringLiteral("@DATE@"), date);

    QFile file(output);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(page.toUtf8()) < 0 ||
        !file.flush())
        return fail(QStringLiteral("cannot write %1").arg(output));
    return 0;
}
