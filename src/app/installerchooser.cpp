#include "app/installerchooser.h"

#include "gui/dialogs/filechooser.h"

#include <utility>

bool ChooseInstallerPath(cChildElement* parent, const char16_t* title, const char16_t* name,
                         const char16_t* folder, const char16_t* filterName,
                         _guardchar<char16_t>& path)
{
    sFileChooseParams params;
    if (!params.path.Assign(name) || !params.startFolder.Assign(folder) || !params.filters.Alloc(1) ||
        !params.filters[0].name.Assign(filterName) || !params.filters[0].patterns.Assign(u"*") ||
        !RunFileSaveDialog(parent, title, &params)) {
        return false;
    }
    path = std::move(params.path);
    return true;
}
