#include "gui/core/hint.h"

#include "gui/core/canvas.h"
#include "gui/core/element.h"
#include "gui/core/font.h"
#include "gui/core/theme.h"
#include "gui/core/windowmaker.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// Pale yellow, the customary tooltip background.
constexpr u32 kHintBackColour = 0xE1FFFF;
constexpr i32 kHintPadding = 3;

struct sHintLine
{
    const char16_t* start;
    i32 length;
};

std::vector<sHintLine> SplitLines(const char16_t* text)
{
    std::vector<sHintLine> lines;
    const char16_t* start = text;
    for (const char16_t* unit = text;; ++unit) {
        if (*unit == u'\n' || *unit == 0) {
            lines.push_back({start, i32(unit - start)});
            if (*unit == 0) {
                return lines;
            }
            start = unit + 1;
        }
    }
}

} // namespace

// The root of the hint window: a framed box with the lines of text.
class cHintElement : public cChildElement
{
public:
    cHintElement(u32 textColour, u32 backColour) : m_textColour(textColour), m_backColour(backColour) {}

    void OnPaint(cCanvas& canvas) override
    {
        canvas.FillRect(0, 0, GetWidth(), GetHeight(), m_backColour, GetTheme()->GetColour(21));
        canvas.SelectFont(GetDefaultUiFont());
        canvas.SetColors(m_textColour, m_backColour);
        i32 lineHeight = GetDefaultUiFont() != nullptr ? GetDefaultUiFont()->GetCellHeight() : 0;
        i32 y = kHintPadding;
        for (const sHintLine& line : SplitLines(GetText())) {
            canvas.DrawTextW(kHintPadding, y, false, line.start, line.length);
            y += lineHeight;
        }
    }

private:
    u32 m_textColour;
    u32 m_backColour;
};

cHintMaster::cHintMaster() = default;

cHintMaster::~cHintMaster()
{
    HideHint();
}

bool cHintMaster::ShowHint(cChildElement* owner, const char16_t* text, sPoint screenPoint, u32 textColour,
                           u32 backColour, i32 placement)
{
    HideHint();
    cWindowMaker* maker = GetWindowMaker();
    if (maker == nullptr || text == nullptr || text[0] == 0) {
        return false;
    }
    std::unique_ptr<cCanvas> measurer(CreateMemoryCanvas(1, 1));
    if (measurer == nullptr) {
        return false;
    }
    measurer->SelectFont(GetDefaultUiFont());
    i32 width = 0;
    i32 height = 0;
    for (const sHintLine& line : SplitLines(text)) {
        sSize size;
        if (!measurer->MeasureTextW(line.start, line.length, &size)) {
            return false;
        }
        width = std::max(width, size.width);
        height += size.height;
    }
    width += 2 * kHintPadding;
    height += 2 * kHintPadding;

    auto element = std::make_unique<cHintElement>(textColour == kHintDefaultColour ? GetTheme()->GetColour(4)
                                                                                      : textColour,
                                                  backColour == kHintDefaultColour ? kHintBackColour : backColour);
    if (!element->SetText(text)) {
        return false;
    }
    sWindowParams params;
    params.kind = eWindowKind::Hint;
    params.owner = owner != nullptr ? owner->GetWindow() : nullptr;
    params.screenRect = {screenPoint.x, placement == 1 ? screenPoint.y - height : screenPoint.y, width, height};
    m_window = maker->OpenWindow(element.get(), params);
    if (m_window == nullptr) {
        return false;
    }
    m_element = std::move(element);
    m_owner = owner;
    return true;
}

void cHintMaster::HideHint()
{
    if (m_window != nullptr) {
        if (cWindowMaker* maker = GetWindowMaker()) {
            maker->CloseWindow(m_window);
        }
        m_window = nullptr;
    }
    m_element.reset();
    m_owner = nullptr;
}
