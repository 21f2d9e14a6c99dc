// Reviewed pictures of every control in every state, drawn with the fixed-advance test
// font and compared pixel for pixel with the goldens in tests/data/gui/controls (see
// the README there for how they were made).
#include "gui/controls/popupmenu.h"
#include "gui/controls/pushbutton.h"
#include "gui/controls/statictext.h"
#include "gui/controls/toolbar.h"
#include "gui/controlstest.h"
#include "gui/core/imagelist.h"
#include "gui/core/keys.h"
#include "gui/core/panel.h"
#include "gui/core/theme.h"

#include <memory>

namespace {

using qeltest::ExpectMatchesGolden;

class SnapshotTest : public qeltest::cGuiTest
{
protected:
    // A canvas of the form's background colour.
    static std::unique_ptr<cCanvas> BlankCanvas(i32 width, i32 height)
    {
        std::unique_ptr<cCanvas> canvas(CreateMemoryCanvas(width, height));
        const u32 back = GetTheme()->GetColour(0);
        canvas->FillRect(0, 0, width, height, back, back);
        return canvas;
    }

    // Copies `element` as its window shows it to (x, y) of `target`.
    void CopyElement(cCanvas& target, cChildElement* element, i32 x, i32 y)
    {
        const sPoint origin = element->GetOriginInRoot();
        target.CopyFrom(x, y, host->GetCanvas(element->GetWindow()), origin.x, origin.y, element->GetWidth(),
                        element->GetHeight());
    }
};

// Rows: plain, disabled, icon, clipped centred text, "..." cut, wrapped and justified
// text, a transparent label on a coloured panel, a link.
TEST_F(SnapshotTest, Labels)
{
    cCustomForm form;
    cWindowTranslator* window = Open(&form, 260, 250);
    ASSERT_NE(window, nullptr);
    cStaticElement plain, disabled, withIcon, centred, cut, wrapped, transparent;
    cLinkElement link;
    cPanelChild coloured;
    form.AttachChild(&plain, 5, 5, 250, 20);
    form.AttachChild(&disabled, 5, 30, 250, 20);
    form.AttachChild(&withIcon, 5, 55, 250, 24);
    form.AttachChild(&centred, 5, 84, 250, 20);
    form.AttachChild(&cut, 5, 109, 90, 20);
    form.AttachChild(&wrapped, 5, 134, 250, 60);
    form.AttachChild(&coloured, 5, 199, 250, 20);
    coloured.SetBackColour(0xE0C0A0);
    coloured.AttachChild(&transparent, 0, 0, 250, 20);
    form.AttachChild(&link, 5, 224, 250, 20);

    plain.SetText(u"Plain label", 0u, true);
    disabled.SetText(u"Disabled label", 0u, true);
    disabled.Disable();
    withIcon.SetIcon(GetTheme()->GetImage(kImageFolder), true);
    withIcon.SetText(u"Label with an icon", 0u, true);
    centred.SetTextMode(kTextClipped);
    centred.SetFrameColour(GetTheme()->GetColour(21));
    centred.SetText(u"Centred, framed", 1u, true);
    cut.SetText(u"Cut with dots at the end", 0u, true);
    wrapped.SetTextMode(kTextWrapped);
    wrapped.SetBackColour(0xFFFFFF);
    wrapped.SetText(u"Wrapped text in mode two, justified: every line that ends by wrapping "
                    u"reaches the right edge.",
                    3u, true);
    transparent.SetTransparent(true);
    transparent.SetText(u"Transparent label on a panel", 0u, true);
    link.SetText(u"A link, underlined", 0u, true);
    host->Pump();
    ExpectMatchesGolden(*host->GetCanvas(window), "labels.png");
}

// Columns: styles 0 to 6; rows: normal, focused, hovered, pressed, disabled. Each
// button has the caption "Button" and the OK picture.
TEST_F(SnapshotTest, ButtonStylesAndStates)
{
    constexpr i32 kWidth = 70;
    constexpr i32 kHeight = 26;
    constexpr i32 kStep = 76;
    constexpr i32 kRow = 32;
    cCustomForm form;
    cWindowTranslator* window = Open(&form, 7 * kStep + 6, 40);
    ASSERT_NE(window, nullptr);
    cButtonChild buttons[7];
    for (i32 style = 0; style < 7; ++style) {
        cButtonChild& button = buttons[style];
        form.AttachChild(&button, 6 + style * kStep, 6, kWidth, kHeight);
        button.SetStyle(u32(style), true);
        (void)button.SetCaption(u"Button");
        button.GetPictureRef(kButtonNormal).Set(GetTheme()->GetImage(kImageOk));
    }
    std::unique_ptr<cCanvas> sheet = BlankCanvas(7 * kStep + 6, 5 * kRow + 6);
    for (i32 state = kButtonNormal; state <= kButtonDisabled; ++state) {
        for (i32 style = 0; style < 7; ++style) {
            cButtonChild& button = buttons[style];
            const sRect at = button.GetRect();
            switch (state) {
            case kButtonFocused:
                button.Activate();
                break;
            case kButtonHovered:
                host->MouseMove(at.x + 5, at.y + 5);
                break;
            case kButtonPressed:
                host->MouseDown(at.x + 5, at.y + 5);
                break;
            case kButtonDisabled:
                button.Disable();
                break;
            default:
                break;
            }
            host->Pump();
            ASSERT_EQ(button.GetVisualState(), state) << "style " << style;
            CopyElement(*sheet, &button, 6 + style * kStep, 6 + state * kRow);
            if (state == kButtonPressed) {
                host->MouseUp(300, 300);
            }
            button.Enable();
            host->MouseLeave();
        }
    }
    ExpectMatchesGolden(*sheet, "buttons.png");
}

// A styled popup: an icon entry, a separator, the hovered entry in the hover colours.
TEST_F(SnapshotTest, PopupMenu)
{
    cCustomForm form;
    ASSERT_NE(Open(&form, 200, 100), nullptr);
    sImageList icons;
    icons.Set(1, GetTheme()->GetImage(kImageFolder));
    icons.Set(2, GetTheme()->GetImage(kImageSave));
    tPopupItems items;
    const struct
    {
        i32 id;
        const char16_t* text;
        i32 icon;
        bool separator;
    } entries[] = {{1, u"Open folder", 1, false}, {2, u"Save", 2, false}, {3, u"Delete", -1, true},
                   {4, u"Properties", -1, false}};
    for (const auto& entry : entries) {
        sPopupItem* item = items.GetOrAdd(entry.id);
        ASSERT_NE(item, nullptr);
        ASSERT_TRUE(item->text.Assign(entry.text));
        item->iconId = entry.icon;
        item->separator = entry.separator;
    }
    sPopupStyle style;
    style.imageList = &icons;
    style.minimumWidth = 120;
    style.hoverBackColour = 0xF7E8CC;
    style.focusBackColour = 0xFBF3E5;
    style.preselectedId = 4;
    host->PushModalScript([&](cHeadlessHost& h, cWindowTranslator& popup) {
        h.MouseMove(40, 30);
        h.Pump();
        ExpectMatchesGolden(*h.GetCanvas(&popup), "popup.png");
        h.KeyDown(kVkEscape);
    });
    EXPECT_EQ(ShowPopupMenuStyled(&form, items, 20, 20, style), -1);
}

// Three bars of five buttons in 200 pixels, opaque: overflow mode 0 (running past the
// edge), mode 1 with leading id limit 2, and mode 2.
TEST_F(SnapshotTest, ToolBarOverflowModes)
{
    cCustomForm form;
    cWindowTranslator* window = Open(&form, 220, 100);
    ASSERT_NE(window, nullptr);
    sImageList icons;
    icons.Set(0, GetTheme()->GetImage(kImageOk));
    icons.Set(1, GetTheme()->GetImage(kImageCancel));
    cToolBarChild bars[3];
    for (i32 mode = 0; mode < 3; ++mode) {
        cToolBarChild& bar = bars[mode];
        form.AttachChild(&bar, 10, 8 + 30 * mode, 200, 25);
        bar.SetStateImageList(kButtonNormal, &icons);
        for (i32 id = 1; id <= 5; ++id) {
            const char16_t* captions[] = {u"Home", u"Places", u"New", u"Save", u"Close"};
            ASSERT_TRUE(bar.SetButton(id, captions[id - 1], id % 2));
        }
        bar.SetLeadingIdLimit(2);
        bar.SetOverflowMode(mode);
    }
    host->Pump();
    ExpectMatchesGolden(*host->GetCanvas(window), "toolbar.png");
}

} // namespace
