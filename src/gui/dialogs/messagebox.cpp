#include "gui/dialogs/messagebox.h"

#include "gui/core/font.h"
#include "gui/core/imagelist.h"
#include "gui/core/theme.h"

#include <algorithm>
#include <new>
#include <string>
#include <utility>

namespace {

// Image ids of the message image list: the button pictures and, from 10 on, the icon of
// each icon kind.
constexpr i32 kOkPicture = 0;
constexpr i32 kCancelPicture = 1;
constexpr i32 kFirstIcon = 10;
constexpr i32 kIconKinds = 4;
// Room the icon takes left of the first line.
constexpr i32 kIconRoom = 37;
// What the window adds to the widest line: the client panel's and the labels' margins.
constexpr i32 kSideMargins = 30;
// The button bar's margin on its left.
constexpr i32 kBarLeftMargin = 5;

// Strings of "ciom::messages".
enum : i32
{
    kTextOk = 0,
    kTextYes = 1,
    kTextNo = 2,
    kTextInformation = 3,
    kTextWarning = 4,
    kTextError = 5,
    kTextConfirm = 6,
};

// Filled once and kept for the whole program, like the theme images it points at.
sImageList& MessageImages()
{
    static sImageList images;
    return images;
}

bool Fits(cChildElement* parent, const cFontObject* font, const std::u16string& text, size_t count, i32 room)
{
    sSize size;
    return parent->MeasureText(std::u16string(text, 0, count).c_str(), size, font) && size.width <= room;
}

// Cuts from `rest` the longest head that fits `room` and returns it: at the last space
// that keeps it inside, else between characters (never inside a surrogate pair), at
// least one character. The spaces at the cut are dropped.
std::u16string TakeFittingPiece(cChildElement* parent, const cFontObject* font, std::u16string& rest, i32 room)
{
    if (rest.empty() || Fits(parent, font, rest, rest.size(), room)) {
        return std::exchange(rest, std::u16string());
    }
    // Widths grow with the length: search for the longest fitting head.
    size_t low = 1;
    size_t high = rest.size();
    while (low + 1 < high) {
        const size_t middle = low + (high - low) / 2;
        (Fits(parent, font, rest, middle, room) ? low : high) = middle;
    }
    size_t cut = low;
    if (cut < rest.size() && rest[cut] >= 0xDC00 && rest[cut] <= 0xDFFF) {
        cut += cut > 1 ? -1 : 1;
    }
    const size_t space = rest.find_last_of(u' ', cut);
    if (space != std::u16string::npos && space > 0) {
        cut = space;
    }
    std::u16string piece(rest, 0, cut);
    const size_t next = rest.find_first_not_of(u' ', cut);
    rest.erase(0, next == std::u16string::npos ? rest.size() : next);
    return piece;
}

// The raw end code: 1 "Ok"/"Yes", 0 "No"/Escape, -1 when no window could show it; 0 for
// a null parent or text and when memory is short.
i32 RunMessageBox(cChildElement* parent, const char16_t* text, const char16_t* caption, i32 captionIndex,
                  i32 iconKind, i32 buttonKind)
{
    if (parent == nullptr || text == nullptr) {
        return 0;
    }
    cMessageForm* form = new (std::nothrow) cMessageForm(iconKind, buttonKind);
    if (form == nullptr) {
        return 0;
    }
    if (!form->SetMessage(parent, text)) {
        delete form;
        return 0;
    }
    if (caption == nullptr) {
        caption = cChildElement::GetLangStringVia(form, parent, captionIndex);
    }
    const sSize size = form->GetDialogSize();
    return parent->RunModal(caption, size.width, size.height, form, false);
}

} // namespace

// --- the form ----------------------------------------------------------------------------------

