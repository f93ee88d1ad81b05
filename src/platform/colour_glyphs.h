#pragma once

// Glyphs that carry their own colours: COLR layers with their palette, CBDT and sbix
// bitmaps. Qt draws some of them as a silhouette in the pen's colour alone, so they are
// drawn here with FreeType.

#include <QImage>
#include <QPoint>
#include <QString>
#include <map>
#include <memory>
#include <optional>

#include "colour.h"
#include "font.h"

namespace karuvo {

// A glyph in its own colours at a font's pixel size.
struct ColourGlyph {
    QImage image;   // Format_ARGB32_Premultiplied
    QPoint offset;  // the image's top-left corner from the pen point on the baseline
    // The pixels it covers from the top-left corner of its character's box.
    QRect box(std::int32_t ascent) const { return QRect(offset + QPoint(0, ascent), image.size()); }
};

// The colour glyphs of the faces that draw a font's characters. Not for use on more
// than one thread at once.
class ColourGlyphs {
public:
    // `foreground` stands in for the palette entry that means the text's own colour.
    ColourGlyphs(const Font& font, Colour foreground);
    ~ColourGlyphs();
    ColourGlyphs(const ColourGlyphs&) = delete;
    ColourGlyphs& operator=(const ColourGlyphs&) = delete;

    // The glyph that the face drawing `codePoint` has for it in colour, at the font's
    // pixel size: COLR layers rendered at that size, the tallest bitmap strike scaled so
    // that its line height (FreeType's height of the strike) is that size, as the font's
    // own metrics are (smooth scaling, the offset scaled alike and rounded). Nothing when that face draws it in
    // one colour, lacks it, or is not a file FreeType can open.
    std::optional<ColourGlyph> glyph(char32_t codePoint);

private:
    struct Library;
    struct Face;
    // The colour face of a family, opened on first use; null for a family without one.
    Face* face(const QString& family);

    const Font& font_;
    Colour foreground_;
    std::unique_ptr<Library> library_;  // outlives the faces
    std::map<QString, std::unique_ptr<Face>> faces_;
};

}  // namespace karuvo
