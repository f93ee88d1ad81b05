#pragma once

#include <QString>
#include <cstdint>
#include <span>

namespace karuvo {

// How the glyphs of a font file are to be drawn: at this many pixels, without
// anti-aliasing when `mono`, made bold or slanted by the font engine when the face
// itself is neither.
struct GlyphStyle {
    std::int32_t pixelSize = 12;
    bool mono = false;
    bool emboldened = false;
    bool slanted = false;
};

// Checks that every glyph face `faceIndex` of the font file at `path` has for
// `codePoints` can be rasterised in `style`. Qt's glyph loader reads past the end of a
// glyph whose rasterising fails (a damaged outline of absurd extent), so such a file
// must be refused before anything is drawn from it. Characters the face lacks are left
// to the fallback faces. Throws Error(Io) naming the file and the character.
void checkGlyphsRasterise(const QString& path, std::int32_t faceIndex, std::span<const char32_t> codePoints,
                          const GlyphStyle& style);

}  // namespace karuvo
