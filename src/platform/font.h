#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QRawFont>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace karuvo {

// A font description with the fields of the platform's LOGFONT record. The face
// name is kept whole, however long.
struct FontDescription {
    std::int32_t height = 0;  // < 0: character height in pixels; > 0: cell height; 0: default
    std::int32_t width = 0;   // average character width in pixels; 0: the face's own
    std::int32_t escapement = 0;
    std::int32_t orientation = 0;
    std::int32_t weight = 0;  // 0: normal (400); 1 to 1000 otherwise
    std::uint8_t italic = 0;
    std::uint8_t underline = 0;
    std::uint8_t strikeOut = 0;
    std::uint8_t charSet = 0;
    std::uint8_t outPrecision = 0;
    std::uint8_t clipPrecision = 0;
    std::uint8_t quality = 0;  // kNonAntialiasedQuality: glyph pixels are all or nothing
    std::uint8_t pitchAndFamily = 0;
    QString faceName;
    // Not in the record: characters the face lacks are left undrawn instead of being
    // drawn by another face.
    bool noFallback = false;

    // True for the all-zero description that a cancelled font dialog hands back.
    bool isZero() const;
    bool operator==(const FontDescription&) const = default;
};

// The quality value that asks for glyphs without anti-aliasing.
inline constexpr std::uint8_t kNonAntialiasedQuality = 3;

// The box of one character measured alone: its advance width and the font's line height.
struct CharBox {
    std::int32_t width = 0;
    std::int32_t height = 0;
    // Where its ink may lie, from the box's top-left corner, with room for rounding:
    // known where the glyph's own box tells (Han and kana, which take their glyph as it
    // is), otherwise empty.
    QRect ink = QRect();
    // How many pixels its ink may reach above or below the box; -1 when not known.
    std::int32_t reach() const {
        return ink.isEmpty() ? -1 : std::max({0, -ink.top(), ink.bottom() - (height - 1)});
    }
};

// Two characters that the font sets closer together (negative amount) or further
// apart when the second follows the first, in pixels added to the first's advance.
struct KerningPair {
    char32_t first = 0;
    char32_t second = 0;
    std::int32_t amount = 0;
    bool operator==(const KerningPair&) const = default;
};

// A font object made from a description. Glyphs are drawn with grayscale
// anti-aliasing, or none at kNonAntialiasedQuality. Characters the face lacks are drawn
// by the platform's fallback faces unless the description asks for no fallback.
class Font {
public:
    // Makes a font, or gives null when the description cannot make one (a height or
    // width beyond 16384 pixels, a negative width).
    static std::unique_ptr<Font> create(const FontDescription& description);
    // The sheet box's own font: 12 px of an installed Japanese sans-serif face.
    static std::unique_ptr<Font> createDefaultSheetFont();

    // Another font object with the same face and settings and nothing shared with this
    // one, for use on another thread.
    std::unique_ptr<Font> copy() const;

    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    const QFont& qfont() const { return font_; }
    const QFontMetrics& metrics() const { return metrics_; }
    const FontDescription& description() const { return description_; }
    // The family that the platform actually uses for this font.
    QString resolvedFamily() const;

    // Advance width and line height of one character (a whole code point).
    CharBox measure(char32_t codePoint) const;

    // The family of the face that draws a character: this font's own face when it has
    // the glyph, otherwise the fallback face the platform picks for it; empty when no
    // installed face has a glyph for it (such a character is drawn as this font's
    // missing-glyph box).
    QString drawingFamily(char32_t codePoint) const;

    // Whether this font's own face has a glyph for a character.
    bool hasGlyph(char32_t codePoint) const;

    // The glyph of the own face that drawText draws for a character alone, with its
    // origin at the pen point, where that is known without shaping: a Han or kana letter
    // that the own face has, in a face whose layout tables leave a lone glyph as it is
    // (layoutLeavesLoneGlyphs) and that has no other shaping tables. Nothing otherwise.
    std::optional<quint32> loneGlyph(char32_t codePoint) const;
    // The own face, for drawing the glyphs of loneGlyph.
    const QRawFont& ownFace() const;

    // How many pixels the ink of a glyph of this font's own face may reach above the top
    // of its line or below its bottom, from the face's bounding box with room for hinting
    // and emboldening; nothing when the face does not tell its box.
    std::optional<std::int32_t> ownInkReach() const;
    // The ascent of this font's own face: from the top of a line to its baseline.
    std::int32_t ascent() const { return metrics_.ascent(); }

    // Every ordered pair of `chars` (each listed once) that this font's own face kerns,
    // ordered by first then second: what HarfBuzz's default horizontal shaping of the two
    // characters, ligatures off, adds to their pen advance against the two shaped alone,
    // in pixels at this font's size, rounded to nearest (halves up), where that is not 0.
    // This takes GPOS pair positioning and the old kern table alike. Pairs are found
    // only between characters this face draws, and only where shaping keeps the two
    // lone glyphs (not a ligature or another form).
    std::vector<KerningPair> kerningPairs(std::span<const char32_t> chars) const;

    // Number of font objects alive now, for checking that every one is released.
    static int liveCount();

private:
    Font(const QFont& font, const FontDescription& description);

    QFont font_;
    QFontMetrics metrics_;
    FontDescription description_;
    mutable std::optional<QRawFont> ownFace_;  // see hasGlyph
    mutable std::optional<bool> lonePlain_;    // see loneGlyph
};

// The bytes of a FontFile alive now whose face `faceIndex` has the family `family`,
// for drawing that face's glyphs where Qt cannot; nothing for a family no such file has.
struct LoadedFace {
    QByteArray data;
    std::int32_t faceIndex = 0;
};
std::optional<LoadedFace> loadedFontFace(const QString& family);

// A font file loaded into this process's font database for as long as the object
// lives; nothing is installed. The family is that of face `faceIndex` of the file.
class FontFile {
public:
    // Loads `path`. Throws Error(Io) naming the path and what to change for a missing
    // file, a folder, a file the font database cannot open, and a face index outside
    // the file's faces.
    FontFile(const QString& path, std::int32_t faceIndex);
    ~FontFile();
    FontFile(const FontFile&) = delete;
    FontFile& operator=(const FontFile&) = delete;

    const QString& family() const { return family_; }
    std::int32_t faceCount() const { return faceCount_; }
    // The face's weight (1 to 1000) and slant from its OS/2 table, which tell it apart
    // from faces of the same family; 400 and upright when the file has no such table.
    std::int32_t weight() const { return weight_; }
    bool italic() const { return italic_; }

private:
    friend std::optional<LoadedFace> loadedFontFace(const QString& family);
    int id_ = -1;
    QByteArray data_;  // the file's bytes, for loadedFontFace
    QString family_;
    std::int32_t faceCount_ = 0;
    std::int32_t weight_ = 400;
    bool italic_ = false;
};

// Whether a font argument names a file rather than a family: it names an existing
// file or folder, holds a path separator, or ends in a font file suffix.
bool looksLikeFontPath(const QString& value);

// The text of one code point.
QString codePointText(char32_t codePoint);

// Whether the OpenType substitution and positioning tables of a face (GSUB and GPOS,
// each empty when the face has none) leave a glyph that stands alone as it is: no lookup
// of a feature that text shaping applies by default may replace or move it. Ligatures,
// pair kerning, cursive joins and mark attachment take two glyphs, and tables of other
// features (vertical forms, say) are not applied to horizontal text. False for a table
// it cannot read through.
bool layoutLeavesLoneGlyphs(const QByteArray& gsub, const QByteArray& gpos);

}  // namespace karuvo
