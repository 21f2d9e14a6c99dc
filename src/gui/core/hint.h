#pragma once
// cHintMaster: one hint popup (a tooltip) at a time. The hint window never takes the
// input focus and runs no loop; deleting the master closes it.
#include "base/types.h"
#include "gui/core/geometry.h"

#include <memory>

class cChildElement;
class cHintElement;
class cWindowTranslator;

// A colour argument that asks for the default hint colour.
constexpr u32 kHintDefaultColour = 0xFF000000;

class cHintMaster
{
public:
    cHintMaster();
    ~cHintMaster();
    cHintMaster(const cHintMaster&) = delete;
    cHintMaster& operator=(const cHintMaster&) = delete;

    // Shows `text` (lines split at line feeds) for `owner` at a screen point: placement 1
    // puts the hint's bottom edge at the point, any other value its top-left corner. A
    // hint already shown is replaced. Colours are 0x00BBGGRR or kHintDefaultColour. False
    // when the text is empty or no window can be opened.
    bool ShowHint(cChildElement* owner, const char16_t* text, sPoint screenPoint, u32 textColour,
                  u32 backColour, i32 placement);
    void HideHint();
    // The element the hint is shown for; null when none is shown.
    cChildElement* GetOwner() const { return m_owner; }
    // The hint's window while shown (for tests and snapshots).
    cWindowTranslator* GetWindow() const { return m_window; }

private:
    std::unique_ptr<cHintElement> m_element;
    cWindowTranslator* m_window = nullptr;
    cChildElement* m_owner = nullptr;
};
