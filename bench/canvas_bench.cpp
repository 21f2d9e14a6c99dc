// The software canvas against pixman (blits, fills, "over") and cairo (text with the
// same DejaVu Sans face), on the sizes the widgets use. Ratios: our time / peer time.
#include "gui/core/canvas.h"
#include "gui/core/font.h"
#include "gui/core/picture.h"
#include "platform/freetypefont.h"
#include "platform/softcanvas.h"
#include "platform/softgraphics.h"

#include <benchmark/benchmark.h>
#include <cairo/cairo-ft.h>
#include <cairo/cairo.h>
#include <pixman-1/pixman.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

std::unique_ptr<cCanvas> MakeCanvas(int width, int height, u32 seed)
{
    std::unique_ptr<cCanvas> canvas(cSoftCanvas::Create(width, height));
    for (int i = 0; i < width * height; ++i) {
        seed = seed * 1664525u + 1013904223u;
        canvas->GetPixels()[i] = 0xFF000000u | (seed >> 8);
    }
    return canvas;
}

// --- CopyFrom vs pixman_blt ----------------------------------------------------------

void BM_CopyFrom_Ours(benchmark::State& state)
{
    auto source = MakeCanvas(kWidth, kHeight, 1);
    auto target = MakeCanvas(kWidth, kHeight, 2);
    for (auto _ : state) {
        target->CopyFrom(0, 0, source.get(), 0, 0);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopyFrom_Ours);

void BM_CopyFrom_PixmanBlt(benchmark::State& state)
{
    auto source = MakeCanvas(kWidth, kHeight, 1);
    auto target = MakeCanvas(kWidth, kHeight, 2);
    for (auto _ : state) {
        pixman_blt(reinterpret_cast<uint32_t*>(source->GetPixels()), reinterpret_cast<uint32_t*>(target->GetPixels()),
                   kWidth, kWidth, 32, 32, 0, 0, 0, 0, kWidth, kHeight);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopyFrom_PixmanBlt);

// --- FillRect vs pixman_fill ---------------------------------------------------------

void BM_FillRect_Ours(benchmark::State& state)
{
    auto target = MakeCanvas(kWidth, kHeight, 3);
    for (auto _ : state) {
        target->FillRect(0, 0, kWidth, kHeight, 0x336699, 0x336699);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FillRect_Ours);

void BM_FillRect_PixmanFill(benchmark::State& state)
{
    auto target = MakeCanvas(kWidth, kHeight, 3);
    for (auto _ : state) {
        pixman_fill(reinterpret_cast<uint32_t*>(target->GetPixels()), kWidth, 32, 0, 0, kWidth, kHeight, 0xFF996633);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FillRect_PixmanFill);

// --- DrawPictureBlended vs PIXMAN_OP_OVER ---------------------------------------------

constexpr int kBlendSize = 256;

void MakeTranslucentPicture(cPicture& picture)
{
    (void)picture.Allocate(kBlendSize, kBlendSize);
    u32 seed = 7;
    for (int i = 0; i < kBlendSize * kBlendSize; ++i) {
        seed = seed * 1664525u + 1013904223u;
        picture.GetPixels()[i] = seed;
    }
}

void BM_Blend_Ours(benchmark::State& state)
{
    cPicture picture;
    MakeTranslucentPicture(picture);
    auto target = MakeCanvas(kBlendSize, kBlendSize, 4);
    for (auto _ : state) {
        target->DrawPictureBlended(0, 0, &picture);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Blend_Ours);

void BM_Blend_PixmanOver(benchmark::State& state)
{
    // pixman composites premultiplied pixels; the copy is made once, outside the loop.
    cPicture picture;
    MakeTranslucentPicture(picture);
    std::vector<uint32_t> premultiplied(kBlendSize * kBlendSize);
    for (int i = 0; i < kBlendSize * kBlendSize; ++i) {
        const u32 p = picture.GetPixels()[i];
        const u32 a = p >> 24;
        u32 out = a << 24;
        for (int shift = 0; shift < 24; shift += 8) {
            out |= (((p >> shift) & 0xFF) * a + 127) / 255 << shift;
        }
        premultiplied[i] = out;
    }
    auto target = MakeCanvas(kBlendSize, kBlendSize, 4);
    pixman_image_t* source = pixman_image_create_bits(PIXMAN_a8r8g8b8, kBlendSize, kBlendSize, premultiplied.data(),
                                                      kBlendSize * 4);
    pixman_image_t* destination = pixman_image_create_bits(
        PIXMAN_x8r8g8b8, kBlendSize, kBlendSize, reinterpret_cast<uint32_t*>(target->GetPixels()), kBlendSize * 4);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, source, nullptr, destination, 0, 0, 0, 0, 0, 0, kBlendSize,
                                 kBlendSize);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(source);
    pixman_image_unref(destination);
}
BENCHMARK(BM_Blend_PixmanOver);

// --- text ----------------------------------------------------------------------------

bool UseSystemFonts(benchmark::State& state)
{
    if (!InstallSoftwareGraphics(eTextFont::System)) {
        state.SkipWithError("no FreeType");
        return false;
    }
    return true;
}

// 1,000 characters of words, every glyph already cached after the first run.
std::string ThousandCharacters()
{
    const std::string words = "The quick brown fox jumps over the lazy dog while packages update. ";
    std::string text;
    while (text.size() < 1000) {
        text += words;
    }
    text.resize(1000);
    return text;
}

void BM_DrawText1000_Ours(benchmark::State& state)
{
    if (!UseSystemFonts(state)) {
        return;
    }
    const std::string narrow = ThousandCharacters();
    const std::u16string text(narrow.begin(), narrow.end());
    std::unique_ptr<cCanvas> target(cSoftCanvas::Create(8000, 20));
    target->SelectFont(GetDefaultUiFont());
    for (auto _ : state) {
        target->DrawTextW(0, 2, false, text.data(), i32(text.size()));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawText1000_Ours);

void BM_DrawText1000_CairoShowText(benchmark::State& state)
{
    // The same face file at the em size our 5 x 13 UI font maps to.
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, kFallbackFontFile, 0, &face) != 0) {
        state.SkipWithError("no DejaVu Sans");
        return;
    }
    const std::string text = ThousandCharacters();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 8000, 20);
    cairo_t* cairo = cairo_create(surface);
    cairo_font_face_t* cairoFace = cairo_ft_font_face_create_for_ft_face(face, 0);
    cairo_set_font_face(cairo, cairoFace);
    cairo_set_font_size(cairo, 11.17); // 13 x unitsPerEm / (winAscent + winDescent)
    cairo_set_source_rgb(cairo, 0, 0, 0);
    for (auto _ : state) {
        cairo_move_to(cairo, 0, 13);
        cairo_show_text(cairo, text.c_str());
        cairo_surface_flush(surface);
        benchmark::ClobberMemory();
    }
    cairo_destroy(cairo);
    cairo_font_face_destroy(cairoFace);
    cairo_surface_destroy(surface);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}
BENCHMARK(BM_DrawText1000_CairoShowText);

// 10,000 words measured, and drawn word-wrapped into a 780-pixel column.
std::u16string TenThousandWords()
{
    const char* words[] = {"package", "update", "the", "installer", "is", "ready", "to", "download", "a", "licence"};
    std::u16string text;
    for (int i = 0; i < 10000; ++i) {
        const std::string word = words[(i * 7) % 10];
        text.append(word.begin(), word.end());
        text += u' ';
    }
    return text;
}

void BM_MeasureText10000Words(benchmark::State& state)
{
    if (!UseSystemFonts(state)) {
        return;
    }
    const std::u16string text = TenThousandWords();
    std::unique_ptr<cCanvas> canvas(cSoftCanvas::Create(16, 16));
    sSize size;
    for (auto _ : state) {
        benchmark::DoNotOptimize(canvas->MeasureTextW(text.data(), i32(text.size()), &size));
    }
}
BENCHMARK(BM_MeasureText10000Words);

void BM_DrawWrappedText10000Words(benchmark::State& state)
{
    if (!UseSystemFonts(state)) {
        return;
    }
    const std::u16string text = TenThousandWords();
    std::unique_ptr<cCanvas> canvas(cSoftCanvas::Create(kWidth, 16000));
    i32 height = 0;
    for (auto _ : state) {
        canvas->DrawMultilineTextW(10, 0, 780, 16000, kAlignJustify, 1.2, text.data(), i32(text.size()), &height);
        benchmark::ClobberMemory();
    }
    state.counters["height"] = height;
}
BENCHMARK(BM_DrawWrappedText10000Words);

} // namespace

BENCHMARK_MAIN();
