// What the X server shows of an SDL window is what the headless host renders of the same
// form, pixel for pixel: the screenshot (ImageMagick's import) against the headless PNG,
// first whole, then after a small damaged area was repainted.
#include "gui/sampleform.h"
#include "platform/headlesshost.h"
#include "platform/softgraphics.h"
#include "sdltesttools.h"

#include <cstdlib>

namespace {

using qeltest::cRunScript;

// The sample form (the core's pieces: coloured fills, framed and aligned text, scroll
// bars, pictures blended over a chequer) with a swatch whose colour changes to damage
// 20 x 20 pixels.
class cPixelForm : public qeltest::cSampleForm
{
public:
    void OnCreate() override
    {
        cSampleForm::OnCreate();
        GetClientPanel()->AttachChild(&m_swatch, 0, 186, 20, 20);
    }
    void ChangeSwatch()
    {
        m_swatch.colour = 0x2080F0;
        m_swatch.Invalidate();
    }

private:
    class cSwatch : public cChildElement
    {
    public:
        void OnPaint(cCanvas& canvas) override { canvas.FillRect(0, 0, GetWidth(), GetHeight(), colour, 0x000000); }
        u32 colour = 0x40C040;
    };

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
    RenderHeadless(new cPixelForm, 400, 260, [&](cHeadlessHost& h, cWindowTranslator& window) {
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
    EXPECT_EQ(Maker()->RunModalOver(u"pixels", 400, 260, form, nullptr, true), 1);
    EXPECT_EQ(whole, "0") << shotWhole << " against " << headlessWhole;
    EXPECT_EQ(damaged, "0") << shotDamaged << " against " << headlessDamaged;
    ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::FixedTest));
}

} // namespace
