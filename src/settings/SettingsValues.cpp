#include "settings/SettingsValues.h"

#include <cmath>
#include <limits>

namespace kestrel {
namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

qsizetype skipDigits(QStringView text, qsizetype from)
{
    while (from < text.size() && isDigit(text.at(from)))
        ++from;
    return from;
}

std::optional<qint32> fitInteger(double value, int bits)
{
    const double low = bits == 16 ? std::numeric_limits<qint16>::min() : std::numeric_limits<qint32>::min();
    const double high = bits == 16 ? std::numeric_limits<qint16>::max() : std::numeric_limits<qint32>::max();
    if (!std::isfinite(value) || value < low || value > high)
        return std::nullopt;
    return static_cast<qint32>(value);
}

// The longest prefix of `text` that forms a decimal number, or an empty string.
QString numberPrefix(QStringView text)
{
    qsizetype pos = 0;
    while (pos < text.size() && (text.at(pos) == QLatin1Char(' ') || text.at(pos) == QLatin1Char('\t')))
        ++pos;
    const qsizetype start = pos;
    if (pos < text.size() && (text.at(pos) == QLatin1Char('+') || text.at(pos) == QLatin1Char('-')))
        ++pos;
    const qsizetype integerEnd = skipDigits(text, pos);
    qsizetype end = integerEnd;
    bool digits = integerEnd > pos;
    if (end < text.size() && text.at(end) == QLatin1Char('.')) {
        const qsizetype fractionEnd = skipDigits(text, end + 1);
        digits = digits || fractionEnd > end + 1;
        end = fractionEnd;
    }
    if (!digits)
        return {};
    if (end < text.size() && (text.at(end) == QLatin1Char('e') || text.at(end) == QLatin1Char('E'))) {
        qsizetype exponent = end + 1;
        if (exponent < text.size() &&
            (text.at(exponent) == QLatin1Char('+') || text.at(exponent) == QLatin1Char('-')))
            ++exponent;
        const qsizetype exponentEnd = skipDigits(text, exponent);
        if (exponentEnd > exponent)
            end = exponentEnd;
    }
    return text.mid(start, end - start).toString();
}

} // namespace

QString cutSettingValue(QStringView value)
{
    qsizetype end = 0;
    for (qsizetype characters = 0; characters < MaxSettingValueLength && end < value.size(); ++characters) {
        const bool pair =
            value.at(end).isHighSurrogate() && end + 1 < value.size() && value.at(end + 1).isLowSurrogate();
        end += pair ? 2 : 1;
    }
    return value.first(end).toString();
}

double roundHalfToEven(double value)
{
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction < 0.5)
        return below;
    if (fraction > 0.5)
        return below + 1.0;
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

std::optional<qint16> leadingNumber(QStringView text)
{
    const QString number = numberPrefix(text);
    if (number.isEmpty())
        return 0;
    bool ok = false;
    const double value = QLocale::c().toDouble(number, &ok);
    // A well-formed prefix only fails to convert when it is out of the range of
    // a double: too large (no integer holds it) or so small that it is 0.
    if (!ok) {
        const bool tiny = number.contains(QLatin1String("e-"), Qt::CaseInsensitive);
        return tiny ? std::optional<qint16>(0) : std::nullopt;
    }
    const std::optional<qint32> fitted = fitInteger(roundHalfToEven(value), 16);
    if (!fitted)
        return std::nullopt;
    return static_cast<qint16>(*fitted);
}

std::optional<qint32> wholeNumberRoundedDown(QStringView text, int bits, const QLocale &locale)
{
    const QStringView trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double value = locale.toDouble(trimmed, &ok);
    if (!ok)
        return std::nullopt;
    return fitInteger(std::floor(value), bits);
}

QString settingNumberText(qint32 value)
{
    return value < 0 ? QString::number(value) : QLatin1Char(' ') + QString::number(value);
}

} // namespace kestrel
