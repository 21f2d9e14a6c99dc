#pragma once
// cWindowMaker: the application's maker of windows. It opens a host window for a widget
// tree (a modal dialog, a modal popup or a hint), runs modal loops through the host and
// answers the screen and clipboard questions of elements.
//
// A modal run owns its root on every path, "no host" included: the root is deleted after
// its window is gone. While it runs, the owner's window ignores input.
#include "base/buffers.h"
#include "base/texts.h"
#include "base/types.h"
#include "gui/core/geometry.h"
#include "gui/core/windowrequest.h"

#include <vector>

class cChildElement;
class cWindowTranslator;

class cWindowMaker
{
public:
    // `host` is borrowed and MUST outlive the maker; null makes every run end with -1.
    explicit cWindowMaker(cWindowRequestTarget* host);
    // Closes the windows still open (hints); their roots stay with their owners.
    ~cWindowMaker();
    cWindowMaker(const cWindowMaker&) = delete;
    cWindowMaker& operator=(const cWindowMaker&) = delete;

    // Runs `form` modally in a dialog window with a client area of width x height,
    // centred over `owner`'s window, or over the screen when `owner` is null or has no
    // window. Returns the end code; -1 without a host or when no window can be opened.
    i32 RunModalOver(const char16_t* title, i32 width, i32 height, cChildElement* form, cChildElement* owner,
                     bool resizable);
    // Runs `root` modally in a popup window at a screen position over `owner`'s window.
    i32 RunModalAt(cChildElement* root, i32 x, i32 y, i32 width, i32 height, cChildElement* owner);

    // Opens a window that runs no loop of its own (hints); null when the host cannot.
    // The root is set up (ApplyStyle, OnCreate) and stays owned by the caller.
    cWindowTranslator* OpenWindow(cChildElement* root, const sWindowParams& params);
    // Closes a window from OpenWindow and deletes its translator.
    void CloseWindow(cWindowTranslator* window);

    bool GetMaxWindowSize(sSize& size);
    bool SetClipboardText(const char16_t* text, i32 length);
    bool GetClipboardText(_guardchar<char16_t>& text);
    bool ReadClipboard(_typebuf<u8>& bytes);

private:
    i32 RunRoot(cChildElement* root, const sWindowParams& params);

    cWindowRequestTarget* m_host;
    std::vector<cWindowTranslator*> m_windows;
};

// The running application's window maker; null without one.
cWindowMaker* GetWindowMaker();
