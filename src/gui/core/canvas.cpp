#include "gui/core/canvas.h"

#include <atomic>

namespace {
std::atomic<tCanvasMaker> g_canvasMaker{nullptr};
}

void SetCanvasMaker(tCanvasMaker maker)
{
    g_canvasMaker.store(maker);
}

cCanvas* CreateMemoryCanvas(i32 width, i32 height)
{
    const tCanvasMaker maker = g_canvasMaker.load();
    return maker == nullptr ? nullptr : maker(width, height);
}
