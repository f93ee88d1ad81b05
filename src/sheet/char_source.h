#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <set>

namespace karuvo {

// Characters chosen by list or by name rather than typed: a set of code points that
// becomes a sheet's text, one cell each in increasing order.
using CodePointSet = std::set<char32_t>;

// Adds the characters of a list: items separated by commas, each a single character,
// a code point "U+XXXX" (one to six hexadecimal digits, at most 10FFFF) or a range
// "U+XXXX-U+YYYY" with its ends included. A comma itself is written U+002C. Ranges
// leave out control characters and surrogates; a single item that is one is refused,
// as are an empty item and a range running backwards. Throws Error(Text) naming the item.
void addCharList(QStringView list, CodePointSet& into);

// The names addCharset knows, in the order the help lists them.
QStringList charsetNames();

// Adds the named set; false for a name that is not one of charsetNames(). The JIS X
// 0208 sets come from the system's EUC-JP converter, all 94 x 94 two-byte codes
// decoded; throws Error(Text) when that converter is missing or does not give the
// standard's 6,879 characters.
bool addCharset(QStringView name, CodePointSet& into);

// The characters of a set in increasing order, without line breaks.
QString textOf(const CodePointSet& set);

}  // namespace karuvo
