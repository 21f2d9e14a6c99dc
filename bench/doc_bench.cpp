// Links: qel_gui_document qel_gui_controls qel_gui_core qel_platform qel_picture_core qel_base
// The document viewer's first paint of /usr/share/common-licenses/GPL-3 at 800 pixels
// (measure at the width, measure again beside the scroll bar, draw into a fresh page)
// with DejaVu Sans 13 px, against Pango with cairo laying out and rendering the same
// 122 paragraphs at the same width into an image surface of the page's size. Then the
// viewer's repaint of an 800 x 600 view with a page (scrolling), against the plain
// CopyFrom of that band. Ratios: our time / peer time.
//
// Each first paint starts from a freshly loaded document, so that the boxes' measured
// sizes are not reused; the fonts' glyph caches (ours and Pango's) stay warm.
#include "base/fileio.h"
#include "gui/core/canvas.h"
#include "gui/core/font.h"
#include "gui/document/docviewer.h"
#include "gui/document/plaintextdoc.h"
#include "platform/softgraphics.h"

#include <benchmark/benchmark.h>
#include <pango/pangocairo.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr i32 kPageWidth = 800;
constexpr i32 kViewHeight = 600;
constexpr i32 kBarWidth = cScrollableElement::kBarSize;
constexpr i32 kPadding = 8; // the plain-text loader's default
const char kLicence[] = "/usr/share/common-licenses/GPL-3";

using tCanvas = std::unique_ptr<cCanvas, void (*)(cCanvas*)>;

tCanvas MakeCanvas(i32 width, i32 height)
{
    static const bool installed = InstallSoftwareGraphics(eTextFont::System);
    (void)installed;
    return tCanvas(CreateMemoryCanvas(width, height), [](cCanvas* c) {
        if (c != nullptr) {
            c->Delete();
        }
    });
}

bool Load(cSiDocLoader& loader)
{
    cFileIO file;
    sSiDocTextOptions options;
    options.fontId = loader.AddFont(u"DejaVu Sans", 0, 13, false, false, false);
    return file.Create(kLicence, FileMode::Read) && LoadPlainTextDocument(file, options, loader);
}

// The paragraphs as UTF-8 texts with single spaces (the licence is ASCII).
std::vector<std::string> Paragraphs(const cSiDocLoader& loader)
{
    std::vector<std::string> out;
    for (const cSiDocBox* child : loader.GetRoot()->m_children) {
        const auto& paragraph = dynamic_cast<const cSiDocContainer&>(*child);
        if (paragraph.m_children.IsEmpty()) {
            continue;
        }
        std::string text;
        for (const cSiDocBox* box : paragraph.m_children) {
            const auto& word = dynamic_cast<const cSiDocText&>(*box);
            text += text.empty() ? "" : " ";
            for (i32 i = 0; i < word.GetLength(); ++i) {
                text.push_back(char(word.GetText()[i]));
            }
        }
        out.push_back(text);
    }
    return out;
}

// The viewer's first paint; the page height.
i32 FirstPaint(cSiDocBox& root, cCanvas& measuring)
{
    sSiDocDrawContext context;
    context.font = GetDefaultUiFont();
    context.right = kPageWidth;
    sSize measured{};
    (void)root.Measure(&measuring, context, measured);
    context.right = kPageWidth - kBarWidth;
    (void)root.Measure(&measuring, context, measured);
    tCanvas page = MakeCanvas(kPageWidth, measured.height);
    if (page == nullptr) {
        return 0;
    }
    page->FillRect(0, 0, kPageWidth, measured.height, 0xFFFFFF, 0xFFFFFF);
    sSize drawn{};
    (void)root.Draw(page.get(), context, drawn);
    benchmark::DoNotOptimize(page->GetPixels());
    return measured.height;
}

