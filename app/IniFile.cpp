#include "app/IniFile.h"

#include "core/FileNames.h"
#include "core/Numbers.h"
#include "core/Settings.h"
#include "core/UserInterface.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <optional>
#include <vector>

namespace kv5 {

namespace {

// A line of the file as it stands, its ending kept apart so an untouched line is written back
// byte for byte.
struct IniLine {
    QByteArray text;
    QByteArray ending; // "\r\n", "\n", "\r" or empty for a last line without one
};

std::vector<IniLine> splitLines(const QByteArray& content) {
    std::vector<IniLine> lines;
    qsizetype start = 0;
    const qsizetype size = content.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && content[end] != '\n' && content[end] != '\r') ++end;
        IniLine line{content.mid(start, end - start), {}};
        if (end < size) {
            const qsizetype endingLength =
                content[end] == '\r' && end + 1 < size && content[end + 1] == '\n' ? 2 : 1;
            line.ending = content.mid(end, endingLength);
            end += endingLength;
        }
        lines.push_back(std::move(line));
        start = end;
    }
    return lines;
}

// The text of a name or value. A U+FEFF at its start is kept, as the writer keeps it: QString's
// own decoding would drop it, and a name written with one could then never be found again.
QString decoded(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

// The section name of a header line ("[General]"), or nothing for any other line.
std::optional<QString> sectionName(const QByteArray& text) {
    const QByteArray trimmed = text.trimmed();
    if (!trimmed.startsWith('[')) return std::nullopt;
    qsizetype close = trimmed.indexOf(']');
    if (close < 0) close = trimmed.size();
    return decoded(trimmed.mid(1, close - 1)).trimmed();
}

// The key of a key=value line, or nothing for comments and lines without "=".
std::optional<QString> keyName(const QByteArray& text) {
    const QByteArray trimmed = text.trimmed();
    if (trimmed.startsWith(';')) return std::nullopt;
    const qsizetype equals = trimmed.indexOf('=');
    if (equals < 0) return std::nullopt;
    return decoded(trimmed.left(equals)).trimmed();
}

// Blanks around a name do not count, as the writer drops them: a write of " Emc" must find
// the line "Emc=" it wrote before instead of adding another.
bool sameName(const QString& a, const QString& b) {
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

// Index of the header line of the first section of that name, or -1.
qsizetype findSection(const std::vector<IniLine>& lines, const QString& section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto name = sectionName(lines[i].text);
        if (name && sameName(*name, section)) return static_cast<qsizetype>(i);
    }
    return -1;
}

// One past the last line of the section whose header is at headerIndex.
qsizetype sectionEnd(const std::vector<IniLine>& lines, qsizetype headerIndex) {
    auto i = headerIndex + 1;
    while (i < static_cast<qsizetype>(lines.size()) && !sectionName(lines[i].text)) ++i;
    return i;
}

// Index of the first line of the section holding that key, or -1.
qsizetype findKey(const std::vector<IniLine>& lines, qsizetype headerIndex, const QString& key) {
    const auto end = sectionEnd(lines, headerIndex);
    for (auto i = headerIndex + 1; i < end; ++i) {
        const auto name = keyName(lines[i].text);
        if (name && sameName(*name, key)) return i;
    }
    return -1;
}

QString valueOf(const QByteArray& text) {
    const qsizetype equals = text.indexOf('=');
    QString value = decoded(text.mid(equals + 1)).trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value;
}

// Names and values are single lines; a section name cannot hold "]", a key cannot hold "=".
QString unwritableReason(const QString& section, const QString& key, const QString& value) {
    const auto hasLineBreak = [](const QString& text) {
        return text.contains(u'\n') || text.contains(u'\r');
    };
    if (section.trimmed().isEmpty() || hasLineBreak(section) || section.contains(u']'))
        return QStringLiteral("the section name \"%1\" cannot be written").arg(section);
    if (key.trimmed().isEmpty() || hasLineBreak(key) || key.contains(u'=') ||
        key.trimmed().startsWith(u';') || key.trimmed().startsWith(u'['))
        return QStringLiteral("the key name \"%1\" cannot be written").arg(key);
    if (hasLineBreak(value)) return QStringLiteral("the value of %1 holds a line break").arg(key);
    return {};
}

constexpr qsizetype MaxValueLength = 254;

} // namespace

QString GetIniSetting(const QString& iniPath, const QString& section, const QString& key,
                      const QString& defaultValue, UserInterface& ui) {
    QFile file(iniPath);
    if (!file.exists()) return defaultValue.left(MaxValueLength);
    if (const QString refusal = TextFileRefusal(iniPath); !refusal.isEmpty()) {
        ui.message({QStringLiteral("ERROR: GetIniSetting:") + refusal});
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        ui.message({QStringLiteral("ERROR: GetIniSetting:") + file.errorString()});
        return {};
    }
    const QByteArray content = WithoutByteOrderMark(file.readAll());
    if (file.error() != QFileDevice::NoError) {
        ui.message({QStringLiteral("ERROR: GetIniSetting:") + file.errorString()});
        return {};
    }
    const auto lines = splitLines(content);
    const auto header = findSection(lines, section);
    if (header < 0) return defaultValue.left(MaxValueLength);
    const auto keyLine = findKey(lines, header, key);
    if (keyLine < 0) return defaultValue.left(MaxValueLength);
    return valueOf(lines[keyLine].text).left(MaxValueLength);
}

