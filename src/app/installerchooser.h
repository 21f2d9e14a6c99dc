#pragma once
// The save dialog that asks where a downloaded installer goes.
#include "base/texts.h"

class cChildElement;

// Asks where to save `name` (the proposed file name), starting in `folder` (null: the
// chooser's own start), with one filter "*" named `filterName`. True with the chosen
// full path, false when the user cancelled.
bool ChooseInstallerPath(cChildElement* parent, const char16_t* title, const char16_t* name,
                         const char16_t* folder, const char16_t* filterName,
                         _guardchar<char16_t>& path);
