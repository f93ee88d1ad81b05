#include "font.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGlyphRun>
#include <QRawFont>
#include <QStringList>
#include <QTextLayout>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <mutex>
#include <optional>
#include <unistd.h>

#include "platform/error.h"
#include "platform/file_input.h"

namespace karuvo {
namespace {

std::atomic<int> g_liveFonts{0};

constexpr std::int32_t kMaxFontPixels = 16384;

QFont::StyleHint styleHintOf(std::uint8_t pitchAndFamily) {
    switch (pitchAndFamily & 0xF0) {
    case 0x10: return QFont::Serif;       // roman
    case 0x20: return QFont::SansSerif;   // swiss
    case 0x30: return QFont::TypeWriter;  // modern
    case 0x40: return QFont::Cursive;     // script
    case 0x50: return QFont::Decorative;  // decorative
    default: return QFont::AnyStyle;
    }
}

void setCommonStrategy(QFont& f, bool antialias = true, bool fallback = true) {
    // Grayscale coverage only, so a sheet depends on the font, size and text alone.
    int strategy = QFont::NoSubpixelAntialias | (antialias ? QFont::PreferAntialias : QFont::NoAntialias);
    if (!fallback) strategy |= QFont::NoFontMerging;
    f.setStyleStrategy(QFont::StyleStrategy(strategy));
    f.setHintingPreference(QFont::PreferFullHinting);
    f.setKerning(false);
}

}  // namespace

bool FontDescription::isZero() const { return *this == FontDescription{}; }

QString codePointText(char32_t codePoint) { return QString::fromUcs4(&codePoint, 1); }

Font::Font(const QFont& font, const FontDescription& description)
    : font_(font), metrics_(font), description_(description) {
    ++g_liveFonts;
}

Font::~Font() { --g_liveFonts; }

int Font::liveCount() { return g_liveFonts.load(); }

std::unique_ptr<Font> Font::create(const FontDescription& d) {
    if (std::abs(static_cast<std::int64_t>(d.height)) > kMaxFontPixels || d.width < 0 ||
        d.width > kMaxFontPixels) {
        return nullptr;
    }
    QFont f;
    if (!d.faceName.trimmed().isEmpty()) f.setFamilies({d.faceName});
    f.setStyleHint(styleHintOf(d.pitchAndFamily));
    f.setFixedPitch((d.pitchAndFamily & 0x03) == 1);
    setCommonStrategy(f, d.quality != kNonAntialiasedQuality, !d.noFallback);
    f.setWeight(QFont::Weight(d.weight <= 0 ? 400 : std::min(d.weight, 1000)));
    f.setItalic(d.italic != 0);
    f.setUnderline(d.underline != 0);
    f.setStrikeOut(d.strikeOut != 0);

    if (d.height < 0) {
        f.setPixelSize(-d.height);
    } else if (d.height > 0) {
        // A positive height asks for the whole cell (ascent + descent).
        f.setPixelSize(d.height);
        const int cell = QFontMetrics(f).height();
        if (cell > 0 && cell != d.height) {
            f.setPixelSize(std::max(1, static_cast<int>(std::lround(double(d.height) * d.height / cell))));
        }
    } else {
        f.setPixelSize(12);
    }
    if (d.width > 0) {
        const int avg = QFontMetrics(f).averageCharWidth();
        if (avg > 0) f.setStretch(std::clamp(static_cast<int>(std::lround(100.0 * d.width / avg)), 1, 4000));
    }
    return std::unique_ptr<Font>(new Font(f, d));
}

std::unique_ptr<Font> Font::createDefaultSheetFont() {
    QFont f;
    f.setFamilies({QStringLiteral("IPAGothic"), QStringLiteral("IPAPGothic"),
                   QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL Gothic"),
                   QStringLiteral("TakaoGothic")});
    f.setStyleHint(QFont::SansSerif);
    setCommonStrategy(f);
    f.setPixelSize(12);
    FontDescription d;
    d.height = -12;
    d.weight = 400;
    d.charSet = 128;
    d.faceName = QFontInfo(f).family();
    return std::unique_ptr<Font>(new Font(f, d));
}

std::unique_ptr<Font> Font::copy() const {
    // Resolving against another font detaches: the copy shares no font data (and so
    // no lazily loaded font engine) with this one.
    return std::unique_ptr<Font>(new Font(font_.resolve(QFont()), description_));
}

QString Font::resolvedFamily() const { return QFontInfo(font_).family(); }

namespace {

// Han and kana letters take one glyph at its own advance: shaping a lone one changes
// nothing, so the single-character measure (no text layout) gives the same width.
bool hasPlainAdvance(char32_t codePoint) {
    if (codePoint > 0xFFFF) return false;
    const QChar ch(static_cast<char16_t>(codePoint));
    const QChar::Script script = ch.script();
    if (script != QChar::Script_Han && script != QChar::Script_Hiragana && script != QChar::Script_Katakana)
        return false;
    return ch.category() == QChar::Letter_Other || ch.category() == QChar::Letter_Modifier;
}

}  // namespace

CharBox Font::measure(char32_t codePoint) const {
    if (hasPlainAdvance(codePoint)) {
        const QChar ch(static_cast<char16_t>(codePoint));
        CharBox box{metrics_.horizontalAdvance(ch), metrics_.height()};
        // The glyph's box, from the baseline, as the engine measured it for the advance.
        // Its ink is drawn within it; two pixels more allow for rounding.
        const QRect glyph = metrics_.boundingRect(ch);
        if (!glyph.isEmpty()) box.ink = glyph.translated(0, metrics_.ascent()).adjusted(-2, -2, 2, 2);
        return box;
    }
    return CharBox{metrics_.horizontalAdvance(codePointText(codePoint)), metrics_.height()};
}

const QRawFont& Font::ownFace() const {
    // The raw font of a merging font is its own face alone; made once, on first use.
    if (!ownFace_) ownFace_ = QRawFont::fromFont(font_);
    return *ownFace_;
}

bool Font::hasGlyph(char32_t codePoint) const { return ownFace().supportsCharacter(static_cast<uint>(codePoint)); }

std::optional<quint32> Font::loneGlyph(char32_t codePoint) const {
    if (!hasPlainAdvance(codePoint)) return std::nullopt;
    const QRawFont& face = ownFace();
    if (!lonePlain_) {
        // Apple's shaping tables and tracking are applied in place of or beside the
        // OpenType ones; a face with any of them is shaped as usual.
        bool plain = face.isValid() && layoutLeavesLoneGlyphs(face.fontTable("GSUB"), face.fontTable("GPOS"));
        for (const char* table : {"morx", "mort", "kerx", "trak"}) plain = plain && face.fontTable(table).isEmpty();
        lonePlain_ = plain;
    }
    if (!*lonePlain_) return std::nullopt;
    const QChar ch(static_cast<char16_t>(codePoint));
    quint32 glyph = 0;
    int count = 1;
    if (!face.glyphIndexesForChars(&ch, 1, &glyph, &count) || count != 1 || glyph == 0) return std::nullopt;
    return glyph;
}

bool layoutLeavesLoneGlyphs(const QByteArray& gsub, const QByteArray& gpos) {
    // Features shaping turns on by default for horizontal text of either direction.
    static constexpr const char* kDefaultFeatures[] = {"rvrn", "ltra", "ltrm", "rtla", "rtlm", "rand", "abvm",
                                                       "blwm", "ccmp", "locl", "mark", "mkmk", "rlig", "calt",
                                                       "clig", "curs", "dist", "kern", "liga", "rclt"};
    const auto leaves = [](const QByteArray& table, bool positioning) {
        if (table.isEmpty()) return true;
        bool ok = true;
        const auto u16 = [&](qsizetype at) -> qsizetype {
            if (at < 0 || at + 2 > table.size()) {
                ok = false;
                return 0;
            }
            return (static_cast<quint8>(table[at]) << 8) | static_cast<quint8>(table[at + 1]);
        };
        // Lookup types that act on one glyph alone are refused; these need two.
        const auto needsTwo = [positioning](qsizetype type) {
            return positioning ? type >= 2 && type <= 6 : type == 4;
        };
        if (u16(0) != 1) return false;
        // Feature variations (table version 1.1) swap features by conditions.
        if (u16(2) >= 1 && table.size() >= 14 && (u16(10) != 0 || u16(12) != 0)) return false;
        const qsizetype features = u16(6), lookups = u16(8);
        const qsizetype featureCount = u16(features), lookupCount = u16(lookups);
        for (qsizetype f = 0; ok && f < featureCount; ++f) {
            const qsizetype record = features + 2 + 6 * f;
            if (record + 6 > table.size()) return false;
            const QByteArray tag = table.mid(record, 4);
            if (std::none_of(std::begin(kDefaultFeatures), std::end(kDefaultFeatures),
                             [&](const char* t) { return tag == t; }))
                continue;
            const qsizetype feature = features + u16(record + 4);
            const qsizetype indices = u16(feature + 2);
            for (qsizetype i = 0; ok && i < indices; ++i) {
                const qsizetype index = u16(feature + 4 + 2 * i);
                if (index >= lookupCount) return false;
                const qsizetype lookup = lookups + u16(lookups + 2 + 2 * index);
                qsizetype type = u16(lookup);
                // An extension lookup gives the real type in each subtable.
                if (type == (positioning ? 9 : 7)) {
                    const qsizetype subtables = u16(lookup + 4);
                    for (qsizetype k = 0; ok && k < subtables; ++k) {
                        if (!needsTwo(u16(lookup + u16(lookup + 6 + 2 * k) + 2))) return false;
                    }
                } else if (!needsTwo(type)) {
                    return false;
                }
            }
        }
        return ok;
    };
    return leaves(gsub, false) && leaves(gpos, true);
}

std::optional<std::int32_t> Font::ownInkReach() const {
    const QRawFont& face = ownFace();
    // The face's header: units per em at byte 18, then the box of all its glyphs,
    // yMin at byte 38 and yMax at byte 42, big-endian.
    const QByteArray head = face.fontTable("head");
    if (head.size() < 54 || face.pixelSize() <= 0) return std::nullopt;
    const auto at = [&](int offset) {
        return static_cast<std::int16_t>((static_cast<std::uint8_t>(head[offset]) << 8) |
                                         static_cast<std::uint8_t>(head[offset + 1]));
    };
    const int units = static_cast<std::uint16_t>(at(18));
    if (units <= 0) return std::nullopt;
    const double scale = face.pixelSize() / units;
    const double above = std::ceil(at(42) * scale) - metrics_.ascent();
    const double below = std::ceil(-at(38) * scale) - metrics_.descent();
    // The box is rounded out to whole pixels; hinting may move an edge up to a pixel
    // beyond it, and a face emboldened by the font engine grows by about a twenty-fourth
    // of its size.
    const double slack = 1 + (font_.weight() > QFont::Normal ? std::ceil(face.pixelSize() / 24) + 1 : 0);
    return static_cast<std::int32_t>(std::clamp(std::max({above, below, 0.0}) + slack, 0.0, 1e6));
}

QString Font::drawingFamily(char32_t codePoint) const {
    // Laying the character out is what picks the fallback face, so ask the layout
    // which face each run of glyphs came from; glyph 0 is the "missing" box. A script
    // that no installed face covers gets a run drawn by no face at all: Qt's stand-in
    // engine draws boxes and has neither a family nor a size.
    QTextLayout layout(codePointText(codePoint), font_);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QRawFont face = run.rawFont();
        if (!face.isValid() || face.pixelSize() <= 0) continue;
        const QList<quint32> glyphs = run.glyphIndexes();
        if (std::any_of(glyphs.begin(), glyphs.end(), [](quint32 g) { return g != 0; })) return face.familyName();
    }
    return {};
}

