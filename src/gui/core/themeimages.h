#pragma once
// The theme's pictures, drawn in code (see theme.h for the index list).
#include "base/types.h"

#include <memory>

class cPicture;

// A new picture for a theme image index; null for an index the theme does not define,
// or when no memory canvas can be made.
std::unique_ptr<cPicture> DrawThemeImage(i32 index);
