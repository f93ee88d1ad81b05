#include "arguments.h"

#include <algorithm>
#include <array>
#include <functional>
#include <utility>

#include "platform/error.h"
#include "export/sheet_file.h"
#include "platform/image_io.h"
#include "project/setting_checks.h"
#include "sheet/builder.h"

#ifndef KARUVO_VERSION
#define KARUVO_VERSION "0.0.0"
#endif

namespace karuvo::cli {
namespace {

enum class Opt {
    Text, TextFile, Font, Size, Bold, Italic, Underline, StrikeOut, Cell, Fill, Texture,
    Shadow, ShadowColour, Outline, OutlineColour, Output, Fnt, Json, FntFormat, Pitch, FaceIndex, NoFallback,
    Chars, Charset, Columns, Mono, MaxSize, Sdf, Msdf, Mtsdf, ColourGlyphs, Project, SaveProject, Quiet, Help, Version,
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
    OptionSpec{Opt::Sdf, 0, "sdf", true},
    OptionSpec{Opt::Msdf, 0, "msdf", true},
    OptionSpec{Opt::Mtsdf, 0, "mtsdf", true},
    OptionSpec{Opt::ColourGlyphs, 0, "colour-glyphs", false},
    OptionSpec{Opt::Project, 0, "project", true},
    OptionSpec{Opt::SaveProject, 0, "save-project", true},
    OptionSpec{Opt::Quiet, 'q', "quiet", false},
    OptionSpec{Opt::Help, 'h', "help", false},
    OptionSpec{Opt::Version, 0, "version", false},
};

// A usage error on its way to the one boundary in parseArguments.
struct UsageError {
    QString message;
};

[[noreturn]] void usage(const QString& message) { throw UsageError{message}; }

// A conflict of settings in the user's words: each setting by its option (the field's by
// its type), or by its key when it came from the project `o` started from (`fromProject`).
QString conflictText(const SettingConflict& conflict, const CliOptions& o, const std::function<bool(Opt)>& fromProject) {
    static const std::pair<Setting, Opt> kOptionOf[] = {
        {Setting::Shadow, Opt::Shadow},       {Setting::Outline, Opt::Outline},
        {Setting::Texture, Opt::Texture},   {Setting::Mono, Opt::Mono},           {Setting::Underline, Opt::Underline},
        {Setting::Strikeout, Opt::StrikeOut}, {Setting::BitmapSheet, Opt::Output}, {Setting::BinaryFnt, Opt::FntFormat},
        {Setting::ColourGlyphs, Opt::ColourGlyphs}};
    const auto project = [&](Setting s) {
        if (s == Setting::DistanceField) return fromProject(Opt::Sdf) && fromProject(Opt::Msdf) && fromProject(Opt::Mtsdf);
        return fromProject(std::find_if(std::begin(kOptionOf), std::end(kOptionOf), [s](const auto& p) { return p.first == s; })->second);
    };
    const FieldType field = o.settings.fieldType;
    const auto option = [&](Setting s) -> QString {
        if (project(s)) return projectKeyText(s, o);
        switch (s) {
        case Setting::DistanceField:
            return field == FieldType::Msdf ? QStringLiteral("--msdf") : field == FieldType::Mtsdf ? QStringLiteral("--mtsdf") : QStringLiteral("--sdf");
        case Setting::Shadow: return QStringLiteral("--shadow");
        case Setting::Outline: return QStringLiteral("--outline");
        case Setting::Texture: return QStringLiteral("--texture");
        case Setting::Mono: return QStringLiteral("--mono");
        case Setting::Underline: return QStringLiteral("--underline");
        case Setting::Strikeout: return QStringLiteral("--strikeout");
        case Setting::BitmapSheet: return QStringLiteral("-o");
        case Setting::BinaryFnt: return QStringLiteral("--fnt-format binary");
        case Setting::ColourGlyphs: return QStringLiteral("--colour-glyphs");
        }
        return {};
    };
    const auto named = [&](Setting s) { return (project(s) ? "the project's " : "") + option(s); };
    const auto both = [&] { return named(conflict.first) + " and " + named(conflict.second); };
    switch (conflict.reason) {
    case ConflictReason::FieldIsShapeAlone:
        return both() + " exclude each other: a distance field holds the glyphs' shape alone, effects belong in the "
                        "shader; drop one of them";
    case ConflictReason::FieldNeedsPng:
        return named(conflict.first) + " needs a PNG sheet, whose alpha holds the field; give -o a name ending in .png";
    case ConflictReason::FieldNotInBinary:
        return both() + " exclude each other: the binary form cannot say that the page is a distance field; give "
                        "--fnt-format text or xml";
    case ConflictReason::OneColourDrawing:
        return both() + " exclude each other: colour glyphs keep their own colours, and " + named(conflict.second) +
               " rests on glyphs drawn in one colour; drop one of them";
    }
    return {};
}

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

// One option among the arguments: the option it names, as spelt, and its value.
struct Token {
    const OptionSpec* option = nullptr;
    QString spell;
    std::optional<QString> value;
};

// Reads the option at args[i], leaving i at its last argument.
Token nextToken(const QStringList& args, qsizetype& i) {
    const QString& arg = args[i];
    Token t{nullptr, arg, std::nullopt};
    if (arg.startsWith("--") && arg.size() > 2) {
        const qsizetype eq = arg.indexOf(u'=');
        t.spell = eq < 0 ? arg : arg.first(eq);
        t.option = findLong(QStringView(t.spell).sliced(2));
        if (t.option && eq >= 0) {
            if (!t.option->takesValue) usage(t.spell + " takes no value; write it alone");
            t.value = arg.sliced(eq + 1);
        }
    } else if (arg.size() == 2 && arg[0] == u'-') {
        t.option = findShort(arg[1]);
    } else if (!arg.startsWith(u'-') || arg == "-") {
        usage("unexpected argument " + quotedValue(arg) + "; give the text with -t TEXT");
    }
    if (!t.option) usage("unknown option " + quotedValue(t.spell));
    if (t.option->takesValue && !t.value) {
        if (i + 1 >= args.size()) usage(t.spell + " needs a value");
        t.value = args[++i];
    }
    return t;
}

void shadowArgument(const QString& spell, const QString& value, SheetSettings& s) {
    const QStringList parts = value.split(u',');
    if (parts.size() != 2)
        usage(spell + ": the offset " + quotedValue(value) + " is not DX,DY; give two whole numbers of pixels, e.g. 2,2");
    s.effect = EffectKind::Shadow;
    s.shadowDx = offsetSetting(spell, parts[0]);
    s.shadowDy = offsetSetting(spell, parts[1]);
}

CliOptions parse(const QStringList& args, const CliOptions* base, ParseOutcome::Action& action) {
    CliOptions o = base ? *base : CliOptions();
    SheetSettings& s = o.settings;
    bool seen[static_cast<int>(Opt::Version) + 1] = {};
    bool textGiven = false;
    bool charactersReplaced = false, outputsReplaced = false;

    for (qsizetype i = 0; i < args.size(); ++i) {
        const auto [option, spell, value] = nextToken(args, i);
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
        if (option->id != Opt::Text) requirePlain(spell, v);
        // The first text, list or set given replaces the base's characters; the first
        // output given replaces all of its outputs.
        const Opt id = option->id;
        if ((id == Opt::Text || id == Opt::TextFile || id == Opt::Chars || id == Opt::Charset) &&
            !std::exchange(charactersReplaced, true)) {
            s.text.clear();
            o.textFile.reset();
            o.chars.clear();
            o.charsets.clear();
        }
        if ((id == Opt::Output || id == Opt::Fnt || id == Opt::Json) && !std::exchange(outputsReplaced, true)) {
            o.outputPath.clear();
            o.fntPath.clear();
            o.jsonPath.clear();
        }
        switch (option->id) {
        case Opt::Text:
            if (o.textFile) usage(QStringLiteral("-t and -T exclude each other; give the text once"));
            s.text = v;
            textGiven = true;
            break;
        case Opt::TextFile:
            if (textGiven) usage(QStringLiteral("-t and -T exclude each other; give the text once"));
            o.textFile = requireNonEmpty(spell, v);
            textGiven = true;
            break;
        case Opt::Font:
            o.font.family = requireNonEmpty(spell, v);
            o.font.given = true;
            break;
        case Opt::Size:
            o.font.pixelSize = fontSizeSetting(spell, v);
            o.font.given = true;
            break;
        case Opt::Bold: o.font.bold = o.font.given = true; break;
        case Opt::Italic: o.font.italic = o.font.given = true; break;
        case Opt::Underline: o.font.underline = o.font.given = true; break;
        case Opt::StrikeOut: o.font.strikeOut = o.font.given = true; break;
        case Opt::Cell: {
            const CharBox cell = cellSetting(spell, v);
            s.cellWidth = cell.width;
            s.cellHeight = cell.height;
            o.cellGiven = true;
            break;
        }
        case Opt::Fill:
            s.fill = FillKind::Colour;
            s.fillColour = colourSetting(spell, v);
            break;
        case Opt::Texture:
            s.fill = FillKind::Texture;
            s.texturePath = requireNonEmpty(spell, v);
            break;
        case Opt::Shadow: shadowArgument(spell, v, s); break;
        case Opt::ShadowColour: s.shadowColour = colourSetting(spell, v); break;
        case Opt::Outline:
            s.effect = EffectKind::Outline;
            s.outlineRadius = radiusSetting(spell, v);
            break;
        case Opt::OutlineColour: s.outlineColour = colourSetting(spell, v); break;
        case Opt::Output:
            o.outputPath = requireNonEmpty(spell, v);
            sheetFileSetting(spell, v);
            break;
        case Opt::Fnt: o.fntPath = requireNonEmpty(spell, v); break;
        case Opt::Json: o.jsonPath = requireNonEmpty(spell, v); break;
        case Opt::FntFormat:
            o.fntFormat = static_cast<FntFormat>(
                choiceSetting(spell, v, "descriptor format", std::array{"text", "xml", "binary"}));
            break;
        case Opt::Pitch:
            o.pitch = static_cast<Pitch>(choiceSetting(spell, v, "pitch", std::array{"font", "cell"}));
            break;
        case Opt::FaceIndex:
            o.font.faceIndex = faceIndexSetting(spell, v);
            break;
        case Opt::NoFallback: o.font.noFallback = o.font.given = true; break;
        case Opt::Chars: charListSetting(spell, v, o.chars); break;
        case Opt::Charset:
            charsetSetting(spell, v);
            o.charsets << v;
            break;
        case Opt::Columns:
            s.wrapColumns = columnsSetting(spell, v);
            break;
        case Opt::Mono: o.font.mono = o.font.given = true; break;
        case Opt::MaxSize:
            o.maxPageSide = pageSideSetting(spell, v);
            break;
        case Opt::Sdf:
        case Opt::Msdf:
        case Opt::Mtsdf:
            s.distanceRange = distanceRangeSetting(spell, v);
            s.fieldType = id == Opt::Sdf ? FieldType::Sdf : id == Opt::Msdf ? FieldType::Msdf : FieldType::Mtsdf;
            break;
        case Opt::ColourGlyphs: s.colourGlyphs = true; break;
        case Opt::Project: o.projectPath = requireNonEmpty(spell, v); break;
        case Opt::SaveProject: o.saveProjectPath = requireNonEmpty(spell, v); break;
        case Opt::Quiet: o.quiet = true; break;
        case Opt::Help:
        case Opt::Version: break;
        }
    }

    auto given = [&](Opt id) { return seen[static_cast<int>(id)]; };
    if (given(Opt::Sdf) + given(Opt::Msdf) + given(Opt::Mtsdf) > 1)
        usage(QStringLiteral("--sdf, --msdf and --mtsdf exclude each other; choose one kind of distance field"));
    if (given(Opt::Shadow) && given(Opt::Outline))
        usage(QStringLiteral("--shadow and --outline exclude each other; choose one edge effect"));
    if (given(Opt::Fill) && given(Opt::Texture))
        usage(QStringLiteral("--fill and --texture exclude each other; choose a colour or a texture"));
    if (given(Opt::ShadowColour) && s.effect != EffectKind::Shadow)
        usage(QStringLiteral("--shadow-colour needs --shadow DX,DY; add the offset or drop the colour"));
    if (given(Opt::OutlineColour) && s.effect != EffectKind::Outline)
        usage(QStringLiteral("--outline-colour needs --outline R; add the radius or drop the colour"));
    if (given(Opt::FaceIndex) && !given(Opt::Font) && o.font.family.isEmpty())
        usage(QStringLiteral("--face-index needs -f FILE; add the font file or drop the index"));
    if (given(Opt::Font) && !given(Opt::FaceIndex)) o.font.faceIndex = 0;
    const bool charsGiven = given(Opt::Chars) || given(Opt::Charset);
    if (textGiven && charsGiven)
        usage(QStringLiteral("--chars and --charset choose the characters instead of -t and -T; give one or the other"));
    if (!textGiven && !charsGiven && !base)
        usage(QStringLiteral("no text given; add -t TEXT, -T FILE, --chars LIST or --charset NAME"));
    if (o.listsCharacters() && s.wrapColumns == 0) s.wrapColumns = kDefaultCharColumns;
    // A project alone may be saved without a build.
    if (o.outputPath.isEmpty() && (o.saveProjectPath.isEmpty() || !o.fntPath.isEmpty() || !o.jsonPath.isEmpty())) {
        if (base && !base->outputPath.isEmpty()) {
            usage((given(Opt::Fnt) ? QStringLiteral("--fnt") : QStringLiteral("--json")) +
                  " replaces all of the project's outputs, its sheet among them (options naming outputs replace them "
                  "all); add -o OUT.png too");
        }
        usage(QStringLiteral("no output file given; add -o OUT.bmp"));
    }
    if (given(Opt::FntFormat) && o.fntPath.isEmpty())
        usage(QStringLiteral("--fnt-format needs --fnt FILE; add the descriptor or drop the format"));
    if (const auto conflict = settingConflict(o))
        usage(conflictText(*conflict, o, [&](Opt id) { return base && !given(id); }));
    return o;
}

}  // namespace

ParseOutcome parseArguments(const QStringList& args, const CliOptions* base) {
    ParseOutcome out;
    try {
        out.options = parse(args, base, out.action);
    } catch (const UsageError& e) {
        out.action = ParseOutcome::Action::Usage;
        out.message = e.message;
    } catch (const Error& e) {  // a value a setting cannot take
        out.action = ParseOutcome::Action::Usage;
        out.message = QString::fromStdString(e.what());
    }
    return out;
}

std::optional<QString> projectArgument(const QStringList& args) {
    std::optional<QString> project;
    try {
        for (qsizetype i = 0; i < args.size(); ++i) {
            const Token t = nextToken(args, i);
            if (t.option->id == Opt::Help || t.option->id == Opt::Version) return std::nullopt;
            if (t.option->id != Opt::Project) continue;
            if (project) return std::nullopt;
            project = t.value;
        }
    } catch (const UsageError&) {
        return std::nullopt;
    }
    return project;
}

QString helpText() {
    return QStringLiteral(R"help(Usage: karuvo-cli (-t TEXT | -T FILE | --chars LIST | --charset NAME) [options]
                  -o OUT.bmp|OUT.png
       karuvo-cli --project FILE [options]

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
      --sdf RANGE          a signed distance field instead of the glyphs' coverage,
                           for text drawn at any size by a shader: each pixel's
                           alpha is round(255 * clamp(0.5 + d / RANGE, 0, 1)), d its
                           distance in pixels to the glyph's outline (positive
                           inside), as are red, green and blue; RANGE is 1 to 64; needs a
                           .png output, excludes --shadow, --outline, --texture,
                           --mono, --underline, --strikeout and --fnt-format
                           binary; a fitted cell makes room
                           of RANGE/2 (rounded up) on every side, with -c a field
                           is cut at its cell's edge; the descriptors name the field
      --msdf RANGE         a multi-channel distance field, as --sdf but with RGB
                           the distances to edges of three colours, whose median
                           keeps the glyphs' corners sharp at any size; alpha 255
      --mtsdf RANGE        as --msdf, with the alpha of --sdf
      --colour-glyphs      draw glyphs that carry their own colours (COLR, CBDT and
                           sbix, e.g. a colour emoji face) in those colours, the
                           others in the fill colour; excludes --sdf, --msdf,
                           --mtsdf, --mono, --texture, --shadow and --outline
      --fnt FILE           also write a .fnt descriptor ...
      --fnt-format FORM    ... as text (the default), xml or binary (version 3)
      --json FILE          also write a JSON map of the cells (below)
      --pitch font|cell    how the descriptors place the characters:
                           font (the default): as the font sets them; each
                             character's box (advance x line height) in its cell,
                             widened by the shadow offset or outline radius, with
                             offsets from the pen, the font's own advances, its
                             ascent as base and its kerning pairs (as HarfBuzz
                             shapes each pair, GPOS or kern table, no ligatures)
                           cell: a fixed pitch; the whole cell, no offsets, the
                             cell width as advance, no kerning
      --project FILE       start from the settings and outputs of a project file
                           (README.md lists its keys); an option also given
                           changes its setting for this run only: a text, list or
                           set replaces the project's characters, and -o, --fnt or
                           --json all of its outputs
      --save-project FILE  also write the settings as a project file, its paths
                           relative to its folder; without an output only the
                           project is written, nothing is built
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

A build may hold at most %2 MiB of memory (the band of the sheet drawn at a time
with its layers, its file's buffers and what is kept per character); a larger one
is refused before it is made. Outputs must be regular files or new names; devices,
fifos and folders are left alone, and no two outputs may lead to one file, nor an
output to an input. Inputs must be regular files (or -T - for standard input).
Pages beyond this run's count that the descriptor being replaced named are removed
with the write; others of the pages' pattern are warned of. Interrupted by Ctrl+C,
kill or a closed terminal, the run leaves every output as it was.

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
  karuvo-cli -t ABC -s 24 --outline 2 -o s.png --save-project s.karuvo
  karuvo-cli --project s.karuvo -s 32 -o big.png
  karuvo-cli --chars "U+0041-U+005A,0,1,U+002C" --columns 10 -o s.bmp --json s.json
  karuvo-cli --charset jis-x-0208 -s 32 -c 48x48 --sdf 8 -o s.png --fnt s.fnt
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
