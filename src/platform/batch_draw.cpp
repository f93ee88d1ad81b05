#include "batch_draw.h"

#include "parallel.h"

#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>
#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <unordered_map>

namespace karuvo {
namespace {

constexpr std::size_t kCharsPerThread = 256;  // below this a second thread does not pay
constexpr int kMaxThreads = kMaxParallel;

// Characters whose lone layout may differ from drawText's, always drawn as text: line
// and paragraph breaks, tabs, objects, spaces (a line trims them), controls, format
// characters (a lone soft hyphen, for one, is laid out unlike drawText's) and surrogates.
bool drawnAsText(char32_t codePoint) {
    if (codePoint == 0xFFFC || codePoint > 0x10FFFF) return true;
    switch (QChar::category(codePoint)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph: return true;
    default: return false;
    }
}

// Whether characters are drawn often enough that shaping each one once pays. Laying a
// character out alone costs a little more than drawing it with drawText (which shapes
// it too), and each later drawing from its glyphs costs about half of drawText's; it
// pays from about one and a half drawings a character on.
bool worthShapingOnce(const std::vector<DrawPass>& passes) {
    std::size_t draws = 0, distinct = 0;
    std::vector<bool> seen(0x110000);
    for (const DrawPass& pass : passes) {
        for (const PlacedChar& c : *pass.chars) {
            ++draws;
            if (c.codePoint > 0x10FFFF) {
                ++distinct;
            } else if (!seen[c.codePoint]) {
                seen[c.codePoint] = true;
                ++distinct;
            }
        }
    }
    return draws > 0 && 2 * draws >= 3 * distinct;
}

// Draws characters with a font on one thread, in glyph runs where it can: the glyphs of
// consecutive characters from one face go in one run, in drawing order, so that
// overlapping glyphs blend in the same order. A character whose glyph is known without
// shaping (Font::loneGlyph) is drawn from it straight away. Any other is drawn with
// drawText, unless told to shape once: then each code point is laid out alone once,
// exactly as drawText lays it out, and drawn from the glyphs kept.
class CharPainter {
public:
    CharPainter(const Font& font, bool shapeOnce)
        : font_(font), glyphRuns_(plainDecoration(font)), shapeOnce_(shapeOnce && glyphRuns_) {}

    // Draws `chars` onto `image`, whose top row is row `top` of the whole picture.
    void draw(QImage& image, std::int32_t top, Colour colour, const std::vector<PlacedChar>& chars);

private:
    // The glyphs of one face within a character: glyphs_[begin, end).
    struct Piece {
        std::size_t face = 0;
        std::size_t begin = 0, end = 0;
    };
    // A character: pieces_[begin, end), in the order drawText draws them.
    struct Shape {
        bool asText = false;
        std::size_t begin = 0, end = 0;
    };

    // Underlines and the like are drawn once a call, as wide as the call's glyphs.
    static bool plainDecoration(const Font& font) {
        const QFont& f = font.qfont();
        return !f.underline() && !f.strikeOut() && !f.overline();
    }

    const Shape& shape(char32_t codePoint, const QPainter& painter);
    std::size_t faceIndex(const QRawFont& face);
    void addGlyph(QPainter& painter, std::size_t face, quint32 glyph, QPointF at);
    void addGlyphs(QPainter& painter, const Piece& piece, QPointF pen);
    void flush(QPainter& painter);

