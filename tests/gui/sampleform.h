#pragma once
// The sample form of the reviewed picture (tests/data/gui/sample_form_testfont.png), also
// shown by the real-window tests to compare the X server's pixels with the headless ones.
#include "gui/core/canvas.h"
#include "gui/core/form.h"
#include "gui/core/panel.h"
#include "gui/core/picture.h"
#include "gui/core/scrollable.h"
#include "gui/core/theme.h"

#include <string>

namespace qeltest {

// A form with the core's pieces: panels with framed and aligned text, a scrolled view
// with both bars, one-line text in each alignment with "..." cutting, justified
// multi-line text and pictures blended over a chequered background.
class cSampleForm : public cCustomForm
{
public:
    void OnCreate() override
    {
        cCustomForm::OnCreate();
        cPanelChild* client = GetClientPanel();
        client->AddChildAt(&m_titled, 0, 0, -1, 24);
        m_titled.SetBorderColour(GetTheme()->GetColour(21));
        m_titled.SetText(u"Panel with centred text");
        client->AttachChild(&m_texts, 0, 30, 220, 150);
        client->AttachChild(&m_list, 230, 30, 150, 110);
        m_list.SetContentWidth(260);
        m_list.SetContentHeight(20 * 18);
        m_list.ScrollTo(30, 3 * 18);
        client->AttachChild(&m_pictures, 230, 146, 150, 34);
    }

private:
    class cTextSamples : public cChildElement
    {
        void OnPaint(cCanvas& canvas) override
        {
            canvas.FillRect(0, 0, GetWidth(), GetHeight(), 0xFFFFFF, GetTheme()->GetColour(21));
            canvas.SetColors(GetTheme()->GetColour(4), 0xFFFFFF);
            const char16_t* names[] = {u"Left", u"Centre", u"Right"};
            for (u32 align = 0; align < 3; ++align) {
                i32 y = 4 + i32(align) * 18;
                canvas.FillRect(4, y, GetWidth() - 8, 16, 0xF8F0E8, 0xE0C8B0);
                canvas.DrawTextInRectW(4, y, GetWidth() - 8, 16, align, false, 3, 3, names[align], -1);
            }
            canvas.DrawTextInRectW(4, 58, 90, 16, kAlignLeft, false, 3, 3, u"Cut with an ellipsis", -1);
            canvas.DrawMultilineTextW(4, 80, GetWidth() - 8, GetHeight() - 84, kAlignJustify, 1.2,
                                      u"Justified text spreads the gaps of every line that ends by wrapping, "
                                      u"while the last line of a paragraph stays left.",
                                      -1, nullptr);
        }
    };

    class cRows : public cScrollableElement
    {
        i32 DefaultBorderWidth() override { return 1; }
        void PaintContent(cCanvas& canvas) override
        {
            canvas.FillRect(0, 0, GetWidth(), GetHeight(), 0xFFFFFF, 0xFFFFFF);
            canvas.SetColors(GetTheme()->GetColour(4), 0xFFFFFF);
            for (i32 row = 0; row < 20; ++row) {
                i32 y = row * 18 - GetScrollY();
                u32 fill = row % 2 ? 0xF4F4F4 : 0xFFFFFF;
                canvas.FillRect(-GetScrollX(), y, GetContentWidth(), 18, fill, fill);
                std::u16string text = u"Row " + std::u16string(1, char16_t(u'A' + row)) + u" of the scrolled content";
                canvas.DrawTextW(4 - GetScrollX(), y + 2, false, text.c_str(), -1);
            }
            sRect view = GetViewRect();
            canvas.SetPen(GetTheme()->GetColour(21), 1);
            canvas.DrawLine(0, 0, view.width, 0);
            canvas.DrawLine(0, 0, 0, view.height);
            canvas.DrawLine(view.width - 1, 0, view.width - 1, view.height);
            canvas.DrawLine(0, view.height - 1, view.width, view.height - 1);
        }
    };

    class cPictures : public cChildElement
    {
        void OnPaint(cCanvas& canvas) override
        {
            for (i32 y = 0; y < GetHeight(); y += 6) {
                for (i32 x = 0; x < GetWidth(); x += 6) {
                    u32 shade = ((x + y) / 6) % 2 ? 0xC0C0C0 : 0xFFFFFF;
                    canvas.FillRect(x, y, 6, 6, shade, shade);
                }
            }
            i32 x = 2;
            for (const eThemeImage image :
                 {kImageInformation, kImageQuestion, kImageWarning, kImageError, kImageFolder}) {
                if (const cPicture* picture = GetTheme()->GetImage(image)) {
                    canvas.DrawPictureBlended(x, 2, picture);
                    x += picture->GetWidth() + 2;
                }
            }
        }
    };

    cPanelChild m_titled;
    cTextSamples m_texts;
    cRows m_list;
    cPictures m_pictures;
};

} // namespace qeltest
