// Theme pictures. Icons are 16 x 16 unless said otherwise; message icons 29 x 29 (the
// icon label is 33 x 29); check boxes 13 x 13; button faces are gradient strips that
// the buttons stretch. Shapes go through cIconPainter for smooth edges.
#include "gui/core/themeimages.h"

#include "gui/core/canvas.h"
#include "gui/core/iconpainter.h"
#include "gui/core/picture.h"

namespace {

constexpr u32 kInk = ColourFromRgb(0x30, 0x30, 0x30);
constexpr u32 kWhite = ColourFromRgb(0xFF, 0xFF, 0xFF);
constexpr u32 kFolderBody = ColourFromRgb(0xF8, 0xD7, 0x75);
constexpr u32 kFolderEdge = ColourFromRgb(0xC9, 0x9A, 0x2E);
constexpr u32 kFolderBack = ColourFromRgb(0xE8, 0xBF, 0x55);
constexpr u32 kBlue = ColourFromRgb(0x1E, 0x73, 0xD2);
constexpr u32 kGreen = ColourFromRgb(0x2E, 0x9E, 0x3A);
constexpr u32 kRed = ColourFromRgb(0xD9, 0x30, 0x25);
constexpr u32 kGreyEdge = ColourFromRgb(0x70, 0x70, 0x70);

// --- button faces --------------------------------------------------------------

// A vertical gradient strip, opaque.
std::unique_ptr<cPicture> Gradient(u32 top, u32 bottom)
{
    constexpr i32 kWidth = 4;
    constexpr i32 kHeight = 24;
    auto picture = std::make_unique<cPicture>();
    if (!picture->Allocate(kWidth, kHeight)) {
        return nullptr;
    }
    for (i32 y = 0; y < kHeight; ++y) {
        u32 colour = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            const i32 a = (top >> shift) & 0xFF;
            const i32 b = (bottom >> shift) & 0xFF;
            colour |= u32(a + (b - a) * y / (kHeight - 1)) << shift;
        }
        for (i32 x = 0; x < kWidth; ++x) {
            picture->GetPixels()[y * kWidth + x] = PixelFromColour(colour);
        }
    }
    return picture;
}

std::unique_ptr<cPicture> ButtonFace(i32 state)
{
    switch (state) {
    case 0: // normal
        return Gradient(ColourFromRgb(0xF6, 0xF6, 0xF6), ColourFromRgb(0xDD, 0xDD, 0xDD));
    case 1: // focused
        return Gradient(ColourFromRgb(0xF2, 0xF8, 0xFD), ColourFromRgb(0xD6, 0xE6, 0xF4));
    case 2: // hovered
        return Gradient(ColourFromRgb(0xEA, 0xF6, 0xFD), ColourFromRgb(0xBE, 0xE6, 0xFD));
    case 3: // pressed
        return Gradient(ColourFromRgb(0xC4, 0xE5, 0xF6), ColourFromRgb(0x98, 0xD1, 0xEF));
    default: // disabled
        return Gradient(ColourFromRgb(0xF4, 0xF4, 0xF4), ColourFromRgb(0xF4, 0xF4, 0xF4));
    }
}

// --- small shapes shared by several icons ------------------------------------------

void Chevron(cIconPainter& painter, f64 x, f64 y, f64 size, f64 width, u32 colour)
{
    painter.Stroke(x, y - size, x + size, y, width, colour);
    painter.Stroke(x + size, y, x, y + size, width, colour);
}

void CheckMark(cIconPainter& painter, f64 x, f64 y, f64 scale, f64 width, u32 colour)
{
    painter.Stroke(x, y + 2 * scale, x + 2 * scale, y + 4 * scale, width, colour);
    painter.Stroke(x + 2 * scale, y + 4 * scale, x + 6 * scale, y - 1 * scale, width, colour);
}

void Folder(cIconPainter& painter, f64 top)
{
    painter.FramedRect(1, top, 6, 3, 1, kFolderEdge, kFolderBack); // tab
    painter.FramedRect(1, top + 2, 14, 15 - top - 2, 1, kFolderEdge, kFolderBody);
    painter.Rect(2, top + 3, 12, 1, ColourFromRgb(0xFC, 0xEA, 0xB0));
}

void Page(cIconPainter& painter)
{
    const f64 outline[10] = {3, 1, 10, 1, 13, 4, 13, 15, 3, 15};
    painter.Polygon(outline, 5, kGreyEdge);
    const f64 inside[10] = {4, 2, 9.6, 2, 12, 4.4, 12, 14, 4, 14};
    painter.Polygon(inside, 5, kWhite);
    const f64 fold[6] = {9.5, 1.5, 9.5, 4.5, 12.5, 4.5};
    painter.Polygon(fold, 3, ColourFromRgb(0xC8, 0xC8, 0xC8));
}

