// Kerning pairs from HarfBuzz shaping the face that draws the sheet.
#include <hb-aat.h>
#include <hb-ot.h>
#include <hb.h>

#include <QByteArray>
#include <QRawFont>
#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/font.h"
#include "platform/parallel.h"

namespace karuvo {
namespace {

template <typename T, void (*destroy)(T*)>
struct HbDestroy {
    void operator()(T* p) const { destroy(p); }
};
using HbFace = std::unique_ptr<hb_face_t, HbDestroy<hb_face_t, hb_face_destroy>>;
using HbFont = std::unique_ptr<hb_font_t, HbDestroy<hb_font_t, hb_font_destroy>>;
using HbBuffer = std::unique_ptr<hb_buffer_t, HbDestroy<hb_buffer_t, hb_buffer_destroy>>;
using HbSet = std::unique_ptr<hb_set_t, HbDestroy<hb_set_t, hb_set_destroy>>;
using HbPlan = std::unique_ptr<hb_shape_plan_t, HbDestroy<hb_shape_plan_t, hb_shape_plan_destroy>>;

// The tables of the face that Qt's font engine draws with, handed to HarfBuzz one at a
// time as it asks for them; it may ask from the shaping threads, and the engine's
// table reads are not made for that.
struct FaceTables {
    QRawFont face;
    std::mutex mutex;
};

hb_blob_t* referenceTable(hb_face_t*, hb_tag_t tag, void* userData) {
    if (tag == 0) return hb_blob_get_empty();  // the whole file, which shaping does not need
    auto* tables = static_cast<FaceTables*>(userData);
    const char name[5] = {char(tag >> 24), char(tag >> 16), char(tag >> 8), char(tag), 0};
    auto* bytes = new QByteArray;
    {
        std::lock_guard<std::mutex> lock(tables->mutex);
        *bytes = tables->face.fontTable(name);
    }
    return hb_blob_create(bytes->constData(), static_cast<unsigned>(bytes->size()), HB_MEMORY_MODE_READONLY, bytes,
                          [](void* b) { delete static_cast<QByteArray*>(b); });
}

std::uint16_t u16(const QByteArray& t, qsizetype at) {
    return at >= 0 && at + 2 <= t.size() ? static_cast<std::uint16_t>(static_cast<quint8>(t[at]) << 8 | static_cast<quint8>(t[at + 1]))
                                         : 0;
}

// Glyphs that shaping may move against a neighbour: as the first of a pair, and as
// the second. Null sets when any glyph may be.
struct Movable {
    HbSet firsts, seconds;
};

// Adds the glyphs of the pairs in an OpenType kern table (format 0 subtables); false for
// a table it does not read through (other formats, Apple's version).
bool addKernTableGlyphs(const QByteArray& kern, Movable& into) {
    if (kern.isEmpty()) return true;
    if (u16(kern, 0) != 0) return false;
    qsizetype at = 4;
    for (int i = 0, n = u16(kern, 2); i < n; ++i) {
        // The length from the pair count: a subtable of many pairs overflows its own
        // 16-bit length field.
        const qsizetype pairs = u16(kern, at + 6), length = 14 + 6 * pairs;
        if ((u16(kern, at + 4) >> 8) != 0 || at + length > kern.size()) return false;
        for (qsizetype p = 0; p < pairs; ++p) {
            hb_set_add(into.firsts.get(), u16(kern, at + 14 + 6 * p));
            hb_set_add(into.seconds.get(), u16(kern, at + 16 + 6 * p));
        }
        at += length;
    }
    return true;
}

// Adds the first glyphs of GPOS lookup `index` if it is pair positioning (directly or
// through extension subtables): the coverage of each subtable. False for a lookup of
// another kind, or one it does not read through.
bool addPairFirsts(const QByteArray& gpos, unsigned index, hb_set_t* firsts) {
    const auto fits = [&](qsizetype at, qsizetype bytes) { return at >= 0 && at + bytes <= gpos.size(); };
    const qsizetype list = u16(gpos, 8);
    if (!fits(list, 2) || index >= u16(gpos, list) || !fits(list + 2 + 2 * qsizetype(index), 2)) return false;
    const qsizetype lookup = list + u16(gpos, list + 2 + 2 * qsizetype(index));
    const int type = u16(gpos, lookup), count = u16(gpos, lookup + 4);
    if (!fits(lookup + 6, 2 * qsizetype(count))) return false;
    for (int k = 0; k < count; ++k) {
        qsizetype sub = lookup + u16(gpos, lookup + 6 + 2 * k);
        if (type == 9 && fits(sub, 8) && u16(gpos, sub + 2) == 2)
            sub += qsizetype(u16(gpos, sub + 4)) << 16 | u16(gpos, sub + 6);
        else if (type != 2)
            return false;
        const qsizetype coverage = sub + u16(gpos, sub + 2);
        const int format = u16(gpos, coverage), entries = u16(gpos, coverage + 2);
        if (!fits(sub, 4) || !fits(coverage + 4, (format == 1 ? 2 : 6) * qsizetype(entries))) return false;
        for (int e = 0; e < entries; ++e) {
            if (format == 1) {
                hb_set_add(firsts, u16(gpos, coverage + 4 + 2 * e));
            } else if (format == 2) {
                const hb_codepoint_t start = u16(gpos, coverage + 4 + 6 * e), end = u16(gpos, coverage + 6 + 6 * e);
                if (start <= end) hb_set_add_range(firsts, start, end);
            } else {
                return false;
            }
        }
    }
    return true;
}

// The glyphs the face's positioning lookups of pair kerning, distances and cursive
// joins take, and those of its kern table. Pair positioning names its first glyphs
// apart; of any other lookup every glyph it takes (before, in and after its input)
// may come first.
Movable movableGlyphs(hb_face_t* face, const QRawFont& raw) {
    Movable m{HbSet(hb_set_create()), HbSet(hb_set_create())};
    if (hb_aat_layout_has_positioning(face) || !addKernTableGlyphs(raw.fontTable("kern"), m)) return {};
    static constexpr hb_tag_t kMoving[] = {HB_TAG('k', 'e', 'r', 'n'), HB_TAG('d', 'i', 's', 't'),
                                           HB_TAG('c', 'u', 'r', 's'), HB_TAG_NONE};
    HbSet lookups(hb_set_create());
    hb_ot_layout_collect_lookups(face, HB_OT_TAG_GPOS, nullptr, nullptr, kMoving, lookups.get());
    const QByteArray gpos = lookups && !hb_set_is_empty(lookups.get()) ? raw.fontTable("GPOS") : QByteArray();
    for (hb_codepoint_t l = HB_SET_VALUE_INVALID; hb_set_next(lookups.get(), &l);) {
        HbSet glyphs(hb_set_create());
        hb_ot_layout_lookup_collect_glyphs(face, HB_OT_TAG_GPOS, l, glyphs.get(), glyphs.get(), glyphs.get(), nullptr);
        hb_set_union(m.seconds.get(), glyphs.get());
        if (!addPairFirsts(gpos, l, m.firsts.get())) hb_set_union(m.firsts.get(), glyphs.get());
    }
    return m;
}

// Shapes runs of characters as a sheet's descriptor asks: default horizontal shaping,
// the ligature features off, no language (so the locale plays no part).
class Shaper {
public:
    explicit Shaper(hb_font_t* font) : font_(font), buffer_(hb_buffer_create()) {}

