// Bytes as document builder calls (nesting, margins, fixed sizes from -2 to INT32_MAX,
// alignments 0-5, empty texts, a small picture in modes 0-2), then the finished tree is
// measured and drawn at several widths.
// Links: qel_gui_document qel_gui_controls qel_gui_core qel_platform qel_picture_core qel_base
#include "doc_layout_check.h"
#include "gui/document/docbuilder.h"

#include <climits>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    static const bool installed = InstallSoftwareGraphics(eTextFont::FixedTest);
    static constexpr i32 kSizes[] = {-2, -1, 0, 1, 7, 40, 600, 4096, 4097, 1 << 20, INT32_MAX - 1, INT32_MAX};
    static const char16_t kWords[][8] = {u"", u"a", u"word", u"longer", u"\xFFFD\xD800"};
    cSiDocLoader loader;
    (void)loader.AddFont(nullptr, 6, 13, true, false, false);
    auto picture = std::make_unique<cPicture>();
    if (!installed || !picture->CreateFilled(0xFF336699, 5, 3)) {
        return 0;
    }
    const cPicture* shared = loader.AdoptPicture(std::move(picture));
    size_t position = 0;
    auto next = [&] { return position < size ? data[position++] : u8(0); };
    cSiDocBuilder builder(loader);
    i32 open = 0;
    while (position < size) {
        // An operation byte, a flags byte choosing which sizes follow, one more byte.
        const u8 op = next(), flags = next();
        sSiDocStyle style;
        i32* sizes[] = {&style.marginLeft, &style.marginRight, &style.marginTop, &style.marginBottom,
                        &style.fixedWidth, &style.fixedHeight};
        for (i32 bit = 0; bit < 6; ++bit) {
            *sizes[bit] = (flags >> bit & 1) != 0 ? kSizes[next() % std::size(kSizes)] : *sizes[bit];
        }
        style.breakBefore = (flags & 64) != 0;
        style.background = (flags & 128) != 0 ? 0x00FF00 : kSiDocInherit;
        const u8 more = next();
        style.alignment = more % 6;
        style.fontId = more / 6 % 3 - 1;
        const char16_t* word = kWords[op / 8 % std::size(kWords)];
        switch (op % 8) {
        case 0:
        case 1:
            open += builder.BeginContainer(style) ? 1 : 0;
            break;
        case 2:
            open -= builder.EndContainer() ? 1 : 0;
            break;
        case 3:
            (void)builder.AddText(word, -1, style);
            break;
        case 4:
            (void)builder.AddLink(word, -1, u"https://example.com/", style);
            break;
        case 5:
            (void)builder.AddImage(shared, op / 8 % 3, style);
            break;
        default:
            (void)builder.AddImageLink(shared, op / 8 % 3, (op & 64) != 0 ? u"mailto:a@b" : nullptr, style);
            break;
        }
    }
    for (; open > 0; --open) {
        (void)builder.EndContainer();
    }
    if (builder.Finish()) {
        DocFuzzLayOut(*loader.GetRoot(), {1, 37, 600});
    }
    return 0;
}
