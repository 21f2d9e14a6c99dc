#pragma once
// Texts that once cut a message box's buttons or put it off the screen: a short
// question, no text, a 300-character path and 20 lines.
#include "gui/controls/messagebox.h"

#include <string>
#include <vector>

namespace qeltest {

struct sMessageBoxCase
{
    const char* name;
    std::u16string text;
    i32 buttonKind;
};

inline std::vector<sMessageBoxCase> MessageBoxFitCases()
{
    std::u16string path = u"Overwrite the file /home/user/" + std::u16string(260, u'x') + u"/name.txt?";
    std::u16string lines;
    for (int line = 0; line < 20; ++line) {
        lines += u"Line\n";
    }
    return {{"sure", u"Sure?", kMessageYesNo}, {"empty", u"", kMessageOk}, {"path", path, kMessageOk},
            {"twenty", lines, kMessageYesNo}};
}

} // namespace qeltest