    const Font& font_;
    const bool glyphRuns_;  // whether glyphs may be drawn in runs at all
    const bool shapeOnce_;
    std::optional<std::size_t> ownFace_;  // the face index of font_.ownFace()
    std::optional<QTextLayout> layout_;
    Qt::LayoutDirection direction_ = Qt::LeftToRight;
    std::unordered_map<char32_t, Shape> shapes_;
    std::vector<Piece> pieces_;
    std::vector<quint32> glyphs_;
    std::vector<QPointF> positions_;  // from the pen point on the baseline
    std::vector<QRawFont> faces_;
    std::vector<bool> joins_;  // per face: whether several characters' glyphs may share a run
    // The run being gathered.
    std::size_t runFace_ = 0;
    std::vector<quint32> runGlyphs_;
    std::vector<QPointF> runPositions_;
};

void CharPainter::draw(QImage& image, std::int32_t top, Colour colour, const std::vector<PlacedChar>& chars) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setPen(QColor(toQRgb(colour & 0xFFFFFF)));
    painter.setFont(font_.qfont());
    const int ascent = font_.metrics().ascent();
    for (const PlacedChar& c : chars) {
        const QPoint pen(c.x, c.y - top + ascent);
        if (glyphRuns_) {
            if (const std::optional<quint32> glyph = font_.loneGlyph(c.codePoint)) {
                if (!ownFace_) ownFace_ = faceIndex(font_.ownFace());
                addGlyph(painter, *ownFace_, *glyph, pen);
                continue;
            }
        }
        const Shape* s = shapeOnce_ ? &shape(c.codePoint, painter) : nullptr;
        if (!s || s->asText) {
            flush(painter);
            painter.drawText(pen, codePointText(c.codePoint));
            continue;
        }
        for (std::size_t p = s->begin; p < s->end; ++p) addGlyphs(painter, pieces_[p], pen);
    }
    flush(painter);
}

const CharPainter::Shape& CharPainter::shape(char32_t codePoint, const QPainter& painter) {
    if (painter.layoutDirection() != direction_) {
        shapes_.clear();
        direction_ = painter.layoutDirection();
        layout_.reset();
    }
    const auto [it, fresh] = shapes_.try_emplace(codePoint);
    Shape& s = it->second;
    if (!fresh) return s;
    if (drawnAsText(codePoint)) {
        s.asText = true;
        return s;
    }
    if (!layout_) {
        // The painter's font is the one drawText shapes with (resolved for the device).
        layout_.emplace(QString(), painter.font());
        layout_->setCacheEnabled(true);  // else glyphRuns() shapes the text again
        // drawText sets the text direction from the painter and puts the first glyph at
        // the pen point whatever the direction.
        QTextOption option;
        option.setTextDirection(direction_);
        option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
        layout_->setTextOption(option);
    }
    layout_->setText(codePointText(codePoint));
    layout_->beginLayout();
    const QTextLine line = layout_->createLine();
    layout_->endLayout();
    if (!line.isValid()) {
        s.asText = true;
        return s;
    }
    // drawText puts the baseline at the pen point; the layout puts it at its line's
    // ascent, which is that of the tallest face used (a fallback face's may differ).
    const QPointF baseline(line.x(), line.y() + line.ascent());
    s.begin = pieces_.size();
    for (const QGlyphRun& run : line.glyphRuns()) {
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        const qsizetype n = std::min(glyphs.size(), positions.size());
        if (n == 0) continue;
        pieces_.push_back({faceIndex(run.rawFont()), glyphs_.size(), glyphs_.size() + static_cast<std::size_t>(n)});
        for (qsizetype i = 0; i < n; ++i) {
            glyphs_.push_back(glyphs[i]);
            positions_.push_back(positions[i] - baseline);
        }
    }
    s.end = pieces_.size();
    return s;
}

std::size_t CharPainter::faceIndex(const QRawFont& face) {
    for (std::size_t i = 0; i < faces_.size(); ++i) {
        if (faces_[i] == face) return i;
    }
    // The raster engine draws glyphs up to this size from its glyph cache, one by one in
    // order; larger ones it fills as one outline a call, in which overlapping glyphs
    // would merge instead of blending one over the other.
    static const qreal cachedUpTo = [] {
        const int env = qEnvironmentVariableIntValue("QT_MAX_CACHED_GLYPH_SIZE");
        return qreal(env != 0 ? env : 64);
    }();
    faces_.push_back(face);
    joins_.push_back(face.pixelSize() * face.pixelSize() <= cachedUpTo * cachedUpTo);
    return faces_.size() - 1;
}

void CharPainter::addGlyph(QPainter& painter, std::size_t face, quint32 glyph, QPointF at) {
    if (face != runFace_ || !joins_[face]) {
        flush(painter);
        runFace_ = face;
    }
    runGlyphs_.push_back(glyph);
    runPositions_.push_back(at);
}

void CharPainter::addGlyphs(QPainter& painter, const Piece& piece, QPointF pen) {
    // A character's glyphs go in one run even where runs of its face are not joined.
    if (piece.face != runFace_ || !joins_[piece.face]) {
        flush(painter);
        runFace_ = piece.face;
    }
    for (std::size_t g = piece.begin; g < piece.end; ++g) {
        runGlyphs_.push_back(glyphs_[g]);
        runPositions_.push_back(positions_[g] + pen);
    }
}

void CharPainter::flush(QPainter& painter) {
    if (runGlyphs_.empty()) return;
    QGlyphRun run;
    run.setRawFont(faces_[runFace_]);
    run.setRawData(runGlyphs_.data(), runPositions_.data(), static_cast<int>(runGlyphs_.size()));
    painter.drawGlyphRun(QPointF(), run);
    runGlyphs_.clear();
    runPositions_.clear();
}

// Copies of `font` for threads 1 .. n - 1 (thread 0 uses `font` itself), made before
// any thread starts: a font object is used by one thread only.
std::vector<std::unique_ptr<Font>> fontsForThreads(const Font& font, int n) {
    std::vector<std::unique_ptr<Font>> fonts(static_cast<std::size_t>(n));
    for (int i = 1; i < n; ++i) fonts[static_cast<std::size_t>(i)] = font.copy();
    return fonts;
}

}  // namespace

