#include "interpreter/NumericValue.h"

#include "common/Failure.h"

#include <cfenv>
#include <cmath>
#include <limits>

namespace kestrel {

namespace {

bool isIgnored(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The longest prefix of `s` (ignored characters already removed) that is a number.
qsizetype numberPrefixLength(const QString &s)
{
    qsizetype i = 0;
    const qsizetype n = s.size();
    if (i < n && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
        ++i;
    int mantissaDigits = 0;
    while (i < n && isDigit(s[i])) {
        ++i;
        ++mantissaDigits;
    }
    if (i < n && s[i] == QLatin1Char('.')) {
        ++i;
        while (i < n && isDigit(s[i])) {
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return 0;
    qsizetype end = i;
    if (i < n && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < n && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-')))
            ++j;
        const qsizetype digitsStart = j;
        while (j < n && isDigit(s[j]))
            ++j;
        if (j > digitsStart)
            end = j; // an exponent without digits is not part of the number
    }
    return end;
}

double roundHalfEven(double value)
{
    // nearbyint follows the current rounding mode; pin it to the one we mean.
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(previous);
    return rounded;
}

template <typename Int> Int roundChecked(double value)
{
    const double rounded = roundHalfEven(value);
    if (!std::isfinite(rounded) || rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Int>::max()))
        throw Failure(QStringLiteral("Overflow"));
    return static_cast<Int>(rounded);
}

} // namespace

double numericValue(const QString &text)
{
    QString compact;
    compact.reserve(text.size());
    for (QChar c : text) {
        if (!isIgnored(c))
            compact.append(c);
    }
    const qsizetype length = numberPrefixLength(compact);
    if (length == 0)
        return 0.0;
    // QString::toDouble reads the C locale, whatever the user's locale says.
    bool ok = false;
    const double value = compact.left(length).toDouble(&ok);
    // The prefix is a well-formed number, so a refusal is either an overflow
    // (reported as infinite) or a number too small for a double, which is 0.
    if (!ok && value == 0.0)
        return 0.0;
    if (!ok || !std::isfinite(value))
        throw Failure(QStringLiteral("Overflow"));
    return value;
}

std::int16_t roundToInt16(double value)
{
    return roundChecked<std::int16_t>(value);
}

std::int32_t roundToInt32(double value)
{
    return roundChecked<std::int32_t>(value);
}

} // namespace kestrel
