// Links: qel_platform qel_gui_core qel_base
// Measuring and drawing a 4 KB label in seven scripts (fallback faces, HarfBuzz runs,
// FriBidi order) against the same size of Latin text, and against Pango with cairo
// (pangocairo, the desktop's own text stack) on the same texts. "Cold" texts differ
// in each iteration, so nothing comes from the shaped-line store; "warm" repeats one
// text, as a label repainting does. Ratios: our time / peer time.
#include "base/utf.h"
#include "gui/core/canvas.h"
#include "gui/core/font.h"
#include "platform/softcanvas.h"
#include "platform/softgraphics.h"

#include <benchmark/benchmark.h>
#include <pango/pangocairo.h>

#include <memory>
#include <string>

namespace {

constexpr int kWidth = 600;
constexpr int kHeight = 1200;

const char kMixedLine[] = "Grüße Straße · Καλημέρα κόσμε · Здравствуй, мир · 你好世界 · こんにちは世界 · "
                          "مرحبا بالعالم · नमस्ते दुनिया · ";
const char kLatinLine[] = "The quick brown fox jumps over the lazy dog, again and again. ";

// About 4096 bytes of UTF-8 made of `line`.
std::string FourKilobytes(const char* line)
{
    std::string text;
    while (text.size() + std::char_traits<char>::length(line) <= 4096) {
        text += line;
    }
    return text;
}

std::u16string Wide(const std::string& text)
{
    _guardchar<char16_t> wide;
    (void)Utf8ToWideString(text.c_str(), i64(text.size()), wide);
    return wide.GetOrEmpty();
}

enum class eWork
{
    Measure,
    Draw,
};

void Ours(benchmark::State& state, const char* line, eWork work, bool cold)
{
    // Once: a new engine would end fontconfig under Pango's font map.
    static const bool installed = InstallSoftwareGraphics(eTextFont::System);
    benchmark::DoNotOptimize(installed);
    std::unique_ptr<cCanvas> canvas(cSoftCanvas::Create(kWidth, kHeight));
    canvas->SelectFont(GetDefaultUiFont());
    std::u16string text = Wide(FourKilobytes(line));
    u32 round = 0;
    for (auto _ : state) {
        if (cold) {
            // A text the store has not seen: the first four letters count in base 26.
            ++round;
            for (size_t digit = 0, value = round; digit < 4; ++digit, value /= 26) {
                text[digit] = char16_t(u'a' + value % 26);
            }
        }
        if (work == eWork::Measure) {
            sSize size;
            benchmark::DoNotOptimize(canvas->MeasureTextW(text.data(), i32(text.size()), &size));
        } else {
            i32 height = 0;
            (void)canvas->DrawMultilineTextW(0, 0, kWidth, kHeight, 0, 1.0, text.data(), i32(text.size()), &height);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(i64(state.iterations()) * 4096);
}

void Pango(benchmark::State& state, const char* line, eWork work)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
    cairo_t* cairo = cairo_create(surface);
    PangoLayout* layout = pango_cairo_create_layout(cairo);
    PangoFontDescription* font = pango_font_description_from_string("Tahoma");
    pango_font_description_set_absolute_size(font, 11 * PANGO_SCALE);
    pango_layout_set_font_description(layout, font);
    if (work == eWork::Draw) {
        pango_layout_set_width(layout, kWidth * PANGO_SCALE);
    }
    std::string text = FourKilobytes(line);
    u32 round = 0;
    for (auto _ : state) {
        text[0] = char('A' + round++ % 26); // Pango shapes every text it is given
        pango_layout_set_text(layout, text.c_str(), int(text.size()));
        if (work == eWork::Measure) {
            int width = 0;
            int height = 0;
            pango_layout_get_pixel_size(layout, &width, &height);
            benchmark::DoNotOptimize(width);
        } else {
            cairo_move_to(cairo, 0, 0);
            pango_cairo_show_layout(cairo, layout);
            cairo_surface_flush(surface);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(i64(state.iterations()) * 4096);
    pango_font_description_free(font);
    g_object_unref(layout);
    cairo_destroy(cairo);
    cairo_surface_destroy(surface);
    // Pango's font map lets go of fontconfig before our engine ends it at exit.
    pango_cairo_font_map_set_default(nullptr);
}

} // namespace

BENCHMARK_CAPTURE(Ours, MixedMeasureCold, kMixedLine, eWork::Measure, true);
BENCHMARK_CAPTURE(Ours, MixedMeasureWarm, kMixedLine, eWork::Measure, false);
BENCHMARK_CAPTURE(Ours, LatinMeasureCold, kLatinLine, eWork::Measure, true);
BENCHMARK_CAPTURE(Pango, MixedMeasure, kMixedLine, eWork::Measure);
BENCHMARK_CAPTURE(Pango, LatinMeasure, kLatinLine, eWork::Measure);
BENCHMARK_CAPTURE(Ours, MixedDrawCold, kMixedLine, eWork::Draw, true);
BENCHMARK_CAPTURE(Ours, MixedDrawWarm, kMixedLine, eWork::Draw, false);
BENCHMARK_CAPTURE(Ours, LatinDrawCold, kLatinLine, eWork::Draw, true);
BENCHMARK_CAPTURE(Pango, MixedDraw, kMixedLine, eWork::Draw);
BENCHMARK_CAPTURE(Pango, LatinDraw, kLatinLine, eWork::Draw);
BENCHMARK_MAIN();
