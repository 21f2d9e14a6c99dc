#include "platform/textshaper.h"

#include "platform/textlayout.h"

#include <hb-ft.h>

#include <vector>

namespace {

// Shaped lines kept per face before the store starts again; a form's labels and
// lists repeat far fewer texts than this.
constexpr size_t kShapedLinesKept = 4096;

struct sRun
{
    i32 start;
    i32 end;
    FT_Face face;
    hb_script_t script;
};

bool IsNeutral(hb_script_t script)
{
    return script == HB_SCRIPT_COMMON || script == HB_SCRIPT_INHERITED || script == HB_SCRIPT_UNKNOWN;
}

// 26.6 to whole pixels, halves away from minus infinity.
i32 RoundedPixels(hb_position_t value)
{
    return i32((i64(value) + 32) >> 6);
}

std::vector<sRun> CutIntoRuns(const char16_t* text, i32 length, cShapingSource& source)
{
    hb_unicode_funcs_t* unicode = hb_unicode_funcs_get_default();
    std::vector<sRun> runs;
    for (i32 i = 0; i < length;) {
        const sCodePoint point = CodePointAt(text, length, i);
        const hb_script_t script = hb_unicode_script(unicode, point.value);
        const bool neutral = IsNeutral(script);
        sRun* run = runs.empty() ? nullptr : &runs.back();
        const FT_Face face = neutral && run != nullptr && FT_Get_Char_Index(run->face, point.value) != 0
                                 ? run->face
                                 : source.FaceFor(point.value);
        if (run != nullptr && face == run->face && (neutral || run->script == script || IsNeutral(run->script))) {
            if (!neutral) {
                run->script = script;
            }
            run->end = i + point.units;
        } else {
            runs.push_back({i, i + point.units, face, neutral ? HB_SCRIPT_COMMON : script});
        }
        i += point.units;
    }
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
    i32 pen = 0;
    for (const sRun& run : CutIntoRuns(text, length, source)) {
        hb_buffer_clear_contents(m_buffer);
        // The whole line is the context, so that joining sees across run edges.
        hb_buffer_add_utf16(m_buffer, reinterpret_cast<const uint16_t*>(text), length, unsigned(run.start),
                            run.end - run.start);
        hb_buffer_set_script(m_buffer, run.script);
        const hb_direction_t direction = hb_script_get_horizontal_direction(run.script);
        hb_buffer_set_direction(m_buffer, direction == HB_DIRECTION_INVALID ? HB_DIRECTION_LTR : direction);
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
            }
            pen += advance;
        }
    }
    if (m_shaped.size() >= kShapedLinesKept) {
        m_shaped.clear();
    }
    m_shaped.emplace(std::move(key), shaped);
    return shaped;
}