// --- pictures --------------------------------------------------------------------

std::unique_ptr<cPicture> ComboArrow()
{
    cIconPainter painter(16, 16);
    const f64 arrow[6] = {4.5, 6.5, 11.5, 6.5, 8, 10};
    painter.Polygon(arrow, 3, ColourFromRgb(0x40, 0x40, 0x40));
    return painter.ToPicture();
}

// Check boxes: off, on, focused off, focused on, disabled off, disabled on.
std::unique_ptr<cPicture> CheckBox(eThemeImage image)
{
    const i32 kind = image - kImageCheckOff;
    const bool checked = kind % 2 == 1;
    const bool focused = kind / 2 == 1;
    const bool disabled = kind / 2 == 2;
    const u32 frame = disabled ? ColourFromRgb(0xBC, 0xBC, 0xBC) : (focused ? ColourFromRgb(0x33, 0x99, 0xFF) : kGreyEdge);
    const u32 fill = disabled ? ColourFromRgb(0xE6, 0xE6, 0xE6) : kWhite;
    cIconPainter painter(13, 13);
    painter.FramedRect(0, 0, 13, 13, 1, frame, fill);
    if (checked) {
        CheckMark(painter, 3, 5, 1.0, 1.6, disabled ? ColourFromRgb(0x9A, 0x9A, 0x9A) : kInk);
    }
    return painter.ToPicture();
}

std::unique_ptr<cPicture> Computer()
{
    cIconPainter painter(16, 16);
    painter.FramedRect(1, 2, 14, 10, 1, ColourFromRgb(0x4A, 0x55, 0x60), ColourFromRgb(0x5F, 0xA8, 0xE8));
    painter.Rect(3, 4, 5, 2, ColourFromRgb(0xB8, 0xDC, 0xF8));
    painter.Rect(7, 12, 2, 2, ColourFromRgb(0x4A, 0x55, 0x60));
    painter.Rect(4, 14, 8, 1.5, ColourFromRgb(0x4A, 0x55, 0x60));
    return painter.ToPicture();
}

std::unique_ptr<cPicture> Disk()
{
    cIconPainter painter(16, 16);
    painter.FramedRect(1, 5, 14, 7, 1, ColourFromRgb(0x5A, 0x60, 0x68), ColourFromRgb(0xB8, 0xBE, 0xC6));
    painter.Rect(2, 6, 12, 1.5, ColourFromRgb(0xDD, 0xE1, 0xE6));
    painter.Disc(12, 9.5, 1.1, ColourFromRgb(0x3C, 0xC8, 0x4B));
    painter.Rect(3, 9, 6, 1, ColourFromRgb(0x7A, 0x80, 0x88));
    return painter.ToPicture();
}

std::unique_ptr<cPicture> NetworkGlobe()
{
    cIconPainter painter(16, 16);
    painter.Disc(8, 8, 7, ColourFromRgb(0x1A, 0x5F, 0xA8));
    painter.Disc(8, 8, 6, ColourFromRgb(0x5F, 0xA8, 0xE8));
    const u32 line = ColourFromRgb(0xD8, 0xEC, 0xFC);
    painter.Rect(2, 7.5, 12, 1, line);
    painter.Rect(7.5, 2, 1, 12, line);
    painter.Rect(3, 4.5, 10, 0.8, line);
    painter.Rect(3, 10.7, 10, 0.8, line);
    return painter.ToPicture();
}

std::unique_ptr<cPicture> FolderIcon()
{
    cIconPainter painter(16, 16);
    Folder(painter, 2);
    return painter.ToPicture();
}

std::unique_ptr<cPicture> FileIcon()
{
    cIconPainter painter(16, 16);
    Page(painter);
    for (int line = 0; line < 4; ++line) {
        painter.Rect(5, 6 + 2 * line, line == 3 ? 4 : 6, 1, ColourFromRgb(0xA0, 0xA8, 0xB4));
    }
    return painter.ToPicture();
}

std::unique_ptr<cPicture> OtherObject()
{
    cIconPainter painter(16, 16);
    Page(painter);
    const f64 diamond[8] = {8, 5.5, 11, 9, 8, 12.5, 5, 9};
    painter.Polygon(diamond, 4, ColourFromRgb(0x8A, 0x5C, 0xC8));
    return painter.ToPicture();
}

