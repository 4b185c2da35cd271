#include "core/JsonText.h"

#include <charconv>
#include <cmath>

namespace kv5 {

QByteArray JsonString(const QString& text) {
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
                out += QByteArray("\\u00") +
                       QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
            else
                out += c;
        }
    }
    return out + '"';
}

QByteArray JsonNumber(double value) {
    if (!std::isfinite(value)) return JsonNull;
    if (value == 0) return "0"; // no "-0"
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    return QByteArray(digits, result.ptr - digits);
}

QByteArray JsonNumber(std::optional<double> value) {
    return value ? JsonNumber(*value) : JsonNull;
}
QByteArray JsonInteger(qint64 value) {
    return QByteArray::number(value);
}
QByteArray JsonBool(bool value) {
    return value ? "true" : "false";
}

namespace {

QByteArray joined(const std::vector<QByteArray>& items, char open, char close, int indent) {
    if (items.empty()) return QByteArray() + open + close;
    const QByteArray separator = indent > 0 ? ",\n" + QByteArray(indent, ' ') : ", ";
    QByteArray out(1, open);
    if (indent > 0) out += '\n' + QByteArray(indent, ' ');
    for (size_t i = 0; i < items.size(); ++i) out += (i ? separator : QByteArray()) + items[i];
    if (indent > 0) out += '\n' + QByteArray(indent - 2 > 0 ? indent - 2 : 0, ' ');
    return out + close;
}

} // namespace

QByteArray JsonObjectText::text(int indent) const {
    std::vector<QByteArray> items;
    items.reserve(fields_.size());
    for (const auto& [key, value] : fields_) items.push_back('"' + key + "\": " + value);
    return joined(items, '{', '}', indent);
}

QByteArray JsonArray(const std::vector<QByteArray>& items, int indent) {
    return joined(items, '[', ']', indent);
}

} // namespace kv5
