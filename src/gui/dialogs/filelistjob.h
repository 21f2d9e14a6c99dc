#pragma once
// cFileChooseListFolder: the file chooser's listing job. It lists a folder with sizes and
// dates, or the places, into a listing that only the job writes; the dialog takes it
// (TakeListing) once the done action has reached the bar.
//
// A folder on a dead network mount can block getdents or stat for ever, and a blocked
// thread cannot be unwound, so the folder is read on a detached side thread that owns
// its own listing and stop flag. The job waits for it in 10 ms steps; a stop request
// abandons it at once (the job ends with 1 and an empty listing) and the side thread
// frees its state whenever its system call returns.
#include "base/texts.h"
#include "base/types.h"
#include "gui/dialogs/navigationjobs.h"
#include "system/folders.h"

class cFileChooseListFolder : public cNavigationProvider
{
public:
    ~cFileChooseListFolder() override;

    // True for a null or empty path (the places), an absolute path naming a folder and a
    // bare drive designator ("C:", which lists as a failure: there are no drives). A
    // relative path would be resolved against the process's current folder: false.
    bool CanNavigate(const char16_t* path) override;

    // GUI thread, after the done action: moves the listing out (the job's is left empty)
    // and hands over the name to select.
    cFolderListing TakeListing() { return std::move(m_listing); }
    _guardchar<char16_t> TakeNameToSelect() { return std::move(m_nameToSelect); }

protected:
    // 0 when the folder or the places were listed, 1 on failure or stop.
    i32 List(const char16_t* path, const char16_t* nameToSelect) override;

private:
    cFolderListing m_listing;
    _guardchar<char16_t> m_nameToSelect;
};
