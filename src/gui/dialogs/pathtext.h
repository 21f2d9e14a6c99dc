// Path texts shared by the file and folder choosers.
#pragma once

#include <string>

// The text, empty for null.
std::u16string TextOf(const char16_t* text);

// Joins a folder and a name with one '/' (no doubled separator after "/").
std::u16string JoinPath(const std::u16string& folder, const std::u16string& name);
