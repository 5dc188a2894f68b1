#pragma once

#include <QLocale>
#include <QString>
#include <QStringView>

#include <optional>

namespace kestrel {

/// Longest value a loaded line gives, in characters.
inline constexpr qsizetype MaxSettingValueLength = 255;

/// `value` cut to MaxSettingValueLength characters (a character outside the
/// Basic Multilingual Plane counts once and is never split).
QString cutSettingValue(QStringView value);

/// Rounds to the nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double roundHalfToEven(double value);

/// The number `text` starts with, after leading blanks: optional sign, digits,
/// optional decimal point and digits, optional exponent; 0 when there is none.
/// Rounded halves to even. Empty when it does not fit in a signed 16-bit integer.
std::optional<qint16> leadingNumber(QStringView text);

/// The whole of `text` (blanks around it allowed) read as a number in `locale`'s
/// format and rounded down. Empty when it is not a number, or does not fit in a
/// signed integer of `bits` (16 or 32) bits.
std::optional<qint32> wholeNumberRoundedDown(QStringView text, int bits, const QLocale &locale);

/// A number as a setting line carries it: a blank before a value of 0 or more,
/// a minus sign before a negative one (" 5", "-1").
QString settingNumberText(qint32 value);

} // namespace kestrel
