// Bytes as document builder calls (nesting, margins, fixed sizes from -2 to INT32_MAX,
// alignments 0-5, empty texts, a small picture in modes 0-2), then the finished tree is
// measured and drawn at several widths.
// Links: qel_package_doc qel_gui_controls qel_gui_core qel_platform qel_picture_core qel_base
#include "doc_layout_check.h"
#include "package/doc/docbuilder.h"

#include <climits>
#include <memory>

namespace {

class cByteReader
{
public:
    cByteReader(const u8* data, size_t size) : m_data(data), m_size(size) {}
    bool AtEnd() const { return m_position >= m_size; }
    u8 Next() { return m_position < m_size ? m_data[m_position++] : 0; }

private:
    const u8* m_data;
    size_t m_size;
    size_t m_position = 0;
};

i32 PickSize(u8 byte)
{
    static constexpr i32 kSizes[] = {-2, -1, 0, 1, 7, 40, 600, 4096, 4097, 1 << 20, INT32_MAX - 1, INT32_MAX};
    return kSizes[byte % (sizeof kSizes / sizeof kSizes[0])];
}

sSiDocStyle ReadStyle(cByteReader& in)
{
    sSiDocStyle style;
    const u8 flags = in.Next();
    style.marginLeft = (flags & 1) != 0 ? PickSize(in.Next()) : 0;
    style.marginRight = (flags & 2) != 0 ? PickSize(in.Next()) : 0;
    style.marginTop = (flags & 4) != 0 ? PickSize(in.Next()) : 0;
    style.marginBottom = (flags & 8) != 0 ? PickSize(in.Next()) : 0;
    style.fixedWidth = (flags & 16) != 0 ? PickSize(in.Next()) : -1;
    style.fixedHeight = (flags & 32) != 0 ? PickSize(in.Next()) : -1;
    style.breakBefore = (flags & 64) != 0;
    style.background = (flags & 128) != 0 ? 0x00FF00 : kSiDocInherit;
    const u8 more = in.Next();
    style.alignment = more % 6;
    style.fontId = more / 6 % 3 - 1;
    return style;
}

const char16_t kWords[][8] = {u"", u"a", u"word", u"longer", u"\xFFFD\xD800"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    if (!DocFuzzSetUp()) {
        return 0;
    }
    cSiDocLoader loader;
    (void)loader.AddFont(nullptr, 6, 13, true, false, false);
    auto picture = std::make_unique<cPicture>();
    if (!picture->CreateFilled(0xFF336699, 5, 3)) {
        return 0;
    }
    const cPicture* shared = loader.AdoptPicture(std::move(picture));
    cByteReader in(data, size);
    cSiDocBuilder builder(loader);
    i32 open = 0;
    while (!in.AtEnd()) {
        const u8 op = in.Next();
        const sSiDocStyle style = ReadStyle(in);
        const char16_t* word = kWords[op / 8 % (sizeof kWords / sizeof kWords[0])];
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
