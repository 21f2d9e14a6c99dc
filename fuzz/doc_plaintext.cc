// Bytes as a plain-text document, laid out and drawn at widths 1, 37 and 600, left and
// justified; the first byte chooses the alignment.
// Links: qel_gui_document qel_gui_controls qel_gui_core qel_platform qel_picture_core qel_base
#include "base/memio.h"
#include "doc_layout_check.h"
#include "gui/document/plaintextdoc.h"

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size)
{
    static const bool installed = InstallSoftwareGraphics(eTextFont::FixedTest);
    if (size == 0 || !installed) {
        return 0;
    }
    cBufWrapperIO stream(data + 1, size - 1);
    sSiDocTextOptions options;
    options.alignment = (data[0] & 1) != 0 ? kSiDocAlignJustify : kSiDocAlignLeft;
    cSiDocLoader loader;
    if (LoadPlainTextDocument(stream, options, loader)) {
        DocFuzzLayOut(*loader.GetRoot(), {1, 37, 600});
    }
    return 0;
}
