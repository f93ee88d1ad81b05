#include "number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "checked.h"

namespace karuvo {
namespace {

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

int hexDigit(QChar c) {
    if (c >= u'0' && c <= u'9') return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f') return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c.unicode() - u'A' + 10;
    return -1;
}

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

// The text with the full-width forms that a Japanese input method types (digits, sign,
// point, letters, the ideographic space) and the minus sign turned into their ASCII
// forms; an ASCII text is handed back as it is.
QStringView asciiForms(QStringView text, QString& storage) {
    const auto wide = [](QChar c) { return c.unicode() >= 0x2212; };
    if (std::none_of(text.begin(), text.end(), wide)) return text;
    storage = text.toString();
    for (QChar& c : storage) {
        const char16_t u = c.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E) c = QChar(u - 0xFEE0);
        else if (u == 0x3000) c = u' ';
        else if (u == 0x2212) c = u'-';
    }
    return storage;
}

// Hexadecimal digits of `text` from `pos` on as a signed 32-bit value; more than
// eight significant digits give a value outside that range.
double hexValue(QStringView text, qsizetype pos, bool skipBlanks) {
    std::uint64_t v = 0;
    bool tooLong = false;
    for (; pos < text.size(); ++pos) {
        const QChar c = text[pos];
        if (skipBlanks && (c == u' ' || c == u'\t' || c == u'\n')) continue;
        const int d = hexDigit(c);
        if (d < 0) break;
        v = v * 16 + static_cast<unsigned>(d);
        if (v > 0xFFFFFFFFull) {
            tooLong = true;
            v = 0x100000000ull;
        }
    }
    if (tooLong) return static_cast<double>(std::numeric_limits<std::int64_t>::max());
    return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
}

}  // namespace

bool isNumeric(QStringView typed) {
    QString storage;
    const QStringView text = asciiForms(typed, storage);
    qsizetype b = 0, e = text.size();
    while (b < e && isBlank(text[b])) ++b;
    while (e > b && isBlank(text[e - 1])) --e;
    if (b == e) return false;
    const QStringView t = text.sliced(b, e - b);

    if (t.size() >= 2 && t[0] == u'&' && (t[1] == u'H' || t[1] == u'h')) {
        if (t.size() == 2) return false;
        for (qsizetype i = 2; i < t.size(); ++i)
            if (hexDigit(t[i]) < 0) return false;
        return true;
    }

    qsizetype i = 0;
    if (t[i] == u'+' || t[i] == u'-') ++i;
    qsizetype intDigits = 0, fracDigits = 0;
    while (i < t.size() && isDigit(t[i])) ++i, ++intDigits;
    if (i < t.size() && t[i] == u'.') {
        ++i;
        while (i < t.size() && isDigit(t[i])) ++i, ++fracDigits;
    }
    if (intDigits + fracDigits == 0) return false;
    if (i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
        ++i;
        if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) ++i;
        qsizetype expDigits = 0;
        while (i < t.size() && isDigit(t[i])) ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    return i == t.size();
}

double numberValue(QStringView typed) {
    QString storage;
    const QStringView text = asciiForms(typed, storage);
    // Gather the characters of the leading number, dropping ignored blanks.
    auto isIgnored = [](QChar c) { return c == u' ' || c == u'\t' || c == u'\n'; };
    qsizetype i = 0;
    auto skip = [&] {
        while (i < text.size() && isIgnored(text[i])) ++i;
    };
    skip();
    if (i + 1 < text.size() && text[i] == u'&' && (text[i + 1] == u'H' || text[i + 1] == u'h'))
        return hexValue(text, i + 2, true);

    std::string num;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
        skip();
    }
    bool anyDigit = false;
    while (i < text.size()) {
        if (isDigit(text[i])) num += static_cast<char>(text[i].unicode()), anyDigit = true, ++i;
        else if (isIgnored(text[i])) ++i;
        else break;
    }
    if (i < text.size() && text[i] == u'.') {
        num += '.';
        ++i;
        while (i < text.size()) {
            if (isDigit(text[i])) num += static_cast<char>(text[i].unicode()), anyDigit = true, ++i;
            else if (isIgnored(text[i])) ++i;
            else break;
        }
    }
    if (!anyDigit) return 0.0;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        std::string exp = "e";
        qsizetype j = i + 1;
        while (j < text.size() && isIgnored(text[j])) ++j;
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-')) {
            exp += static_cast<char>(text[j].unicode());
            ++j;
        }
        bool expDigit = false;
        while (j < text.size()) {
            if (isDigit(text[j])) exp += static_cast<char>(text[j].unicode()), expDigit = true, ++j;
            else if (isIgnored(text[j])) ++j;
            else break;
        }
        if (expDigit) num += exp;
    }
    double v = 0.0;
    const auto res = std::from_chars(num.data(), num.data() + num.size(), v);
    if (res.ec == std::errc::result_out_of_range) {
        // Either far too large or far too small; tell them apart by the exponent sign.
        const bool tiny = num.find("e-") != std::string::npos;
        v = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -v : v;
}

namespace {

[[noreturn]] void throwOutOfRange(double value, const char* what) {
    throw Error(ErrorKind::Overflow,
                QT_TRANSLATE_NOOP("karuvo", "%1: the number %2 is outside the range -2147483648 to 2147483647"),
                {what, QString::number(value, 'g', 17).toStdString()});
}

}  // namespace

std::int32_t roundHalfEven(double value, const char* what) {
    const double r = std::nearbyint(value);  // the default rounding mode: ties to even
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) {
        throwOutOfRange(value, what);
    }
    return static_cast<std::int32_t>(r);
}

std::int32_t roundDown(double value, const char* what) {
    const double r = std::floor(value);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) {
        throwOutOfRange(value, what);
    }
    return static_cast<std::int32_t>(r);
}

QString decimalText(std::int32_t value) { return QString::number(value); }

}  // namespace karuvo
