#pragma once
// cStaticElement: the text label, one line or a word-wrapped block with an optional
// icon in front; cLinkElement: a label that posts a plain code-0 action when clicked.
//
// Threads: SetText (both forms) is the one call a worker thread may make on a label
// (installer and progress status lines). The text, and the alignment given with it,
// are guarded by the label's own lock, which the paint holds while it draws the text;
// the redraw request is the core's thread-safe Invalidate. Every other call, GetText
// included (its pointer dies with the next SetText), is for the GUI thread only.
#include "base/locks.h"
#include "base/texts.h"
#include "base/types.h"
#include "gui/core/element.h"

class cFontObject;
class cPicture;

// Text modes of SetTextMode.
enum : i32
{
    kTextCut = 0,     // one line, cut with "..." when too wide
    kTextClipped = 1, // one line, clipped and aligned
    kTextWrapped = 2, // a word-wrapped block
};

class cStaticElement : public cChildElement
{
public:
    // The line spacing factor of wrapped text.
    static constexpr f64 kLineFactor = 1.2;

    cStaticElement() = default;

    // Stores the alignment (0 left, 1 centre, 2 right, 3 justify in mode 2 and left
    // elsewhere) and the text (null clears) under the label's lock; redraws when asked.
    // False when memory is short (the text stays as it was).
    bool SetText(const char16_t* text, u32 alignment, bool redraw);
    // The element text calls, all under the label's lock. SetText keeps the alignment
    // and redraws.
    bool SetText(const char16_t* text, i32 length = -1) override;
    // GUI thread only: the pointer is valid until the next SetText.
    const char16_t* GetText() override;
    bool CopyText(_guardchar<char16_t>& out) override;
    void ClearText() override;

    // Null selects the default UI font.
    void SetFont(cFontObject* font);
    const cFontObject* GetLabelFont() const { return m_font; }
    void SetTextColour(u32 colour);
    void SetBackColour(u32 colour);
    void SetFrameColour(u32 colour);
    void SetColours(u32 text, u32 back, u32 frame);
    u32 GetTextColour() const { return m_textColour; }
    u32 GetBackColour() const { return m_backColour; }
    void SetTextMode(i32 mode);
    i32 GetTextMode() const { return m_textMode; }
    void SetIndent(i32 pixels);
    // The icon is borrowed; null removes it.
    virtual void SetIcon(const cPicture* picture, bool redraw);
    // The size that shows icon and text whole. False for a null `size` or when the text
    // cannot be measured (outside a host window).
    virtual bool MeasureContent(sSize* size);

    // Width reserved in front of icon and text.
    virtual i32 GetLeadWidth() { return 0; }
    // Called with the colours of a disabled label before its text colour is greyed.
    virtual void OnDisabledColours(u32& textColour, u32& backColour) {}

    void ApplyStyle() override;
    void OnPaint(cCanvas& canvas) override;
    bool OnDrawBackground(cCanvas& canvas, const sRect& rect) override;

private:
    // Draws the text by mode and returns where it starts, for the icon in front of it.
    i32 DrawTextByMode(cCanvas& canvas, i32 x);

    cCriticalSection m_lock;
    _guardchar<char16_t> m_text; // guarded by m_lock
    const cPicture* m_icon = nullptr;
    cFontObject* m_font = nullptr;
    u32 m_textColour = 0;
    u32 m_backColour = 0;
    u32 m_frameColour = 0;
    i32 m_textMode = kTextCut;
    i32 m_indent = 0;
    u32 m_alignment = 0; // guarded by m_lock
};

class cLinkElement : public cStaticElement
{
public:
    // A value of the caller's (a row index, say).
    void SetTag(u32 value) { m_tag = value; }
    u32 GetTag() const { return m_tag; }

    // The left button's release posts the plain code-0 action while the link is enabled.
    void OnMouseButton(i32 x, i32 y, i32 button, bool down) override;
    i32 DefaultCursorKind() override { return kCursorHand; }
    void ApplyStyle() override;

private:
    u32 m_tag = 0;
};
