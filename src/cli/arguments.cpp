#include "arguments.h"

#include <QRegularExpression>
#include <algorithm>
#include <array>

#include "export/sheet_file.h"
#include "platform/error.h"
#include "platform/image_io.h"
#include "platform/number.h"
#include "sheet/builder.h"
#include "sheet/char_source.h"

#ifndef KARUVO_VERSION
#define KARUVO_VERSION "0.0.0"
#endif

namespace karuvo::cli {
namespace {

constexpr std::int32_t kMaxFontPixels = 16384;  // the largest font that can be made
constexpr std::int32_t kMaxRadius = 10;

enum class Opt {
    Text, TextFile, Font, Size, Bold, Italic, Underline, StrikeOut, Cell, Fill, Texture,
    Shadow, ShadowColour, Outline, OutlineColour, Output, Fnt, Json, FntFormat, Pitch, FaceIndex, NoFallback,
    Chars, Charset, Columns, Mono, MaxSize, Quiet, Help, Version,
};

struct OptionSpec {
    Opt id;
    char shortName;  // 0: none
    const char* longName;
    bool takesValue;
};

constexpr std::array kOptions{
    OptionSpec{Opt::Text, 't', "text", true},
    OptionSpec{Opt::TextFile, 'T', "text-file", true},
    OptionSpec{Opt::Font, 'f', "font", true},
    OptionSpec{Opt::Size, 's', "size", true},
    OptionSpec{Opt::Bold, 0, "bold", false},
    OptionSpec{Opt::Italic, 0, "italic", false},
    OptionSpec{Opt::Underline, 0, "underline", false},
    OptionSpec{Opt::StrikeOut, 0, "strikeout", false},
    OptionSpec{Opt::Cell, 'c', "cell", true},
    OptionSpec{Opt::Fill, 0, "fill", true},
    OptionSpec{Opt::Texture, 0, "texture", true},
    OptionSpec{Opt::Shadow, 0, "shadow", true},
    OptionSpec{Opt::ShadowColour, 0, "shadow-colour", true},
    OptionSpec{Opt::Outline, 0, "outline", true},
    OptionSpec{Opt::OutlineColour, 0, "outline-colour", true},
    OptionSpec{Opt::Output, 'o', "output", true},
    OptionSpec{Opt::Fnt, 0, "fnt", true},
    OptionSpec{Opt::Json, 0, "json", true},
    OptionSpec{Opt::FntFormat, 0, "fnt-format", true},
    OptionSpec{Opt::Pitch, 0, "pitch", true},
    OptionSpec{Opt::FaceIndex, 0, "face-index", true},
    OptionSpec{Opt::NoFallback, 0, "no-fallback", false},
    OptionSpec{Opt::Chars, 0, "chars", true},
    OptionSpec{Opt::Charset, 0, "charset", true},
    OptionSpec{Opt::Columns, 0, "columns", true},
    OptionSpec{Opt::Mono, 0, "mono", false},
    OptionSpec{Opt::MaxSize, 0, "max-size", true},
    OptionSpec{Opt::Quiet, 'q', "quiet", false},
    OptionSpec{Opt::Help, 'h', "help", false},
    OptionSpec{Opt::Version, 0, "version", false},
};

// A usage error on its way to the one boundary in parseArguments.
struct UsageError {
    QString message;
};

[[noreturn]] void usage(const QString& message) { throw UsageError{message}; }

bool isControl(char32_t c) {
    return QChar::category(c) == QChar::Other_Control || c == 0x2028 || c == 0x2029;
}

// A value as it can be shown on one line: control characters written as escapes.
QString shown(QStringView s) {
    QString out;
    for (const char32_t c : s.toUcs4()) {
        if (c == U'\n') out += QStringLiteral("\\n");
        else if (c == U'\t') out += QStringLiteral("\\t");
        else if (c == U'\r') out += QStringLiteral("\\r");
        else if (isControl(c)) out += QStringLiteral("\\u%1").arg(static_cast<std::uint32_t>(c), 4, 16, QLatin1Char('0'));
        else out += QString::fromUcs4(&c, 1);
    }
    return out;
}

QString quoted(QStringView s) { return u'"' + shown(s) + u'"'; }

const OptionSpec* findLong(QStringView name) {
    for (const OptionSpec& o : kOptions)
        if (name == QLatin1String(o.longName)) return &o;
    return nullptr;
}

const OptionSpec* findShort(QChar c) {
    for (const OptionSpec& o : kOptions)
        if (o.shortName != 0 && c == QLatin1Char(o.shortName)) return &o;
    return nullptr;
}

// A number read as the window reads its boxes, rounded to a whole number (down for
// cell sizes, halves to even otherwise); nothing when the text is not a number or
// the whole number leaves the signed 32-bit range.
enum class Rounding { HalfEven, Down };
struct WholeNumber {
    bool numeric = false;
    std::optional<std::int32_t> value;  // unset: out of range
};
WholeNumber wholeNumber(QStringView text, Rounding rounding) {
    if (!isNumeric(text)) return {};
    try {
        const double v = numberValue(text);
        return {true, rounding == Rounding::Down ? roundDown(v, "") : roundHalfEven(v, "")};
    } catch (const Error&) {
        return {true, std::nullopt};
    }
}

Colour colourArgument(const QString& spell, const QString& value) {
    static const QRegularExpression hex(QStringLiteral("^#?([0-9A-Fa-f]{6})$"));
    const QRegularExpressionMatch m = hex.match(value);
    if (!m.hasMatch()) {
        usage(spell + ": the colour " + quoted(value) +
              " is not six hexadecimal digits; give it red first, e.g. FF8000 or #FF8000");
    }
    const std::uint32_t rgb = m.captured(1).toUInt(nullptr, 16);
    return colourFromRgb(static_cast<int>(rgb >> 16), static_cast<int>(rgb >> 8), static_cast<int>(rgb));
}

std::int32_t fontSizeArgument(const QString& spell, const QString& value) {
    const WholeNumber n = wholeNumber(value, Rounding::HalfEven);
    const QString fix = QStringLiteral("; give the size in pixels, 1 to %1").arg(kMaxFontPixels);
    if (!n.numeric) usage(spell + ": the font size " + quoted(value) + " is not a number" + fix);
    if (!n.value || *n.value < 1 || *n.value > kMaxFontPixels)
        usage(spell + ": the font size " + value.trimmed() + " is out of range" + fix);
    return *n.value;
}

void cellArgument(const QString& spell, const QString& value, SheetSettings& s) {
    const qsizetype x = value.indexOf(u'x', 0, Qt::CaseInsensitive);
    const QString fix = QStringLiteral("; give the width and height in pixels, e.g. 32x32");
    if (x < 0) usage(spell + ": the cell size " + quoted(value) + " is not WIDTHxHEIGHT" + fix);
    const QStringView parts[2] = {QStringView(value).first(x), QStringView(value).sliced(x + 1)};
    std::int32_t size[2];
    for (int i = 0; i < 2; ++i) {
        const WholeNumber n = wholeNumber(parts[i], Rounding::Down);
        const QString what = i == 0 ? QStringLiteral("cell width") : QStringLiteral("cell height");
        if (!n.numeric) usage(spell + ": the " + what + " " + quoted(parts[i]) + " is not a number" + fix);
        if (!n.value) {
            usage(spell + ": the " + what + " " + parts[i].trimmed().toString() +
                  " is too large; give at most 2147483647 pixels");
        }
        if (*n.value < 1) {
            usage(spell + ": the cell size " + value.trimmed() +
                  " has no area; give a width and a height of at least 1 pixel");
        }
        size[i] = *n.value;
    }
    s.cellWidth = size[0];
    s.cellHeight = size[1];
}

void shadowArgument(const QString& spell, const QString& value, SheetSettings& s) {
    const QStringList parts = value.split(u',');
    const QString fix = QStringLiteral("; give two whole numbers of pixels, e.g. 2,2");
    if (parts.size() != 2) usage(spell + ": the offset " + quoted(value) + " is not DX,DY" + fix);
    std::int32_t offset[2];
    for (int i = 0; i < 2; ++i) {
        const WholeNumber n = wholeNumber(parts[i], Rounding::HalfEven);
        if (!n.numeric) usage(spell + ": the offset " + quoted(parts[i]) + " is not a number" + fix);
        if (!n.value) {
            usage(spell + ": the offset " + parts[i].trimmed() +
                  " is too large; give a number from -2147483648 to 2147483647");
        }
        offset[i] = *n.value;
    }
    s.effect = EffectKind::Shadow;
    s.shadowDx = offset[0];
    s.shadowDy = offset[1];
}

void outlineArgument(const QString& spell, const QString& value, SheetSettings& s) {
    const WholeNumber n = wholeNumber(value, Rounding::HalfEven);
    const QString fix = QStringLiteral("; give a whole number from 0 to %1").arg(kMaxRadius);
    if (!n.numeric) usage(spell + ": the radius " + quoted(value) + " is not a number" + fix);
    if (!n.value || *n.value < 0 || *n.value > kMaxRadius)
        usage(spell + ": the radius " + value.trimmed() + " is out of range" + fix);
    s.effect = EffectKind::Outline;
    s.outlineRadius = *n.value;
}

// A whole number of at least `least`, named `what` in messages that end with `fix`.
std::int32_t wholeArgument(const QString& spell, const QString& value, const char* what, std::int32_t least,
                           const QString& fix) {
    const WholeNumber n = wholeNumber(value, Rounding::HalfEven);
    const QString name = QStringLiteral(": the %1 ").arg(QLatin1String(what));
    if (!n.numeric) usage(spell + name + quoted(value) + " is not a number" + fix);
    if (!n.value || *n.value < least) usage(spell + name + value.trimmed() + " is out of range" + fix);
    return *n.value;
}

// The value among `names` (exact spelling), as its index.
template <std::size_t N>
std::size_t choiceArgument(const QString& spell, const QString& value, const char* what,
                           const std::array<const char*, N>& names) {
    QStringList allowed;
    for (std::size_t i = 0; i < N; ++i) {
        if (value == QLatin1String(names[i])) return i;
        allowed << QLatin1String(names[i]);
    }
    usage(spell + ": the " + what + " " + quoted(value) + " is not one of " + allowed.join(", ") +
          "; give one of them");
}

QString nonEmpty(const QString& spell, const QString& value) {
    if (value.isEmpty()) usage(spell + " is given an empty value; give a name");
    return value;
}

CliOptions parse(const QStringList& args, ParseOutcome::Action& action) {
    CliOptions o;
    SheetSettings& s = o.settings;
    bool seen[static_cast<int>(Opt::Version) + 1] = {};
    bool textGiven = false;

    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const OptionSpec* option = nullptr;
        QString spell = arg;
        std::optional<QString> value;
        if (arg.startsWith("--") && arg.size() > 2) {
            const qsizetype eq = arg.indexOf(u'=');
            spell = eq < 0 ? arg : arg.first(eq);
            option = findLong(QStringView(spell).sliced(2));
            if (option && eq >= 0) {
                if (!option->takesValue) usage(spell + " takes no value; write it alone");
                value = arg.sliced(eq + 1);
            }
        } else if (arg.size() == 2 && arg[0] == u'-') {
            option = findShort(arg[1]);
        } else if (!arg.startsWith(u'-') || arg == "-") {
            usage("unexpected argument " + quoted(arg) + "; give the text with -t TEXT");
        }
        if (!option) usage("unknown option " + quoted(spell));
        if (option->takesValue && !value) {
            if (i + 1 >= args.size()) usage(spell + " needs a value");
            value = args[++i];
        }
        if (option->id == Opt::Help || option->id == Opt::Version) {
            action = option->id == Opt::Help ? ParseOutcome::Action::Help : ParseOutcome::Action::Version;
            return o;
        }
        bool& once = seen[static_cast<int>(option->id)];
        const bool repeatable = option->id == Opt::Chars || option->id == Opt::Charset;
        if (once && !repeatable) usage(spell + " is given more than once; give it once");
        once = true;

        const QString& v = value ? *value : QString();
        // Only the text may hold line breaks; anywhere else a control character is a slip.
        if (option->id != Opt::Text && std::any_of(v.begin(), v.end(), [](QChar c) { return isControl(c.unicode()); })) {
            usage(spell + ": the value " + quoted(v) +
                  " holds a control character (line break, tab, ...); give it without one");
        }
        switch (option->id) {
        case Opt::Text:
            if (o.textFile) usage(QStringLiteral("-t and -T exclude each other; give the text once"));
            s.text = v;
            textGiven = true;
            break;
        case Opt::TextFile:
            if (textGiven) usage(QStringLiteral("-t and -T exclude each other; give the text once"));
            o.textFile = nonEmpty(spell, v);
            textGiven = true;
            break;
        case Opt::Font:
            o.font.family = nonEmpty(spell, v);
            o.font.given = true;
            break;
        case Opt::Size:
            o.font.pixelSize = fontSizeArgument(spell, v);
            o.font.given = true;
            break;
        case Opt::Bold: o.font.bold = o.font.given = true; break;
        case Opt::Italic: o.font.italic = o.font.given = true; break;
        case Opt::Underline: o.font.underline = o.font.given = true; break;
        case Opt::StrikeOut: o.font.strikeOut = o.font.given = true; break;
        case Opt::Cell:
            cellArgument(spell, v, s);
            o.cellGiven = true;
            break;
        case Opt::Fill: s.fillColour = colourArgument(spell, v); break;
        case Opt::Texture:
            s.fill = FillKind::Texture;
            s.texturePath = nonEmpty(spell, v);
            break;
        case Opt::Shadow: shadowArgument(spell, v, s); break;
        case Opt::ShadowColour: s.shadowColour = colourArgument(spell, v); break;
        case Opt::Outline: outlineArgument(spell, v, s); break;
        case Opt::OutlineColour: s.outlineColour = colourArgument(spell, v); break;
        case Opt::Output:
            o.outputPath = nonEmpty(spell, v);
            if (!sheetFileFormat(o.outputPath)) {
                usage(spell + ": the sheet file " + quoted(v) +
                      " does not end in .bmp or .png; give .bmp for a 24-bit bitmap or .png for transparency");
            }
            break;
        case Opt::Fnt: o.fntPath = nonEmpty(spell, v); break;
        case Opt::Json: o.jsonPath = nonEmpty(spell, v); break;
        case Opt::FntFormat:
            o.fntFormat = static_cast<FntFormat>(
                choiceArgument(spell, v, "descriptor format", std::array{"text", "xml", "binary"}));
            break;
        case Opt::Pitch:
            o.pitch = static_cast<Pitch>(choiceArgument(spell, v, "pitch", std::array{"font", "cell"}));
            break;
        case Opt::FaceIndex:
            o.font.faceIndex = wholeArgument(spell, v, "face index", 0, "; give the number of a face of the font file, from 0");
            break;
        case Opt::NoFallback: o.font.noFallback = o.font.given = true; break;
        case Opt::Chars:
            try {
                addCharList(v, o.chars);
            } catch (const Error& e) {
                usage(spell + ": " + QString::fromStdString(e.what()));
            }
            break;
        case Opt::Charset:
            if (!charsetNames().contains(v))
                usage(spell + ": no character set is called " + quoted(v) + "; give one of " +
                      charsetNames().join(QStringLiteral(", ")));
            o.charsets << v;
            break;
        case Opt::Columns:
            s.wrapColumns = wholeArgument(spell, v, "column count", 1, "; give the number of cells in a row, at least 1");
            break;
        case Opt::Mono: o.font.mono = o.font.given = true; break;
        case Opt::MaxSize:
            o.maxPageSide = wholeArgument(spell, v, "page size", 1, "; give the largest side of a page in pixels, e.g. 1024");
            break;
        case Opt::Quiet: o.quiet = true; break;
        case Opt::Help:
        case Opt::Version: break;
        }
    }