bool looksLikeFontPath(const QString& value) {
    static const QStringList suffixes{"ttf", "otf", "ttc", "otc", "pfa", "pfb", "pcf", "bdf", "woff", "woff2"};
    return value.contains(u'/') || QFileInfo::exists(value) ||
           suffixes.contains(QFileInfo(value).suffix(), Qt::CaseInsensitive);
}

namespace {

// Reads the OS/2 weight class and italic or oblique bits of face `faceIndex` of an
// sfnt file or collection; false when the bytes hold no such table.
bool readFaceStyle(const uchar* data, qint64 size, std::int32_t faceIndex, std::int32_t& weight, bool& italic) {
    const auto u16 = [&](qint64 at) -> std::optional<quint32> {
        if (at < 0 || at + 2 > size) return std::nullopt;
        return quint32{data[at]} << 8 | data[at + 1];
    };
    const auto u32 = [&](qint64 at) -> std::optional<quint32> {
        const auto hi = u16(at), lo = u16(at + 2);
        if (!hi || !lo) return std::nullopt;
        return *hi << 16 | *lo;
    };
    qint64 face = 0;
    if (size >= 4 && std::memcmp(data, "ttcf", 4) == 0) {
        const auto offset = u32(12 + 4 * qint64{faceIndex});
        if (!offset) return false;
        face = *offset;
    }
    const auto tables = u16(face + 4);
    if (!tables) return false;
    for (quint32 i = 0; i < *tables; ++i) {
        const qint64 record = face + 12 + 16 * qint64{i};
        if (record + 16 > size) return false;
        if (std::memcmp(data + record, "OS/2", 4) != 0) continue;
        const auto at = u32(record + 8);
        const auto weightClass = at ? u16(*at + 4) : std::nullopt;
        const auto selection = at ? u16(*at + 62) : std::nullopt;
        if (!weightClass || !selection || *weightClass < 1 || *weightClass > 1000) return false;
        weight = static_cast<std::int32_t>(*weightClass);
        italic = (*selection & 0x0201) != 0;  // italic, oblique
        return true;
    }
    return false;
}

// The font files alive now, newest last.
std::mutex g_loadedLock;
std::vector<const FontFile*> g_loaded;

}  // namespace

