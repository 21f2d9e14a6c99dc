#pragma once
// cSiDocViewer: a vertically scrolling view of one rich document (a box tree, docbox.h).
//
// The document is laid out and drawn once, at the element's width, into a page canvas;
// every later paint copies the visible band of the page and fills the rest of the view
// with the background. Links register their rectangles while the page is drawn.
//
// Behaviour:
//   first paint         measure the root at the element width W; when it is taller than
//                       the element, measure again at W - 16 so that no line runs under
//                       the vertical bar; draw into a page of W x height (height capped at
//                       kSiDocMaxPagePixels / W rows: a longer document is cut there)
//   failed layout       (Measure fails, size 0, no page) the view shows the background,
//                       and the layout is not retried until SetDocument or a new width
//   resize              a new width drops the page (the next paint lays out again); a
//                       new height keeps it
//   Page Up / Page Down one page; Home / End to the top or bottom (nothing when already
//                       there); Left / Up one line (15 px) up, Right / Down one line down;
//                       other keys bubble. The viewer takes the focus only when the form
//                       calls SetFocusable(true).
//   pointer moves       the hand cursor over a link, the arrow elsewhere
//   left press/release  a press captures the mouse and remembers the link under it; the
//                       release opens that link (OpenLink) only when it lies on the same
//                       link; the pressed link is forgotten after every release
// Dropping the page (SetDocument, a new width, the destructor) also forgets the link
// areas and the pressed link, so no click ever reaches a target of a document that is
// gone.
//
// Ownership: the viewer borrows the root. The document loader MUST outlive every viewer
// that shows its document: call SetDocument(nullptr) (or show another document) before
// the loader goes.
#include "gui/core/scrollable.h"
#include "gui/document/docbox.h"

#include <map>
#include <vector>

// 2^25 pixels (128 MiB at 4 bytes), about eight licence texts at 800 pixels wide.
constexpr i64 kSiDocMaxPagePixels = i64(1) << 25;

class cSiDocViewer : public cScrollableElement, public cSiDocActiveTarget
{
public:
    cSiDocViewer() = default;
    ~cSiDocViewer() override;

    // Sets the background back to 0xFFFFFF. False when `root` is already shown (the page
    // is kept); otherwise shows `root` (null: none) from the top and repaints.
    bool SetDocument(cSiDocBox* root);

    void ClearActiveAreas() override;
    bool AddActiveArea(const char16_t* target, i32 x, i32 y, i32 width, i32 height) override;

    // Opens a link target with the desktop (ShellOpenLink: web and mail addresses and
    // existing absolute paths only, never as a command); a refusal or failure is ignored.
    virtual void OpenLink(const char16_t* target);

    void PaintContent(cCanvas& canvas) override;
    void OnResize() override;
    void OnMouseButton(i32 x, i32 y, i32 button, bool down) override;
    void OnMouseMove(i32 x, i32 y) override;
    bool OnKeyDown(i32 vk) override;

private:
    struct sArea
    {
        i32 left;
        i32 top;
        i32 right; // inclusive
        i32 bottom;
    };

    void DropPage();
    // The link target at a point in element coordinates; null on no link.
    const char16_t* HitTest(i32 x, i32 y) const;
    // Makes and draws the page; false when there is nothing to show.
    bool LayOut(cCanvas& canvas);
    void Blit(cCanvas& canvas, const sRect& view);

    cCanvas* m_page = nullptr;
    i32 m_pageWidth = 0; // the element width the page was made for
    cSiDocBox* m_document = nullptr;
    u32 m_background = 0xFFFFFF;
    const char16_t* m_pressed = nullptr;
    // The last layout of this document at this width failed.
    bool m_layoutFailed = false;
    i32 m_failedWidth = 0;
    // Inclusive rectangles in page coordinates, per target pointer.
    std::map<const char16_t*, std::vector<sArea>> m_areas;
};
