#pragma once
// Shared by the document fuzz targets: the tree measured and drawn headless (into a page of
// at most 4096 rows) at each width; a negative size traps.
#include "gui/core/canvas.h"
#include "gui/core/font.h"
#include "gui/document/docbox.h"
#include "platform/softgraphics.h"

#include <algorithm>
#include <initializer_list>
#include <memory>

inline void DocFuzzLayOut(cSiDocBox& root, std::initializer_list<i32> widths)
{
    const auto release = [](cCanvas* canvas) { canvas != nullptr ? canvas->Delete() : void(); };
    for (i32 width : widths) {
        const sSiDocDrawContext context{GetDefaultUiFont(), 0xFFFFFF, 0, 0, 0, width, -1, nullptr};
        const std::unique_ptr<cCanvas, decltype(release)> measuring(CreateMemoryCanvas(width, 1), release);
        sSize measured{}, drawn{};
        (void)root.Measure(measuring.get(), context, measured);
        const std::unique_ptr<cCanvas, decltype(release)> page(
            measuring ? measuring->CreateOffscreenCanvas(width, std::clamp(measured.height, 1, 4096)) : nullptr, release);
        (void)root.Draw(page.get(), context, drawn);
        if (measured.width < 0 || measured.height < 0 || drawn.width < 0 || drawn.height < 0) {
            __builtin_trap();
        }
    }
}
