// canvas_sample <out.png>: draws one picture of what the canvas does (one-line text in
// each alignment with "..." cutting, word-wrapped text in the four alignments, the UI
// fonts, button frames with GDI line ends, blended theme images, a resampled gradient
// and a clip with holes) with the system fonts and writes it as PNG, for review.
#include "gui/core/canvas.h"
#include "gui/core/font.h"
#include "gui/core/picture.h"
#include "gui/core/resample.h"
#include "gui/core/theme.h"
#include "platform/pngwrite.h"
#include "platform/softcanvas.h"
#include "platform/softgraphics.h"

#include <cstdio>
#include <memory>

namespace {

const char16_t kParagraph[] =
    u"A new version of the package is available. The update downloads the installer, checks it and "
    u"starts it when you are ready; nothing changes until then.";

void OneLineTexts(cCanvas& canvas, cCITheme& theme)
{
    const char16_t* labels[] = {u"Left", u"Centre", u"Right"};
    for (u32 align = 0; align < 3; ++align) {
        const i32 x = 10 + i32(align) * 155;
        canvas.FillRect(x, 10, 150, 22, theme.GetColour(27), theme.GetColour(32));
        canvas.SetColors(theme.GetColour(4), theme.GetColour(27));
        canvas.DrawTextInRectW(x, 10, 150, 22, align, false, 4, 4, labels[align], -1);
    }
    canvas.FillRect(10, 36, 150, 22, theme.GetColour(27), theme.GetColour(32));
    canvas.DrawTextInRectW(10, 36, 150, 22, kAlignLeft, false, 4, 4, u"C:/Users/someone/Downloads/installer.exe", -1);
    canvas.SetColors(theme.GetColour(9), theme.GetColour(16));
    canvas.DrawTextInRectW(165, 36, 150, 22, kAlignLeft, true, 4, 4, u"Selected (boxed) text", -1);
    canvas.SetColors(theme.GetColour(5), theme.GetColour(0));
    canvas.DrawTextInRectW(320, 36, 150, 22, kAlignCentre, false, 0, 0, u"Disabled caption", -1);
}

void Paragraphs(cCanvas& canvas, cCITheme& theme)
{
    for (u32 align = 0; align < 4; ++align) {
        const i32 x = 10 + i32(align % 2) * 235;
        const i32 y = 66 + i32(align / 2) * 86;
        canvas.FillRect(x, y, 230, 82, theme.GetColour(45), theme.GetColour(44));
        canvas.SetColors(theme.GetColour(4), theme.GetColour(45));
        canvas.DrawMultilineTextW(x + 4, y + 3, 222, 76, align, 1.2, kParagraph, -1, nullptr);
    }
}

void Fonts(cCanvas& canvas, cCITheme& theme)
{
    canvas.SetColors(theme.GetColour(61), theme.GetColour(0));
    canvas.SelectFont(GetBoldUiFont());
    canvas.DrawTextW(10, 242, false, u"Bold 6 x 13: Software Package Update", -1);
    canvas.SelectFont(GetUnderlinedUiFont());
    canvas.SetColors(theme.GetColour(7), theme.GetColour(0));
    canvas.DrawTextW(10, 258, false, u"Open software web site", -1);
    canvas.SelectFont(GetCachedFont(5, 13, nullptr, false, false, true));
    canvas.SetColors(theme.GetColour(4), theme.GetColour(0));
    canvas.DrawTextW(10, 274, false, u"Italic: What is new in version 2.1", -1);
    canvas.SelectFont(nullptr);
}

// A raised button of each state: frame lines A/B with GDI end points, the inner line,
// the stretched face image and the caption.
void Buttons(cCanvas& canvas, cCITheme& theme)
{
    const char16_t* captions[] = {u"Normal", u"Focus", u"Hover", u"Pressed", u"Disabled"};
    for (i32 state = 0; state < 5; ++state) {
        const i32 x = 250 + (state % 3) * 78;
        const i32 y = 240 + (state / 3) * 30;
        const i32 w = 72, h = 25;
        const u32 a = theme.GetColour(53 + 2 * (state == 3 ? 2 : state));
        const u32 b = theme.GetColour(54 + 2 * (state == 3 ? 2 : state));
        canvas.SetOrigin(x, y);
        canvas.SetPen(a, 1);
        canvas.DrawLine(0, 0, w, 0);
        canvas.DrawLine(0, 0, 0, h);
        canvas.SetPen(b, 1);
        canvas.DrawLine(w - 1, h - 1, 0, h - 1);
        canvas.DrawLine(w - 1, h - 1, w - 1, 0);
        canvas.SetPen(theme.GetColour(52), 1);
        canvas.DrawLine(1, 1, w - 1, 1);
        canvas.DrawLine(1, 1, 1, h - 1);
        canvas.DrawPicture(2, 2, theme.GetImage(eThemeImage(kImageButtonNormal + state)), w - 4, h - 4);
        canvas.SetColors(theme.GetColour(state == 4 ? 5 : 4), 0);
        canvas.DrawTextInRectW(2, 6 + (state == 3), w - 4, 13, kAlignCentre, false, 3, 3, captions[state], -1);
        canvas.SetOrigin(0, 0);
    }
}

void Images(cCanvas& canvas, cCITheme& theme)
{
    // Icons blended over a gradient band, so their soft edges show.
    for (i32 x = 0; x < 460; ++x) {
        const u32 level = u32(0xFF - x * 0xA0 / 460);
        canvas.FillRect(10 + x, 306, 1, 36, ColourFromRgb(level, level, 0xFF), ColourFromRgb(level, level, 0xFF));
    }
    const eThemeImage icons[] = {
        kImageComputer, kImagePlace, kImageNetwork, kImageFolder, kImageFile, kImageOtherObject,
        kImageOk, kImageCancel, kImageOpen, kImageSave, kImageHome, kImagePlaces, kImageNewFolder,
        kImageComboArrow, kImageOverflow, kImageCrumb, kImageCrumbOpen, kImageCheckOn,
        kImageCheckFocusedOn, kImageCheckDisabledOn};
    i32 x = 14;
    for (const eThemeImage icon : icons) {
        const cPicture* picture = theme.GetImage(icon);
        canvas.DrawPictureBlended(x, 316, picture);
        x += picture->GetWidth() + 6;
    }
    for (i32 kind = 0; kind < 4; ++kind) {
        canvas.DrawPictureBlended(10 + kind * 36, 350, theme.GetImage(eThemeImage(kImageInformation + kind)));
    }
}

// The progress bar's 20-row gradient columns resampled to 18 rows and drawn side by side.
void Progress(cCanvas& canvas)
{
    const u32 done[20] = {0xA9EF9E, 0x9AE587, 0x97E383, 0x8FE078, 0x87DE6D, 0x84DD69, 0x84DD69,
                          0x84DD69, 0x84DD69, 0x84DD69, 0x84DD69, 0x84DD69, 0x84DD69, 0x84DD69,
                          0xC6EBB7, 0xC8EBBA, 0xCCEDBF, 0xD5EFCC, 0xD6F2CF, 0xE2FCE0};
    const u32 remaining[20] = {0xF3F1F0, 0xE6E1DD, 0xE4DFDB, 0xE2DDD9, 0xE1DDD9, 0xE0DCD8, 0xE0DCD8,
                               0xE0DCD8, 0xE0DCD8, 0xE0DCD9, 0xE0DCD9, 0xE0DCD9, 0xE0DDD9, 0xE1DDDA,
                               0xE9E6E3, 0xEBE8E4, 0xF0ECE9, 0xF4F0ED, 0xFAF7F3, 0xF8F8F7};
    u32 doneColumn[18], remainingColumn[18];
    if (!ResamplePixelRows(done, 20, doneColumn, 18) || !ResamplePixelRows(remaining, 20, remainingColumn, 18)) {
        return;
    }
    cPicture bar;
    if (!bar.Allocate(300, 20)) {
        return;
    }
    for (i32 y = 0; y < 20; ++y) {
        for (i32 x = 0; x < 300; ++x) {
            const bool edge = y == 0 || y == 19 || x == 0 || x == 299;
            bar.GetPixels()[y * 300 + x] = edge ? 0xF1D5C6 : (x < 190 ? doneColumn[y - 1] : remainingColumn[y - 1]);
        }
    }
    canvas.DrawPicture(170, 356, &bar);
}

// A grid background painted around cells that were excluded from the clip.
void ClipHoles(cCanvas& canvas)
{
    canvas.SetOrigin(170, 384);
    for (i32 cell = 0; cell < 10; ++cell) {
        canvas.ExcludeClip(sRect{4 + cell * 30, 4, 24, 12});
    }
    canvas.FillRect(0, 0, 300, 20, 0x303030, 0x303030);
    canvas.ApplyClip();
    for (i32 cell = 0; cell < 10; ++cell) {
        canvas.FillRect(4 + cell * 30, 4, 24, 12, ColourFromRgb(0xFF, u32(cell * 25), 0x40), 0xFFFFFF);
    }
    canvas.SetOrigin(0, 0);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: canvas_sample <out.png>\n");
        return 2;
    }
    if (!InstallSoftwareGraphics(eTextFont::System)) {
        std::fprintf(stderr, "no system fonts\n");
        return 1;
    }
    std::unique_ptr<cCanvas> canvas(cSoftCanvas::Create(480, 410));
    cCITheme& theme = *GetTheme();
    canvas->FillRect(0, 0, 480, 410, theme.GetColour(0), theme.GetColour(0));
    OneLineTexts(*canvas, theme);
    Paragraphs(*canvas, theme);
    Fonts(*canvas, theme);
    Buttons(*canvas, theme);
    Images(*canvas, theme);
    Progress(*canvas);
    ClipHoles(*canvas);
    if (!SaveCanvasPng(argv[1], *canvas)) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