    // The glyphs of `chars` shaped together, their advances in 26.6 pixels.
    struct Run {
        unsigned count = 0;
        const hb_glyph_info_t* info = nullptr;
        const hb_glyph_position_t* pos = nullptr;
        hb_position_t advance() const {
            hb_position_t sum = 0;
            for (unsigned i = 0; i < count; ++i) sum += pos[i].x_advance;
            return sum;
        }
    };
    Run shape(const char32_t* chars, int n) {
        hb_buffer_t* b = buffer_.get();
        hb_buffer_clear_contents(b);
        hb_buffer_add_utf32(b, reinterpret_cast<const uint32_t*>(chars), n, 0, n);
        hb_buffer_guess_segment_properties(b);
        hb_segment_properties_t props;
        hb_buffer_get_segment_properties(b, &props);
        props.language = HB_LANGUAGE_INVALID;
        hb_buffer_set_segment_properties(b, &props);
        hb_shape_plan_execute(plan(props), font_, b, kFeatures, kFeatureCount);
        Run run;
        run.info = hb_buffer_get_glyph_infos(b, &run.count);
        run.pos = hb_buffer_get_glyph_positions(b, nullptr);
        return run;
    }

private:
    static constexpr unsigned kFeatureCount = 5;
    static constexpr hb_feature_t kFeatures[kFeatureCount] = {
        {HB_TAG('l', 'i', 'g', 'a'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END},
        {HB_TAG('c', 'l', 'i', 'g'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END},
        {HB_TAG('d', 'l', 'i', 'g'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END},
        {HB_TAG('c', 'a', 'l', 't'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END},
        {HB_TAG('r', 'l', 'i', 'g'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END}};

    // One plan per script and direction met, kept here rather than looked up per run.
    hb_shape_plan_t* plan(const hb_segment_properties_t& props) {
        for (const auto& [p, plan] : plans_)
            if (hb_segment_properties_equal(&p, &props)) return plan.get();
        plans_.emplace_back(props, HbPlan(hb_shape_plan_create_cached(hb_font_get_face(font_), &props, kFeatures,
                                                                      kFeatureCount, nullptr)));
        return plans_.back().second.get();
    }

    hb_font_t* font_;
    HbBuffer buffer_;
    std::vector<std::pair<hb_segment_properties_t, HbPlan>> plans_;
};

// A character the scan tries: its glyph and its advance shaped alone.
struct Lone {
    char32_t c;
    hb_codepoint_t glyph;
    hb_position_t advance;
};

}  // namespace

std::vector<KerningPair> Font::kerningPairs(std::span<const char32_t> chars) const {
    const QRawFont& raw = ownFace();
    if (!raw.isValid() || raw.pixelSize() <= 0) return {};
    auto* tables = new FaceTables{raw, {}};
    const HbFace face(hb_face_create_for_tables(referenceTable, tables, [](void* t) { delete static_cast<FaceTables*>(t); }));
    const Movable movable = movableGlyphs(face.get(), raw);
    if (movable.firsts && hb_set_is_empty(movable.firsts.get())) return {};

    // At the size the glyphs are drawn (26.6 fixed point), its ppem set so that the
    // size-specific corrections of device tables apply, as Qt's own layout does; a
    // stretched font is widened as its glyphs are.
    const double ppem = raw.pixelSize();
    const double xppem = ppem * (font_.stretch() > 0 ? font_.stretch() : 100) / 100.0;
    const HbFont font(hb_font_create(face.get()));
    hb_font_set_scale(font.get(), static_cast<int>(std::lround(xppem * 64)), static_cast<int>(std::lround(ppem * 64)));
    hb_font_set_ppem(font.get(), static_cast<unsigned>(std::lround(xppem)), static_cast<unsigned>(std::lround(ppem)));
    hb_font_make_immutable(font.get());

    std::vector<Lone> firsts, seconds;
    Shaper shaper(font.get());
    for (char32_t c : chars) {
        hb_codepoint_t glyph = 0;
        // Drawn by another face, or by none.
        if (!hb_font_get_nominal_glyph(font.get(), c, &glyph) || glyph == 0) continue;
        const bool first = !movable.firsts || hb_set_has(movable.firsts.get(), glyph);
        const bool second = !movable.seconds || hb_set_has(movable.seconds.get(), glyph);
        if (!first && !second) continue;
        const Shaper::Run run = shaper.shape(&c, 1);
        if (run.count != 1) continue;
        const Lone lone{c, run.info[0].codepoint, run.advance()};
        if (first) firsts.push_back(lone);
        if (second) seconds.push_back(lone);
    }

    // Pairs by first character, shared out in turn among the threads.
    const std::int64_t tries = std::int64_t(firsts.size()) * std::int64_t(seconds.size());
    const auto cores = static_cast<std::int64_t>(std::max(1u, std::thread::hardware_concurrency()));
    const int pieces = static_cast<int>(std::clamp<std::int64_t>(tries / 20000, 1, std::min<std::int64_t>(cores, kMaxParallel)));
    std::vector<std::vector<KerningPair>> found(static_cast<std::size_t>(pieces));
    runParallel(pieces, [&](int piece) {
        Shaper own(font.get());
        std::vector<KerningPair>& out = found[static_cast<std::size_t>(piece)];
        for (std::size_t i = static_cast<std::size_t>(piece); i < firsts.size(); i += static_cast<std::size_t>(pieces)) {
            const Lone& first = firsts[i];
            for (const Lone& second : seconds) {
                const char32_t two[2] = {first.c, second.c};
                const Shaper::Run run = own.shape(two, 2);
                // The pair as the sheet holds it: the two lone glyphs, each for its own
                // character (in either order: right-to-left runs come reversed).
                if (run.count != 2) continue;
                const auto glyphOf = [&](unsigned cluster) {
                    return run.info[0].cluster == cluster ? run.info[0].codepoint : run.info[1].codepoint;
                };
                if (glyphOf(0) != first.glyph || glyphOf(1) != second.glyph || run.info[0].cluster == run.info[1].cluster)
                    continue;
                const hb_position_t change = run.advance() - first.advance - second.advance;
                // To whole pixels, halves up, as Qt rounds a hinted layout's advances.
                const auto amount = static_cast<std::int32_t>(std::floor((change + 32) / 64.0));
                if (amount != 0) out.push_back({first.c, second.c, amount});
            }
        }
    });
    std::vector<KerningPair> pairs;
    for (const auto& f : found) pairs.insert(pairs.end(), f.begin(), f.end());
    std::sort(pairs.begin(), pairs.end(), [](const KerningPair& a, const KerningPair& b) {
        return a.first != b.first ? a.first < b.first : a.second < b.second;
    });
    return pairs;
}

}  // namespace karuvo
