#include "platform/softgraphics.h"

#include "gui/core/canvas.h"
#include "gui/core/font.h"
#include "platform/freetypefont.h"
#include "platform/softcanvas.h"
#include "platform/testfont.h"

namespace {
cCanvas* MakeSoftCanvas(i32 width, i32 height)
{
    return cSoftCanvas::Create(width, height);
}
} // namespace

bool InstallSoftwareGraphics(eTextFont font)
{
    SetCanvasMaker(&MakeSoftCanvas);
    if (font == eTextFont::FixedTest) {
        SetFontEngine(std::make_unique<cTestFontEngine>());
        return true;
    }
    std::unique_ptr<cFreeTypeFontEngine> engine = cFreeTypeFontEngine::Create();
    const bool started = engine != nullptr;
    SetFontEngine(std::move(engine));
    return started;
}
