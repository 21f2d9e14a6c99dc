#pragma once
// Shared by the document fuzz targets: measures and draws a box tree headless at several
// widths and traps on a negative size.
#include "gui/controls/docbox.h"
#include "gui/core/canvas.h"
#include "gui/core/font.h"
#include "platform/softgraphics.h"

#include <algorithm>
#include <initializer_list>

// Installs the test font once.
inline bool DocFuzzSetUp()
{
    static const bool installed = InstallSoftwareGraphics(eTextFont::FixedTest);
    return installed;
}

// Counts the link rectangles and traps on an empty or negative one.
class cDocFuzzTarget : public cSiDocActiveTarget
{
public:
    void ClearActiveAreas() override {}
    bool AddActiveArea(const char16_t* target, i32 x, i32 y, i32 width, i32 height) override
    {
        if (target == nullptr || width <= 0 || height <= 0 || x < 0 || y < 0) {
            __builtin_trap();
        }
        return true;
    }
};

// Measure, then Draw into a page of at most 4096 rows, at each width; the alignments are
// the root's to choose.
inline void DocFuzzLayOut(cSiDocBox& root, std::initializer_list<i32> widths)
{
    cDocFuzzTarget target;
    for (i32 width : widths) {
        sSiDocDrawContext context;
        context.font = GetDefaultUiFont();
        context.right = width;
        context.target = &target;
        cCanvas* page = CreateMemoryCanvas(width, 1);
        if (page == nullptr) {
            continue;
        }
        sSize measured{};
        (void)root.Measure(page, context, measured);
        if (measured.width < 0 || measured.height < 0) {
            __builtin_trap();
        }
        const i32 height = std::clamp(measured.height, 1, 4096);
        cCanvas* tall = page->CreateOffscreenCanvas(width, height);
        page->Delete();
        if (tall == nullptr) {
            continue;
        }
        sSize drawn{};
        (void)root.Draw(tall, context, drawn);
        if (drawn.width < 0 || drawn.height < 0) {
            __builtin_trap();
        }
        tall->Delete();
    }
}