void ReportUnsavedSettings(const QString& iniPath, const QString& refusal, UserInterface& ui) {
    if (refusal.isEmpty()) return;
    ui.message({QStringLiteral("The settings could not be saved in %1: %2.  They apply until the program ends.")
                    .arg(QDir::toNativeSeparators(iniPath), refusal),
                Icon::Exclamation});
}

bool WriteIniSetting(const QString& iniPath, const QString& section, const QString& key, const QString& value,
                     UserInterface& ui, QString* refusal) {
    const auto refused = [&](const QFileDevice& file) {
        if (refusal && refusal->isEmpty()) *refusal = file.errorString();
        return false;
    };
    if (const QString reason = unwritableReason(section, key, value); !reason.isEmpty()) {
        ui.message({QStringLiteral("ERROR: WriteIniSetting:") + reason});
        return false;
    }

    QByteArray content;
    QFile existing(iniPath);
    if (existing.exists()) {
        // A file we cannot read is never replaced: its other lines would be lost.
        if (const QString reason = TextFileRefusal(iniPath); !reason.isEmpty()) {
            if (refusal && refusal->isEmpty()) *refusal = reason;
            return false;
        }
        if (!existing.open(QIODevice::ReadOnly)) return refused(existing);
        // A byte-order mark is not written back: other readers would take it for part of the
        // first line.
        content = WithoutByteOrderMark(existing.readAll());
        if (existing.error() != QFileDevice::NoError) return refused(existing);
        existing.close();
    }

    auto lines = splitLines(content);
    QByteArray newline = "\n";
    for (const auto& line : lines) {
        if (!line.ending.isEmpty()) {
            newline = line.ending;
            break;
        }
    }
    const QByteArray keyText = key.trimmed().toUtf8();
    const QByteArray valueText = value.toUtf8();

    const auto header = findSection(lines, section);
    if (header < 0) {
        // A new section goes at the end of the file, after a blank line when the file has text.
        if (!lines.empty() && lines.back().ending.isEmpty()) lines.back().ending = newline;
        if (!lines.empty() && !lines.back().text.trimmed().isEmpty()) lines.push_back({{}, newline});
        lines.push_back({"[" + section.trimmed().toUtf8() + "]", newline});
        lines.push_back({keyText + "=" + valueText, newline});
    } else if (const auto keyLine = findKey(lines, header, key); keyLine >= 0) {
        // The value is replaced where it stands; the key keeps its spelling and indentation.
        QByteArray& text = lines[keyLine].text;
        qsizetype indent = 0;
        while (indent < text.size() && (text[indent] == ' ' || text[indent] == '\t')) ++indent;
        const QByteArray spelledKey = text.left(text.indexOf('=')).trimmed();
        text = text.left(indent) + spelledKey + "=" + valueText;
    } else {
        // A new key goes after the last line of its section that is not blank, so blank lines
        // separating it from the next section stay where they are.
        auto insertAt = sectionEnd(lines, header);
        while (insertAt - 1 > header && lines[insertAt - 1].text.trimmed().isEmpty()) --insertAt;
        if (lines[insertAt - 1].ending.isEmpty()) lines[insertAt - 1].ending = newline;
        lines.insert(lines.begin() + insertAt, IniLine{keyText + "=" + valueText, newline});
    }

    QByteArray output;
    output.reserve(content.size() + keyText.size() + valueText.size() + section.size() + 8);
    for (const auto& line : lines) output += line.text + line.ending;

    QSaveFile file(iniPath);
    if (!file.open(QIODevice::WriteOnly)) return refused(file);
    if (file.write(output) != output.size()) {
        refused(file);
        file.cancelWriting();
        return false;
    }
    return file.commit() || refused(file);
}

void LoadSummarySettings(const QString& iniPath, Settings& settings, UserInterface& ui) {
    // A settings file that is not there or no file has been reported by the settings before.
    if (!QFileInfo(iniPath).isFile()) return;
    settings.ChartTimes = StrToLng(GetIniSetting(iniPath, GeneralSection, QStringLiteral("ChartTimes"), QStringLiteral("0"), ui));
    const std::optional<double> target =
        ReadNumberEitherSeparator(GetIniSetting(iniPath, GeneralSection, QStringLiteral("TargetMc"), QStringLiteral("0"), ui));
    settings.TargetMc = target && *target > 0 ? *target : 0;
    // The report's site and operator lines, only ever set by editing the file; none by default.
    settings.ReportSite = GetIniSetting(iniPath, GeneralSection, QStringLiteral("ReportSite"), QString(), ui);
    settings.ReportOperator = GetIniSetting(iniPath, GeneralSection, QStringLiteral("ReportOperator"), QString(), ui);
}

} // namespace kv5
