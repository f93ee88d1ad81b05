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

// Adds the glyphs of the pairs in an OpenType kern table (format 0 subtables) to `glyphs`;
// false for a table it does not read through (other formats, Apple's version), whose
// pairs may then hold any glyph.
bool addKernTableGlyphs(const QByteArray& kern, hb_set_t* glyphs) {
    if (kern.isEmpty()) return true;
    if (u16(kern, 0) != 0) return false;
    qsizetype at = 4;
    for (int i = 0, n = u16(kern, 2); i < n; ++i) {
        // The length from the pair count: a subtable of many pairs overflows its own
        // 16-bit length field.
        const qsizetype pairs = u16(kern, at + 6), length = 14 + 6 * pairs;
        if ((u16(kern, at + 4) >> 8) != 0 || at + length > kern.size()) return false;
        for (qsizetype p = 0; p < pairs; ++p) {
            hb_set_add(glyphs, u16(kern, at + 14 + 6 * p));
            hb_set_add(glyphs, u16(kern, at + 16 + 6 * p));
        }
        at += length;
    }
    return true;
}

// The glyphs that shaping may move against a neighbour: those the face's positioning
// lookups of pair kerning, distances and cursive joins take (before, in and after
// their input), and those of the kern table. Null when any glyph may be moved.
HbSet movableGlyphs(hb_face_t* face, const QRawFont& raw) {
    if (hb_aat_layout_has_positioning(face)) return nullptr;
    HbSet glyphs(hb_set_create());
    if (!addKernTableGlyphs(raw.fontTable("kern"), glyphs.get())) return nullptr;
    static constexpr hb_tag_t kMoving[] = {HB_TAG('k', 'e', 'r', 'n'), HB_TAG('d', 'i', 's', 't'),
                                           HB_TAG('c', 'u', 'r', 's'), HB_TAG_NONE};
    HbSet lookups(hb_set_create());
    hb_ot_layout_collect_lookups(face, HB_OT_TAG_GPOS, nullptr, nullptr, kMoving, lookups.get());
    for (hb_codepoint_t l = HB_SET_VALUE_INVALID; hb_set_next(lookups.get(), &l);)
        hb_ot_layout_lookup_collect_glyphs(face, HB_OT_TAG_GPOS, l, glyphs.get(), glyphs.get(), glyphs.get(), nullptr);
    return glyphs;
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
    const HbSet movable = movableGlyphs(face.get(), raw);
    if (movable && hb_set_is_empty(movable.get())) return {};

    // At the size the glyphs are drawn (26.6 fixed point), its ppem set so that the
    // size-specific corrections of device tables apply, as Qt's own layout does; a
    // stretched font is widened as its glyphs are.
    const double ppem = raw.pixelSize();
    const double xppem = ppem * (font_.stretch() > 0 ? font_.stretch() : 100) / 100.0;
    const HbFont font(hb_font_create(face.get()));
    hb_font_set_scale(font.get(), static_cast<int>(std::lround(xppem * 64)), static_cast<int>(std::lround(ppem * 64)));
    hb_font_set_ppem(font.get(), static_cast<unsigned>(std::lround(xppem)), static_cast<unsigned>(std::lround(ppem)));
    hb_font_make_immutable(font.get());

    std::vector<Lone> kept;
    Shaper shaper(font.get());
    for (char32_t c : chars) {
        hb_codepoint_t glyph = 0;
        // Drawn by another face, or by none.
        if (!hb_font_get_nominal_glyph(font.get(), c, &glyph) || glyph == 0) continue;
        if (movable && !hb_set_has(movable.get(), glyph)) continue;
        const Shaper::Run run = shaper.shape(&c, 1);
        if (run.count == 1) kept.push_back({c, run.info[0].codepoint, run.advance()});
    }

    // Pairs by first character, shared out in turn among the threads.
    const auto cores = static_cast<std::int64_t>(std::max(1u, std::thread::hardware_concurrency()));
    const int pieces = static_cast<int>(
        std::clamp<std::int64_t>(std::int64_t(kept.size()) * std::int64_t(kept.size()) / 20000, 1, std::min<std::int64_t>(cores, kMaxParallel)));
    std::vector<std::vector<KerningPair>> found(static_cast<std::size_t>(pieces));
    runParallel(pieces, [&](int piece) {
        Shaper own(font.get());
        std::vector<KerningPair>& out = found[static_cast<std::size_t>(piece)];
        for (std::size_t i = static_cast<std::size_t>(piece); i < kept.size(); i += static_cast<std::size_t>(pieces)) {
            for (const Lone& second : kept) {
                const char32_t two[2] = {kept[i].c, second.c};
                const Shaper::Run run = own.shape(two, 2);
                // The pair as the sheet holds it: the two lone glyphs, each for its own
                // character (in either order: right-to-left runs come reversed).
                if (run.count != 2) continue;
                const auto glyphOf = [&](unsigned cluster) {
                    return run.info[0].cluster == cluster ? run.info[0].codepoint : run.info[1].codepoint;
                };
                if (glyphOf(0) != kept[i].glyph || glyphOf(1) != second.glyph || run.info[0].cluster == run.info[1].cluster)
                    continue;
                const hb_position_t change = run.advance() - kept[i].advance - second.advance;
                // To whole pixels, halves up, as Qt rounds a hinted layout's advances.
                const auto amount = static_cast<std::int32_t>(std::floor((change + 32) / 64.0));
                if (amount != 0) out.push_back({kept[i].c, second.c, amount});
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
