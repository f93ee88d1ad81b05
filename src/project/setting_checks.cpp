#include "setting_checks.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <optional>

#include "export/sheet_file.h"
#include "platform/error.h"
#include "platform/number.h"
#include "project/project.h"
#include "sheet/distance_field.h"

namespace karuvo {
namespace {

[[noreturn]] void refuse(const QString& message) { throw Error(ErrorKind::Setting, message.toStdString()); }

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
        refuse(name + ": the value " + quotedValue(value) +
               " holds a control character (line break, tab, ...); give it without one");
    }
}

const QString& requireNonEmpty(const QString& name, const QString& value) {
    if (value.isEmpty()) refuse(name + " is given an empty value; give a name");
    return value;
}

Colour colourSetting(const QString& name, const QString& value) {
    static const QRegularExpression hex(QStringLiteral("^#?([0-9A-Fa-f]{6})$"));
    const QRegularExpressionMatch m = hex.match(value);
    if (!m.hasMatch()) {
        refuse(name + ": the colour " + quotedValue(value) +
               " is not six hexadecimal digits; give it red first, e.g. FF8000 or #FF8000");
    }
    const std::uint32_t rgb = m.captured(1).toUInt(nullptr, 16);
    return colourFromRgb(static_cast<int>(rgb >> 16), static_cast<int>(rgb >> 8), static_cast<int>(rgb));
}

std::int32_t fontSizeSetting(const QString& name, const QString& value) {
    const WholeNumber n = wholeNumber(value, Rounding::HalfEven);
    const QString fix = QStringLiteral("; give the size in pixels, 1 to %1").arg(kMaxFontPixels);
    if (!n.numeric) refuse(name + ": the font size " + quotedValue(value) + " is not a number" + fix);
    if (!n.value || *n.value < 1 || *n.value > kMaxFontPixels)
        refuse(name + ": the font size " + shownValue(value.trimmed()) + " is out of range" + fix);
    return *n.value;
}

CharBox cellSetting(const QString& name, const QString& value) {
    const qsizetype x = value.indexOf(u'x', 0, Qt::CaseInsensitive);
    const QString fix = QStringLiteral("; give the width and height in pixels, e.g. 32x32");
    if (x < 0) refuse(name + ": the cell size " + quotedValue(value) + " is not WIDTHxHEIGHT" + fix);
    const QStringView parts[2] = {QStringView(value).first(x), QStringView(value).sliced(x + 1)};
    std::int32_t size[2];
    for (int i = 0; i < 2; ++i) {
        const WholeNumber n = wholeNumber(parts[i], Rounding::Down);
        const QString what = i == 0 ? QStringLiteral("cell width") : QStringLiteral("cell height");
        if (!n.numeric) refuse(name + ": the " + what + " " + quotedValue(parts[i]) + " is not a number" + fix);
        if (!n.value) {
            refuse(name + ": the " + what + " " + shownValue(parts[i].trimmed()) +
                   " is too large; give at most 2147483647 pixels");
        }
        if (*n.value < 1) {
            refuse(name + ": the cell size " + shownValue(value.trimmed()) +
                   " has no area; give a width and a height of at least 1 pixel");
        }
        size[i] = *n.value;
    }
    return {size[0], size[1]};
}

std::int32_t offsetSetting(const QString& name, const QString& value) {
    const WholeNumber n = wholeNumber(value, Rounding::HalfEven);
    if (!n.numeric)
        refuse(name + ": the offset " + quotedValue(value) + " is not a number; give two whole numbers of pixels, e.g. 2,2");
    if (!n.value) {
        refuse(name + ": the offset " + shownValue(value.trimmed()) +
               " is too large; give a number from -2147483648 to 2147483647");
    }
    return *n.value;
}

std::int32_t radiusSetting(const QString& name, const QString& value) {
    const WholeNumber n = wholeNumber(value, Rounding::HalfEven);
    const QString fix = QStringLiteral("; give a whole number from 0 to %1").arg(kMaxOutlineRadius);
    if (!n.numeric) refuse(name + ": the radius " + quotedValue(value) + " is not a number" + fix);
    if (!n.value || *n.value < 0 || *n.value > kMaxOutlineRadius)
        refuse(name + ": the radius " + shownValue(value.trimmed()) + " is out of range" + fix);
    return *n.value;
}

std::int32_t distanceRangeSetting(const QString& name, const QString& value) {
    const QString fix = QStringLiteral("; give the distance range in pixels, a whole number from 1 to %1").arg(kMaxDistanceRange);
    const std::int32_t range = wholeSetting(name, value, "distance range", 1, fix);
    if (range > kMaxDistanceRange) refuse(name + ": the distance range " + shownValue(value.trimmed()) + " is out of range" + fix);
    return range;
}

std::int32_t wholeSetting(const QString& name, const QString& value, const char* what, std::int32_t least,
                          const QString& fix) {
    const WholeNumber n = wholeNumber(value, Rounding::HalfEven);
    const QString called = QStringLiteral(": the %1 ").arg(QLatin1String(what));
    if (!n.numeric) refuse(name + called + quotedValue(value) + " is not a number" + fix);
    if (!n.value || *n.value < least) refuse(name + called + shownValue(value.trimmed()) + " is out of range" + fix);
    return *n.value;
}

std::size_t choiceSetting(const QString& name, const QString& value, const char* what, const char* const* names,
                          std::size_t count) {
    QStringList allowed;
    for (std::size_t i = 0; i < count; ++i) {
        if (value == QLatin1String(names[i])) return i;
        allowed << QLatin1String(names[i]);
    }
    refuse(name + ": the " + what + " " + quotedValue(value) + " is not one of " + allowed.join(", ") +
           "; give one of them");
}

void sheetFileSetting(const QString& name, const QString& value) {
    if (!sheetFileFormat(value)) {
        refuse(name + ": the sheet file " + quotedValue(value) +
               " does not end in .bmp or .png; give .bmp for a 24-bit bitmap or .png for transparency");
    }
}

void charsetSetting(const QString& name, const QString& value) {
    if (!charsetNames().contains(value)) {
        refuse(name + ": no character set is called " + quotedValue(value) + "; give one of " +
               charsetNames().join(QStringLiteral(", ")));
    }
}

void charListSetting(const QString& name, const QString& value, CodePointSet& into) {
    try {
        addCharList(value, into);
    } catch (const Error& e) {
        refuse(name + ": " + QString::fromStdString(e.what()));
    }
}

std::optional<SettingConflict> settingConflict(const Project& p) {
    const SheetSettings& s = p.settings;
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
    }
    return {};
}

QString projectConflictText(const SettingConflict& conflict, const Project& p) {
    const auto key = [&](Setting s) { return projectKeyText(s, p); };
    const QString both = key(conflict.first) + " and " + key(conflict.second) + " exclude each other: ";
    switch (conflict.reason) {
    case ConflictReason::FieldIsShapeAlone:
        return both + "a distance field holds the glyphs' shape alone, effects belong in the shader; drop one of them";
    case ConflictReason::FieldNeedsPng:
        return both + "the field is held in the alpha channel of a PNG sheet; give output.sheet a name ending in .png";
    case ConflictReason::FieldNotInBinary:
        return both + "the binary form cannot say that the page is a distance field; give output.fntFormat \"text\" or \"xml\"";
    }
    return both;
}

}  // namespace karuvo
