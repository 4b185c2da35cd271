// JSON written by the program: fields in the order the reader expects to see them, numbers in
// their shortest exact form with a point whatever the locale. Reading goes through QJsonDocument.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace kv5 {

// A JSON string with the escapes JSON requires.
QByteArray JsonString(const QString& text);
// The shortest text that reads back as the same double; null for infinities and NaN.
QByteArray JsonNumber(double value);
QByteArray JsonNumber(std::optional<double> value);
QByteArray JsonInteger(qint64 value);
QByteArray JsonBool(bool value);
inline const QByteArray JsonNull = QByteArrayLiteral("null");

// An object built field by field, each value already JSON text.
class JsonObjectText {
public:
    JsonObjectText& add(const char* key, const QByteArray& value) {
        fields_.emplace_back(key, value);
        return *this;
    }
    // On one line, or with indent one field per line indented by that many blanks.
    QByteArray text(int indent = 0) const;

private:
    std::vector<std::pair<QByteArray, QByteArray>> fields_;
};

// An array of JSON texts, on one line, or one item per line indented by indent blanks.
QByteArray JsonArray(const std::vector<QByteArray>& items, int indent = 0);

} // namespace kv5
