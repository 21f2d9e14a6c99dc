#include "net/update/updateurl.h"

#include "net/http/httprequest.h"
#include "net/update/updatehosts.h"

#include <cstdlib>
#include <cstring>

namespace {

const sUpdateHost& ChooseUpdateHost(const char* id)
{
    const char* dot = std::strrchr(id, '.');
    if (dot != nullptr) {
        if (CompareNarrowNoCase(dot + 1, "kr") == 0) {
            return kUpdateHostKorea;
        }
        if (CompareNarrowNoCase(dot + 1, "jp") == 0) {
            return kUpdateHostJapan;
        }
    }
    return kUpdateHostMaker;
}

// The configured origin replaces every host's; an invalid one fails rather than falling
// back to the defaults, so that a test can never reach the real services by mistake.
bool ChooseOrigin(const sUpdateHost& host, _guardchar<char>& origin)
{
    const char* configured = std::getenv(kUpdateBaseUrlVariable);
    if (configured == nullptr) {
        return origin.Assign(host.m_origin);
    }
    if (!IsUsableUpdateBaseUrl(configured)) {
        return false;
    }
    size_t length = std::strlen(configured);
    if (configured[length - 1] == '/') {
        --length;
    }
    return origin.AssignN(configured, length);
}

} // namespace

bool IsUsableUpdateBaseUrl(const char* base)
{
    cHttpRequest parsed;
    // ParseUrl lets a query or fragment run into the host part; either would swallow
    // the path appended to the origin.
    return base != nullptr && ParseUrl(base, parsed) && parsed.m_secure != 0 &&
           !parsed.m_host.IsEmpty() && std::strcmp(parsed.m_path.GetOrEmpty(), "/") == 0 &&
           std::strpbrk(base, "?#") == nullptr;
}

bool BuildUpdateUrl(const char* id, _guardchar<char>& url)
{
    url.Clear();
    if (id == nullptr) {
        return false;
    }
    const sUpdateHost& host = ChooseUpdateHost(id);
    _guardchar<char> built;
    if (!ChooseOrigin(host, built) || !built.Append(host.m_pathAndQuery) || !built.Append(id) ||
        !built.Append("&os=win")) {
        return false;
    }
    url = std::move(built);
    return true;
}
