// Passes drawn from glyphs shaped once must give exactly the pixels of drawing each
// character alone with QPainter::drawText, pass after pass.
#include <QPainter>
#include <gtest/gtest.h>

#include "platform/batch_draw.h"
#include "support/fixtures.h"

using namespace karuvo;

namespace {

// Han and kana (drawn from glyphs known without shaping), Latin with a descender and an accent, Arabic (another face draws it, at another
// ascent; alone it takes its isolated form), Armenian (also another face), e and a
// combining acute as two characters, a private-use and a Hangul character that no
// installed face has (the missing-glyph box), a parenthesis (mirrored in a right-to-left
// line), a space with ink (the Ogham space mark), a soft hyphen (which a text layout
// lays out unlike drawText), and repeats.
const char32_t kHardText[] = {U'漢', U'g', U'Ä', U'ب', U'e', U'\u0301', U'\U0010FFFD', U'字', U'한', U'(', U'Ա',
                              U'字', U'ب', U'\u1680', U'g', U'\u00AD', U'漢', U'ö', U'\u0301', U'ب', U'か', U'Ա',
                              U'ー', U'y', U'ｶ', U'字', U'ゞ'};

// The hard text, repeated, in lines of 15 on a pitch smaller than the glyphs so that
// they overlap, moved by (dx, dy).
std::vector<PlacedChar> placed(int pitch, int lines, int dx, int dy) {
    std::vector<PlacedChar> chars;
    for (int i = 0; i < 15 * lines; ++i) chars.push_back({i % 15 * pitch + dx, i / 15 * pitch + dy, kHardText[i % std::size(kHardText)]});
    return chars;
}

TEST(BatchDrawing, GivesThePixelsOfDrawingEachCharacterAloneWithDrawText) {
    const struct { const char* what; int px, pitch, lines, threads; std::uint8_t quality; std::size_t passCount = 5; } cases[] = {
        {"small cells, one thread", 28, 11, 7, 1, 0},
        {"small cells, two threads", 28, 11, 7, 2, 0},
        // Drawn once, the characters whose glyph is not known alone are drawn as text.
        {"one pass, two threads", 28, 11, 7, 2, 0, 1},
        {"glyphs without anti-aliasing, two threads", 28, 13, 6, 2, kNonAntialiasedQuality},
        // Beyond the raster engine's glyph cache glyphs are filled as outlines.
        {"large glyphs, one thread", 90, 37, 3, 1, 0},
    };
    // Each pass: its picture, colour and offset.
    const struct { int target; Colour colour; int dx, dy; } passes[] = {
        {0, 0xE02010, 0, 0}, {0, 0x10C040, 3, -2}, {1, kWhite, -5, 4}, {0, kBlack, 1, 1}, {1, 0x3060C0, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FontDescription d = fakes::faceDescription(QStringLiteral("IPAGothic"), c.px);
        d.quality = c.quality;
        const auto font = Font::create(d);
        ASSERT_TRUE(font);
        const int width = 15 * c.pitch + c.px, height = c.lines * c.pitch + c.px;
        std::vector<std::vector<PlacedChar>> lists;
        Image pictures[2] = {Image(width, height), Image(width, height)};
        const auto black = [&] { QImage e(width, height, QImage::Format_RGB32); e.fill(Qt::black); return e; };
        QImage expected[2] = {black(), black()};
        std::vector<DrawPass> batch;
        for (std::size_t i = 0; i < c.passCount; ++i) lists.push_back(placed(c.pitch, c.lines, passes[i].dx, passes[i].dy));
        for (std::size_t i = 0; i < c.passCount; ++i) batch.push_back({&pictures[passes[i].target], passes[i].colour, &lists[i]});
        drawPasses(*font, batch, c.threads);

        const int ascent = QFontMetrics(font->qfont()).ascent();
        for (std::size_t i = 0; i < c.passCount; ++i) {
            QPainter painter(&expected[passes[i].target]);
            painter.setRenderHint(QPainter::TextAntialiasing, true);
            painter.setPen(QColor(toQRgb(passes[i].colour)));
            painter.setFont(font->qfont());
            for (const PlacedChar& ch : lists[i]) painter.drawText(QPoint(ch.x, ch.y + ascent), QString::fromUcs4(&ch.codePoint, 1));
        }
        EXPECT_TRUE(pictures[0].qimage() == expected[0]);
        EXPECT_TRUE(pictures[1].qimage() == expected[1]);
    }
}

}  // namespace
