// The snapshot pass's property checks (bench/uiproperties.h) on pictures made to break
// one property each, and on their sound twins: each check must be able to fail.
#include "../../../bench/uiproperties.h"
#include "gui/controlstest.h"
#include "platform/softcanvas.h"

namespace {

class UiProperties : public qeltest::cFormTest
{
protected:
    void SetUp() override
    {
        cFormTest::SetUp();
        ASSERT_TRUE(form.AttachChild(&label, 10, 10, 200, 45));
        label.SetTextMode(kTextWrapped);
        ASSERT_TRUE(label.SetText(u"A heading", 0u, false));
        ASSERT_TRUE(form.AttachChild(&button, 300, 200, 80, 25));
        canvas.reset(cSoftCanvas::Create(600, 300));
    }
    // The sound picture: a plain background, the button apart from the label.
    void Reset()
    {
        canvas->FillRect(0, 0, 600, 300, label.GetBackColour(), label.GetBackColour());
        button.SetBounds(300, 200, 80, 25);
    }
    std::vector<std::string> Checks(const sRect& window = {0, 0, 600, 300})
    {
        std::vector<std::string> checks;
        for (const uiproperties::sFailure& failure : uiproperties::CheckWindow(&form, *canvas, window, {1024, 768})) {
            checks.push_back(failure.check);
        }
        return checks;
    }
    // A selection band with a block of `ink` (and one of `second` beside it, when not
    // the band's colour) standing for a word.
    void Band(u32 ink, u32 second)
    {
        const u32 band = GetTheme()->GetColour(16);
        canvas->FillRect(20, 100, 200, 20, band, band);
        canvas->FillRect(30, 104, 30, 12, ink, ink);
        canvas->FillRect(60, 104, 5, 12, second, second);
    }

    cStaticElement label;
    cButtonChild button;
    std::unique_ptr<cCanvas> canvas;
};

TEST_F(UiProperties, EachCheckCatchesItsFault)
{
    const u32 band = GetTheme()->GetColour(16);
    const struct
    {
        const char* name;
        std::function<void()> make;
        std::vector<std::string> caught;
        sRect window;
    } cases[] = {
        {"sound", [] {}, {}, {0, 0, 600, 300}},
        {"ink on the label's last text row",
         [&] { canvas->FillRect(20, 10 + 45 - 4, 30, 1, 0, 0); }, {"text-fits"}, {0, 0, 600, 300}},
        {"ink a row above it", [&] { canvas->FillRect(20, 10 + 45 - 5, 30, 1, 0, 0); }, {}, {0, 0, 600, 300}},
        {"a button over the label", [&] { button.SetBounds(150, 40, 80, 25); }, {"no-overlap"}, {0, 0, 600, 300}},
        {"a button past the window", [&] { button.SetBounds(550, 200, 80, 25); }, {"on-screen"}, {0, 0, 600, 300}},
        {"a window past the screen", [] {}, {"on-screen"}, {500, 500, 600, 300}},
        {"white on the band", [&] { Band(0xFFFFFF, band); }, {}, {0, 0, 600, 300}},
        {"grey on the band", [&] { Band(0x808080, band); }, {"contrast"}, {0, 0, 600, 300}},
        {"an icon of two colours", [&] { Band(0x808080, 0x00FFFF); }, {}, {0, 0, 600, 300}},
        {"white on the grey band",
         [&] {
             const u32 grey = GetTheme()->GetColour(18);
             canvas->FillRect(20, 100, 200, 20, grey, grey);
             canvas->FillRect(30, 104, 30, 12, 0xFFFFFF, 0xFFFFFF);
         },
         {"contrast"},
         {0, 0, 600, 300}},
    };
    for (const auto& c : cases) {
        Reset();
        c.make();
        EXPECT_EQ(Checks(c.window), c.caught) << c.name;
    }
}

} // namespace
