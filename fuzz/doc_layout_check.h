#pragma once
// Shared by the document fuzz targets: the tree measured and drawn headless (into a page of
// at most 4096 rows) at each width; a negative size traps.
#include "gui/controls/docbox.h"
#include "gui/core/canvas.h"
#include "gui/core/font.h"
#include "platform/softgraphics.h"

#include <algorithm>
#include <initializer_list>

inline void DocFuzzLayOut(cSiDocBox& root, std::initializer_list<i32> widths)
{
    for (i32 width : widths) {
        const sSiDocDrawContext context{GetDefaultUiFont(), 0xFFFFFF, 0, 0, 0, width, -1, nullptr};
        cCanvas* measuring = CreateMemoryCanvas(width, 1);
        sSize measured{}, drawn{};
        (void)root.Measure(measuring, context, measured);
        cCanvas* page = measuring != nullptr ? measuring->CreateOffscreenCanvas(width, std::clamp(measured.height, 1, 4096))
                                             : nullptr;
        (void)root.Draw(page, context, drawn);
        if (measured.width < 0 || measured.height < 0 || drawn.width < 0 || drawn.height < 0) {
            __builtin_trap();
        }
        for (cCanvas* canvas : {measuring, page}) {
            if (canvas != nullptr) {
                canvas->Delete();
            }
        }
    }
}
