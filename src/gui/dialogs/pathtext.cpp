#include "gui/dialogs/pathtext.h"

std::u16string TextOf(const char16_t* text)
{
    return text != nullptr ? std::u16string(text) : std::u16string();
}

std::u16string JoinPath(const std::u16string& folder, const std::u16string& name)
{
    if (!folder.empty() && folder.back() == u'/') {
        return folder + name;
    }
    return folder + u'/' + name;
}
