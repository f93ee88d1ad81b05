#include "findings.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_set>

#include "platform/checked.h"
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

std::optional<InkSpill> inkSpill(const SheetSettings& s, const Sheet& sheet) {
    std::vector<const SheetChar*> spilling;
    for (const SheetChar& c : sheet.chars) {
        const QRect cell(c.column * sheet.cellWidth, c.row * sheet.cellHeight, sheet.cellWidth, sheet.cellHeight);
        if (!c.ink.isEmpty() && !cell.contains(c.ink.translated(c.x, c.y))) spilling.push_back(&c);
    }
    if (spilling.empty()) return std::nullopt;
    // Each character placed in a cell of the size tried, as the builder places it; a
    // side's placement does not depend on the other side.
    const bool shadow = s.distanceRange == 0 && s.effect == EffectKind::Shadow;
    const std::int32_t dx = shadow ? s.shadowDx : 0, dy = shadow ? s.shadowDy : 0;
    const auto holds = [&](std::int32_t width, std::int32_t height, bool across) {
        return std::all_of(spilling.begin(), spilling.end(), [&](const SheetChar* c) {
            const CellPlacement at = placeInCell(0, 0, width, height, CharBox{c->advance, sheet.lineHeight}, dx, dy);
            const QRect ink = c->ink.translated(at.mainX, at.mainY);
            return across ? ink.left() >= 0 && ink.right() < width : ink.top() >= 0 && ink.bottom() < height;
        });
    };
    std::int32_t width = sheet.cellWidth, height = sheet.cellHeight;
    while (!holds(width, height, true)) width = checkedAdd(width, 1, "the cell width");
    while (!holds(width, height, false)) height = checkedAdd(height, 1, "the cell height");
    InkSpill spill{{}, {width, height}};
    for (const SheetChar* c : spilling) spill.chars.push_back(c->codePoint);
    return spill;
}

bool fieldDropsFill(const SheetSettings& s) {
    return s.distanceRange > 0 && s.fill == FillKind::Colour && (s.fillColour & 0xFFFFFF) != kWhite;
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