// Expanders: collapsed, expanded, leaf with a sibling below, last leaf.
// 11 x 11: a label draws its icon 3 pixels in, and the tree's expanders are 16 wide.
std::unique_ptr<cPicture> Expander(eThemeImage image)
{
    cIconPainter painter(11, 11);
    const u32 line = ColourFromRgb(0xA0, 0xA0, 0xA0);
    switch (image) {
    case kImageExpanderClosed: {
        const f64 right[6] = {3, 1, 8, 5.5, 3, 10};
        painter.Polygon(right, 3, ColourFromRgb(0x80, 0x80, 0x80));
        const f64 hollow[6] = {4, 3.2, 6.3, 5.5, 4, 7.8};
        painter.Polygon(hollow, 3, kWhite);
        break;
    }
    case kImageExpanderOpen: {
        const f64 down[6] = {9, 3, 9, 9, 3, 9};
        painter.Polygon(down, 3, ColourFromRgb(0x40, 0x40, 0x40));
        break;
    }
    case kImageExpanderLeaf:
        painter.Rect(5, 0, 1, 11, line);
        painter.Rect(6, 5, 5, 1, line);
        break;
    default:
        painter.Rect(5, 0, 1, 6, line);
        painter.Rect(6, 5, 5, 1, line);
        break;
    }
    return painter.ToPicture();
}

std::unique_ptr<cPicture> OverflowChevron()
{
    cIconPainter painter(16, 16);
    Chevron(painter, 3.5, 8, 3.5, 1.6, kInk);
    Chevron(painter, 8.5, 8, 3.5, 1.6, kInk);
    return painter.ToPicture();
}

// Message icons: information, question, warning, error; 29 x 29.
std::unique_ptr<cPicture> MessageIcon(eThemeImage image)
{
    cIconPainter painter(29, 29);
    switch (image) {
    case kImageInformation: // information: a white "i" on a blue disc
        painter.Disc(14.5, 14.5, 13.5, ColourFromRgb(0x15, 0x5A, 0xB0));
        painter.Disc(14.5, 14.5, 12.5, kBlue);
        painter.Disc(14.5, 8, 2, kWhite);
        painter.Rect(12.5, 12, 4, 11, kWhite);
        break;
    case kImageQuestion: // question: a white "?" on a blue disc
        painter.Disc(14.5, 14.5, 13.5, ColourFromRgb(0x15, 0x5A, 0xB0));
        painter.Disc(14.5, 14.5, 12.5, kBlue);
        painter.Stroke(10, 10.5, 12, 7.5, 3, kWhite);
        painter.Stroke(12, 7.5, 17, 7.5, 3, kWhite);
        painter.Stroke(17, 7.5, 19, 10.5, 3, kWhite);
        painter.Stroke(19, 10.5, 14.5, 15, 3, kWhite);
        painter.Stroke(14.5, 15, 14.5, 17.5, 3, kWhite);
        painter.Disc(14.5, 22, 2, kWhite);
        break;
    case kImageWarning: { // warning: a black "!" on a yellow triangle
        const f64 outer[6] = {14.5, 1, 28.5, 27, 0.5, 27};
        painter.Polygon(outer, 3, ColourFromRgb(0xB8, 0x86, 0x00));
        const f64 inner[6] = {14.5, 3.5, 26.7, 26, 2.3, 26};
        painter.Polygon(inner, 3, ColourFromRgb(0xF8, 0xC5, 0x31));
        const f64 bar[8] = {12.8, 9.5, 16.2, 9.5, 15.4, 19.5, 13.6, 19.5};
        painter.Polygon(bar, 4, kInk);
        painter.Disc(14.5, 22.5, 1.8, kInk);
        break;
    }
    default: // error: a white "X" on a red disc
        painter.Disc(14.5, 14.5, 13.5, ColourFromRgb(0xA8, 0x1E, 0x16));
        painter.Disc(14.5, 14.5, 12.5, kRed);
        painter.Stroke(9.5, 9.5, 19.5, 19.5, 3.2, kWhite);
        painter.Stroke(19.5, 9.5, 9.5, 19.5, 3.2, kWhite);
        break;
    }
    return painter.ToPicture();
}

std::unique_ptr<cPicture> OkMark()
{
    cIconPainter painter(16, 16);
    CheckMark(painter, 2.5, 7, 1.6, 2.4, kGreen);
    return painter.ToPicture();
}

std::unique_ptr<cPicture> CancelMark()
{
    cIconPainter painter(16, 16);
    painter.Stroke(4, 4, 12, 12, 2.4, kRed);
    painter.Stroke(12, 4, 4, 12, 2.4, kRed);
    return painter.ToPicture();
}

