#pragma once
// The theme's pictures, drawn in code.
#include "gui/core/themeimagenames.h"

#include <memory>

class cPicture;

// A new picture of a theme image; null for a value the theme does not define, or when
// no memory canvas can be made.
std::unique_ptr<cPicture> DrawThemeImage(eThemeImage image);
