#include "core/FileNames.h"

#include <QFileInfo>
#include <QStringView>

namespace kv5 {

namespace {

constexpr char16_t EscapedByte = 0xDC00;

// The length of the valid UTF-8 sequence at bytes[at], or 0 when the byte there starts none
// (overlong forms, surrogates and values past U+10FFFF are not valid).
qsizetype utf8SequenceLength(const QByteArray& bytes, qsizetype at) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    qsizetype length = 0;
    unsigned char low = 0x80, high = 0xBF; // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > bytes.size() || byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (qsizetype i = 2; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    return length;
}

} // namespace

QString DecodeFileName(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    qsizetype runStart = 0, at = 0;
    while (at < bytes.size()) {
        const qsizetype length = utf8SequenceLength(bytes, at);
        if (length > 0) {
            at += length;
            continue;
        }
        text += QString::fromUtf8(bytes.constData() + runStart, at - runStart);
        text += QChar(EscapedByte + static_cast<unsigned char>(bytes[at]));
        runStart = ++at;
    }
    text += QString::fromUtf8(bytes.constData() + runStart, at - runStart);
    return text;
}

QByteArray EncodeFileName(const QString& name) {
    QByteArray bytes;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            ++i; // a pair: a character past U+FFFF
            continue;
        }
        if (unit < EscapedByte + 0x80 || unit > EscapedByte + 0xFF) continue;
        bytes += QStringView(name).mid(runStart, i - runStart).toUtf8();
        bytes += static_cast<char>(unit - EscapedByte);
        runStart = i + 1;
    }
    bytes += QStringView(name).mid(runStart).toUtf8();
    return bytes;
}

bool HoldsForeignBytes(const QString& name) { return EncodeFileName(name) != name.toUtf8(); }

QByteArray WithoutByteOrderMark(const QByteArray& bytes) {
    qsizetype start = 0;
    while (bytes.mid(start, 3) == "\xEF\xBB\xBF") start += 3;
    return bytes.mid(start);
}

QString TextFileRefusal(const QString& path) {
    constexpr qint64 MaxTextFileBytes = 1 << 20;
    const QFileInfo info(path);
    if (!info.exists() || info.isDir()) return {};
    if (!info.isFile()) return QStringLiteral("%1 is a pipe, a device or a socket, not a file").arg(path);
    if (info.size() > MaxTextFileBytes)
        return QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(MaxTextFileBytes);
    return {};
}

} // namespace kv5
