#include "findings.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_set>

#include "sheet/grid.h"

namespace karuvo {

std::vector<FallbackChar> missingCharacters(QStringView text, const Font& font) {
    std::vector<FallbackChar> missing;
    std::unordered_set<char32_t> seen;
    const QString own = font.resolvedFamily();
    // The own face's character map answers for most characters at once; only those it
    // lacks are laid out to find the face that draws them.
    for (char32_t c : codePointsOf(text)) {
        const QChar::Category cat = QChar::category(c);
        if (cat == QChar::Other_Control || cat == QChar::Other_Format) continue;
        if (!seen.insert(c).second) continue;
        if (font.hasGlyph(c)) continue;
        if (font.description().noFallback) {
            missing.push_back(FallbackChar{c, {}});
            continue;
        }
        const QString face = font.drawingFamily(c);
        if (face != own) missing.push_back(FallbackChar{c, face});
    }
    return missing;
}

std::optional<CellSize> spillingEffectCell(const SheetSettings& s, const Sheet& sheet) {
    if ((s.effect == EffectKind::None && s.distanceRange == 0) || sheet.chars.empty()) return std::nullopt;
    CharBox largest{0, sheet.lineHeight};
    for (const SheetChar& c : sheet.chars) largest.width = std::max(largest.width, c.advance);
    const CharBox allowance = sheetAllowance(s);
    const std::int64_t width = largest.width + std::abs(std::int64_t{allowance.width});
    const std::int64_t height = largest.height + std::abs(std::int64_t{allowance.height});
    if ((allowance.width == 0 || width <= s.cellWidth) && (allowance.height == 0 || height <= s.cellHeight))
        return std::nullopt;
    return CellSize{std::max<std::int64_t>(width, s.cellWidth), std::max<std::int64_t>(height, s.cellHeight)};
}

SheetFindings sheetFindings(const SheetSettings& settings, const Sheet& sheet, const Font& font) {
    SheetFindings f;
    f.face = font.resolvedFamily();
    f.missing = missingCharacters(settings.text, font);
    f.leftEmpty = font.description().noFallback;
    // Without its image an image fill lays in no shadow, so nothing can spill.
    f.textureMissing = settings.fill == FillKind::Texture && settings.texturePath.isEmpty();
    if (!f.textureMissing) f.spillCell = spillingEffectCell(settings, sheet);
    return f;
}

}  // namespace karuvo
