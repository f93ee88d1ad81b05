#pragma once

// The values a setting may take, checked where the user gives them: as the value of a
// command-line option or of a project key. Each check takes the value as given and
// `name`, the option as spelt ("-s") or the key ("font.size"), which starts the message
// of the Error(ErrorKind::Setting) it throws for a value not allowed; the message says
// what is wrong and what to give instead.

#include <QString>
#include <QStringView>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <optional>

#include "platform/colour.h"
#include "platform/error.h"
#include "platform/font.h"
#include "sheet/char_source.h"
#include "sheet/outline.h"  // kMaxOutlineRadius

namespace karuvo {

struct Project;

inline constexpr std::int32_t kMaxFontPixels = 16384;  // the largest font that can be made

// An argument of a message: a text marked for translation, or a value as given.
struct MessageArg {
    MessageArg(const char* marked) : text(marked), marked(true) {}  // NOLINT: marked texts read as they are
    MessageArg(const QString& given) : text(given.toStdString()) {}  // NOLINT
    std::string text;
    bool marked = false;
};

// An Error whose message `source` (marked for translation) each front end can put in
// its own words, with `detail` (or null) explaining it as the argument after `args`.
Error messageError(ErrorKind kind, const char* source, std::initializer_list<MessageArg> args,
                   const Error* detail = nullptr);

// Whether a character is a control character or a line or paragraph separator.
bool isControlCharacter(char32_t c);

// A value as it can be shown on one line: line breaks, tabs and other control
// characters written as escapes ("\n", "\t", "\u0001"); and the same in double quotes.
// A value of more than 60 characters is shown as its first 60, "…" and its length in
// characters: "ABC…" (5000 characters).
QString shownValue(QStringView value);
QString quotedValue(QStringView value);

// Refuses a value that holds a control character (only a text may hold line breaks).
void requirePlain(const QString& name, const QString& value);

// Refuses an empty value; gives the value.
const QString& requireNonEmpty(const QString& name, const QString& value);

// Six hexadecimal digits, red first, with an optional leading "#".
Colour colourSetting(const QString& name, const QString& value);

// A font size in pixels, 1 to kMaxFontPixels, rounded halves to even.
std::int32_t fontSizeSetting(const QString& name, const QString& value);

// A cell size "WIDTHxHEIGHT" ("x" in either case), each side rounded down, at least 1.
CharBox cellSetting(const QString& name, const QString& value);

// One shadow offset in pixels, rounded halves to even, any signed 32-bit value.
std::int32_t offsetSetting(const QString& name, const QString& value);

// An outline radius, 0 to kMaxOutlineRadius, rounded halves to even.
std::int32_t radiusSetting(const QString& name, const QString& value);

// A distance field's range in pixels, 1 to kMaxDistanceRange, rounded halves to even.
std::int32_t distanceRangeSetting(const QString& name, const QString& value);

// A whole number of at least `least`, rounded halves to even, called `what` in the
// message, which ends with `fix`; both are texts marked for translation.
std::int32_t wholeSetting(const QString& name, const QString& value, const char* what, std::int32_t least,
                          const char* fix);

// The whole-number settings: the number of cells in a row (at least 1), the largest
// side of a page (at least 1) and a face of a font file (from 0).
std::int32_t columnsSetting(const QString& name, const QString& value);
std::int32_t pageSideSetting(const QString& name, const QString& value);
std::int32_t faceIndexSetting(const QString& name, const QString& value);

// The index of `value` among `count` names (exact spelling), called `what` in the message.
std::size_t choiceSetting(const QString& name, const QString& value, const char* what, const char* const* names,
                          std::size_t count);
template <std::size_t N>
std::size_t choiceSetting(const QString& name, const QString& value, const char* what,
                          const std::array<const char*, N>& names) {
    return choiceSetting(name, value, what, names.data(), N);
}

// A sheet file name: one ending in .bmp or .png (either case).
void sheetFileSetting(const QString& name, const QString& value);

// A name of charsetNames().
void charsetSetting(const QString& name, const QString& value);

// Adds a list of characters as addCharList reads it.
void charListSetting(const QString& name, const QString& value, CodePointSet& into);

// The settings that can rule one another out. Each front end names them in its own
// words: an option, a project key, a control.
enum class Setting {
    DistanceField, Shadow, Outline, Texture, Mono, Underline, Strikeout, BitmapSheet, BinaryFnt, ColourGlyphs
};

// Why two settings cannot go together.
enum class ConflictReason {
    FieldIsShapeAlone,  // a distance field holds the glyphs' shape alone; effects are the shader's
    FieldNeedsPng,      // a field lives in the alpha channel, which only the PNG sheet has
    FieldNotInBinary,   // the binary .fnt cannot say that its page is a distance field
    OneColourDrawing,   // colour glyphs keep their colours; the other draws glyphs of one colour
};

// Two settings of one project that exclude each other: `first` rules out `second`.
struct SettingConflict {
    Setting first;
    Setting second;
    ConflictReason reason;
};

// The first pair of settings of `p` that cannot go together, or none. The one check of
// every way settings come in: options, a project file, the window.
std::optional<SettingConflict> settingConflict(const Project& p);

// A setting of `p` as its project key names it, with the value where the key alone does
// not tell it ("effect.kind \"shadow\"").
QString projectKeyText(Setting setting, const Project& p);

// The conflict in the project file's own terms: its keys and their values.
Error projectConflictError(const SettingConflict& conflict, const Project& p);

}  // namespace karuvo
