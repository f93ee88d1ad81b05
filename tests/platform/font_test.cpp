#include <QFontMetrics>
#include <gtest/gtest.h>

#include "platform/font.h"
#include "support/fixtures.h"

using namespace karuvo;

TEST(Font, MeasuresSurrogatePairsWholeAndRefusesImpossibleSizes) {
    auto f = Font::createDefaultSheetFont();
    const char32_t ext = U'\U00020B9F';  // a CJK Extension B ideograph
    ASSERT_EQ(codePointText(ext).size(), 2);
    EXPECT_EQ(f->measure(ext).width, QFontMetrics(f->qfont()).horizontalAdvance(codePointText(ext)));
    EXPECT_FALSE(Font::create([] { FontDescription d; d.height = -100000; return d; }()));
}

namespace {

// An OpenType substitution or positioning table with one lookup for each feature: its
// type, or for 100 + t an extension lookup whose subtable is of type t. With
// `variations`, a version 1.1 table that has feature variations.
QByteArray layoutTable(bool positioning, const std::vector<std::pair<const char*, int>>& features,
                       bool variations = false) {
    QByteArray t;
    const auto u16 = [&](int v) { t.append(static_cast<char>(v >> 8)).append(static_cast<char>(v & 0xFF)); };
    const int n = static_cast<int>(features.size()), header = variations ? 14 : 10;
    const int featureList = header + 2, lookupList = featureList + 2 + 12 * n;  // after an empty script list
    u16(1), u16(variations ? 1 : 0), u16(header), u16(featureList), u16(lookupList);
    if (variations) u16(0), u16(lookupList + 2 + 14 * n);  // some bytes past the lookups
    u16(0), u16(n);  // no scripts; the features
    for (int i = 0; i < n; ++i) t.append(features[i].first, 4), u16(2 + 6 * n + 6 * i);
    for (int i = 0; i < n; ++i) u16(0), u16(1), u16(i);
    u16(n);
    for (int i = 0; i < n; ++i) u16(2 + 2 * n + 12 * i);
    for (const auto& [tag, type] : features) {
        u16(type < 100 ? type : positioning ? 9 : 7), u16(0), u16(1), u16(8);  // the subtable right after
        u16(1), u16(type > 100 ? type - 100 : 0);                               // its format, and an extension's type
    }
    if (variations) u16(0), u16(0);
    return t;
}

}  // namespace

TEST(Font, KnowsALoneGlyphOnlyWhereNoDefaultLookupCanChangeIt) {
    const struct { const char* what; QByteArray gsub, gpos; bool leaves; } cases[] = {
        {"no tables", {}, {}, true},
        {"ligatures and vertical forms", layoutTable(false, {{"ccmp", 4}, {"vert", 1}, {"vrt2", 1}}), {}, true},
        {"kerning and marks", {}, layoutTable(true, {{"kern", 2}, {"mark", 4}, {"mkmk", 6}, {"curs", 3}}), true},
        {"an extension of ligatures", layoutTable(false, {{"liga", 104}}), {}, true},
        {"local forms", layoutTable(false, {{"ccmp", 4}, {"locl", 1}}), {}, false},
        {"a decomposition", layoutTable(false, {{"ccmp", 2}}), {}, false},
        {"contextual alternates", layoutTable(false, {{"calt", 6}}), {}, false},
        {"an extension of single substitutions", layoutTable(false, {{"rlig", 101}}), {}, false},
        {"a single adjustment under kern", {}, layoutTable(true, {{"kern", 1}}), false},
        {"contextual positioning", {}, layoutTable(true, {{"dist", 8}}), false},
        {"an extension of single adjustments", {}, layoutTable(true, {{"kern", 109}, {"kern", 101}}), false},
        {"feature variations", layoutTable(false, {{"ccmp", 4}}, true), {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(layoutLeavesLoneGlyphs(c.gsub, c.gpos), c.leaves);
        // Cut short anywhere, a table is never taken to be one that leaves glyphs alone
        // unless the whole of it is.
        const QByteArray& table = c.gsub.isEmpty() ? c.gpos : c.gsub;
        for (qsizetype cut = 1; cut < table.size(); ++cut) {
            const QByteArray part = table.left(cut);
            const bool leaves = c.gsub.isEmpty() ? layoutLeavesLoneGlyphs({}, part) : layoutLeavesLoneGlyphs(part, c.gpos);
            EXPECT_TRUE(!leaves || c.leaves) << "cut at " << cut;
        }
    }
}
