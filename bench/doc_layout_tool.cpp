// doc_layout [--width W] [--align 0..3] [--font test|ui] [--png OUT.png] FILE...: loads
// each text file as a plain-text document, lays it out headless as the document viewer
// does (measure, then draw into a page of width x height) and prints
//   FILE PARAGRAPHS HEIGHT MS_LAYOUT MS_DRAW TREE_BYTES PAGE_BYTES
// TREE_BYTES estimates the box tree (boxes, texts, list nodes); PAGE_BYTES is the page
// canvas. With --png the page of the last file is written, for looking at.
// Links: qel_gui_document qel_gui_controls qel_gui_core qel_platform qel_picture_core qel_base
#include "base/fileio.h"
#include "gui/core/canvas.h"
#include "gui/core/font.h"
#include "gui/document/plaintextdoc.h"
#include "platform/pngwrite.h"
#include "platform/softgraphics.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct sArguments
{
    i32 width = 800;
    i32 alignment = 0;
    bool testFont = false;
    std::string png;
    std::vector<std::string> files;
};

bool ParseArguments(int argc, char** argv, sArguments& arguments)
{
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--width") == 0 && hasValue) {
            arguments.width = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--align") == 0 && hasValue) {
            arguments.alignment = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--font") == 0 && hasValue) {
            arguments.testFont = std::strcmp(argv[++i], "test") == 0;
        } else if (std::strcmp(argv[i], "--png") == 0 && hasValue) {
            arguments.png = argv[++i];
        } else if (argv[i][0] == '-') {
            return false;
        } else {
            arguments.files.push_back(argv[i]);
        }
    }
    return !arguments.files.empty() && arguments.width > 0;
}

size_t TreeBytes(const cSiDocBox* box)
{
    constexpr size_t kListNode = 2 * sizeof(void*);
    if (const auto* text = dynamic_cast<const cSiDocText*>(box)) {
        const size_t own = dynamic_cast<const cSiDocLink*>(box) != nullptr ? sizeof(cSiDocLink) : sizeof(cSiDocText);
        return own + kListNode + (size_t(text->GetLength()) + 1) * sizeof(char16_t);
    }
    const auto* container = dynamic_cast<const cSiDocContainer*>(box);
    if (container == nullptr) {
        return sizeof(cSiDocImageLink) + kListNode;
    }
    size_t bytes = sizeof(cSiDocContainer) + kListNode;
    for (const cSiDocBox* child : container->m_children) {
        bytes += TreeBytes(child);
    }
    return bytes;
}

f64 MillisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<f64, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    sArguments arguments;
    if (!ParseArguments(argc, argv, arguments)) {
        std::fprintf(stderr, "usage: doc_layout [--width W] [--align 0..3] [--font test|ui] [--png OUT.png] FILE...\n");
        return 2;
    }
    if (!InstallSoftwareGraphics(arguments.testFont ? eTextFont::FixedTest : eTextFont::System)) {
        std::fprintf(stderr, "no font engine\n");
        return 1;
    }
    const std::unique_ptr<cCanvas, void (*)(cCanvas*)> measuring(CreateMemoryCanvas(1, 1),
                                                                 [](cCanvas* c) { c->Delete(); });
    for (const std::string& file : arguments.files) {
        cFileIO stream;
        cSiDocLoader loader;
        sSiDocTextOptions options;
        options.alignment = arguments.alignment;
        if (measuring == nullptr || !stream.Create(file.c_str(), FileMode::Read) ||
            !LoadPlainTextDocument(stream, options, loader)) {
            std::fprintf(stderr, "%s: cannot load\n", file.c_str());
            return 1;
        }
        i32 paragraphs = -1; // the bottom padding is no paragraph
        for (const cSiDocBox* child : loader.GetRoot()->m_children) {
            paragraphs += child != nullptr ? 1 : 0;
        }
        sSiDocDrawContext context;
        context.font = GetDefaultUiFont();
        context.right = arguments.width;
        const auto layoutStart = std::chrono::steady_clock::now();
        sSize measured{};
        (void)loader.GetRoot()->Measure(measuring.get(), context, measured);
        const f64 layoutMs = MillisecondsSince(layoutStart);
        const auto drawStart = std::chrono::steady_clock::now();
        const std::unique_ptr<cCanvas, void (*)(cCanvas*)> page(
            measuring->CreateOffscreenCanvas(arguments.width, measured.height), [](cCanvas* c) {
                if (c != nullptr) {
                    c->Delete();
                }
            });
        if (page == nullptr) {
            std::fprintf(stderr, "%s: no page of %d x %d\n", file.c_str(), arguments.width, measured.height);
            return 1;
        }
        page->FillRect(0, 0, arguments.width, measured.height, 0xFFFFFF, 0xFFFFFF);
        sSize drawn{};
        (void)loader.GetRoot()->Draw(page.get(), context, drawn);
        const f64 drawMs = MillisecondsSince(drawStart);
        std::printf("%s %d %d %.3f %.3f %zu %zu\n", file.c_str(), paragraphs, measured.height, layoutMs, drawMs,
                    TreeBytes(loader.GetRoot()), size_t(arguments.width) * size_t(measured.height) * 4);
        if (!arguments.png.empty() && !SaveCanvasPng(arguments.png, *page)) {
            std::fprintf(stderr, "%s: cannot write\n", arguments.png.c_str());
            return 1;
        }
    }
    return 0;
}