// The largest font file read: far above the largest CJK collections.
constexpr qint64 kMaxFontFileBytes = 1ll << 30;

FontFile::FontFile(const QString& path, std::int32_t faceIndex) {
    const std::string name = "the font file \"" + path.toStdString() + "\"";
    const QFileInfo info(path);
    if (!info.exists()) {
        throw Error(ErrorKind::Io, "Cannot use " + name + ": no such file; give -f an existing font file "
                                                          "or the name of an installed family");
    }
    if (info.isDir()) {
        throw Error(ErrorKind::Io, "Cannot use " + name + ": it is a folder; give -f one font file in it");
    }
    if (const char* kind = specialFileKind(path))
        throw Error(ErrorKind::Io, "Cannot use " + name + ": it is " + kind + ", not a font file; give -f a font file");
    // Read through a descriptor that is known to be a regular file, so that nothing put in
    // the file's place since is waited on, and the font database gets these very bytes.
    QFile file;
    const int fd = openRegularFile(path);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0) ::close(fd);
        throw Error(ErrorKind::Io, "Cannot use " + name + ": " +
                                       (fd < 0 && errno == EINVAL ? std::string("it is not a regular file")
                                                                  : std::string(std::strerror(errno))) +
                                       "; give -f a font file");
    }
    if (file.size() > kMaxFontFileBytes) {
        throw Error(ErrorKind::Io, "Cannot use " + name + ": it is " + std::to_string(file.size()) +
                                       " bytes, more than " + std::to_string(kMaxFontFileBytes) +
                                       " that a font file is read up to; give -f a font file");
    }
    const QByteArray data = file.readAll();
    id_ = QFontDatabase::addApplicationFontFromData(data);
    const QStringList families = id_ < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id_);
    if (families.isEmpty()) {
        if (id_ >= 0) QFontDatabase::removeApplicationFont(id_);
        throw Error(ErrorKind::Io, "Cannot use " + name +
                                       ": it is not a font that can be opened; give -f a TrueType or OpenType "
                                       "file or collection (.ttf, .otf, .ttc, .otc)");
    }
    // The families come one per face, in the file's order.
    faceCount_ = static_cast<std::int32_t>(families.size());
    if (faceIndex < 0 || faceIndex >= faceCount_) {
        QFontDatabase::removeApplicationFont(id_);
        throw Error(ErrorKind::Io, "Cannot use face " + std::to_string(faceIndex) + " of " + name + ": it has " +
                                       std::to_string(faceCount_) + (faceCount_ == 1 ? " face" : " faces") +
                                       "; give --face-index 0" +
                                       (faceCount_ > 1 ? " to " + std::to_string(faceCount_ - 1) : std::string()));
    }
    family_ = families[faceIndex];
    readFaceStyle(reinterpret_cast<const uchar*>(data.constData()), data.size(), faceIndex, weight_, italic_);
    data_ = data;
    const std::lock_guard lock(g_loadedLock);
    g_loaded.push_back(this);
}

FontFile::~FontFile() {
    if (id_ >= 0) QFontDatabase::removeApplicationFont(id_);
    const std::lock_guard lock(g_loadedLock);
    std::erase(g_loaded, this);
}

std::optional<LoadedFace> loadedFontFace(const QString& family) {
    const std::lock_guard lock(g_loadedLock);
    for (auto it = g_loaded.rbegin(); it != g_loaded.rend(); ++it) {
        const QStringList families = QFontDatabase::applicationFontFamilies((*it)->id_);
        const qsizetype face = families.indexOf(family);
        if (face >= 0) return LoadedFace{(*it)->data_, static_cast<std::int32_t>(face)};
    }
    return std::nullopt;
}

}  // namespace karuvo
