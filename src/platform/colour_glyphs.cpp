#include "colour_glyphs.h"

#include <QFile>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_COLOR_H

#include <algorithm>
#include <cmath>
#include <cstring>

#include "font_files.h"

namespace karuvo {

struct ColourGlyphs::Library {
    FT_Library library = nullptr;
    ~Library() {
        if (library) FT_Done_FreeType(library);
    }
};

struct ColourGlyphs::Face {
    QByteArray data;  // a face opened from memory reads these bytes while it lives
    FT_Face face = nullptr;
    ~Face() {
        if (face) FT_Done_Face(face);
    }
};

namespace {

// The tallest strike of a face of bitmaps alone, which keeps the most detail when it is
// scaled to a line of any size.
int tallestStrike(FT_Face face) {
    int tallest = -1;
    for (int i = 0; i < face->num_fixed_sizes; ++i)
        if (tallest < 0 || face->available_sizes[i].height > face->available_sizes[tallest].height) tallest = i;
    return tallest;
}

}  // namespace

ColourGlyphs::ColourGlyphs(const Font& font, Colour foreground)
    : font_(font), foreground_(foreground), library_(std::make_unique<Library>()) {
    if (FT_Init_FreeType(&library_->library) != 0) library_->library = nullptr;
}

ColourGlyphs::~ColourGlyphs() = default;

ColourGlyphs::Face* ColourGlyphs::face(const QString& family) {
    const auto known = faces_.find(family);
    if (known != faces_.end()) return known->second.get();
    std::unique_ptr<Face> chosen;
    // Keeps a face that opened and has colour glyphs.
    const auto take = [&](FT_Error opened, FT_Face face, const QByteArray& data) {
        if (opened != 0) return false;
        auto f = std::make_unique<Face>();
        f->face = face;
        f->data = data;
        if (FT_HAS_COLOR(face)) chosen = std::move(f);
        return chosen != nullptr;
    };
    const FT_Library library = library_->library;
    FT_Face face = nullptr;
    if (!library) {
        // No FreeType: every glyph is left to Qt.
    } else if (const std::optional<LoadedFace> loaded = loadedFontFace(family)) {
        const FT_Error opened = FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(loaded->data.constData()),
                                                   loaded->data.size(), loaded->faceIndex, &face);
        take(opened, face, loaded->data);
    } else {
        for (const ConfiguredFace& listed : configuredFaces(family)) {
            const FT_Error opened = FT_New_Face(library, QFile::encodeName(listed.path).constData(), listed.index, &face);
            if (take(opened, face, {})) break;
        }
    }
    if (chosen) {
        // Palette 0 is the face's own from the start; its entry 0xFFFF is the text's colour.
        FT_Palette_Set_Foreground_Color(chosen->face, FT_Color{static_cast<FT_Byte>(blueOf(foreground_)),
                                                                static_cast<FT_Byte>(greenOf(foreground_)),
                                                                static_cast<FT_Byte>(redOf(foreground_)), 255});
    }
    return (faces_[family] = std::move(chosen)).get();
}

std::optional<ColourGlyph> ColourGlyphs::glyph(char32_t codePoint) {
    const QString family = font_.hasGlyph(codePoint) ? font_.ownFace().familyName() : font_.drawingFamily(codePoint);
    Face* f = family.isEmpty() ? nullptr : face(family);
    if (!f) return std::nullopt;
    FT_Face face = f->face;
    const FT_UInt index = FT_Get_Char_Index(face, codePoint);
    if (index == 0) return std::nullopt;
    const int pixels = std::max(1, font_.qfont().pixelSize());
    double scale = 1;
    if (FT_IS_SCALABLE(face)) {
        if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels)) != 0) return std::nullopt;
    } else {
        const int strike = tallestStrike(face);
        if (strike < 0 || FT_Select_Size(face, strike) != 0) return std::nullopt;
        // The strike's line is scaled to the font's, as the font's metrics are.
        scale = double(pixels) / std::max<FT_Short>(1, face->available_sizes[strike].height);
    }
    if (FT_Load_Glyph(face, index, FT_LOAD_COLOR | FT_LOAD_RENDER) != 0) return std::nullopt;
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_BGRA || bitmap.width == 0 || bitmap.rows == 0) return std::nullopt;
    // FreeType's BGRA is premultiplied, blue first in memory: a 32-bit ARGB word.
    QImage image(static_cast<int>(bitmap.width), static_cast<int>(bitmap.rows), QImage::Format_ARGB32_Premultiplied);
    for (unsigned y = 0; y < bitmap.rows; ++y)
        std::memcpy(image.scanLine(static_cast<int>(y)), bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch,
                    std::size_t{bitmap.width} * 4);
    QPoint offset(slot->bitmap_left, -slot->bitmap_top);
    if (scale != 1) {
        const auto scaled = [scale](int v) { return static_cast<int>(std::lround(v * scale)); };
        image = image.scaled(std::max(1, scaled(image.width())), std::max(1, scaled(image.height())),
                             Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        offset = QPoint(scaled(offset.x()), scaled(offset.y()));
    }
    return ColourGlyph{std::move(image), offset};
}

}  // namespace karuvo
