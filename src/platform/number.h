#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>

// Reading the numbers that the user types into the window's boxes. Both readers take
// the full-width forms that a Japanese input method types (６４, －３, １２．５, the
// ideographic space) and the minus sign U+2212 as the ASCII characters they stand for.
namespace karuvo {

// True when the whole text is a number: blanks (spaces, tabs) around it allowed,
// then either a decimal number (optional sign, digits with an optional decimal point
// and fraction, or a point and a fraction, then an optional exponent e/E with an
// optional sign and digits) or "&H" followed by hexadecimal digits. The empty text,
// and a text of blanks alone, is not a number.
bool isNumeric(QStringView text);

// The number that the text begins with. Spaces, tabs and line feeds are ignored
// wherever they stand; reading stops at the first character that cannot continue the
// number; a text without a leading number gives 0. "&H" starts a hexadecimal number
// whose digits (up to 8) make a signed 32-bit value, so "&HFFFFFFFF" is -1. A decimal
// number too large for a double gives an infinity, which the rounding below refuses.
double numberValue(QStringView text);

// Rounds to the nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4,
// -2.5 -> -2). Throws Error(Overflow) naming `what` when the result is outside the
// signed 32-bit range.
std::int32_t roundHalfEven(double value, const char* what);

// Rounds down toward minus infinity (12.7 -> 12, -0.5 -> -1), with the same range check.
std::int32_t roundDown(double value, const char* what);

// The decimal form of a value: no blanks, a leading "-" when negative.
QString decimalText(std::int32_t value);

}  // namespace karuvo
