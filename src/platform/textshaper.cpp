#include "platform/textshaper.h"

#include "platform/textlayout.h"

#include <fribidi.h>
#include <hb-ft.h>

#include <algorithm>

#include <vector>

namespace {

// UTF-16 units of shaped lines kept per face before the store starts again (about 45
// bytes each with the glyphs and places): far more than a window's labels and lists repeat.
constexpr size_t kShapedUnitsKept = 256 * 1024;

struct sRun
{
    i32 start;
    i32 end;
    FT_Face face;
    hb_script_t script;
    FriBidiLevel level; // odd: right to left
};

// The embedding level of every UTF-16 unit (Unicode Bidirectional Algorithm, UAX #9,
// through FriBidi), the paragraph's direction taken from its first strong character.
std::vector<FriBidiLevel> BidiLevels(const char16_t* text, i32 length, bool* rightToLeft)
{
    std::vector<FriBidiChar> points;
    std::vector<i32> firstUnit;
    for (i32 i = 0; i < length;) {
        const sCodePoint point = CodePointAt(text, length, i);
        points.push_back(point.value);
        firstUnit.push_back(i);
        i += point.units;
    }
    const FriBidiStrIndex count = FriBidiStrIndex(points.size());
    std::vector<FriBidiCharType> types(points.size());
    std::vector<FriBidiBracketType> brackets(points.size());
    std::vector<FriBidiLevel> pointLevels(points.size());
    fribidi_get_bidi_types(points.data(), count, types.data());
    fribidi_get_bracket_types(points.data(), count, types.data(), brackets.data());
    FriBidiParType direction = FRIBIDI_PAR_ON;
    std::vector<FriBidiLevel> levels(size_t(length), 0);
    if (fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), count, &direction, pointLevels.data()) ==
        0) {
        return levels; // out of memory: left to right
    }
    *rightToLeft = FRIBIDI_IS_RTL(direction);
    for (size_t p = 0; p < points.size(); ++p) {
        const i32 end = p + 1 < points.size() ? firstUnit[p + 1] : length;
        std::fill(levels.begin() + firstUnit[p], levels.begin() + end, pointLevels[p]);
    }
    return levels;
}

// UAX #9 L2: from the highest level down to the lowest odd one, every sequence of runs
// at that level or higher is reversed.
void ReorderForDisplay(std::vector<sRun>& runs)
{
    FriBidiLevel highest = 0;
    FriBidiLevel lowestOdd = 0xFF;
    for (const sRun& run : runs) {
        highest = std::max(highest, run.level);
        if (run.level % 2 == 1) {
            lowestOdd = std::min(lowestOdd, run.level);
        }
    }
    for (FriBidiLevel level = highest; level >= lowestOdd && level > 0; --level) {
        for (size_t first = 0; first < runs.size();) {
            if (runs[first].level < level) {
                ++first;
                continue;
            }
            size_t end = first;
            while (end < runs.size() && runs[end].level >= level) {
                ++end;
            }
            std::reverse(runs.begin() + i64(first), runs.begin() + i64(end));
            first = end;
        }
    }
}

// Every unit of a cluster gets the cluster's edges: the cluster's first unit holds its
// left edge (the leftmost of its glyphs) and its whole advance; a unit without glyphs
// belongs to the cluster before it.
void PlaceClusters(const std::vector<sRun>& runs, sShapedText& shaped)
{
    for (const sRun& run : runs) {
        for (i32 unit = run.start; unit < run.end; ++unit) {
            sUnitPlace& place = shaped.unitPlaces[size_t(unit)];
            if (place.left == INT32_MAX) {
                place = unit > run.start ? shaped.unitPlaces[size_t(unit) - 1] : sUnitPlace{0, 0, false};
            } else {
                place.right = place.left + shaped.unitAdvances[size_t(unit)];
            }
            place.rightToLeft = run.level % 2 == 1;
        }
    }
}

bool IsNeutral(hb_script_t script)
{
    return script == HB_SCRIPT_COMMON || script == HB_SCRIPT_INHERITED || script == HB_SCRIPT_UNKNOWN;
}

// 26.6 to whole pixels, halves away from minus infinity.
i32 RoundedPixels(hb_position_t value)
{
    return i32((i64(value) + 32) >> 6);
}