int batchThreads(std::size_t count, int requested) {
    if (requested > 0) return std::min(requested, kMaxThreads);
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int worth = static_cast<int>(std::min<std::size_t>(count / kCharsPerThread, kMaxThreads));
    return std::max(1, std::min(cores, worth));
}

std::vector<CharBox> measureChars(const Font& font, const std::vector<char32_t>& codePoints, int threads) {
    std::vector<CharBox> boxes(codePoints.size());
    threads = std::clamp(threads, 1, kMaxThreads);
    if (threads == 1 || codePoints.size() < 2) {
        for (std::size_t i = 0; i < codePoints.size(); ++i) boxes[i] = font.measure(codePoints[i]);
        return boxes;
    }
    const std::size_t share = (codePoints.size() + threads - 1) / threads;
    const std::vector<std::unique_ptr<Font>> fonts = fontsForThreads(font, threads);
    runParallel(threads, [&](int t) {
        const std::size_t begin = std::min(codePoints.size(), share * static_cast<std::size_t>(t));
        const std::size_t end = std::min(codePoints.size(), begin + share);
        const Font& f = t == 0 ? font : *fonts[static_cast<std::size_t>(t)];
        for (std::size_t i = begin; i < end; ++i) boxes[i] = f.measure(codePoints[i]);
    });
    return boxes;
}

void drawPasses(const Font& font, const std::vector<DrawPass>& passes, int threads) {
    if (passes.empty() || passes.front().target->isEmpty()) return;
    const std::int32_t height = passes.front().target->height();
    threads = std::clamp(threads, 1, std::min(kMaxThreads, static_cast<int>(height)));
    const bool shapeOnce = worthShapingOnce(passes);
    if (threads == 1) {
        CharPainter painter(font, shapeOnce);
        for (const DrawPass& pass : passes) painter.draw(pass.target->qimage(), 0, pass.colour, *pass.chars);
        return;
    }
    const std::int64_t lineHeight = font.metrics().height();
    // Taken before any thread starts: bits() may detach, which must not race.
    std::vector<uchar*> bits;
    for (const DrawPass& pass : passes) bits.push_back(pass.target->qimage().bits());
    const std::vector<std::unique_ptr<Font>> fonts = fontsForThreads(font, threads);
    // Pictures drawn one after another are often bands of one sheet, in order up or
    // down. Each call turns the bands round by one thread, so that with two threads the
    // one that drew the band at a picture's edge draws the band beside it in the next:
    // the characters that reach across are found in its own glyph cache.
    static std::atomic<unsigned> turn{0};
    const unsigned rotation = turn.fetch_add(1, std::memory_order_relaxed);
    runParallel(threads, [&](int t) {
        const int part = static_cast<int>((static_cast<unsigned>(t) + rotation) % static_cast<unsigned>(threads));
        const std::int32_t top = static_cast<std::int32_t>(std::int64_t{height} * part / threads);
        const std::int32_t bottom = static_cast<std::int32_t>(std::int64_t{height} * (part + 1) / threads);
        const Font& own = t == 0 ? font : *fonts[static_cast<std::size_t>(t)];
        CharPainter painter(own, shapeOnce);
        std::vector<PlacedChar> mine;
        for (std::size_t i = 0; i < passes.size(); ++i) {
            const QImage& whole = passes[i].target->qimage();
            mine.clear();
            for (const PlacedChar& c : *passes[i].chars) {
                if (inkMayReach(c, lineHeight, top, bottom)) mine.push_back(c);
            }
            QImage band(bits[i] + whole.bytesPerLine() * top, whole.width(), bottom - top, whole.bytesPerLine(),
                        whole.format());
            painter.draw(band, top, passes[i].colour, mine);
        }
    });
}

}  // namespace karuvo
