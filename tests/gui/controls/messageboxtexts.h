#pragma once
// The texts that once gave message boxes cut buttons or windows off the screen: a short
// question, no text, an overwrite question naming a 300-character path and 20 lines.
#include "gui/controls/messagebox.h"

#include <string>
#include <vector>

namespace qeltest {

struct sMessageBoxCase
{
    const char* name;
    std::u16string text;
    i32 buttonKind;
    size_t minLines; // the lines it shows at least, wrapped ones included
};

inline std::vector<sMessageBoxCase> MessageBoxFitCases()
{
    std::u16string path = u"Overwrite the file /home/user/";
    while (path.size() < 290) {
        path += u"folder/";
    }
    path += u"name.txt?";
    std::u16string twenty;
    for (char16_t line = 0; line < 20; ++line) {
        twenty += u"Line " + std::u16string(1, char16_t(u'a' + line)) + u"\n";
    }
    return {
        {"sure", u"Sure?", kMessageYesNo, 1},
        {"empty", u"", kMessageOk, 0},
        {"path", path, kMessageOk, 2},
        {"twenty", twenty, kMessageYesNo, 20},
    };
}

} // namespace qeltest
