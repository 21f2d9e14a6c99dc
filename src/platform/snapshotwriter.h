#pragma once
// Saves the windows of modal runs as PNG files, for demonstrations and reviews: each run's
// window once after its first paint that follows the run's queued actions (the focus in
// place, as a person first sees the window), and a progress form's window also every
// 500 ms while it is open. Files are "NN-<form id>.png" in the folder named by QEL_SNAPSHOT_DIR, NN a
// counter of the process (two digits at least) and "::" of the form id written as "-".
// Without that variable nothing is saved.
#include "base/types.h"

#include <string>
#include <vector>

class cCanvas;
class cWindowTranslator;

class cSnapshotWriter
{
public:
    static constexpr u32 kProgressIntervalMs = 500;

    // Reads QEL_SNAPSHOT_DIR.
    cSnapshotWriter();
    bool IsActive() const { return !m_folder.empty(); }

    // After a paint of the innermost run's window: saves it when this run has not been
    // saved yet, or when it shows a progress form and the interval has passed.
    void AfterPaint(cWindowTranslator* window, const cCanvas& canvas);
    // The run of `window` ended: a later run at the same address is a new one.
    void RunEnded(cWindowTranslator* window);

private:
    struct sSavedRun
    {
        cWindowTranslator* window;
        u32 lastTick;
    };

    void Save(cWindowTranslator* window, const cCanvas& canvas);

    std::string m_folder;
    std::vector<sSavedRun> m_runs;
};