std::unique_ptr<cPicture> OpenFolder()
{
    cIconPainter painter(16, 16);
    Folder(painter, 2);
    // The front flap tilted open.
    const f64 flap[8] = {3.5, 7, 15.5, 7, 13.5, 15, 0.5, 15};
    painter.Polygon(flap, 4, kFolderEdge);
    const f64 face[8] = {4.2, 8, 14.2, 8, 12.7, 14, 1.9, 14};
    painter.Polygon(face, 4, ColourFromRgb(0xFC, 0xE3, 0x96));
    return painter.ToPicture();
}

std::unique_ptr<cPicture> SaveDisk()
{
    cIconPainter painter(16, 16);
    painter.FramedRect(1, 1, 14, 14, 1, ColourFromRgb(0x1A, 0x4A, 0x8A), ColourFromRgb(0x3A, 0x78, 0xC8));
    painter.Rect(4, 2, 8, 5, kWhite); // label
    painter.Rect(5, 3, 6, 0.8, ColourFromRgb(0xA0, 0xB4, 0xD0));
    painter.Rect(5, 10, 6, 5, ColourFromRgb(0x20, 0x30, 0x48)); // shutter
    painter.Rect(8.6, 11, 1.4, 3, ColourFromRgb(0x9C, 0xB0, 0xC8));
    return painter.ToPicture();
}

std::unique_ptr<cPicture> Home()
{
    cIconPainter painter(16, 16);
    const f64 roof[6] = {8, 1, 15.5, 8, 0.5, 8};
    painter.Polygon(roof, 3, ColourFromRgb(0xB8, 0x3A, 0x2A));
    painter.FramedRect(3, 7.5, 10, 7.5, 1, ColourFromRgb(0x8A, 0x6A, 0x4A), ColourFromRgb(0xF4, 0xE4, 0xC8));
    painter.Rect(6.5, 10, 3, 5, ColourFromRgb(0x8A, 0x5A, 0x2A)); // door
    return painter.ToPicture();
}

std::unique_ptr<cPicture> Places()
{
    // A map pin.
    cIconPainter painter(16, 16);
    const f64 point[6] = {3.6, 8, 12.4, 8, 8, 15.5};
    painter.Polygon(point, 3, kRed);
    painter.Disc(8, 6, 5, kRed);
    painter.Disc(8, 6, 2, kWhite);
    return painter.ToPicture();
}

std::unique_ptr<cPicture> NewFolder()
{
    cIconPainter painter(16, 16);
    Folder(painter, 2);
    painter.Rect(10, 7, 6, 2.4, kWhite);
    painter.Rect(11.8, 5.2, 2.4, 6, kWhite);
    painter.Rect(10.5, 7.5, 5, 1.4, kGreen);
    painter.Rect(12.3, 5.7, 1.4, 5, kGreen);
    return painter.ToPicture();
}

// Path crumb separators: a chevron to the right, or one pointing down (open).
std::unique_ptr<cPicture> CrumbSeparator(bool open)
{
    cIconPainter painter(9, 16);
    const u32 colour = ColourFromRgb(0x60, 0x60, 0x60);
    if (open) {
        painter.Stroke(1.5, 6.5, 4.5, 9.5, 1.4, colour);
        painter.Stroke(4.5, 9.5, 7.5, 6.5, 1.4, colour);
    } else {
        Chevron(painter, 3, 8, 3, 1.4, colour);
    }
    return painter.ToPicture();
}

} // namespace

std::unique_ptr<cPicture> DrawThemeImage(eThemeImage image)
{
    if (image >= kImageButtonNormal && image <= kImageButtonDisabled) {
        return ButtonFace(image - kImageButtonNormal);
    }
    if (image >= kImageCheckOff && image <= kImageCheckDisabledOn) {
        return CheckBox(image);
    }
    if (image >= kImageExpanderClosed && image <= kImageExpanderLastLeaf) {
        return Expander(image);
    }
    if (image >= kImageInformation && image <= kImageError) {
        return MessageIcon(image);
    }
    switch (image) {
    case kImageComboArrow: return ComboArrow();
    case kImageComputer: return Computer();
    case kImagePlace: return Disk();
    case kImageNetwork: return NetworkGlobe();
    case kImageFolder: return FolderIcon();
    case kImageFile: return FileIcon();
    case kImageOtherObject: return OtherObject();
    case kImageOverflow: return OverflowChevron();
    case kImageOk: return OkMark();
    case kImageCancel: return CancelMark();
    case kImageOpen: return OpenFolder();
    case kImageSave: return SaveDisk();
    case kImageHome: return Home();
    case kImagePlaces: return Places();
    case kImageNewFolder: return NewFolder();
    case kImageCrumb: return CrumbSeparator(false);
    case kImageCrumbOpen: return CrumbSeparator(true);
    default: return nullptr;
    }
}
