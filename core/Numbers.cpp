#include "core/Numbers.h"

#include <QLocale>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <limits>

namespace kv5 {

double ClampPercent(double value) {
    if (value > 99.9) value = 99.9;
    if (value < 0) value = 0;
    return value;
}

double StrToDbl(const QString& text) {
    bool ok = false;
    const double value = QLocale::system().toDouble(text.trimmed(), &ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

std::optional<double> ReadNumberEitherSeparator(const QString& text) {
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    QString localText = text.trimmed();
    const qsizetype point = localText.indexOf(u'.');
    if (point >= 0) localText.replace(point, 1, locale.decimalPoint());
    bool ok = false;
    const double value = locale.toDouble(localText, &ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

double ParseDecimal(const QString& text) { return ReadNumberEitherSeparator(text).value_or(0.0); }

qint32 StrToLng(const QString& text) {
    bool ok = false;
    const double value = QLocale::system().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value)) return 0;
    const double rounded = std::nearbyint(value);
    if (rounded < std::numeric_limits<qint32>::min() || rounded > std::numeric_limits<qint32>::max()) return 0;
    return static_cast<qint32>(rounded);
}

namespace {

// Round on the decimal value: a double a hair below a half still counts as the half.
double roundedTenths(double value) {
    double tenths = value * 10.0;
    tenths += std::copysign(1e-9 * std::max(1.0, std::fabs(tenths)), tenths);
    tenths = std::round(tenths);
    return tenths == 0.0 ? 0.0 : tenths; // no "-0.0"
}

} // namespace

double OneDecimal(double value) {
    return std::isfinite(value) ? roundedTenths(value) / 10.0 : value;
}

void AppendNumberText(QByteArray& out, double value) {
    const double tenths = std::isfinite(value) ? roundedTenths(value) : 0.0;
    // Beyond what a 64-bit integer holds exactly, Qt's own formatting.
    if (!std::isfinite(value) || std::fabs(tenths) >= 1e15) {
        out += NumberText(value, Separator::Point).toLatin1();
        return;
    }
    auto whole = static_cast<long long>(tenths);
    if (whole < 0) {
        out += '-';
        whole = -whole;
    }
    char digits[24];
    int at = sizeof digits;
    digits[--at] = char('0' + whole % 10);
    digits[--at] = '.';
    whole /= 10;
    do {
        digits[--at] = char('0' + whole % 10);
        whole /= 10;
    } while (whole > 0);
    out.append(digits + at, qsizetype(sizeof digits) - at);
}

QString NumberText(double value, Separator separator) {
    if (!std::isfinite(value)) return QString::number(value);
    QString text = QString::number(OneDecimal(value), 'f', 1);
    if (separator == Separator::User) {
        const QString point = QLocale::system().decimalPoint();
        if (point != QLatin1String(".")) text.replace(QLatin1Char('.'), point);
    }
    return text;
}

double ReadPointNumber(QStringView text) {
    text = text.trimmed();
    if (text.startsWith(QLatin1Char('+'))) text = text.mid(1);
    char digits[64];
    if (text.isEmpty() || text.size() >= qsizetype(sizeof digits)) return 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c > 0x7f) return 0;
        digits[i] = static_cast<char>(c);
    }
    double value = 0;
    const char* end = digits + text.size();
    const auto [stop, error] = std::from_chars(digits, end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value)) return 0;
    return value;
}

void UsePointInFileNumbers() { std::setlocale(LC_NUMERIC, "C"); }

} // namespace kv5