bool cMessageForm::SetMessage(cChildElement* parent, const char16_t* text)
{
    // The form has no window yet: its lines are measured through the parent's.
    const cFontObject* regular = parent->GetFont(5, 13, GetUiFontName(), false, false, false);
    const cFontObject* bold = parent->GetFont(6, 13, GetUiFontName(), true, false, false);
    // A line wider than the screen allows is wrapped, so that the window fits the screen
    // and the whole text stays readable.
    sSize screen;
    const bool screenKnown = parent->GetMaxWindowSize(screen);
    const i32 room = screenKnown ? screen.width - kSideMargins : INT32_MAX;
    const char16_t* start = text;
    while (*start != 0) {
        const char16_t* end = start;
        while (*end != 0 && *end != u'\n') {
            ++end;
        }
        const bool first = m_lines.empty();
        std::u16string rest(start, size_t(end - start));
        do {
            const i32 indent = m_lines.empty() ? kIconRoom : 0;
            if (!AddLine(parent, first ? bold : regular, TakeFittingPiece(parent, first ? bold : regular, rest, room - indent),
                         indent)) {
                return false;
            }
            m_boldLines += first ? 1 : 0;
        } while (!rest.empty());
        start = *end != 0 ? end + 1 : end;
    }
    return !screenKnown || FitHeight(parent, regular, screen.height);
}

bool cMessageForm::AddLine(cChildElement* parent, const cFontObject* font, const std::u16string& text, i32 indent)
{
    std::unique_ptr<cStrTokenItem> line(new (std::nothrow) cStrTokenItem);
    if (line == nullptr || !line->text.AssignN(text.data(), text.size())) {
        return false;
    }
    sSize size;
    if (parent->MeasureText(line->text.GetOrEmpty(), size, font)) {
        line->width = size.width + indent;
        m_lineWidth = std::max(m_lineWidth, line->width);
        m_lineHeight = std::max(m_lineHeight, size.height);
    }
    m_lines.push_back(std::move(line));
    return true;
}

bool cMessageForm::FitHeight(cChildElement* parent, const cFontObject* font, i32 screenHeight)
{
    size_t fitting = m_lines.size();
    while (fitting > 1 && HeightFor(fitting) > screenHeight) {
        --fitting;
    }
    if (fitting == m_lines.size()) {
        return true;
    }
    m_lines.resize(fitting - 1);
    m_boldLines = std::min(m_boldLines, m_lines.size());
    m_lineWidth = 0;
    for (const auto& line : m_lines) {
        m_lineWidth = std::max(m_lineWidth, line->width);
    }
    return AddLine(parent, font, u"...", m_lines.empty() ? kIconRoom : 0);
}

i32 cMessageForm::HeightFor(size_t count) const
{
    return count == 0 ? 105 : 115 + i32(1.5 * f64(count - 1) * m_lineHeight);
}

sSize cMessageForm::GetDialogSize() const
{
    return {m_lineWidth + kSideMargins, HeightFor(m_lines.size())};
}

void cMessageForm::ApplyStyle()
{
    cCustomForm::ApplyStyle();
    sImageList& images = MessageImages();
    if (images.Get(kOkPicture) == nullptr) {
        const cCITheme* theme = GetTheme();
        images.Set(kOkPicture, theme->GetImage(kImageOk));
        images.Set(kCancelPicture, theme->GetImage(kImageCancel));
        for (i32 kind = 0; kind < kIconKinds; ++kind) {
            images.Set(kFirstIcon + kind, theme->GetImage(eThemeImage(kImageInformation + kind)));
        }
    }
}

