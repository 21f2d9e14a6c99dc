#pragma once
// Texts that once cut a message box's buttons or put it off the screen: a short
// question, no text, a 300-character path, 20 lines and 40 lines (taller than a 768
// high screen: its last line becomes "..."); and what a shown box's layout holds.
#include "gui/controls/toolbar.h"
#include "gui/dialogs/messagebox.h"

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

namespace qeltest {

struct sMessageBoxCase
{
    const char* name;
    std::u16string text;
    i32 buttonKind;
    bool cut; // the text is taller than the screen
};

inline std::vector<sMessageBoxCase> MessageBoxFitCases()
{
    std::u16string path = u"Overwrite the file /home/user/" + std::u16string(260, u'x') + u"/name.txt?";
    std::u16string twenty, forty;
    for (int line = 0; line < 40; ++line) {
        (line < 20 ? twenty : forty) += u"Line\n";
    }
    return {{"sure", u"Sure?", kMessageYesNo, false},
            {"empty", u"", kMessageOk, false},
            {"path", path, kMessageOk, false},
            {"twenty", twenty, kMessageYesNo, false},
            {"forty", twenty + forty, kMessageOk, true}};
}

// A shown message box as its form holds it, in the form's coordinates.
struct sMessageBoxLayout
{
    sRect bar;                  // the buttons
    i32 textBottom = INT32_MIN; // the lowest line label's bottom edge
    i32 overhang = INT32_MIN;   // the most a line's text overhangs its label
    std::u16string lastLine;
};

inline sMessageBoxLayout ReadMessageBox(cCustomForm* form)
{
    sMessageBoxLayout layout;
    for (cChildElement* child : form->GetClientPanel()->GetChildren()) {
        auto* label = dynamic_cast<cStaticElement*>(child);
        const char16_t* text = label != nullptr ? label->GetText() : nullptr;
        sSize size;
        if (text == nullptr || text[0] == 0 || !label->MeasureText(text, size, label->GetLabelFont())) {
            continue; // the icon
        }
        layout.overhang = std::max(layout.overhang, size.width - label->GetWidth());
        layout.textBottom = std::max(layout.textBottom, label->GetOriginInRoot().y + label->GetHeight());
        layout.lastLine = text;
    }
    if (auto* toolbar = dynamic_cast<cToolBarChild*>(form->GetChildren().back())) {
        layout.bar = {toolbar->GetOriginInRoot().x, toolbar->GetOriginInRoot().y, toolbar->GetTotalWidth(),
                      toolbar->GetHeight()};
    }
    return layout;
}

} // namespace qeltest
