#include "glyph_check.h"

#include <QFile>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "error.h"
#include "font.h"

namespace karuvo {

namespace {

struct LibraryDeleter {
    void operator()(FT_Library l) const { FT_Done_FreeType(l); }
};
struct FaceDeleter {
    void operator()(FT_Face f) const { FT_Done_Face(f); }
};

}  // namespace

void checkGlyphsRasterise(const QString& path, std::int32_t faceIndex, std::span<const char32_t> codePoints,
                          const GlyphStyle& style) {
    FT_Library rawLibrary = nullptr;
    if (FT_Init_FreeType(&rawLibrary) != 0) return;
    const std::unique_ptr<FT_LibraryRec_, LibraryDeleter> library(rawLibrary);
    FT_Face rawFace = nullptr;
    // A file FreeType cannot open is refused by the font database, with its own message.
    if (FT_New_Face(rawLibrary, QFile::encodeName(path).constData(), faceIndex, &rawFace) != 0) return;
    const std::unique_ptr<FT_FaceRec_, FaceDeleter> face(rawFace);
    if (FT_Set_Pixel_Sizes(rawFace, 0, static_cast<FT_UInt>(std::max(1, style.pixelSize))) != 0) return;
    const FT_Int32 load = FT_LOAD_DEFAULT | (style.mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
    for (const char32_t c : codePoints) {
        const FT_UInt glyph = FT_Get_Char_Index(rawFace, c);
        // A glyph that does not load is left undrawn by the font engine.
        if (glyph == 0 || FT_Load_Glyph(rawFace, glyph, load) != 0) continue;
        FT_GlyphSlot slot = rawFace->glyph;
        if (slot->format != FT_GLYPH_FORMAT_OUTLINE) continue;
        if (style.emboldened) FT_GlyphSlot_Embolden(slot);
        if (style.slanted) FT_GlyphSlot_Oblique(slot);
        const FT_Error err = FT_Render_Glyph(slot, style.mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL);
        if (err == 0 && (slot->bitmap.buffer != nullptr || slot->bitmap.rows == 0 || slot->bitmap.width == 0)) continue;
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
        throw Error(ErrorKind::Io, "Cannot use the font file \"" + path.toStdString() + "\": the glyph of " + code +
                                       " " + codePointText(c).toStdString() + " is damaged and cannot be drawn at " +
                                       std::to_string(style.pixelSize) +
                                       " pixels; give -f a sound font file, or leave the character out");
    }
}

}  // namespace karuvo