std::vector<sRun> CutIntoRuns(const char16_t* text, i32 length, cShapingSource& source, bool* rightToLeft)
{
    hb_unicode_funcs_t* unicode = hb_unicode_funcs_get_default();
    const std::vector<FriBidiLevel> levels = BidiLevels(text, length, rightToLeft);
    std::vector<sRun> runs;
    for (i32 i = 0; i < length;) {
        const sCodePoint point = CodePointAt(text, length, i);
        const hb_script_t script = hb_unicode_script(unicode, point.value);
        const bool neutral = IsNeutral(script);
        sRun* run = runs.empty() ? nullptr : &runs.back();
        const FT_Face face = neutral && run != nullptr && FT_Get_Char_Index(run->face, point.value) != 0
                                 ? run->face
                                 : source.FaceFor(point.value);
        if (run != nullptr && face == run->face && levels[size_t(i)] == run->level &&
            (neutral || run->script == script || IsNeutral(run->script))) {
            if (!neutral) {
                run->script = script;
            }
            run->end = i + point.units;
        } else {
            runs.push_back({i, i + point.units, face, neutral ? HB_SCRIPT_COMMON : script, levels[size_t(i)]});
        }
        i += point.units;
    }
    ReorderForDisplay(runs);
    return runs;
}

} // namespace

cTextShaper::~cTextShaper()
{
    for (auto& [face, font] : m_fonts) {
        hb_font_destroy(font);
    }
    hb_buffer_destroy(m_buffer);
}

hb_font_t* cTextShaper::FontFor(FT_Face face)
{
    auto [slot, added] = m_fonts.try_emplace(face, nullptr);
    if (added) {
        slot->second = hb_ft_font_create_referenced(face);
        // Hinted advances, as the glyphs are drawn.
        hb_ft_font_set_load_flags(slot->second, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP);
    }
    return slot->second;
}

std::shared_ptr<const sShapedText> cTextShaper::Shape(const char16_t* text, i32 length, cShapingSource& source)
{
    std::u16string key(text, size_t(length));
    if (auto found = m_shaped.find(key); found != m_shaped.end()) {
        return found->second;
    }
    auto shaped = std::make_shared<sShapedText>();
    shaped->unitAdvances.assign(size_t(length), 0);
    if (m_buffer == nullptr) {
        m_buffer = hb_buffer_create();
    }
    shaped->unitPlaces.assign(size_t(length), sUnitPlace{INT32_MAX, 0, false});
    i32 pen = 0;
    // Runs come in display order; each run's glyphs come from HarfBuzz in display order.
    const std::vector<sRun> runs = CutIntoRuns(text, length, source, &shaped->rightToLeft);
    for (const sRun& run : runs) {
        hb_buffer_clear_contents(m_buffer);
        // The whole line is the context, so that joining sees across run edges.
        hb_buffer_add_utf16(m_buffer, reinterpret_cast<const uint16_t*>(text), length, unsigned(run.start),
                            run.end - run.start);
        hb_buffer_set_script(m_buffer, run.script);
        hb_buffer_set_direction(m_buffer, run.level % 2 == 1 ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
        hb_buffer_set_language(m_buffer, hb_language_get_default());
        hb_shape(FontFor(run.face), m_buffer, nullptr, 0);
        unsigned count = 0;
        const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(m_buffer, &count);
        const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(m_buffer, nullptr);
        for (unsigned g = 0; g < count; ++g) {
            const i32 advance = RoundedPixels(positions[g].x_advance);
            shaped->glyphs.push_back({source.GlyphAt(run.face, infos[g].codepoint),
                                      pen + RoundedPixels(positions[g].x_offset),
                                      -RoundedPixels(positions[g].y_offset)});
            // Clusters are unit indices into the whole line.
            if (infos[g].cluster < unsigned(length)) {
                shaped->unitAdvances[infos[g].cluster] += advance;
                sUnitPlace& place = shaped->unitPlaces[infos[g].cluster];
                place.left = std::min(place.left, pen);
            }
            pen += advance;
        }
    }
    PlaceClusters(runs, *shaped);
    if (m_shapedUnits + key.size() > kShapedUnitsKept) {
        m_shaped.clear();
        m_shapedUnits = 0;
    }
    m_shapedUnits += key.size();
    m_shaped.emplace(std::move(key), shaped);
    return shaped;
}
