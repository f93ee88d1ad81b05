#include "project.h"

#include <QFontDatabase>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/glyph_check.h"
#include "sheet/grid.h"

namespace karuvo {

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

QString Project::listedText() const {
    CodePointSet all = chars;
    for (const QString& name : charsets) addCharset(name, all);
    return textOf(all);
}

void checkFontFileGlyphs(const FontRequest& request, const FontFile& file, const FontDescription& description,
                         const QString& text) {
    std::vector<char32_t> distinct;
    for (const GridCell& cell : gridCells(text)) distinct.push_back(cell.codePoint);
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    checkGlyphsRasterise(request.family, request.faceIndex, distinct,
                         {request.pixelSize, request.mono, description.weight >= 600 && file.weight() < 600,
                          description.italic != 0 && !file.italic()});
}

MadeFont makeFont(const FontRequest& asked) {
    MadeFont made;
    FontRequest request = asked;
    if (looksLikeFontPath(request.family)) {
        made.file = std::make_unique<FontFile>(request.family, request.faceIndex);
        request.family = made.file->family();
        // The face's own weight and slant pick it among faces of its family.
        request.weight = request.bold ? 700 : made.file->weight();
        request.italic = request.italic || made.file->italic();
    }
    made.description = request.description(Font::createDefaultSheetFont()->resolvedFamily());
    made.font = Font::create(made.description);
    if (!made.font) {
        throw Error(ErrorKind::InvalidSize, "Cannot make the font \"" + made.description.faceName.toStdString() +
                                                "\" at " + std::to_string(asked.pixelSize) + " pixels");
    }
    return made;
}

std::optional<QString> substitutedFamily(const FontRequest& request, const MadeFont& made) {
    const QString& family = request.family;
    if (made.file || !made.font || family.isEmpty() || QFontDatabase::hasFamily(family) ||
        made.font->resolvedFamily().compare(family, Qt::CaseInsensitive) == 0)
        return std::nullopt;
    return family;
}

}  // namespace karuvo