    auto given = [&](Opt id) { return seen[static_cast<int>(id)]; };
    if (given(Opt::Shadow) && given(Opt::Outline))
        usage(QStringLiteral("--shadow and --outline exclude each other; choose one edge effect"));
    if (given(Opt::Fill) && given(Opt::Texture))
        usage(QStringLiteral("--fill and --texture exclude each other; choose a colour or a texture"));
    if (given(Opt::ShadowColour) && !given(Opt::Shadow))
        usage(QStringLiteral("--shadow-colour needs --shadow DX,DY; add the offset or drop the colour"));
    if (given(Opt::OutlineColour) && !given(Opt::Outline))
        usage(QStringLiteral("--outline-colour needs --outline R; add the radius or drop the colour"));
    if (given(Opt::FaceIndex) && !given(Opt::Font))
        usage(QStringLiteral("--face-index needs -f FILE; add the font file or drop the index"));
    const bool charsGiven = given(Opt::Chars) || given(Opt::Charset);
    if (textGiven && charsGiven)
        usage(QStringLiteral("--chars and --charset choose the characters instead of -t and -T; give one or the other"));
    if (!textGiven && !charsGiven)
        usage(QStringLiteral("no text given; add -t TEXT, -T FILE, --chars LIST or --charset NAME"));
    if (charsGiven && !given(Opt::Columns)) s.wrapColumns = kDefaultCharColumns;
    if (o.outputPath.isEmpty()) usage(QStringLiteral("no output file given; add -o OUT.bmp"));
    if (given(Opt::FntFormat) && o.fntPath.isEmpty())
        usage(QStringLiteral("--fnt-format needs --fnt FILE; add the descriptor or drop the format"));
    return o;
}

}  // namespace

