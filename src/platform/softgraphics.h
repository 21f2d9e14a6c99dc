#pragma once
// Installs the platform's drawing services into the core: the software canvas as the
// maker of memory canvases and a font engine. Called once before the application
// starts, or per test fixture while no widget holds a font.
enum class eTextFont
{
    System,    // FreeType and fontconfig
    FixedTest, // the built-in fixed-advance test font
};

// False when the system font engine cannot start (the canvas maker is installed anyway;
// text then measures empty).
bool InstallSoftwareGraphics(eTextFont font);