void BM_FirstPaint_Qel(benchmark::State& state)
{
    tCanvas measuring = MakeCanvas(1, 1);
    i32 height = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto loader = std::make_unique<cSiDocLoader>();
        if (!Load(*loader)) {
            state.SkipWithError("GPL-3 did not load");
            return;
        }
        state.ResumeTiming();
        height = FirstPaint(*loader->GetRoot(), *measuring);
        state.PauseTiming();
        loader.reset();
        state.ResumeTiming();
    }
    state.counters["page_height"] = height;
}

void BM_FirstPaint_Pango(benchmark::State& state)
{
    cSiDocLoader loader;
    tCanvas measuring = MakeCanvas(1, 1);
    if (!Load(loader)) {
        state.SkipWithError("GPL-3 did not load");
        return;
    }
    const std::vector<std::string> paragraphs = Paragraphs(loader);
    const i32 pageHeight = FirstPaint(*loader.GetRoot(), *measuring);
    const i32 textWidth = kPageWidth - kBarWidth - 2 * kPadding;
    PangoFontDescription* font = pango_font_description_from_string("DejaVu Sans 13px");
    i32 height = 0;
    for (auto _ : state) {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kPageWidth, pageHeight);
        cairo_t* cairo = cairo_create(surface);
        cairo_set_source_rgb(cairo, 1, 1, 1);
        cairo_paint(cairo);
        cairo_set_source_rgb(cairo, 0, 0, 0);
        PangoLayout* layout = pango_cairo_create_layout(cairo);
        pango_layout_set_font_description(layout, font);
        pango_layout_set_width(layout, textWidth * PANGO_SCALE);
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD);
        i32 y = 0;
        for (const std::string& text : paragraphs) {
            y += kPadding;
            pango_layout_set_text(layout, text.c_str(), int(text.size()));
            cairo_move_to(cairo, kPadding, y);
            pango_cairo_show_layout(cairo, layout);
            int width = 0, paragraphHeight = 0;
            pango_layout_get_pixel_size(layout, &width, &paragraphHeight);
            y += paragraphHeight;
        }
        cairo_surface_flush(surface);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
        height = y + kPadding;
        g_object_unref(layout);
        cairo_destroy(cairo);
        cairo_surface_destroy(surface);
    }
    pango_font_description_free(font);
    // Pango's font map lets go of fontconfig before our engine ends it at exit.
    pango_cairo_font_map_set_default(nullptr);
    state.counters["page_height"] = height;
}

// Scrolling: each repaint shows the next band of 37 rows further down.
void BM_ScrollRepaint_Qel(benchmark::State& state)
{
    cSiDocLoader loader;
    if (!Load(loader)) {
        state.SkipWithError("GPL-3 did not load");
        return;
    }
    cSiDocViewer viewer;
    viewer.SetBounds(0, 0, kPageWidth, kViewHeight);
    (void)viewer.SetDocument(loader.GetRoot());
    tCanvas view = MakeCanvas(kPageWidth, kViewHeight);
    viewer.PaintContent(*view); // lays out once
    i32 y = 0;
    for (auto _ : state) {
        y = y + 37 > viewer.GetScrollMaxY() ? 0 : y + 37;
        (void)viewer.ScrollTo(0, y);
        viewer.PaintContent(*view);
        benchmark::DoNotOptimize(view->GetPixels());
    }
    viewer.SetDocument(nullptr);
}

void BM_ScrollRepaint_CopyFrom(benchmark::State& state)
{
    tCanvas page = MakeCanvas(kPageWidth, 6000);
    tCanvas view = MakeCanvas(kPageWidth, kViewHeight);
    i32 y = 0;
    for (auto _ : state) {
        y = y + 37 > 6000 - kViewHeight ? 0 : y + 37;
        view->CopyFrom(0, 0, page.get(), 0, y, kPageWidth - kBarWidth, kViewHeight);
        benchmark::DoNotOptimize(view->GetPixels());
    }
}

} // namespace

BENCHMARK(BM_FirstPaint_Qel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstPaint_Pango)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollRepaint_Qel)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScrollRepaint_CopyFrom)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
