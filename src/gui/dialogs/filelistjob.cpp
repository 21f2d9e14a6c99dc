#include "gui/dialogs/filelistjob.h"

#include "base/paths.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

constexpr u32 kStopTimeoutMs = 1000;
constexpr auto kStopPoll = std::chrono::milliseconds(10);

// What the side thread owns together with the job: whichever lets go last frees it.
struct sSideListing
{
    _guardchar<char16_t> path;
    cFolderListing listing;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable doneSignal;
    bool done = false;
    bool ok = false;
};

bool IsDriveDesignator(const char16_t* path)
{
    const char16_t letter = path[0];
    const bool isLetter = (letter >= u'A' && letter <= u'Z') || (letter >= u'a' && letter <= u'z');
    return isLetter && path[1] == u':' && path[2] == 0;
}

} // namespace

cFileChooseListFolder::~cFileChooseListFolder()
{
    (void)Stop(kStopTimeoutMs);
}

bool cFileChooseListFolder::CanNavigate(const char16_t* path)
{
    if (path == nullptr || path[0] == 0) {
        return true;
    }
    return (path[0] == u'/' && GetPathKind(path) == kPathFolder) || IsDriveDesignator(path);
}

i32 cFileChooseListFolder::List(const char16_t* path, const char16_t* nameToSelect)
{
    m_listing = cFolderListing();
    if (!m_nameToSelect.Assign(nameToSelect)) {
        return 1;
    }
    if (path[0] == 0) {
        // The places never stat a network mount, so they cannot block.
        return m_listing.ReadPlaces() ? 0 : 1;
    }
    if (path[0] != u'/') {
        return 1;
    }
    std::shared_ptr<sSideListing> side(new (std::nothrow) sSideListing);
    if (side == nullptr || !side->path.Assign(path)) {
        return 1;
    }
    try {
        std::thread([side] {
            const bool ok = side->listing.Enumerate(side->path.Get(), kListFullEntries, &side->stop);
            std::lock_guard<std::mutex> lock(side->mutex);
            side->ok = ok;
            side->done = true;
            side->doneSignal.notify_one();
        }).detach();
    } catch (const std::system_error&) {
        return 1;
    }
    std::unique_lock<std::mutex> lock(side->mutex);
    while (!side->done) {
        if (IsStopRequested()) {
            side->stop.store(true, std::memory_order_relaxed);
            return 1;
        }
        side->doneSignal.wait_for(lock, kStopPoll);
    }
    if (!side->ok) {
        return 1;
    }
    m_listing = std::move(side->listing);
    return 0;
}
