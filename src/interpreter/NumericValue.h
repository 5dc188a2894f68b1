#pragma once

#include <QString>

#include <cstdint>

namespace kestrel {

/// The number that `text` starts with, read from the left while it forms a decimal
/// number (optional sign, digits, optional decimal point and fraction, optional
/// exponent). Blanks, tabs and line feeds are ignored wherever they stand; reading
/// stops at the first other character. Text that starts with no number gives 0.
/// Throws Failure("Overflow") when the number is too large for a double; one too
/// small for a double gives 0.
double numericValue(const QString &text);

/// Rounds to the nearest integer, halves to the even neighbour, and throws
/// Failure("Overflow") when the result does not fit.
std::int16_t roundToInt16(double value);
std::int32_t roundToInt32(double value);

} // namespace kestrel
