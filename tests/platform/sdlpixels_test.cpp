// What the X server shows of an SDL window is what the headless host renders of the same
// form, pixel for pixel: the screenshot (ImageMagick's import) against the headless PNG,
// first whole, then after a small damaged area was repainted.
#include "gui/core/canvas.h"
#include "gui/core/form.h"
#include "gui/core/picture.h"
#include "gui/core/theme.h"
#include "platform/headlesshost.h"
#include "platform/softgraphics.h"
#include "sdltesttools.h"

#include <cstdlib>

namespace {

using qeltest::cRunScript;

// Colour bars that tell every channel apart (a red/blue swap or a wrong pitch shows),
// text in the three alignments, a picture blended over a chequer, and a swatch whose
// colour changes to damage 20 x 20 pixels.
class cPixelForm : public cCustomForm
{
public:
    void OnCreate() override
    {
        cCustomForm::OnCreate();
        GetClientPanel()->AttachChild(&m_samples, 0, 0, 300, 150);
        GetClientPanel()->AttachChild(&m_swatch, 310, 20, 20, 20);
    }
    void ChangeSwatch()
    {
        m_swatch.colour = 0x2080F0;
        m_swatch.Invalidate();
    }

private:
    class cSamples : public cChildElement
    {
        void OnPaint(cCanvas& canvas) override
        {
            const u32 bars[] = {0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFF00FF, 0xFFFF00, 0x123456, 0x654321};
            for (i32 index = 0; index < 8; ++index) {
                canvas.FillRect(index * 30, 0, 30, 30, bars[index], 0x000000);
            }
            for (i32 x = 0; x < 256; ++x) {
                canvas.FillRect(x, 32, 1, 8, u32(x), u32(x));
                canvas.FillRect(x, 40, 1, 8, u32(x) << 16, u32(x) << 16);
            }
            canvas.SetColors(GetTheme()->GetColour(4), 0xFFFFFF);
            const char16_t* names[] = {u"Left aligned", u"Centred", u"Right aligned"};
            for (u32 align = 0; align < 3; ++align) {
                canvas.FillRect(0, 52 + i32(align) * 18, 200, 16, 0xFFFFFF, 0xC0C0C0);
                canvas.DrawTextInRectW(0, 52 + i32(align) * 18, 200, 16, align, false, 3, 3, names[align], -1);
            }
            for (i32 y = 110; y < 150; y += 5) {
                for (i32 x = 0; x < 120; x += 5) {
                    u32 shade = ((x + y) / 5) % 2 ? 0xC0C0C0 : 0xFFFFFF;
                    canvas.FillRect(x, y, 5, 5, shade, shade);
                }
            }
            i32 x = 2;
            for (i32 index : {73, 76, 48}) {
                if (const cPicture* picture = GetTheme()->GetImage(index)) {
                    canvas.DrawPictureBlended(x, 112, picture);
                    x += picture->GetWidth() + 4;
                }
            }
        }
    };
    class cSwatch : public cChildElement
    {
    public:
        void OnPaint(cCanvas& canvas) override { canvas.FillRect(0, 0, GetWidth(), GetHeight(), colour, 0x000000); }
        u32 colour = 0x40C040;
    };

    cSamples m_samples;
    cSwatch m_swatch;
};

class SdlPixels : public qeltest::cSdlTest
{
protected:
    std::string Folder()
    {
        const char* out = std::getenv("QEL_SNAPSHOT_OUT");
        return out != nullptr ? std::string(out) + "/" : ::testing::TempDir();
    }
    // ImageMagick's count of differing pixels ("AE"), as it prints it.
    std::string DifferingPixels(const std::string& a, const std::string& b)
    {
        std::string output;
        RunTool({"compare", "-metric", "AE", a, b, "null:"}, &output);
        return output;
    }
    // Runs `form` in a dialog of the headless host (an application of its own for the
    // while) with `script`, then sets the SDL host's application up again.
    void RenderHeadless(cPixelForm* form, i32 width, i32 height, const cHeadlessHost::tModalScript& script)
    {
        application.reset();
        {
            cHeadlessHost headless;
            cCIApplication rendering;
            ASSERT_TRUE(rendering.SetUpWindowSystem(&headless));
            headless.PushModalScript(script);
            rendering.GetWindowMaker()->RunModalOver(u"pixels", width, height, form, nullptr, true);
        }
        application = std::make_unique<cCIApplication>();
        ASSERT_TRUE(application->SetUpWindowSystem(host));
    }
};

TEST_F(SdlPixels, TheServerShowsTheHeadlessRenderingPixelForPixel)
{
    QEL_REQUIRE_X_TOOLS();
    QEL_REQUIRE(qeltest::HaveTool("import") && qeltest::HaveTool("compare"), "import and compare (imagemagick)");
    const std::string headlessWhole = Folder() + "sdl_pixels_headless.png";
    const std::string headlessDamaged = Folder() + "sdl_pixels_headless_damaged.png";
    const std::string shotWhole = Folder() + "sdl_pixels_shot.png";
    const std::string shotDamaged = Folder() + "sdl_pixels_shot_damaged.png";

    // The system font: anti-aliased glyphs are the pixels most likely to go astray.
    ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::System));
    RenderHeadless(new cPixelForm, 360, 240, [&](cHeadlessHost& h, cWindowTranslator& window) {
        h.Pump();
        EXPECT_TRUE(h.SavePng(&window, headlessWhole));
        static_cast<cPixelForm*>(window.GetRoot())->ChangeSwatch();
        h.Pump();
        EXPECT_TRUE(h.SavePng(&window, headlessDamaged));
    });

    auto* form = new cPixelForm;
    std::string whole;
    std::string damaged;
    cRunScript script;
    script.Post([&] {
        ASSERT_TRUE(WaitForFocus(form->GetWindow()));
        Settle();
        std::string id = qeltest::HexWindowId(qeltest::X11WindowOf(form->GetWindow()));
        ASSERT_TRUE(RunTool({"import", "-silent", "-window", id, shotWhole}));
        whole = DifferingPixels(shotWhole, headlessWhole);
        form->ChangeSwatch();
        Settle();
        ASSERT_TRUE(RunTool({"import", "-silent", "-window", id, shotDamaged}));
        damaged = DifferingPixels(shotDamaged, headlessDamaged);
        form->EndModal(1);
    });
    EXPECT_EQ(Maker()->RunModalOver(u"pixels", 360, 240, form, nullptr, true), 1);
    EXPECT_EQ(whole, "0") << shotWhole << " against " << headlessWhole;
    EXPECT_EQ(damaged, "0") << shotDamaged << " against " << headlessDamaged;
    ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::FixedTest));
}

} // namespace
