// The mount-table parser on arbitrary text. Every mount point it keeps must be an
// absolute path without NUL, as the places code relies on.
// Links: qel_system qel_base
#include "system/places.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    for (const sMountEntry& entry : ParseMountTable(reinterpret_cast<const char*>(data), size)) {
        if (entry.m_mountPoint.empty() || entry.m_mountPoint[0] != '/' ||
            entry.m_mountPoint.find('\0') != std::string::npos) {
            std::abort();
        }
    }
    return 0;
}
