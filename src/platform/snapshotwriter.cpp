#include "platform/snapshotwriter.h"

#include "base/clock.h"
#include "gui/core/element.h"
#include "gui/core/translator.h"
#include "platform/pngwrite.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

// Numbers the snapshots of the whole process, whichever host saves them.
std::atomic<u32> g_snapshotCounter{0};

std::string FileNameOfForm(const char* formId)
{
    std::string name = formId != nullptr ? formId : "window";
    for (size_t at = name.find("::"); at != std::string::npos; at = name.find("::", at)) {
        name.replace(at, 2, "-");
    }
    return name;
}

bool IsProgressForm(cWindowTranslator* window)
{
    const char* formId = window->GetRoot() != nullptr ? window->GetRoot()->GetFormId() : nullptr;
    return formId != nullptr && std::string(formId) == "ciom::progress";
}

} // namespace

cSnapshotWriter::cSnapshotWriter()
{
    const char* folder = std::getenv("QEL_SNAPSHOT_DIR");
    if (folder != nullptr) {
        m_folder = folder;
    }
}

void cSnapshotWriter::AfterPaint(cWindowTranslator* window, const cCanvas& canvas)
{
    if (!IsActive() || window == nullptr) {
        return;
    }
    const u32 now = MillisecondTick();
    auto run = std::find_if(m_runs.begin(), m_runs.end(),
                            [window](const sSavedRun& r) { return r.window == window; });
    if (run == m_runs.end()) {
        m_runs.push_back({window, now});
        Save(window, canvas);
    } else if (now - run->lastTick >= kProgressIntervalMs && IsProgressForm(window)) {
        run->lastTick = now;
        Save(window, canvas);
    }
}

void cSnapshotWriter::RunEnded(cWindowTranslator* window)
{
    std::erase_if(m_runs, [window](const sSavedRun& r) { return r.window == window; });
}

void cSnapshotWriter::Save(cWindowTranslator* window, const cCanvas& canvas)
{
    char number[16];
    std::snprintf(number, sizeof(number), "%02u-", g_snapshotCounter.fetch_add(1) + 1);
    const char* formId = window->GetRoot() != nullptr ? window->GetRoot()->GetFormId() : nullptr;
    const std::string path = m_folder + "/" + number + FileNameOfForm(formId) + ".png";
    if (!SaveCanvasPng(path, canvas)) {
        std::fprintf(stderr, "qel: cannot save the snapshot %s\n", path.c_str());
    }
}
