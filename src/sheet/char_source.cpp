#include "char_source.h"

#include <QChar>
#include <QCoreApplication>
#include <array>
#include <cctype>
#include <iconv.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"

namespace karuvo {
namespace {

constexpr char32_t kLastCodePoint = 0x10FFFF;

// `why` is a text marked for translation, which goes with the message.
[[noreturn]] void badItem(QStringView item, const char* why) {
    throw Error(ErrorKind::Text, QT_TRANSLATE_NOOP("karuvo", "the item \"%1\" %2"), {item.toString().toStdString(), why}, 0b10,
                nullptr);
}

// Control characters take no cell, surrogates are halves of characters.
bool takesCell(char32_t c) {
    return !(c >= 0xD800 && c <= 0xDFFF) && QChar::category(c) != QChar::Other_Control;
}

// The code point of "U+XXXX", or nothing when the text is not one.
std::optional<char32_t> codePointItem(QStringView text, QStringView item) {
    if (text.size() < 3 || !text.startsWith(u"U+", Qt::CaseInsensitive)) return std::nullopt;
    const QStringView digits = text.sliced(2);
    for (const QChar d : digits)
        if (d.unicode() > 0x7F || !std::isxdigit(d.unicode())) return std::nullopt;
    if (digits.size() > 6) badItem(item, QT_TRANSLATE_NOOP("karuvo", "has more than six hexadecimal digits; give at most U+10FFFF"));
    const uint value = digits.toUInt(nullptr, 16);
    if (value > kLastCodePoint) badItem(item, QT_TRANSLATE_NOOP("karuvo", "is past U+10FFFF, the last code point"));
    return static_cast<char32_t>(value);
}

void addItem(QStringView item, CodePointSet& into) {
    if (item.isEmpty()) badItem(item, QT_TRANSLATE_NOOP("karuvo", "is empty; separate the items by single commas and write a comma as U+002C"));
    if (const std::optional<char32_t> one = codePointItem(item, item)) {
        if (!takesCell(*one)) badItem(item, QT_TRANSLATE_NOOP("karuvo", "is a control character or a surrogate, which takes no cell"));
        into.insert(*one);
        return;
    }
    const qsizetype dash = item.indexOf(u'-', 1);
    if (dash > 0) {
        const std::optional<char32_t> first = codePointItem(item.first(dash), item);
        const std::optional<char32_t> last = codePointItem(item.sliced(dash + 1), item);
        if (first && last) {
            if (*first > *last) badItem(item, QT_TRANSLATE_NOOP("karuvo", "runs backwards; give the lower code point first"));
            for (char32_t c = *first; c <= *last; ++c)
                if (takesCell(c)) into.insert(c);
            return;
        }
    }
    const std::u32string chars = item.toString().toStdU32String();
    if (chars.size() != 1) {
        badItem(item, QT_TRANSLATE_NOOP("karuvo", "is neither one character, U+XXXX nor U+XXXX-U+YYYY; separate characters by commas"));
    }
    if (!takesCell(chars[0])) badItem(item, QT_TRANSLATE_NOOP("karuvo", "is a control character or a surrogate, which takes no cell"));
    into.insert(chars[0]);
}

void addRange(char32_t first, char32_t last, CodePointSet& into) {
    for (char32_t c = first; c <= last; ++c)
        if (QChar::category(c) != QChar::Other_NotAssigned) into.insert(c);
}

// JIS X 0208 by row (1 to 94): each row's characters decoded by the system's EUC-JP
// converter, so the sets follow the standard's own mapping rather than a typed table.
using JisRows = std::array<std::vector<char32_t>, 95>;

const JisRows& jisRows() {
    static const JisRows rows = [] {
        struct Closer {
            void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
        };
        const iconv_t raw = iconv_open("UTF-32LE", "EUC-JP");
        if (raw == reinterpret_cast<iconv_t>(-1))
            throw Error(ErrorKind::Text, "The system has no EUC-JP converter, which the JIS X 0208 sets come from");
        const std::unique_ptr<void, Closer> cd(raw);
        JisRows out;
        std::size_t total = 0;
        for (int row = 1; row <= 94; ++row) {
            for (int cell = 1; cell <= 94; ++cell) {
                char in[2] = {static_cast<char>(0xA0 + row), static_cast<char>(0xA0 + cell)};
                unsigned char decoded[8] = {};
                char* inPtr = in;
                char* outPtr = reinterpret_cast<char*>(decoded);
                std::size_t inLeft = 2, outLeft = sizeof decoded;
                iconv(raw, nullptr, nullptr, nullptr, nullptr);
                if (iconv(raw, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) continue;
                if (inLeft != 0 || outLeft != sizeof decoded - 4) continue;
                out[row].push_back(decoded[0] | decoded[1] << 8 | decoded[2] << 16 | char32_t{decoded[3]} << 24);
                ++total;
            }
        }
        if (total != 6879) {
            throw Error(ErrorKind::Text, "The system's EUC-JP converter gives " + std::to_string(total) +
                                             " JIS X 0208 characters, not the standard's 6879");
        }
        return out;
    }();
    return rows;
}

void addJisRows(int first, int last, CodePointSet& into) {
    const JisRows& rows = jisRows();
    for (int row = first; row <= last; ++row) into.insert(rows[row].begin(), rows[row].end());
}

struct NamedSet {
    const char* name;
    void (*add)(CodePointSet&);
};

// Blocks give their assigned code points; the kanji levels are rows 16-47 and 48-84.
const NamedSet kSets[] = {
    {"ascii", [](CodePointSet& s) { addRange(0x20, 0x7E, s); }},
    {"latin1", [](CodePointSet& s) { addRange(0x20, 0x7E, s), addRange(0xA0, 0xFF, s); }},
    {"hiragana", [](CodePointSet& s) { addRange(0x3040, 0x309F, s); }},
    {"katakana", [](CodePointSet& s) { addRange(0x30A0, 0x30FF, s); }},
    {"halfwidth-katakana", [](CodePointSet& s) { addRange(0xFF61, 0xFF9F, s); }},
    {"jis-x-0208", [](CodePointSet& s) { addJisRows(1, 94, s); }},
    {"jis-x-0208-kanji1", [](CodePointSet& s) { addJisRows(16, 47, s); }},
    {"jis-x-0208-kanji2", [](CodePointSet& s) { addJisRows(48, 84, s); }},
};

}  // namespace

void addCharList(QStringView list, CodePointSet& into) {
    for (const QStringView item : list.split(u','))
        addItem(item, into);
}

QStringList charsetNames() {
    QStringList names;
    for (const NamedSet& set : kSets) names << QLatin1String(set.name);
    return names;
}

bool addCharset(QStringView name, CodePointSet& into) {
    for (const NamedSet& set : kSets) {
        if (name == QLatin1String(set.name)) {
            set.add(into);
            return true;
        }
    }
    return false;
}

QString textOf(const CodePointSet& set) {
    const std::u32string chars(set.begin(), set.end());
    return QString::fromUcs4(chars.data(), static_cast<qsizetype>(chars.size()));
}

}  // namespace karuvo