void cMessageForm::OnCreate()
{
    cCustomForm::OnCreate();
    const cCITheme* theme = GetTheme();
    const u32 back = theme->GetColour(0);

    // The button bar sits on the form, below the client panel, at the bottom right.
    const i32 barHeight = theme->GetMetric(7);
    AttachChild(&m_toolbar, 0, 0, 0, barHeight);
    m_toolbar.SetTransparent(true);
    m_toolbar.SetStateImageList(kButtonNormal, &MessageImages());
    if (m_buttonKind == kMessageOk) {
        (void)m_toolbar.SetButton(1, GetLangString(kTextOk), kOkPicture);
    } else if (m_buttonKind == kMessageYesNo) {
        (void)m_toolbar.SetButton(1, GetLangString(kTextYes), kOkPicture);
        (void)m_toolbar.SetButton(2, GetLangString(kTextNo), kCancelPicture);
    }
    const i32 barWidth = m_toolbar.GetTotalWidth();
    // The window is at least as wide as its buttons and the icon column: a short text
    // must not cut a button. The window opens at this minimum, and the lines follow.
    const i32 needed = std::max(barWidth + theme->GetMetric(9) + kBarLeftMargin, kIconRoom + kSideMargins);
    if (GetWidth() < needed) {
        SetMinSize(needed, GetMinHeight());
    }
    AddChildAt(&m_toolbar, -(theme->GetMetric(9) + barWidth), -1 - theme->GetMetric(8) - barHeight, barWidth,
               barHeight);

    // Widths count from the panel's right edge (AddChildAt), so the lines keep their
    // margins when the window opens wider than the text asked for.
    cPanelChild* panel = GetClientPanel();
    const i32 lineStep = i32(1.5 * m_lineHeight);
    i32 y = 42;
    for (size_t index = 0; index < m_lines.size(); ++index) {
        cStaticElement& label = m_lines[index]->label;
        if (index == 0) {
            panel->AddChildAt(&label, 42, (29 - m_lineHeight) / 2, -48, m_lineHeight + 2);
        } else {
            panel->AddChildAt(&label, 5, y, -11, m_lineHeight + 2);
            y += lineStep;
        }
        // The pieces of a wrapped first line keep its bold face.
        if (index < m_boldLines) {
            label.SetTextColour(theme->GetColour(61));
            label.SetFont(GetBoldFont());
        }
        label.SetBackColour(back);
        label.SetFrameColour(back);
        (void)label.SetText(m_lines[index]->text.Get(), 0u, false);
    }

    panel->AttachChild(&m_iconLabel, 5, 0, 33, 29);
    m_iconLabel.SetIcon(MessageImages().Get(kFirstIcon + m_iconKind), false);
    m_iconLabel.SetBackColour(back);
    m_iconLabel.SetFrameColour(back);
}

bool cMessageForm::OnAction(cChildElement* source, cChildAction* action)
{
    if (source == &m_toolbar) {
        if (auto* press = dynamic_cast<cToolBarChild::cTbButtonAction*>(action)) {
            if (press->GetId() == 1) {
                OnOK();
                return true;
            }
            if (press->GetId() == 2) {
                OnCancel();
                return true;
            }
        }
    }
    return cCustomForm::OnAction(source, action);
}

// --- the runners ---------------------------------------------------------------------------------

bool MessageBox(cChildElement* parent, const char16_t* text, const char16_t* caption, i32 captionIndex,
                i32 iconKind, i32 buttonKind)
{
    if (parent == nullptr || text == nullptr) {
        return false;
    }
    return RunMessageBox(parent, text, caption, captionIndex, iconKind, buttonKind) != 0;
}

bool ShowWarningMessage(cChildElement* parent, const char16_t* text, const char16_t* caption)
{
    return MessageBox(parent, text, caption, kTextInformation, kMessageInformation, kMessageOk);
}

bool ShowInfoMessage(cChildElement* parent, const char16_t* text, const char16_t* caption)
{
    return MessageBox(parent, text, caption, kTextWarning, kMessageWarning, kMessageOk);
}

bool ShowErrorMessage(cChildElement* parent, const char16_t* text, const char16_t* caption)
{
    return MessageBox(parent, text, caption, kTextError, kMessageError, kMessageOk);
}

bool AskQuestion(cChildElement* parent, const char16_t* text, const char16_t* caption)
{
    return RunMessageBox(parent, text, caption, kTextConfirm, kMessageQuestion, kMessageYesNo) == 1;
}

bool AskConfirmation(cChildElement* parent, const char16_t* text, const char16_t* caption)
{
    return RunMessageBox(parent, text, caption, kTextConfirm, kMessageWarning, kMessageYesNo) == 1;
}
