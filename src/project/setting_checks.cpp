#include "setting_checks.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <initializer_list>
#include <optional>

#include "export/sheet_file.h"
#include "platform/error.h"
#include "platform/number.h"
#include "project/project.h"
#include "sheet/distance_field.h"

namespace karuvo {
namespace {

[[noreturn]] void refuse(const char* source, std::initializer_list<MessageArg> args) {
    throw messageError(ErrorKind::Setting, source, args);
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

}  // namespace

Error messageError(ErrorKind kind, const char* source, std::initializer_list<MessageArg> args, const Error* detail) {
    std::vector<std::string> texts;
    std::uint32_t marked = 0;
    for (const MessageArg& a : args) {
        if (a.marked) marked |= std::uint32_t{1} << texts.size();
        texts.push_back(a.text);
    }
    return Error(kind, source, std::move(texts), marked, detail);
}

bool isControlCharacter(char32_t c) {
    return QChar::category(c) == QChar::Other_Control || c == 0x2028 || c == 0x2029;
}

namespace {

// Values longer than this are shown by their start and their length.
constexpr qsizetype kShownCharacters = 60;

// The first kShownCharacters characters of `value`, escaped as shownValue does; the
// value's length in characters when it is longer, otherwise 0.
std::pair<QString, qsizetype> shownStart(QStringView value) {
    const QList<uint> chars = value.toUcs4();
    QString out;
    for (qsizetype i = 0; i < std::min(chars.size(), kShownCharacters); ++i) {
        const char32_t c = chars[i];
        if (c == U'\n') out += QStringLiteral("\\n");
        else if (c == U'\t') out += QStringLiteral("\\t");
        else if (c == U'\r') out += QStringLiteral("\\r");
        else if (isControlCharacter(c)) out += QStringLiteral("\\u%1").arg(static_cast<std::uint32_t>(c), 4, 16, QLatin1Char('0'));
        else out += QString::fromUcs4(&c, 1);
    }
    return {out, chars.size() > kShownCharacters ? chars.size() : 0};
}

QString lengthText(qsizetype length) { return QStringLiteral(" (%1 characters)").arg(length); }

}  // namespace

QString shownValue(QStringView value) {
    const auto [start, length] = shownStart(value);
    return length ? start + u'\u2026' + lengthText(length) : start;
}

QString quotedValue(QStringView value) {
    const auto [start, length] = shownStart(value);
    return length ? u'"' + start + u'\u2026' + u'"' + lengthText(length) : u'"' + start + u'"';
}

void requirePlain(const QString& name, const QString& value) {
    if (std::any_of(value.begin(), value.end(), [](QChar c) { return isControlCharacter(c.unicode()); })) {
        refuse(QT_TRANSLATE_NOOP("karuvo", "%1: the value %2 holds a control character (line break, tab, ...); give it without one"),
               {name, quotedValue(value)});
    }
}

const QString& requireNonEmpty(const QString& name, const QString& value) {
    if (value.isEmpty()) refuse(QT_TRANSLATE_NOOP("karuvo", "%1 is given an empty value; give a name"), {name});
    return value;
}

Colour colourSetting(const QString& name, const QString& value) {
    static const QRegularExpression hex(QStringLiteral("^#?([0-9A-Fa-f]{6})$"));
    const QRegularExpressionMatch m = hex.match(value);
    if (!m.hasMatch()) {
        refuse(QT_TRANSLATE_NOOP("karuvo", "%1: the colour %2 is not six hexadecimal digits; give it red first, e.g. FF8000 or #FF8000"),
               {name, quotedValue(value)});
    }
    const std::uint32_t rgb = m.captured(1).toUInt(nullptr, 16);
    return colourFromRgb(static_cast<int>(rgb >> 16), static_cast<int>(rgb >> 8), static_cast<int>(rgb));
}

std::int32_t fontSizeSetting(const QString& name, const QString& value) {
    const WholeNumber n = wholeNumber(value, Rounding::HalfEven);
    const QString most = QString::number(kMaxFontPixels);
    if (!n.numeric) {
        refuse(QT_TRANSLATE_NOOP("karuvo", "%1: the font size %2 is not a number; give the size in pixels, 1 to %3"),
               {name, quotedValue(value), most});
    }
    if (!n.value || *n.value < 1 || *n.value > kMaxFontPixels) {
        refuse(QT_TRANSLATE_NOOP("karuvo", "%1: the font size %2 is out of range; give the size in pixels, 1 to %3"),
               {name, shownValue(value.trimmed()), most});
    }
    return *n.value;
}

CharBox cellSetting(const QString& name, const QString& value) {
    const qsizetype x = value.indexOf(u'x', 0, Qt::CaseInsensitive);
    if (x < 0) {
        refuse(QT_TRANSLATE_NOOP("karuvo", "%1: the cell size %2 is not WIDTHxHEIGHT; give the width and height in pixels, e.g. 32x32"),
               {name, quotedValue(value)});
    }
    const QStringView parts[2] = {QStringView(value).first(x), QStringView(value).sliced(x + 1)};
    std::int32_t size[2];
    for (int i = 0; i < 2; ++i) {
        const WholeNumber n = wholeNumber(parts[i], Rounding::Down);
        const char* what = i == 0 ? QT_TRANSLATE_NOOP("karuvo", "cell width") : QT_TRANSLATE_NOOP("karuvo", "cell height");
        if (!n.numeric) {
            refuse(QT_TRANSLATE_NOOP("karuvo", "%1: the %2 %3 is not a number; give the width and height in pixels, e.g. 32x32"),
                   {name, what, quotedValue(parts[i])});
        }
        if (!n.value) {
            refuse(QT_TRANSLATE_NOOP("karuvo", "%1: the %2 %3 is too large; give at most 2147483647 pixels"),
                   {name, what, shownValue(parts[i].trimmed())});
        }
        if (*n.value < 1) {
            refuse(QT_TRANSLATE_NOOP("karuvo", "%1: the cell size %2 has no area; give a width and a height of at least 1 pixel"),
                   {name, shownValue(value.trimmed())});
        }
        size[i] = *n.value;
    }
    return {size[0], size[1]};
}

std::int32_t offsetSetting(const QString& name, const QString& value) {
    const WholeNumber n = wholeNumber(value, Rounding::HalfEven);
    if (!n.numeric) {
        refuse(QT_TRANSLATE_NOOP("karuvo", "%1: the offset %2 is not a number; give two whole numbers of pixels, e.g. 2,2"),
               {name, quotedValue(value)});
    }
    if (!n.value) {
        refuse(QT_TRANSLATE_NOOP("karuvo", "%1: the offset %2 is too large; give a number from -2147483648 to 2147483647"),
               {name, shownValue(value.trimmed())});
    }
    return *n.value;
}

std::int32_t radiusSetting(const QString& name, const QString& value) {
    const WholeNumber n = wholeNumber(value, Rounding::HalfEven);
    const QString most = QString::number(kMaxOutlineRadius);
    if (!n.numeric) {
        refuse(QT_TRANSLATE_NOOP("karuvo", "%1: the radius %2 is not a number; give a whole number from 0 to %3"),
               {name, quotedValue(value), most});
    }
    if (!n.value || *n.value < 0 || *n.value > kMaxOutlineRadius) {
        refuse(QT_TRANSLATE_NOOP("karuvo", "%1: the radius %2 is out of range; give a whole number from 0 to %3"),
               {name, shownValue(value.trimmed()), most});
    }
    return *n.value;
}

std::int32_t distanceRangeSetting(const QString& name, const QString& value) {
    static_assert(kMaxDistanceRange == 64, "the message below names the largest range");
    const char* fix = QT_TRANSLATE_NOOP("karuvo", "; give the distance range in pixels, a whole number from 1 to 64");
    const std::int32_t range = wholeSetting(name, value, QT_TRANSLATE_NOOP("karuvo", "distance range"), 1, fix);
    if (range > kMaxDistanceRange) {
        refuse(QT_TRANSLATE_NOOP("karuvo", "%1: the %2 %3 is out of range%4"),
               {name, QT_TRANSLATE_NOOP("karuvo", "distance range"), shownValue(value.trimmed()), fix});
    }
    return range;
}

std::int32_t wholeSetting(const QString& name, const QString& value, const char* what, std::int32_t least,
                          const char* fix) {
    const WholeNumber n = wholeNumber(value, Rounding::HalfEven);
    if (!n.numeric) {
        refuse(QT_TRANSLATE_NOOP("karuvo", "%1: the %2 %3 is not a number%4"),
               {name, what, quotedValue(value), fix});
    }
    if (!n.value || *n.value < least) {
        refuse(QT_TRANSLATE_NOOP("karuvo", "%1: the %2 %3 is out of range%4"),
               {name, what, shownValue(value.trimmed()), fix});
    }
    return *n.value;
}

std::int32_t columnsSetting(const QString& name, const QString& value) {
    return wholeSetting(name, value, QT_TRANSLATE_NOOP("karuvo", "column count"), 1,
                        QT_TRANSLATE_NOOP("karuvo", "; give the number of cells in a row, at least 1"));
}

std::int32_t pageSideSetting(const QString& name, const QString& value) {
    return wholeSetting(name, value, QT_TRANSLATE_NOOP("karuvo", "page size"), 1,
                        QT_TRANSLATE_NOOP("karuvo", "; give the largest side of a page in pixels, e.g. 1024"));
}

std::int32_t faceIndexSetting(const QString& name, const QString& value) {
    return wholeSetting(name, value, QT_TRANSLATE_NOOP("karuvo", "face index"), 0,
                        QT_TRANSLATE_NOOP("karuvo", "; give the number of a face of the font file, from 0"));
}

std::size_t choiceSetting(const QString& name, const QString& value, const char* what, const char* const* names,
                          std::size_t count) {
    QStringList allowed;
    for (std::size_t i = 0; i < count; ++i) {
        if (value == QLatin1String(names[i])) return i;
        allowed << QLatin1String(names[i]);
    }
    refuse(QT_TRANSLATE_NOOP("karuvo", "%1: the %2 %3 is not one of %4; give one of them"),
           {name, what, quotedValue(value), allowed.join(QStringLiteral(", "))});
}

void sheetFileSetting(const QString& name, const QString& value) {
    if (!sheetFileFormat(value)) {
        refuse(QT_TRANSLATE_NOOP("karuvo", "%1: the sheet file %2 does not end in .bmp or .png; give .bmp for a 24-bit bitmap or .png for transparency"),
               {name, quotedValue(value)});
    }
}

void charsetSetting(const QString& name, const QString& value) {
    if (!charsetNames().contains(value)) {
        refuse(QT_TRANSLATE_NOOP("karuvo", "%1: no character set is called %2; give one of %3"),
               {name, quotedValue(value), charsetNames().join(QStringLiteral(", "))});
    }
}

void charListSetting(const QString& name, const QString& value, CodePointSet& into) {
    try {
        addCharList(value, into);
    } catch (const Error& e) {
        throw messageError(ErrorKind::Setting, QT_TRANSLATE_NOOP("karuvo", "%1: %2"), {name}, &e);
    }
}

std::optional<SettingConflict> settingConflict(const Project& p) {
    const SheetSettings& s = p.settings;
    if (s.colourGlyphs) {
        const std::pair<bool, Setting> oneColour[] = {{s.distanceRange > 0, Setting::DistanceField},
                                                      {p.font.mono, Setting::Mono},
                                                      {s.fill == FillKind::Texture, Setting::Texture},
                                                      {s.effect == EffectKind::Shadow, Setting::Shadow},
                                                      {s.effect == EffectKind::Outline, Setting::Outline}};
        for (const auto& [set, setting] : oneColour)
            if (set) return SettingConflict{Setting::ColourGlyphs, setting, ConflictReason::OneColourDrawing};
    }
    if (s.distanceRange <= 0) return std::nullopt;
    const std::pair<bool, Setting> effects[] = {{s.effect == EffectKind::Shadow, Setting::Shadow},
                                                {s.effect == EffectKind::Outline, Setting::Outline},
                                                {s.fill == FillKind::Texture, Setting::Texture},
                                                {p.font.mono, Setting::Mono},
                                                {p.font.underline, Setting::Underline},
                                                {p.font.strikeOut, Setting::Strikeout}};
    for (const auto& [set, setting] : effects)
        if (set) return SettingConflict{Setting::DistanceField, setting, ConflictReason::FieldIsShapeAlone};
    if (!p.outputPath.isEmpty() && sheetFileFormat(p.outputPath) != SheetFileFormat::Png)
        return SettingConflict{Setting::DistanceField, Setting::BitmapSheet, ConflictReason::FieldNeedsPng};
    if (!p.fntPath.isEmpty() && p.fntFormat == FntFormat::Binary)
        return SettingConflict{Setting::DistanceField, Setting::BinaryFnt, ConflictReason::FieldNotInBinary};
    return std::nullopt;
}

QString projectKeyText(Setting setting, const Project& p) {
    switch (setting) {
    case Setting::DistanceField: return QStringLiteral("output.distanceRange");
    case Setting::Shadow: return QStringLiteral("effect.kind \"shadow\"");
    case Setting::Outline: return QStringLiteral("effect.kind \"outline\"");
    case Setting::Texture: return QStringLiteral("fill.kind \"texture\"");
    case Setting::Mono: return QStringLiteral("font.mono");
    case Setting::Underline: return QStringLiteral("font.underline");
    case Setting::Strikeout: return QStringLiteral("font.strikeout");
    case Setting::BitmapSheet: return QStringLiteral("output.sheet ") + quotedValue(QFileInfo(p.outputPath).fileName());
    case Setting::BinaryFnt: return QStringLiteral("output.fntFormat \"binary\"");
    case Setting::ColourGlyphs: return QStringLiteral("output.colourGlyphs");
    }
    return {};
}

Error projectConflictError(const SettingConflict& conflict, const Project& p) {
    const auto error = [&](const char* source) {
        return messageError(ErrorKind::Setting, source, {projectKeyText(conflict.first, p), projectKeyText(conflict.second, p)});
    };
    switch (conflict.reason) {
    case ConflictReason::FieldIsShapeAlone:
        return error(QT_TRANSLATE_NOOP("karuvo", "%1 and %2 exclude each other: a distance field holds the glyphs' shape alone, effects belong in the shader; drop one of them"));
    case ConflictReason::FieldNeedsPng:
        return error(QT_TRANSLATE_NOOP("karuvo", "%1 and %2 exclude each other: the field is held in the alpha channel of a PNG sheet; give output.sheet a name ending in .png"));
    case ConflictReason::FieldNotInBinary:
        break;
    case ConflictReason::OneColourDrawing:
        return error(QT_TRANSLATE_NOOP("karuvo", "%1 and %2 exclude each other: colour glyphs keep their own colours, and %2 rests on glyphs drawn in one colour; drop one of them"));
    }
    return error(QT_TRANSLATE_NOOP("karuvo", "%1 and %2 exclude each other: the binary form cannot say that the page is a distance field; give output.fntFormat \"text\" or \"xml\""));
}

}  // namespace karuvo