FontDescription FontRequest::description(const QString& defaultFamily) const {
    FontDescription d;
    d.height = -pixelSize;
    d.weight = weight > 0 ? weight : bold ? 700 : 400;
    d.italic = italic ? 1 : 0;
    d.underline = underline ? 1 : 0;
    d.strikeOut = strikeOut ? 1 : 0;
    d.faceName = family.isEmpty() ? defaultFamily : family;
    d.noFallback = noFallback;
    if (mono) d.quality = kNonAntialiasedQuality;
    return d;
}

ParseOutcome parseArguments(const QStringList& args) {
    ParseOutcome out;
    try {
        out.options = parse(args, out.action);
    } catch (const UsageError& e) {
        out.action = ParseOutcome::Action::Usage;
        out.message = e.message;
    }
    return out;
}

QString helpText() {
    return QStringLiteral(R"help(Usage: karuvo-cli (-t TEXT | -T FILE | --chars LIST | --charset NAME) [options]
                  -o OUT.bmp|OUT.png

Builds a glyph sheet: every character of the text centred in a cell of its own,
the cells in rows as the text's lines run, written as a 24-bit Windows bitmap or
as a PNG with transparency.

  -t, --text TEXT          the text; real line breaks end lines, as in the window
  -T, --text-file FILE     UTF-8 text ("-" reads standard input); a leading BOM is skipped
      --chars LIST         characters by list instead of a text, one cell each in
                           code point order: comma-separated single characters,
                           U+XXXX and ranges U+XXXX-U+YYYY, e.g. "A,B,U+3041-U+3093";
                           a comma itself is U+002C; no spaces around items; ranges
                           skip control characters and surrogates
      --charset NAME       a named set: ascii (U+0020-U+007E), latin1 (ascii and
                           U+00A0-U+00FF), hiragana (U+3040-U+309F), katakana
                           (U+30A0-U+30FF), halfwidth-katakana (U+FF61-U+FF9F),
                           jis-x-0208 (its 6879 characters), jis-x-0208-kanji1 (2965),
                           jis-x-0208-kanji2 (3390); blocks give their assigned code
                           points. --chars and --charset may be repeated and mixed
                           (their union) but not given with -t or -T
      --columns N          at most N cells to a row: a longer line goes on in the next
                           row (a line break still ends a row); default for --chars and
                           --charset: 16, otherwise a row per line
  -f, --font FAMILY|FILE   font family, or a font file (.ttf, .otf, .ttc, .otc) used
                           for this run only, nothing installed (default: the
                           window's default sheet font); a value holding "/" or
                           ending in a font suffix is always taken as a file
      --face-index N       the face of a font collection to use, from 0 (default 0)
      --no-fallback        leave characters the font lacks as empty cells instead of
                           drawing them with another face (they are still reported)
  -s, --size PX            font size in pixels, 1 to 16384 (default 12)
      --bold --italic --underline --strikeout
      --mono               glyphs without anti-aliasing: every pixel is glyph or
                           background, so a colour fill gives exactly two colours
                           and the outline or shadow stays as sharp
  -c, --cell WxH           cell size, e.g. 32x32; omitted: fitted to the largest
                           character plus the room the edge effect needs, like the
                           window's "現フォントの最大値"
      --fill RRGGBB        colour fill (default FFFFFF)
      --texture FILE       image fill with this texture, a picture in any format
                           read here: %1
      --shadow DX,DY       drop shadow at this offset ...
      --shadow-colour RRGGBB   ... in this colour (default FFFFFF)
      --outline R          outline ring of radius R (0 to 10) ...
      --outline-colour RRGGBB  ... in this colour (default FFFFFF)
  -o, --output FILE        the sheet; the name's ending chooses the format:
                           .bmp  a 24-bit Windows bitmap, glyphs on black
                           .png  32-bit RGBA with straight alpha: transparent
                                 background, each pixel the colour drawn there and
                                 as opaque as it is covered
      --max-size PX        pages no wider or taller than PX: as many whole rows to a
                           page as fit, written as FILE's name with _0, _1, ... before
                           the suffix (out_0.png, out_1.png; numbered even when one
                           page holds all); the descriptors list every page and give
                           each character its page; a row wider than PX is an error
                           (give fewer --columns)
      --fnt FILE           also write a .fnt descriptor ...
      --fnt-format FORM    ... as text (the default), xml or binary (version 3)
      --json FILE          also write a JSON map of the cells (below)
      --pitch font|cell    how the descriptors place the characters:
                           font (the default): as the font sets them; each
                             character's box (advance x line height) in its cell,
                             widened by the shadow offset or outline radius, with
                             offsets from the pen, the font's own advances, its
                             ascent as base and its kerning pairs (Han, kana and
                             Hangul are not scanned for kerning)
                           cell: a fixed pitch; the whole cell, no offsets, the
                             cell width as advance, no kerning
  -q, --quiet              no report (warnings and errors still show)
  -h, --help               this text
      --version            the program's version

Colours are six hexadecimal digits, red first, with an optional leading "#". The
window's colour read-outs are blue first, without leading zeros: a colour that
reads 80FF there (orange) is FF8000 here.
Numbers are read as the window reads them: cell sizes are rounded down, the other
numbers to the nearest whole number (halves to even), so 2.5 gives 2.

Unless --quiet, a report on standard error gives the sheet size, the cell size,
the number of cells and every character the chosen font lacks, with the face that
drew it instead (or that it was left empty, or, when no installed face has it,
the missing-glyph box). A shadow or outline that reaches past its cell into the
neighbouring ones is built as asked, with a warning that names the cell size that
would hold it.

A build may hold at most %2 MiB of memory (the sheet and its layers, its file
and what is kept per character); a larger sheet is refused before it is made.
Outputs must be regular files or new names; devices, fifos and folders are left
alone, and no two outputs may lead to one file.

The JSON map has this shape (one entry per distinct character, at its first cell,
keys are decimal code points in increasing order; page indexes "pages", the files
named from the JSON's folder; x and y are the cell's top-left corner on that page):
  {"face": "IPAGothic", "width": 48, "height": 40, "cellWidth": 16, "cellHeight": 20,
   "columns": 3, "rows": 2, "pages": ["out.bmp"],
   "chars": {"65": {"row": 0, "column": 0, "page": 0, "x": 0, "y": 0}, ...}}
With --pitch font it also gives "lineHeight" and "base", for each character its
rectangle "rectX", "rectY" (on its page), "width", "height", its "xoffset",
"yoffset" and "xadvance" as in the .fnt, and "kerning": [{"first", "second",
"amount"}, ...].

Examples:
  karuvo-cli -t "$(printf 'AB\nCD')" -f "DejaVu Sans" -s 24 --bold -o s.bmp --fnt s.fnt
  karuvo-cli -T kana.txt -s 32 --fill FFE060 --shadow 3,3 --shadow-colour 3050FF -o s.bmp
  karuvo-cli -t ABC -s 24 -c 32x32 --outline 2 --outline-colour FF0000 -o s.bmp --json s.json
  karuvo-cli -t ABC -s 48 --texture stone.jpg -o s.bmp
  karuvo-cli -t ABC -f fonts/MyFont.ttf -s 16 --no-fallback -o s.bmp
  karuvo-cli -t ABC -f fonts/pair.ttc --face-index 1 -o s.bmp
  karuvo-cli --chars "U+0041-U+005A,0,1,U+002C" --columns 10 -o s.bmp --json s.json
  karuvo-cli --charset jis-x-0208 -s 16 --mono --max-size 1024 -o s.png --fnt s.fnt \
             --fnt-format xml --pitch cell
      (--max-size writes s_0.png, s_1.png, ...; README.md shows each with its picture)

Exit status: 0 done, 1 the build or a read or write failed (nothing is written),
2 wrong arguments.
)help")
        .arg(readablePictureFormats().join(QStringLiteral(", ")))
        .arg(kMaxBuildBytes / (1024 * 1024));
}

QString versionText() { return QStringLiteral("karuvo-cli " KARUVO_VERSION "\n"); }

}  // namespace karuvo::cli
